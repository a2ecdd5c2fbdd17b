# Release packages (scripts/release.sh runs CPack on a build of each preset):
# on Windows one zip holding the whole install; natively two Debian packages,
# liblurn0 (the shared library) and liblurn-dev (everything to build with).
# Install rules name their component; the rest goes to the development one.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME development)
set(CPACK_PACKAGE_NAME lurn)
set(CPACK_PACKAGE_VENDOR "the lurn developers")
set(CPACK_PACKAGE_CONTACT "the lurn developers <lurn@example.org>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(lurn_summary "display and input layer for pixel-drawing programs")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(lurn_arch win32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(lurn_arch win64)
  endif()
  set(CPACK_PACKAGE_FILE_NAME lurn-${PROJECT_VERSION}-${lurn_arch})
  # Everything under lurn-<version>-<arch>/, not scattered where unpacked.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  install(FILES README.md LICENSE CHANGELOG.md DESTINATION .)
  # The pages the README links to, so that its links hold in the zip.
  install(DIRECTORY docs/ DESTINATION docs)
  # The minimal client and its CMake project, which the README points at.
  install(FILES examples/minimal/CMakeLists.txt
                examples/minimal/minimal_windows.cpp
          DESTINATION examples/minimal)
  # The start-up routine of clang-cl clients built without Visual C++.
  install(FILES examples/msvc/crt_start.cpp
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lurn)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SOURCE lurn)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(lurn_deb_version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
  # CPack indents every line after the summary; "." is a blank line.
  string(CONCAT lurn_about
    "lurn gives programs that draw their own pixels a display (windowed or\n"
    "full screen, 16-bit drawing surface) and keyboard and mouse input. On\n"
    "Linux it runs over its own stand-in platform on SDL2, so a client\n"
    "written for the Windows DLL builds and runs unchanged.\n.\n")
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
      "${lurn_summary}\n${lurn_about}This package holds the shared library.")
  set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
      "${lurn_summary} - development files\n${lurn_about}This package holds \
the header, the stand-in's platform headers, the\nCMake package \
(find_package(lurn)) and the pkg-config file.")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME liblurn0)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON) # libc, libstdc++, SDL2
  # The shlibs file, and the ldconfig trigger Debian wants of a library
  # package (CPack's postinst and postrm also call ldconfig: harmless).
  file(WRITE ${CMAKE_BINARY_DIR}/debian/shlibs
       "liblurn ${PROJECT_VERSION_MAJOR} liblurn0 (>= ${PROJECT_VERSION})\n")
  file(WRITE ${CMAKE_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
      ${CMAKE_BINARY_DIR}/debian/shlibs ${CMAKE_BINARY_DIR}/debian/triggers)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME liblurn-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
      "liblurn0 (= ${lurn_deb_version}), libsdl2-dev")

  # Each package's copyright (the licence in Debian's machine-readable form)
  # and changelog.Debian.gz, which Debian wants beside every binary package.
  file(READ LICENSE license)
  string(REGEX MATCH "^Copyright \\(C\\) ([^\n]*)\n\n" heading "${license}")
  set(holder "${CMAKE_MATCH_1}")
  string(LENGTH "${heading}" skip)
  string(SUBSTRING "${license}" ${skip} -1 license)
  string(STRIP "${license}" license)
  string(REPLACE "\n\n" "\n.\n" license "${license}")
  string(REPLACE "\n" "\n " license "${license}")
  string(CONCAT copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: lurn\n\nFiles: *\nCopyright: ${holder}\n"
    "License: Zlib\n ${license}\n")
  file(WRITE ${CMAKE_BINARY_DIR}/debian/copyright "${copyright}")
  # The release date from the changelog's heading of this version.
  file(STRINGS CHANGELOG.md lurn_heading ENCODING UTF-8
       REGEX "^## ${PROJECT_VERSION} ")
  string(REGEX MATCH "[0-9]+-[0-9]+-[0-9]+" lurn_date "${lurn_heading}")
  if(NOT lurn_date)
    message(FATAL_ERROR "CHANGELOG.md has no dated heading for ${PROJECT_VERSION}")
  endif()
  execute_process(COMMAND date -u -R -d "${lurn_date} 12:00"
                  OUTPUT_VARIABLE lurn_date OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(WRITE ${CMAKE_BINARY_DIR}/debian/changelog.Debian
    "lurn (${lurn_deb_version}) unstable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION}: see CHANGELOG.md in the source.\n\n"
    " -- ${CPACK_PACKAGE_CONTACT}  ${lurn_date}\n")
  execute_process(COMMAND gzip -9nf debian/changelog.Debian
                  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  foreach(component runtime development)
    string(TOUPPER ${component} upper)
    install(FILES ${CMAKE_BINARY_DIR}/debian/copyright
                  ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
      COMPONENT ${component})
  endforeach()
endif()
include(CPack)
