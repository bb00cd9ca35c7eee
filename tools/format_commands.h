// vxltool's export and import commands: a map to and from the formats map makers
// use (heightmap and colour map PNGs, MagicaVoxel .vox), and a map out to a glTF
// binary (.glb) for 3D tools. Every output is written whole or not at all
// (safe_write_file); every bad input is one line on stderr and no output.
#pragma once

/// Usage texts, for `vxltool COMMAND --help` and the tool's list of commands.
extern const char* const EXPORT_USAGE;
extern const char* const IMPORT_USAGE;

/// `vxltool export MAP (OUT.vox | OUT.glb | --heightmap H.png [--colours C.png])`:
/// argv[1] is "export". Returns the exit status (0 written, 1 an output could not
/// be written, 2 a usage error or a map that cannot be read).
int run_export(int argc, char** argv);

/// `vxltool import (IN.vox | --heightmap H.png [--colours C.png]) -o MAP`: argv[1]
/// is "import". Returns the exit status (0 written, 1 the map could not be
/// written, 2 a usage error or an input that cannot be read or is not valid).
int run_import(int argc, char** argv);
