# Cross-compiling for 64-bit ARM Linux (Debian arm64, Raspberry Pi OS 64-bit) with Debian's
# cross tools on another machine: `scripts/install-deps.sh cross-arm64` installs them and the
# arm64 libraries (multiarch, under /usr/lib/aarch64-linux-gnu); scripts/cross-arm64.sh uses
# this file.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# The arm64 libraries sit beside the native ones in the multiarch folders, so the search keeps
# the usual roots and only picks the architecture's folder. A find root set to that folder
# would hide Qt's CMake files, which live in the same tree for every architecture.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# Qt's code generators (moc, rcc, uic) and CMake helpers come from the native Qt.
set(QT_HOST_PATH /usr CACHE PATH "Native Qt for the build-time tools")
# The translation tools (lupdate, lrelease) run here too; the arm64 Qt has no CMake package for
# them, so the native one is used as it is.
execute_process(COMMAND dpkg-architecture -q DEB_BUILD_MULTIARCH OUTPUT_VARIABLE QUILL_BUILD_MULTIARCH
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
set(Qt6LinguistTools_DIR /usr/lib/${QUILL_BUILD_MULTIARCH}/cmake/Qt6LinguistTools CACHE PATH
  "Qt's translation tools of this machine")
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "pkg-config for arm64")
# Target programs run on this machine (build-time generators, tests) through the user-mode
# emulator; the arm64 dynamic loader and libraries are found at their multiarch paths.
find_program(QUILL_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILL_QEMU_AARCH64})
