// vxltool's `render` command: a PNG preview of a map, from above or oblique, to a
// file or to standard output (then its status line goes to stderr).
#pragma once

/// Usage text, for `vxltool render --help`.
extern const char* const RENDER_USAGE;

/// `vxltool render FILE -o OUT.png [--view top|iso] [--size N | --scale K]`:
/// argv[1] is "render". Returns the exit status (0 written, 1 the PNG could not
/// be written, 2 a usage error or a map that cannot be read or is not valid).
int run_render(int argc, char** argv);
