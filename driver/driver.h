// The driver: reads the command line, settles seed, output path and -d, then
// seeds, generates and writes the map between its two progress lines.
#pragma once

/// Runs mapgen with the given command line; returns the process exit status.
int run_mapgen(int argc, char** argv);
