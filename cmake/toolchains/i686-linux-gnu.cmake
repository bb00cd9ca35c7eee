# 32-bit x86 with Debian's g++-i686-linux-gnu; run with qemu-i386 (qemu-user).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(mapgen_cross_triple i686-linux-gnu)
set(mapgen_cross_qemu qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
