# The Debian package (`cpack -G DEB` in a build folder): everything the install rules install,
# under /usr, with its dependencies worked out from the shared libraries the programs link
# (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_PACKAGE_NAME quill)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "controller for a QUILL-2 remote antenna selector")
# Debian wants the long description in lines of under 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "A desktop program that drives a QUILL-2 remote antenna selector, which connects"
  "one of eight antennas to each of two radios and follows each radio's band. It"
  "talks to the device over TCP or a serial/USB port and shows the followed"
  "radio's band, automatic mode and antenna. A link test goes out about every two"
  "seconds; when the device stops answering, the link shows as disconnected after"
  "five unanswered tests (10 to 14 seconds), and over TCP the program reconnects"
  "by itself. Includes quill-sim, a simulated device for trying the program out.")
set(QUILL_PACKAGE_CONTACT "QUILL-2 Controller developers <quill@localhost>"
  CACHE STRING "Maintainer named in the Debian package")
set(CPACK_PACKAGE_CONTACT "${QUILL_PACKAGE_CONTACT}")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Cross-compiled, the package is for the target: CPack would name this machine's architecture.
# Debian's name for it comes from the toolchain's multiarch triplet (aarch64-linux-gnu: arm64);
# dpkg-shlibdeps then takes the dependencies from the target's libraries, which sit in their
# multiarch folder with their package's shlibs and symbols files.
if(CMAKE_CROSSCOMPILING)
  if(NOT CMAKE_LIBRARY_ARCHITECTURE)
    message(FATAL_ERROR "cross-compiling needs CMAKE_LIBRARY_ARCHITECTURE (the multiarch triplet) for the package's architecture")
  endif()
  execute_process(COMMAND dpkg-architecture -t ${CMAKE_LIBRARY_ARCHITECTURE} -q DEB_HOST_ARCH
    OUTPUT_VARIABLE QUILL_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
    RESULT_VARIABLE QUILL_DEB_ARCH_RESULT)
  if(NOT QUILL_DEB_ARCH_RESULT EQUAL 0 OR NOT QUILL_DEB_ARCH)
    message(FATAL_ERROR "dpkg-architecture (dpkg-dev) knows no Debian architecture for ${CMAKE_LIBRARY_ARCHITECTURE}")
  endif()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${QUILL_DEB_ARCH})
endif()
# Qt draws on Wayland through a plugin of its own (which brings Qt Quick along); without it
# Qt falls back to X11, and a Wayland session without XWayland shows nothing: recommended, so
# a plain install brings it.
# The toolkit's own texts (the buttons of its boxes, standard menu items) in the program's
# languages, and a font with Japanese glyphs for the Japanese translation.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n, fonts-noto-cjk")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
