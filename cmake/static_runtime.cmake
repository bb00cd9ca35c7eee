# The programs carry the C++ runtime (libstdc++ and libgcc) inside themselves:
# a run of mapgen then starts in about half the time. Loading the shared
# libstdc++ and resolving and touching its pages took 0.5 ms of a 6.4 ms run on
# the development machines, where each page first touched costs microseconds.
# The C library and libm stay shared, so maps keep the system's pow and cos.
# Not with the sanitizers, whose runtime expects the shared libstdc++, nor where
# the toolchain has no static libstdc++ (the programs then link it as usual).
include(CheckLinkerFlag)
option(MAPGEN_STATIC_RUNTIME "Link libstdc++ and libgcc into the programs (a faster start)" ON)
set(mapgen_static_runtime OFF)
if(MAPGEN_STATIC_RUNTIME AND NOT MAPGEN_SANITIZE)
  check_linker_flag(CXX -static-libstdc++ mapgen_links_static_runtime)
  set(mapgen_static_runtime ${mapgen_links_static_runtime})
endif()

# mapgen_program(target): links target, a program, with the runtime inside when
# that is on. Only for programs: a shared library keeps the shared runtime.
function(mapgen_program target)
  if(mapgen_static_runtime)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
