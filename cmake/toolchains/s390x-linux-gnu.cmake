# Big-endian IBM Z (s390x) with Debian's g++-s390x-linux-gnu; run with qemu-s390x (qemu-user).
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(mapgen_cross_triple s390x-linux-gnu)
set(mapgen_cross_qemu qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
