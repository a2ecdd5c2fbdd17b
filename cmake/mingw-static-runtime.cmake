# Read by the mingw-w64 toolchain files once the platform's defaults are set.
# -static-libgcc and -static-libstdc++ still leave the thread library's DLL
# (libwinpthread-1.dll), which libstdc++ and libgcc of the POSIX-thread
# variant call: link those three statically after everything else, so their
# calls into it resolve to its static archive.
foreach(lang C CXX)
  string(APPEND CMAKE_${lang}_STANDARD_LIBRARIES_INIT
         " -Wl,-Bstatic,-lstdc++,-lgcc,-lgcc_eh,-lwinpthread,-Bdynamic")
endforeach()
