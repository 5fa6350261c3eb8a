# Cross build for the target platform: 32-bit ARM, hard float, little-endian.
# The tests run through qemu-arm with the cross libraries as its root, so
# ctest (and test discovery) work on an x86-64 build machine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(VXQ_CROSS_TRIPLE arm-linux-gnueabihf)
set(VXQ_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/cross-common.cmake)
