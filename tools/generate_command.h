// vxltool generate: the maps of many seeds made in one process, on every
// processor at once, each written safely as DIR/seed<N>.vxl (with --previews its
// top view beside it as DIR/seed<N>.png). The list, the folder and its room are
// checked before any map is made; the first file that cannot be written stops
// the run.
#pragma once

#include <cstdint>
#include <string>

/// Usage text, for `vxltool generate --help`.
extern const char* const GENERATE_USAGE;

/// `vxltool generate --seeds LIST [-d] [--previews] [-j N] -o DIR`: argv[1] is
/// "generate". Returns the exit status (0 all written; 1 a file could not be
/// written, or DIR cannot be used; 2 a usage error).
int run_generate(int argc, char** argv);

/// The progress line after done of total maps in seconds:
/// "12/40 maps, 3.4 maps/s, 8 s left" (rate and time left once a map is done).
std::string generate_progress_line(std::uint64_t done, std::uint64_t total, double seconds);
