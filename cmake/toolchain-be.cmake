# Cross build for a big-endian host: 32-bit PowerPC Linux. It proves that every
# wire format stays little-endian whatever the host byte order. The tests run
# through qemu-ppc with the cross libraries as its root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(VXQ_CROSS_TRIPLE powerpc-linux-gnu)
set(VXQ_CROSS_QEMU qemu-ppc)
include(${CMAKE_CURRENT_LIST_DIR}/cross-common.cmake)
# 32-bit PowerPC has no 64-bit atomic instructions: std::atomic of 64-bit
# values calls into libatomic.
set(CMAKE_C_STANDARD_LIBRARIES_INIT "-latomic")
set(CMAKE_CXX_STANDARD_LIBRARIES_INIT "-latomic")
