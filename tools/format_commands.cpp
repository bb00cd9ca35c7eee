#include "tools/format_commands.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mapfile/read_file.h"
#include "mapfile/safe_write.h"
#include "mapfile/vxl_format.h"
#include "mapfile/vxl_loader.h"
#include "mapfile/vxl_writer.h"
#include "tools/command_line.h"
#include "tools/decoded_map.h"
#include "tools/gltf_export.h"
#include "tools/heightmap.h"
#include "tools/output_text.h"
#include "tools/vox_map.h"
#include "tools/vxltool.h"


const char* const EXPORT_USAGE =
    "usage: vxltool export MAP OUT.vox\n"
    "       vxltool export MAP OUT.glb\n"
    "       vxltool export MAP --heightmap H.png [--colours C.png]\n"
    "\n"
    "Writes a map in a format that map makers and 3D tools open.\n"
    "  OUT.vox      MagicaVoxel scene: four 256 x 256 x 64 models tiling the map, z up;\n"
    "               more than 255 colours are reduced (median cut, then k-means) and\n"
    "               the error left is reported on stderr\n"
    "  OUT.glb      glTF 2.0 binary of the visible voxel faces with their colours,\n"
    "               1 voxel = 1 metre, y up\n"
    "  --heightmap H.png   512 x 512 grey PNG: pixel (x, y) is column (x, y), grey =\n"
    "               round(height * 255 / 63), height 0..63 above the bottom layer;\n"
    "               transparent for a column with no solid voxel\n"
    "  --colours C.png     512 x 512 RGB PNG of each column's top colour\n"
    "Caves and overhangs do not fit in a heightmap: only the top surface is kept,\n"
    "and stderr says so. Every file is replaced whole, or left as it was on failure.\n"
    "exit status: 0 written; 1 an output could not be written; 2 usage error, or the\n"
    "map cannot be read or is not valid.\n";

const char* const IMPORT_USAGE =
    "usage: vxltool import IN.vox -o MAP\n"
    "       vxltool import --heightmap H.png [--colours C.png] -o MAP\n"
    "\n"
    "Makes a VXL map from a MagicaVoxel scene or from PNG pictures.\n"
    "  IN.vox       any scene that fits 512 x 512 x 64 (z up); one placed within the\n"
    "               map's frame (as export writes it) keeps its place, another is\n"
    "               centred with its lowest voxel on the floor\n"
    "  --heightmap H.png   512 x 512 PNG, grey, grey + alpha, RGB(A) or palette, 8 or\n"
    "               16 bits: height = round(grey * 63 / 255); transparent = no solid\n"
    "               voxel; a colour picture is read by its luminance\n"
    "  --colours C.png     512 x 512 PNG of each column's colour (default: ground\n"
    "               green 0x90A068)\n"
    "  -o MAP       the map to write (replaced whole, or left as it was on failure)\n"
    "Columns are solid from the surface down to the bottom layer, as mapgen makes them.\n"
    "exit status: 0 written; 1 the map could not be written; 2 usage error, or an\n"
    "input that cannot be read or is not valid.\n";

namespace {

// Inputs larger than these are refused before they are read: a 512 x 512 PNG
// needs at most a few MiB, and a .vox of a full map 64 MiB.
constexpr std::size_t MAX_PNG_BYTES = std::size_t{64} << 20;
constexpr std::size_t MAX_VOX_BYTES = std::size_t{256} << 20;

/// The words of export or import.
struct format_arguments {
    std::vector<std::string> files;
    std::string heightmap, colours, output;
    bool help = false;
    std::string error;
};

format_arguments parse_format_arguments(int argc, char** argv, bool takes_output) {
    format_arguments args;
    bool options_done = false;
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        std::string* value = nullptr;
        std::string inline_value;
        bool has_inline = false;
        if (!options_done && word.size() > 1 && word[0] == '-') {
            const std::size_t eq = word.find('=');
            const std::string name = word.rfind("--", 0) == 0 && eq != std::string::npos ? word.substr(0, eq) : word;
            if (name != word) has_inline = true, inline_value = word.substr(eq + 1);
            if (word == "--") {
                options_done = true;
                continue;
            } else if (word == "--help" || word == "-h") {
                args.help = true;
                continue;
            } else if (name == "--heightmap") {
                value = &args.heightmap;
            } else if (name == "--colours" || name == "--colors") {
                value = &args.colours;
            } else if (takes_output && word.rfind("-o", 0) == 0) {
                value = &args.output;
                if (word.size() > 2) has_inline = true, inline_value = word.substr(2);
            } else {
                if (args.error.empty()) args.error = "unknown option '" + word + "'";
                continue;
            }
            if (has_inline) {
                *value = inline_value;
            } else if (i + 1 < argc) {
                *value = argv[++i];
            } else if (args.error.empty()) {
                args.error = "option '" + word + "' needs a value";
            }
            if (value->empty() && args.error.empty()) args.error = "option '" + name + "' needs a file name";
            continue;
        }
        args.files.push_back(word);
    }
    return args;
}

/// Reads an input file whole ("-": standard input), refusing one larger than
/// limit without holding more than limit bytes of it. On failure complains and
/// returns false.
bool read_input(const std::string& path, std::size_t limit, const char* kind, std::unique_ptr<std::uint8_t[]>* data,
                std::size_t* length) {
    std::string why;
    input_file in;
    if (!open_input_file(path.c_str(), limit + 1, &in, &why)) return complain(path, why), false;
    struct stat st;
    if (in.regular && fstat(in.fd, &st) == 0 && std::uintmax_t(st.st_size) > limit) {
        complain(path, std::to_string(st.st_size) + " bytes, more than any " + kind + " needs (" +
                           std::to_string(limit >> 20) + " MiB)");
        return false;
    }
    if (!fill_input_file(in, limit + 1, &why)) return complain(path, why), false;
    if (in.length > limit) {
        complain(path, std::string("larger than any ") + kind + " needs (" + std::to_string(limit >> 20) + " MiB)");
        return false;
    }
    data->reset(new std::uint8_t[in.length + 1]);
    if (in.length) std::memcpy(data->get(), in.bytes.get(), in.length);
    *length = in.length;
    return true;
}

/// true when path ends in suffix, letters compared without case
bool has_extension(const std::string& path, const char* suffix) {
    const std::size_t n = std::char_traits<char>::length(suffix);
    if (path.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = path[path.size() - n + i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

/// The file name of path without its folders and its last extension.
std::string base_name(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name.empty() ? "map" : name;
}

bool write_output(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::string why;
    if (safe_write_file(path.c_str(), bytes.data(), bytes.size(), &why)) return true;
    complain(path, why);
    return false;
}

std::string megabytes(std::size_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

// ---- export

int export_heightmap(const std::string& map_path, const decoded_map& map, const format_arguments& args) {
    surface_losses losses;
    const surface_maps surface = surface_of_map(map, &losses);
    if (losses.cave_columns)
        complain(map_path, std::to_string(losses.cave_columns) +
                               " columns have caves or overhangs; the heightmap keeps only their top surface");
    if (!args.colours.empty() && losses.multicolour_columns)
        complain(map_path, std::to_string(losses.multicolour_columns) +
                               " columns hold more than one colour; the colour map keeps each column's top colour");
    if (!args.colours.empty() && losses.other_top_bytes)
        complain(map_path, std::to_string(losses.other_top_bytes) +
                               " top colours have a top byte other than 0x80, which the colour map cannot hold");

    std::vector<std::uint8_t> png;
    std::string why;
    if (!encode_heightmap(surface, &png, &why)) return complain(args.heightmap, why), VXLTOOL_NEGATIVE;
    if (!write_output(args.heightmap, png)) return VXLTOOL_NEGATIVE;
    int lo = VXL_COLUMN_DEPTH, hi = -1;
    std::size_t air = 0;
    for (int h : surface.height) {
        if (h < 0) {
            ++air;
            continue;
        }
        lo = std::min(lo, h), hi = std::max(hi, h);
    }
    std::printf("%s: heightmap, 512 x 512", quoted_name(args.heightmap).c_str());
    if (hi >= 0) std::printf(", surface heights %d..%d", lo, hi);
    if (air) std::printf(", %zu columns of air (transparent)", air);
    std::printf("\n");
    if (args.colours.empty()) return VXLTOOL_OK;
    if (!encode_colour_map(surface, &png, &why)) return complain(args.colours, why), VXLTOOL_NEGATIVE;
    if (!write_output(args.colours, png)) return VXLTOOL_NEGATIVE;
    std::printf("%s: colour map, 512 x 512\n", quoted_name(args.colours).c_str());
    return VXLTOOL_OK;
}

int export_vox_file(const decoded_map& map, const std::string& out) {
    const vox_export vox = export_vox(map);
    if (!vox.colours.exact) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "%zu colours reduced to %zu by median cut and %d rounds of k-means; RGB distance to the "
                      "map's colours: mean %.2f, max %.2f",
                      vox.distinct_colours, vox.colours.palette.size(), vox.colours.kmeans_rounds,
                      vox.colours.mean_error, vox.colours.max_error);
        complain(out, text);
    }
    if (!write_output(out, vox.file)) return VXLTOOL_NEGATIVE;
    std::printf("%s: %zu voxels in %zu models of 256 x 256 x 64, %zu colours%s\n", quoted_name(out).c_str(), vox.voxels,
                vox.models, vox.colours.palette.size(), vox.colours.exact ? ", all of the map's" : "");
    return VXLTOOL_OK;
}

int export_glb_file(const decoded_map& map, const std::string& map_path, const std::string& out) {
    const glb_export glb = export_glb(map, base_name(map_path));
    if (!write_output(out, glb.file)) return VXLTOOL_NEGATIVE;
    std::printf("%s: %zu rectangles covering %zu voxel faces, %s\n", quoted_name(out).c_str(), glb.quads, glb.faces,
                megabytes(glb.file.size()).c_str());
    return VXLTOOL_OK;
}

// ---- import

int import_heightmap(const format_arguments& args) {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t length = 0;
    surface_maps surface;
    std::string why;
    bool had_colour = false;
    if (!read_input(args.heightmap, MAX_PNG_BYTES, "heightmap", &data, &length)) return VXLTOOL_TROUBLE;
    if (!decode_heightmap(data.get(), length, &surface, &had_colour, &why))
        return complain(args.heightmap, why), VXLTOOL_TROUBLE;
    if (!args.colours.empty()) {
        if (!read_input(args.colours, MAX_PNG_BYTES, "colour map", &data, &length)) return VXLTOOL_TROUBLE;
        if (!decode_colour_map(data.get(), length, &surface, &why)) return complain(args.colours, why), VXLTOOL_TROUBLE;
    }
    if (had_colour) complain(args.heightmap, "has pixels in colour; their luminance is taken as their grey");
    build_ground_volume(surface);
    if (!write_vxl_map(args.output.c_str(), &why)) return complain(args.output, why), VXLTOOL_NEGATIVE;
    std::size_t air = 0;
    for (int h : surface.height) air += h < 0;
    std::printf("%s: 512 x 512 columns from %s%s%s", quoted_name(args.output).c_str(),
                quoted_name(args.heightmap).c_str(), args.colours.empty() ? "" : " and ",
                args.colours.empty() ? "" : quoted_name(args.colours).c_str());
    if (air) std::printf(", %zu of air", air);
    std::printf("\n");
    return VXLTOOL_OK;
}

int import_vox(const std::string& in, const std::string& output) {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t length = 0;
    if (!read_input(in, MAX_VOX_BYTES, ".vox", &data, &length)) return VXLTOOL_TROUBLE;
    vox_scene scene;
    std::string why;
    if (!parse_vox(data.get(), length, &scene, &why)) return complain(in, why), VXLTOOL_TROUBLE;
    vox_placement placement;
    if (!place_vox_scene(scene, &placement, &why)) return complain(in, why), VXLTOOL_TROUBLE;
    if (placement.by_bounds)
        complain(in, "the scene (" + std::to_string(placement.extent[0]) + " x " + std::to_string(placement.extent[1]) +
                         " x " + std::to_string(placement.extent[2]) +
                         ") lies outside the map's frame; it is centred on the map, its lowest voxel on the floor");
    if (placement.overlapping)
        complain(in, std::to_string(placement.overlapping) + " voxels overlap others; the later model's colour is kept");
    if (!write_vxl_map(output.c_str(), &why)) return complain(output, why), VXLTOOL_NEGATIVE;
    std::printf("%s: %zu solid voxels from %zu models of %s\n", quoted_name(output).c_str(), placement.voxels,
                scene.instances.size(), quoted_name(in).c_str());
    return VXLTOOL_OK;
}

}  // namespace

int run_export(int argc, char** argv) {
    const format_arguments args = parse_format_arguments(argc, argv, false);
    if (args.help) return std::fputs(EXPORT_USAGE, stdout), VXLTOOL_OK;
    if (!args.error.empty()) return usage_error("export", args.error);
    if (args.files.empty()) return usage_error("export", "no MAP given");
    if (!args.colours.empty() && args.heightmap.empty()) return usage_error("export", "--colours needs --heightmap");
    const bool to_file = args.files.size() == 2;
    if (args.files.size() > 2 || (to_file && !args.heightmap.empty()))
        return usage_error("export", "give either OUT.vox, OUT.glb or --heightmap");
    if (!to_file && args.heightmap.empty()) return usage_error("export", "no output given: OUT.vox, OUT.glb or --heightmap");
    const std::string out = to_file ? args.files[1] : "";
    if (to_file && !has_extension(out, ".vox") && !has_extension(out, ".glb"))
        return usage_error("export", "'" + out + "' names no known format: end it in .vox or .glb");

    decoded_map map;
    vxl_input_image image;
    if (!read_map_records(args.files[0], &image, &map)) return VXLTOOL_TROUBLE;
    if (!to_file) return export_heightmap(args.files[0], map, args);
    if (has_extension(out, ".vox")) return export_vox_file(map, out);
    return export_glb_file(map, args.files[0], out);
}

int run_import(int argc, char** argv) {
    const format_arguments args = parse_format_arguments(argc, argv, true);
    if (args.help) return std::fputs(IMPORT_USAGE, stdout), VXLTOOL_OK;
    if (!args.error.empty()) return usage_error("import", args.error);
    if (!args.colours.empty() && args.heightmap.empty()) return usage_error("import", "--colours needs --heightmap");
    if (args.files.size() > 1 || (args.files.size() == 1 && !args.heightmap.empty()))
        return usage_error("import", "give either one IN.vox or --heightmap");
    if (args.files.empty() && args.heightmap.empty()) return usage_error("import", "no input given: IN.vox or --heightmap");
    if (args.output.empty()) return usage_error("import", "no output given: -o MAP");
    if (!args.heightmap.empty()) return import_heightmap(args);
    return import_vox(args.files[0], args.output);
}
