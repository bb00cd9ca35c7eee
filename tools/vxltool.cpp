#include "tools/vxltool.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mapfile/read_file.h"
#include "mapfile/vxl_loader.h"
#include "tools/decoded_map.h"
#include "tools/json_text.h"
#include "tools/map_diff.h"
#include "tools/map_info.h"
#include "tools/map_render.h"
#include "tools/png_file.h"

namespace {

// ---- usage texts

const char* const MAIN_USAGE =
    "usage: vxltool COMMAND [ARGS]\n"
    "\n"
    "Checks, summarises, previews and compares VXL maps (512 x 512 columns of 64 voxels).\n"
    "\n"
    "commands:\n"
    "  check FILE...                            tell whether each file is a valid map\n"
    "  info FILE [--json]                       what a map holds\n"
    "  render FILE -o OUT.png [--view top|iso]  write a PNG preview\n"
    "  diff A B                                 compare two maps voxel by voxel\n"
    "\n"
    "'vxltool COMMAND --help' describes one command.\n"
    "exit status: 0 success; 1 a map is invalid, maps differ or a preview could not be\n"
    "written; 2 a usage error or a file that cannot be read as a map.\n";

const char* const CHECK_USAGE =
    "usage: vxltool check FILE...\n"
    "\n"
    "Validates each file as a VXL map and prints 'FILE: ok' with what it counted, or\n"
    "'FILE: invalid: REASON' with the byte offset and column of the first fault.\n"
    "Bytes after the last column record are allowed and counted.\n"
    "exit status: 0 all valid; 1 some file invalid; 2 some file cannot be read.\n";

const char* const INFO_USAGE =
    "usage: vxltool info FILE [--json]\n"
    "\n"
    "Prints what a map holds: bytes, trailing bytes, spans, solid voxels, colour\n"
    "records, empty and floor columns, the range of surface heights (voxels above the\n"
    "bottom layer) and the number of distinct colours.\n"
    "  --json   print one JSON object instead, with \"valid\": true; for an invalid\n"
    "           map, {\"valid\": false, \"reason\": ...} (the status is still 2)\n"
    "exit status: 0 done; 2 the file cannot be read or is not a valid map.\n";

const char* const RENDER_USAGE =
    "usage: vxltool render FILE -o OUT.png [--view top|iso]\n"
    "\n"
    "Writes a preview of a map as a PNG picture, the only format it writes: an OUT\n"
    "whose extension names another (.jpg, .gif, .webp, ...) is refused.\n"
    "  -o OUT.png    where to write it (replaced whole, or left as it was on failure)\n"
    "  --view top    512 x 512 from above, shaded by relief (the default): pixel\n"
    "                (x, y) is column (x, y), x to the right, y down, (0, 0) top left\n"
    "  --view iso    1024 x 640 oblique view of the voxels from above column (511, 511)\n"
    "exit status: 0 written; 1 the PNG could not be written; 2 usage error, or the\n"
    "map cannot be read or is not valid.\n";

const char* const DIFF_USAGE =
    "usage: vxltool diff A B\n"
    "\n"
    "Compares two maps by what they hold: they are the same when the same voxels are\n"
    "solid and every voxel coloured in either file has the same colour in both.\n"
    "Prints how many columns and voxels differ and the first few (z counts from the\n"
    "top layer, 0, down to the bottom, 63).\n"
    "exit status: 0 the same; 1 different; 2 usage error, or a map cannot be read or\n"
    "is not valid.\n";

// ---- console

void complain(const std::string& what, const std::string& why) {
    std::fprintf(stderr, "vxltool: %s: %s\n", what.c_str(), why.c_str());
}

int usage_error(const char* command, const std::string& why) {
    complain(command, why + " (see 'vxltool " + command + " --help')");
    return VXLTOOL_TROUBLE;
}

// ---- arguments

/// A command's words split into positional arguments and recognised options.
struct Arguments {
    std::vector<std::string> files;
    bool help = false;
    bool json = false;
    std::string output;
    std::string view;
    std::string error;  // set when the words cannot be understood
};

/// Parses argv[first..argc). allowed lists the options the command takes among
/// "--json", "-o" and "--view"; "--help"/"-h" is always allowed and "--" ends options.
Arguments parse_arguments(int argc, char** argv, int first, const std::vector<std::string>& allowed) {
    Arguments args;
    auto takes = [&](const std::string& name) {
        for (const std::string& a : allowed)
            if (a == name) return true;
        return false;
    };
    bool options_done = false;
    for (int i = first; i < argc; ++i) {
        const std::string word = argv[i];
        if (options_done || word.size() < 2 || word[0] != '-') {
            args.files.push_back(word);
        } else if (word == "--") {
            options_done = true;
        } else if (word == "--help" || word == "-h") {
            args.help = true;
        } else if (word == "--json" && takes("--json")) {
            args.json = true;
        } else if ((word == "-o" || word == "--view") && takes(word)) {
            if (i + 1 >= argc) {
                if (args.error.empty()) args.error = "option '" + word + "' needs a value";
                continue;
            }
            (word == "-o" ? args.output : args.view) = argv[++i];
        } else if (word.rfind("--view=", 0) == 0 && takes("--view")) {
            args.view = word.substr(7);
        } else if (word.rfind("-o", 0) == 0 && takes("-o")) {
            args.output = word.substr(2);
        } else if (args.error.empty()) {
            args.error = "unknown option '" + word + "'";
        }
    }
    return args;
}

// ---- reading maps

/// A file read whole; null data when it could not be read.
struct MapFile {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t length = 0;
};

/// Reads path whole; on failure complains with the system's reason.
bool read_map_file(const std::string& path, MapFile* file) {
    std::string why;
    file->data = read_whole_file(path.c_str(), &file->length, &why);
    if (!file->data) complain(path, why);
    return file->data != nullptr;
}

/// Reads and decodes path; on failure complains and returns false, with the
/// reason in *invalid when the file was read but is not a valid map.
bool read_decoded_map(const std::string& path, DecodedMap* map, std::string* invalid = nullptr) {
    MapFile file;
    if (!read_map_file(path, &file)) return false;
    std::string why;
    if (!decode_map(file.data.get(), file.length, map, &why)) {
        complain(path, "invalid: " + why);
        if (invalid) *invalid = why;
        return false;
    }
    return true;
}

// ---- commands

int run_check(int argc, char** argv) {
    const Arguments args = parse_arguments(argc, argv, 2, {});
    if (args.help) return std::fputs(CHECK_USAGE, stdout), VXLTOOL_OK;
    if (!args.error.empty()) return usage_error("check", args.error);
    if (args.files.empty()) return usage_error("check", "no FILE given");

    int status = VXLTOOL_OK;
    for (const std::string& path : args.files) {
        MapFile file;
        if (!read_map_file(path, &file)) {
            status = VXLTOOL_TROUBLE;
            continue;
        }
        const VxlLoadResult result = check_vxl_map(file.data.get(), file.length);
        if (!result.ok) {
            std::printf("%s: invalid: %s\n", path.c_str(), result.reason.c_str());
            if (status == VXLTOOL_OK) status = VXLTOOL_NEGATIVE;
            continue;
        }
        std::printf("%s: ok, %zu bytes, %zu spans, %zu colour records", path.c_str(), result.bytes, result.spans,
                    result.colored_voxels);
        if (result.trailing_bytes) std::printf(", %zu trailing bytes", result.trailing_bytes);
        std::printf("\n");
    }
    return status;
}

int run_info(int argc, char** argv) {
    const Arguments args = parse_arguments(argc, argv, 2, {"--json"});
    if (args.help) return std::fputs(INFO_USAGE, stdout), VXLTOOL_OK;
    if (!args.error.empty()) return usage_error("info", args.error);
    if (args.files.size() != 1) return usage_error("info", "needs exactly one FILE");

    const std::string& path = args.files[0];
    DecodedMap map;
    std::string invalid;
    if (!read_decoded_map(path, &map, &invalid)) {
        // Scripts get an answer they can parse for a file that is not a map; one
        // that cannot be read at all is trouble with nothing on stdout.
        if (args.json && !invalid.empty())
            std::printf("{\"valid\": false, \"reason\": %s}\n", json_string(invalid).c_str());
        return VXLTOOL_TROUBLE;
    }
    const MapInfo info = summarize_map(map);
    if (args.json) {
        auto height = [](int h) { return h < 0 ? std::string("null") : std::to_string(h); };
        std::printf(
            "{\"valid\": true, \"bytes\": %zu, \"record_bytes\": %zu, \"trailing_bytes\": %zu, \"columns\": %zu, "
            "\"spans\": %zu, \"solid_voxels\": %zu, \"color_records\": %zu, \"colored_voxels\": %zu, "
            "\"empty_columns\": %zu, \"floor_columns\": %zu, \"surface_min\": %s, \"surface_max\": %s, "
            "\"distinct_colors\": %zu}\n",
            info.bytes, info.record_bytes, info.trailing_bytes, info.columns, info.spans, info.solid_voxels,
            info.colored_voxels, info.colored_voxels, info.empty_columns, info.floor_columns,
            height(info.surface_min).c_str(), height(info.surface_max).c_str(), info.distinct_colors);
        return VXLTOOL_OK;
    }
    std::printf("%s: VXL map\n", path.c_str());
    std::printf("  bytes             %zu\n", info.bytes);
    std::printf("  trailing bytes    %zu\n", info.trailing_bytes);
    std::printf("  columns           %zu\n", info.columns);
    std::printf("  spans             %zu\n", info.spans);
    std::printf("  solid voxels      %zu\n", info.solid_voxels);
    std::printf("  colour records    %zu\n", info.colored_voxels);
    std::printf("  empty columns     %zu\n", info.empty_columns);
    std::printf("  floor columns     %zu (surface height 0)\n", info.floor_columns);
    if (info.surface_min < 0)
        std::printf("  surface heights   none (all air)\n");
    else
        std::printf("  surface heights   %d..%d (voxels above the bottom layer)\n", info.surface_min,
                    info.surface_max);
    std::printf("  distinct colours  %zu\n", info.distinct_colors);
    return VXLTOOL_OK;
}

/// The picture format that the extension of path names when it is not PNG ("JPEG"
/// for "top.jpg"), or null when it names PNG, no picture format or nothing.
const char* other_picture_format(const std::string& path) {
    static const struct {
        const char* extension;
        const char* format;
    } FORMATS[] = {
        {"jpg", "JPEG"}, {"jpeg", "JPEG"}, {"jpe", "JPEG"}, {"jfif", "JPEG"}, {"jxl", "JPEG XL"}, {"jp2", "JPEG 2000"},
        {"gif", "GIF"},  {"webp", "WebP"}, {"avif", "AVIF"}, {"heic", "HEIC"}, {"heif", "HEIF"}, {"bmp", "BMP"},
        {"tif", "TIFF"}, {"tiff", "TIFF"}, {"ico", "ICO"},   {"tga", "TGA"},   {"qoi", "QOI"},   {"exr", "OpenEXR"},
        {"ppm", "PPM"},  {"pgm", "PGM"},   {"pbm", "PBM"},   {"pnm", "PNM"},   {"svg", "SVG"},
    };
    const std::size_t slash = path.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= base) return nullptr;  // no extension, or a name like ".jpg"
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    for (const auto& f : FORMATS)
        if (extension == f.extension) return f.format;
    return nullptr;
}

int run_render(int argc, char** argv) {
    const Arguments args = parse_arguments(argc, argv, 2, {"-o", "--view"});
    if (args.help) return std::fputs(RENDER_USAGE, stdout), VXLTOOL_OK;
    if (!args.error.empty()) return usage_error("render", args.error);
    if (args.files.size() != 1) return usage_error("render", "needs exactly one FILE");
    if (args.output.empty()) return usage_error("render", "no output given: -o OUT.png");
    if (const char* format = other_picture_format(args.output))
        return usage_error("render", "'" + args.output + "' asks for " + format +
                                         ", but render writes only PNG: give OUT a name ending in .png");
    const std::string view = args.view.empty() ? "top" : args.view;
    if (view != "top" && view != "iso") return usage_error("render", "unknown view '" + view + "': top or iso");

    DecodedMap map;
    if (!read_decoded_map(args.files[0], &map)) return VXLTOOL_TROUBLE;
    const RgbImage image = view == "top" ? render_top_view(map) : render_iso_view(map);
    std::string why;
    if (!write_png(args.output.c_str(), image, &why)) {
        complain(args.output, why);
        return VXLTOOL_NEGATIVE;
    }
    std::printf("%s: %s view, %d x %d\n", args.output.c_str(), view.c_str(), image.width, image.height);
    return VXLTOOL_OK;
}

/// "1 voxel", "2 voxels"
std::string count_of(std::size_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

/// "air", "solid, no colour" or "solid, colour 0x80RRGGBB"
std::string describe_voxel(bool solid, bool colored, std::uint32_t color) {
    if (!solid) return "air";
    if (!colored) return "solid, no colour";
    char text[40];
    std::snprintf(text, sizeof text, "solid, colour 0x%08" PRIX32, color);
    return text;
}

int run_diff(int argc, char** argv) {
    const Arguments args = parse_arguments(argc, argv, 2, {});
    if (args.help) return std::fputs(DIFF_USAGE, stdout), VXLTOOL_OK;
    if (!args.error.empty()) return usage_error("diff", args.error);
    if (args.files.size() != 2) return usage_error("diff", "needs two files, A and B");

    // Both maps are read and validated before anything is compared, so an
    // invalid B is reported as such, never as a difference.
    MapFile files[2];
    for (int i = 0; i < 2; ++i) {
        if (!read_map_file(args.files[i], &files[i])) return VXLTOOL_TROUBLE;
        const VxlLoadResult result = check_vxl_map(files[i].data.get(), files[i].length);
        if (!result.ok) {
            complain(args.files[i], "invalid: " + result.reason);
            return VXLTOOL_TROUBLE;
        }
    }
    constexpr std::size_t SHOWN = 10;
    const MapDifference diff =
        diff_vxl_maps(files[0].data.get(), files[0].length, files[1].data.get(), files[1].length, SHOWN);
    if (diff.voxels == 0) {
        std::printf("%s and %s hold the same map\n", args.files[0].c_str(), args.files[1].c_str());
        return VXLTOOL_OK;
    }
    std::printf("maps differ in %s of %s (A = %s, B = %s)\n", count_of(diff.voxels, "voxel").c_str(),
                count_of(diff.columns, "column").c_str(), args.files[0].c_str(), args.files[1].c_str());
    for (const VoxelDifference& d : diff.first)
        std::printf("  column (%d, %d) z %d: A %s; B %s\n", d.x, d.y, d.z,
                    describe_voxel(d.solid_a, d.colored_a, d.color_a).c_str(),
                    describe_voxel(d.solid_b, d.colored_b, d.color_b).c_str());
    if (diff.voxels > diff.first.size()) std::printf("  ... and %zu more\n", diff.voxels - diff.first.size());
    return VXLTOOL_NEGATIVE;
}

}  // namespace

namespace {

int run_command(int argc, char** argv) {
    if (argc < 2) {
        complain("usage", "no command given (see 'vxltool --help')");
        return VXLTOOL_TROUBLE;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") return std::fputs(MAIN_USAGE, stdout), VXLTOOL_OK;
    if (command == "check") return run_check(argc, argv);
    if (command == "info") return run_info(argc, argv);
    if (command == "render") return run_render(argc, argv);
    if (command == "diff") return run_diff(argc, argv);
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
