# Cross build of the 64-bit Windows DLL with mingw-w64; tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# The POSIX-thread variant: GoogleTest needs std::mutex. Programs and DLLs
# built with this file link GCC's runtime statically (libgcc, libstdc++ and
# the thread library), so they need no DLL beside the system's and lurn.dll.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Not plain -static: that makes -l pick static archives only, and -llurn
# would then settle on the MSVC import library lurn.lib.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/mingw-static-runtime.cmake)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Run in a 64-bit prefix (WINEARCH=win64): Debian's wine starts wine64 there.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
