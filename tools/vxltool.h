// vxltool: checks, summarises, previews and compares VXL maps, many of them from
// strangers. The commands own the console: results for people on stdout, errors
// as one line "vxltool: <what>: <why>" on stderr.
#pragma once

/// Exit statuses shared by every command.
constexpr int VXLTOOL_OK = 0;
constexpr int VXLTOOL_NEGATIVE = 1;  // a map is invalid, maps differ, a preview could not be written
constexpr int VXLTOOL_TROUBLE = 2;   // usage error, or a file that cannot be read as a map

/// Runs vxltool with the given command line; returns the process exit status.
int run_vxltool(int argc, char** argv);
