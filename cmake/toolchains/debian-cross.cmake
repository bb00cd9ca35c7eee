# Shared part of the toolchain files beside it: Debian's cross compiler for
# mapgen_cross_triple (g++-<triple> from the archive, with its libraries under
# /usr/<triple>), and qemu-user to run what it builds (tests, test discovery).
# The including file sets CMAKE_SYSTEM_PROCESSOR, mapgen_cross_triple and
# mapgen_cross_qemu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${mapgen_cross_triple}-gcc)
set(CMAKE_CXX_COMPILER ${mapgen_cross_triple}-g++)

# Libraries and headers only from the target's tree, never the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${mapgen_cross_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs are linked statically, so qemu needs no -L: with -L it looks every
# absolute path up in /usr/<triple> first, and "/" itself opens that folder, which
# breaks code that walks a path from "/" (the safe writer does).
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
find_program(mapgen_qemu ${mapgen_cross_qemu})
if(mapgen_qemu)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${mapgen_qemu})
endif()
