# Shared part of the cross toolchain files: the caller sets VXQ_CROSS_TRIPLE
# (compiler prefix and Debian sysroot name) and VXQ_CROSS_QEMU (user-mode
# emulator). Debian installs the cross libraries under /usr/<triple>.
set(VXQ_CROSS_SYSROOT /usr/${VXQ_CROSS_TRIPLE})
set(CMAKE_C_COMPILER ${VXQ_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VXQ_CROSS_TRIPLE}-g++)
find_program(VXQ_CROSS_STRIP ${VXQ_CROSS_TRIPLE}-strip)
set(CMAKE_STRIP ${VXQ_CROSS_STRIP} CACHE FILEPATH "" FORCE)

set(CMAKE_FIND_ROOT_PATH ${VXQ_CROSS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and gtest_discover_tests run every test program through this.
set(CMAKE_CROSSCOMPILING_EMULATOR ${VXQ_CROSS_QEMU};-L;${VXQ_CROSS_SYSROOT})
