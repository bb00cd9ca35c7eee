# 64-bit ARM with Debian's g++-aarch64-linux-gnu; run with qemu-aarch64 (qemu-user).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(mapgen_cross_triple aarch64-linux-gnu)
set(mapgen_cross_qemu qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
