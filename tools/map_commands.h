// vxltool's commands that look at maps without writing anything: `check` (is
// each file a valid map), `info` (what a map holds) and `diff` (do two maps hold
// the same voxels). Results on stdout, one line per error on stderr.
#pragma once

/// Usage texts, for `vxltool COMMAND --help`.
extern const char* const CHECK_USAGE;
extern const char* const INFO_USAGE;
extern const char* const DIFF_USAGE;

/// `vxltool check [--json] [--max-bytes N] FILE...`: argv[1] is "check". Returns
/// the exit status (0 all valid, 1 some file invalid, 2 some file cannot be read).
int run_check(int argc, char** argv);

/// `vxltool info FILE [--json]`: argv[1] is "info". Returns the exit status (0
/// done, 2 the file cannot be read or is not a valid map).
int run_info(int argc, char** argv);

/// `vxltool diff A B`: argv[1] is "diff". Returns the exit status (0 the same, 1
/// different, 2 a usage error or a map that cannot be read or is not valid).
int run_diff(int argc, char** argv);
