# Cross build for the unit's 64-bit ARM module with Debian's cross toolchain and the arm64
# libraries installed beside the native ones (multiarch). Tests run under qemu-aarch64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(ORVIX_TRIPLET aarch64-linux-gnu)

set(CMAKE_C_COMPILER   ${ORVIX_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ORVIX_TRIPLET}-g++)

# Headers are shared by both architectures; libraries and pkg-config files come from the
# arm64 multiarch directory only, never from the build machine's.
set(CMAKE_LIBRARY_ARCHITECTURE ${ORVIX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH /usr/${ORVIX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${ORVIX_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# CTest and GoogleTest's discovery run every target program through the emulator; -L lets
# it find the arm64 dynamic loader and libc of the cross toolchain.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${ORVIX_TRIPLET})
