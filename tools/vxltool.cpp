#include "tools/vxltool.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/command_line.h"
#include "tools/format_commands.h"
#include "tools/generate_command.h"
#include "tools/map_commands.h"
#include "tools/publish.h"
#include "tools/render_command.h"

namespace {

const char* const MAIN_USAGE =
    "usage: vxltool COMMAND [ARGS]\n"
    "\n"
    "Checks, summarises, previews, compares and publishes VXL maps (512 x 512 columns\n"
    "of 64 voxels).\n"
    "\n"
    "commands:\n"
    "  check [--json] [--max-bytes N] FILE...   tell whether each file is a valid map\n"
    "  info FILE [--json]                       what a map holds\n"
    "  render FILE -o OUT.png [--view top|iso]  write a PNG preview (--size N, --scale K)\n"
    "  page MAP -o PAGE.html                    write a self-contained web page of a map\n"
    "  gallery [MAP...] -o DIR                  write or update a gallery of map pages\n"
    "  diff A B                                 compare two maps voxel by voxel\n"
    "  export MAP OUT.vox|OUT.glb               write the map for MagicaVoxel or 3D tools\n"
    "  export MAP --heightmap H.png [--colours C.png]\n"
    "                                           write its heightmap and colour map\n"
    "  import IN.vox -o MAP                     make a map from a MagicaVoxel scene\n"
    "  import --heightmap H.png [--colours C.png] -o MAP\n"
    "                                           make a map from a heightmap\n"
    "  generate --seeds LIST -o DIR             make the maps of many seeds at once\n"
    "\n"
    "A FILE of '-' is standard input. 'vxltool COMMAND --help' describes one command;\n"
    "'vxltool --version' names the release.\n"
    "exit status: 0 success; 1 a map is invalid, maps differ or a preview, page or\n"
    "gallery could not be written; 2 a usage error or a file that cannot be read as a\n"
    "map.\n";

/// A command: its name on the command line and what runs it, given the whole
/// command line (argv[1] is the name); run returns the exit status.
struct vxltool_command {
    const char* name;
    int (*run)(int argc, char** argv);
};

/// Every command vxltool has. A new command is one line here, and a line in
/// MAIN_USAGE.
const vxltool_command COMMANDS[] = {
    {"check", run_check},
    {"info", run_info},
    {"render", run_render},
    {"diff", run_diff},
    {"page", run_page},
    {"gallery", run_gallery},
    {"export", run_export},
    {"import", run_import},
    {"generate", run_generate},
};

int run_command(int argc, char** argv) {
    if (argc < 2) {
        complain("usage", "no command given (see 'vxltool --help')");
        return VXLTOOL_TROUBLE;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") return std::fputs(MAIN_USAGE, stdout), VXLTOOL_OK;
    if (command == "--version") return std::puts("vxltool " MAPGEN_VERSION), VXLTOOL_OK;
    for (const vxltool_command& c : COMMANDS)
        if (command == c.name) return c.run(argc, argv);
    complain(command, "unknown command (see 'vxltool --help')");
    return VXLTOOL_TROUBLE;
}

}  // namespace

int run_vxltool(int argc, char** argv) {
    const int status = run_command(argc, argv);
    // An answer that never reached its reader is no answer: a full disk or a
    // closed pipe on stdout turns any status into trouble.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        complain("standard output", std::strerror(errno ? errno : EIO));
        return VXLTOOL_TROUBLE;
    }
    return status;
}
