#include "tools/vxltool.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapfile/safe_write.h"
#include "mapfile/vxl_loader.h"
#include "tools/check_report.h"
#include "tools/decoded_map.h"
#include "tools/format_commands.h"
#include "tools/generate_command.h"
#include "tools/json_text.h"
#include "tools/map_diff.h"
#include "tools/map_info.h"
#include "tools/map_render.h"
#include "tools/output_text.h"
#include "tools/png_file.h"
#include "tools/publish.h"

namespace {

// ---- usage texts

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

const char* const CHECK_USAGE =
    "usage: vxltool check [--json] [--max-bytes N] FILE...\n"
    "\n"
    "Validates each file as a VXL map and prints 'FILE: ok' with what it counted, or\n"
    "'FILE: invalid: REASON' with the byte offset and column of the first fault.\n"
    "Bytes after the last column record are allowed and counted. A FILE of '-' is\n"
    "standard input, which may be a pipe; other files must be regular files.\n"
    "  --json          one JSON object per file and line: name, valid, and reason,\n"
    "                  offset and column for an invalid file\n"
    "  --max-bytes N   a file of more than N bytes is invalid, whatever it holds\n"
    "exit status: 0 all valid; 1 some file invalid; 2 some file cannot be read.\n";

const char* const INFO_USAGE =
    "usage: vxltool info FILE [--json]\n"
    "\n"
    "Prints what a map holds: bytes, trailing bytes, spans, solid voxels, colour\n"
    "records, empty and floor columns, the range of surface heights (voxels above the\n"
    "bottom layer) and the number of distinct colours. FILE '-' is standard input.\n"
    "  --json   print one JSON object instead, with \"valid\": true; for an invalid\n"
    "           map, {\"valid\": false, \"reason\": ..., \"offset\": ..., \"column\": ...}\n"
    "           as check --json gives it (the status is still 2)\n"
    "exit status: 0 done; 2 the file cannot be read or is not a valid map.\n";

const char* const RENDER_USAGE =
    "usage: vxltool render FILE -o OUT.png [--view top|iso] [--size N | --scale K]\n"
    "\n"
    "Writes a preview of a map as a PNG picture, the only format it writes: an OUT\n"
    "whose extension names another (.jpg, .gif, .webp, ...) is refused.\n"
    "  -o OUT.png    where to write it (replaced whole, or left as it was on failure);\n"
    "                '-' is standard output, and then the status line goes to stderr\n"
    "  --view top    512 x 512 from above, shaded by relief (the default): pixel\n"
    "                (x, y) is column (x, y), x to the right, y down, (0, 0) top left\n"
    "  --view iso    1024 x 640 oblique view of the voxels from above column (511, 511)\n"
    "  --size N      a thumbnail of N x N pixels (16 to 4096): the view scaled to fit,\n"
    "                each pixel the average of what it covers; the wide iso view is\n"
    "                centred with sky above and below\n"
    "  --scale K     the view K times larger (1 to 4), each voxel drawn K times bigger\n"
    "The PNG names the program in its Software text: vxltool and its version.\n"
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

const char* const PAGE_USAGE =
    "usage: vxltool page MAP -o PAGE.html\n"
    "\n"
    "Writes one self-contained web page for a map: a 3D view to turn, pan and zoom\n"
    "with mouse, touch or keys, the view from above, the map's figures and a link\n"
    "that downloads the map itself. Everything is inside the file: it works opened\n"
    "from disk with no connection. The page is replaced whole, or left as it was.\n"
    "exit status: 0 written; 1 the page could not be written; 2 usage error, or the\n"
    "map cannot be read or is not valid.\n";

const char* const GALLERY_USAGE =
    "usage: vxltool gallery [MAP...] -o DIR [--title TEXT]\n"
    "\n"
    "Writes a gallery of maps into folder DIR (made if missing): DIR/index.html, a\n"
    "grid of thumbnails with each map's name and figures that can be filtered by\n"
    "name and sorted, and for each map a copy in DIR/maps/NAME.vxl, its page in\n"
    "DIR/pages/NAME.html (as 'vxltool page' writes it) and its thumbnail in\n"
    "DIR/thumbs/NAME.png. NAME is the map's file name without '.vxl'. It all works\n"
    "opened from disk. --title names the index page (default: Maps).\n"
    "Running it again adds or updates the maps given and keeps the others in\n"
    "DIR/maps/ in the index; it never deletes a file. Without MAP it rebuilds the\n"
    "index. Every map is checked first: nothing is written unless all are valid.\n"
    "exit status: 0 written; 1 a file could not be written; 2 usage error, or a map\n"
    "cannot be read or is not valid.\n";

// ---- console

/// Errors name files quoted where their names hold what could forge a line.
void complain(const std::string& what, const std::string& why) {
    std::fprintf(stderr, "vxltool: %s: %s\n", quoted_name(what).c_str(), why.c_str());
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
    std::uint64_t max_bytes = VXL_ANY_SIZE;
    std::optional<std::string> size;   // render --size
    std::optional<std::string> scale;  // render --scale
    std::optional<std::string> title;  // gallery --title
    std::string error;  // set when the words cannot be understood
};

/// N of --max-bytes N: a decimal number of bytes; false when it is none.
bool read_byte_count(const std::string& text, std::uint64_t* count) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *count = std::stoull(text);
    return true;
}

/// the field that holds the value of option name
std::string& value_of(Arguments& args, const std::string& name) {
    if (name == "-o") return args.output;
    if (name == "--size") return args.size.emplace();
    if (name == "--scale") return args.scale.emplace();
    if (name == "--title") return args.title.emplace();
    return args.view;
}

/// n from a whole decimal number in lo..hi; false for anything else
bool parse_whole(const std::string& text, int lo, int hi, int* n) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *n = std::stoi(text);
    return *n >= lo && *n <= hi;
}

/// Parses argv[first..argc). allowed lists the options the command takes among
/// "--json", "--max-bytes", "-o", "--view", "--size", "--scale" and "--title" (those with a value
/// also as --name=value); "--help"/"-h" is always allowed and "--" ends options.
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
        } else if ((word == "-o" || word == "--view" || word == "--size" || word == "--scale" || word == "--title") &&
                   takes(word)) {
            if (i + 1 >= argc) {
                if (args.error.empty()) args.error = "option '" + word + "' needs a value";
                continue;
            }
            value_of(args, word) = argv[++i];
        } else if ((word == "--max-bytes" || word.rfind("--max-bytes=", 0) == 0) && takes("--max-bytes")) {
            std::string value;
            if (word.size() > 11) {
                value = word.substr(12);
            } else if (i + 1 < argc) {
                value = argv[++i];
            }
            if (!read_byte_count(value, &args.max_bytes) && args.error.empty())
                args.error = "option '--max-bytes' needs a number of bytes, not '" + value + "'";
        } else if (word.rfind("--", 0) == 0 && word.find('=') != std::string::npos &&
                   takes(word.substr(0, word.find('=')))) {
            value_of(args, word.substr(0, word.find('='))) = word.substr(word.find('=') + 1);
        } else if (word.rfind("-o", 0) == 0 && takes("-o")) {
            args.output = word.substr(2);
        } else if (args.error.empty()) {
            args.error = "unknown option '" + word + "'";
        }
    }
    return args;
}

// ---- reading maps

/// A map read from a file: its records and what reading them found.
struct MapFile {
    VxlFileImage image;
    VxlLoadResult result;
};

/// Reads and validates path. Returns false, having complained with the system's
/// reason, when the file cannot be read; an invalid map is read fine, with
/// result.ok false.
bool read_map_file(const std::string& path, MapFile* file, std::uint64_t max_bytes = VXL_ANY_SIZE) {
    file->result = read_vxl_file(path.c_str(), max_bytes, &file->image);
    if (file->result.read_failed) complain(path, file->result.reason);
    return !file->result.read_failed;
}

/// Reads and decodes path; on failure complains and returns false, with what
/// reading found in *invalid when the file was read but is not a valid map.
bool read_decoded_map(const std::string& path, DecodedMap* map, VxlLoadResult* invalid = nullptr) {
    MapFile file;
    if (!read_map_file(path, &file)) return false;
    std::string why;
    if (!file.result.ok || !decode_map(file.image.bytes.get(), file.image.length, map, &why)) {
        if (file.result.ok) file.result.ok = false, file.result.reason = why;
        complain(path, "invalid: " + file.result.reason);
        if (invalid) *invalid = file.result;
        return false;
    }
    map->summary = file.result;
    return true;
}

// ---- commands

int run_check(int argc, char** argv) {
    const Arguments args = parse_arguments(argc, argv, 2, {"--json", "--max-bytes"});
    if (args.help) return std::fputs(CHECK_USAGE, stdout), VXLTOOL_OK;
    if (!args.error.empty()) return usage_error("check", args.error);
    if (args.files.empty()) return usage_error("check", "no FILE given");
    if (std::count(args.files.begin(), args.files.end(), "-") > 1)
        return usage_error("check", "standard input ('-') can be read only once");

    int status = VXLTOOL_OK;
    for (const std::string& path : args.files) {
        MapFile file;
        if (!read_map_file(path, &file, args.max_bytes)) status = VXLTOOL_TROUBLE;
        else if (!file.result.ok && status == VXLTOOL_OK) status = VXLTOOL_NEGATIVE;
        // Each file's line is out as soon as it is decided: a later file may take
        // long or never end, and the lines before it must not be lost.
        if (args.json)
            std::printf("%s\n", check_json_line(path, file.result).c_str());
        else if (!file.result.read_failed)
            std::printf("%s\n", check_text_line(path, file.result).c_str());
        std::fflush(stdout);
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
    VxlLoadResult invalid;
    if (!read_decoded_map(path, &map, &invalid)) {
        // Scripts get an answer they can parse for a file that is not a map, in
        // the terms of check --json; one that cannot be read at all is trouble
        // with nothing on stdout.
        if (args.json && !invalid.reason.empty())
            std::printf("{\"valid\": false, %s}\n", vxl_fault_json(invalid).c_str());
        return VXLTOOL_TROUBLE;
    }
    const MapInfo info = summarize_map(map);
    if (args.json) {
        auto height = [](int h) { return h < 0 ? std::string("null") : std::to_string(h); };
        std::printf(
            "{\"valid\": true, \"bytes\": %" PRIu64 ", \"record_bytes\": %" PRIu64 ", \"trailing_bytes\": %" PRIu64
            ", \"columns\": %zu, \"spans\": %" PRIu64 ", \"solid_voxels\": %" PRIu64 ", \"color_records\": %" PRIu64
            ", \"colored_voxels\": %" PRIu64 ", \"empty_columns\": %zu, \"floor_columns\": %zu, \"surface_min\": %s, "
            "\"surface_max\": %s, \"distinct_colors\": %zu, \"version\": \"%s\"}\n",
            info.bytes, info.record_bytes, info.trailing_bytes, info.columns, info.spans, info.solid_voxels,
            info.colored_voxels, info.colored_voxels, info.empty_columns, info.floor_columns,
            height(info.surface_min).c_str(), height(info.surface_max).c_str(), info.distinct_colors, MAPGEN_VERSION);
        return VXLTOOL_OK;
    }
    std::printf("%s: VXL map\n", quoted_name(path).c_str());
    std::printf("  bytes             %" PRIu64 "\n", info.bytes);
    std::printf("  trailing bytes    %" PRIu64 "\n", info.trailing_bytes);
    std::printf("  columns           %zu\n", info.columns);
    std::printf("  spans             %" PRIu64 "\n", info.spans);
    std::printf("  solid voxels      %" PRIu64 "\n", info.solid_voxels);
    std::printf("  colour records    %" PRIu64 "\n", info.colored_voxels);
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
    const Arguments args = parse_arguments(argc, argv, 2, {"-o", "--view", "--size", "--scale"});
    if (args.help) return std::fputs(RENDER_USAGE, stdout), VXLTOOL_OK;
    if (!args.error.empty()) return usage_error("render", args.error);
    if (args.files.size() != 1) return usage_error("render", "needs exactly one FILE");
    if (args.output.empty()) return usage_error("render", "no output given: -o OUT.png");
    if (const char* format = other_picture_format(args.output))
        return usage_error("render", "'" + args.output + "' asks for " + format +
                                         ", but render writes only PNG: give OUT a name ending in .png");
    const std::string view = args.view.empty() ? "top" : args.view;
    if (view != "top" && view != "iso") return usage_error("render", "unknown view '" + view + "': top or iso");
    int size = 0, scale = 1;
    if (args.size && args.scale) return usage_error("render", "--size and --scale exclude each other");
    if (args.size && !parse_whole(*args.size, THUMBNAIL_MIN, THUMBNAIL_MAX, &size))
        return usage_error("render", "--size takes a whole number from " + std::to_string(THUMBNAIL_MIN) + " to " +
                                         std::to_string(THUMBNAIL_MAX) + ", not '" + *args.size + "'");
    if (args.scale && !parse_whole(*args.scale, SCALE_MIN, SCALE_MAX, &scale))
        return usage_error("render", "--scale takes a whole number from " + std::to_string(SCALE_MIN) + " to " +
                                         std::to_string(SCALE_MAX) + ", not '" + *args.scale + "'");

    // The picture may go to standard output ("-", /dev/stdout, or the file or pipe
    // stdout is redirected to): then the status line goes to stderr, so that the
    // picture's bytes are the only ones there. Decided before writing, since a
    // replaced file is a new one.
    const bool to_stdout = args.output == "-";
    const bool picture_on_stdout = to_stdout || names_standard_output(args.output.c_str());
    if (to_stdout && isatty(STDOUT_FILENO))
        return usage_error("render", "standard output is a terminal: redirect it, or give -o a file name");

    DecodedMap map;
    if (!read_decoded_map(args.files[0], &map)) return VXLTOOL_TROUBLE;
    RgbImage image = view == "top" ? render_top_view(map) : render_iso_view(map);
    if (size) image = fit_square(image, size, PREVIEW_SKY);
    if (scale > 1) image = scale_image(image, scale);
    std::string why;
    if (to_stdout) {
        std::vector<std::uint8_t> png;
        if (!encode_png(image, &png, &why)) {
            complain("standard output", why);
            return VXLTOOL_NEGATIVE;
        }
        if (std::fwrite(png.data(), 1, png.size(), stdout) != png.size() || std::fflush(stdout) != 0) {
            complain("standard output", std::strerror(errno ? errno : EIO));
            return VXLTOOL_NEGATIVE;
        }
    } else if (!write_png(args.output.c_str(), image, &why)) {
        complain(args.output, why);
        return VXLTOOL_NEGATIVE;
    }
    std::fprintf(picture_on_stdout ? stderr : stdout, "%s: %s view, %d x %d\n", quoted_name(args.output).c_str(),
                 view.c_str(), image.width, image.height);
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
    if (args.files[0] == "-" && args.files[1] == "-")
        return usage_error("diff", "standard input ('-') can be read only once");
    const std::string a = quoted_name(args.files[0]), b = quoted_name(args.files[1]);

    // Both maps are read and validated before anything is compared, so an
    // invalid B is reported as such, never as a difference.
    MapFile files[2];
    for (int i = 0; i < 2; ++i) {
        if (!read_map_file(args.files[i], &files[i])) return VXLTOOL_TROUBLE;
        const VxlLoadResult& result = files[i].result;
        if (!result.ok) {
            complain(args.files[i], "invalid: " + result.reason);
            return VXLTOOL_TROUBLE;
        }
    }
    constexpr std::size_t SHOWN = 10;
    const MapDifference diff =
        diff_vxl_maps(files[0].image.bytes.get(), files[0].image.length, files[1].image.bytes.get(),
                      files[1].image.length, SHOWN);
    if (diff.voxels == 0) {
        std::printf("%s and %s hold the same map\n", a.c_str(), b.c_str());
        return VXLTOOL_OK;
    }
    std::printf("maps differ in %s of %s (A = %s, B = %s)\n", count_of(diff.voxels, "voxel").c_str(),
                count_of(diff.columns, "column").c_str(), a.c_str(), b.c_str());
    for (const VoxelDifference& d : diff.first)
        std::printf("  column (%d, %d) z %d: A %s; B %s\n", d.x, d.y, d.z,
                    describe_voxel(d.solid_a, d.colored_a, d.color_a).c_str(),
                    describe_voxel(d.solid_b, d.colored_b, d.color_b).c_str());
    if (diff.voxels > diff.first.size()) std::printf("  ... and %zu more\n", diff.voxels - diff.first.size());
    return VXLTOOL_NEGATIVE;
}

int run_page(int argc, char** argv) {
    const Arguments args = parse_arguments(argc, argv, 2, {"-o"});
    if (args.help) return std::fputs(PAGE_USAGE, stdout), VXLTOOL_OK;
    if (!args.error.empty()) return usage_error("page", args.error);
    if (args.files.size() != 1) return usage_error("page", "needs exactly one MAP");
    if (args.output.empty()) return usage_error("page", "no output given: -o PAGE.html");
    return write_page_command(args.files[0], args.output);
}

int run_gallery(int argc, char** argv) {
    const Arguments args = parse_arguments(argc, argv, 2, {"-o", "--title"});
    if (args.help) return std::fputs(GALLERY_USAGE, stdout), VXLTOOL_OK;
    if (!args.error.empty()) return usage_error("gallery", args.error);
    if (args.output.empty()) return usage_error("gallery", "no folder given: -o DIR");
    if (args.title && args.title->empty()) return usage_error("gallery", "--title needs a text");
    return write_gallery_command(args.files, args.output, args.title.value_or("Maps"));
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
    if (command == "--version") return std::puts("vxltool " MAPGEN_VERSION), VXLTOOL_OK;
    if (command == "check") return run_check(argc, argv);
    if (command == "info") return run_info(argc, argv);
    if (command == "render") return run_render(argc, argv);
    if (command == "diff") return run_diff(argc, argv);
    if (command == "page") return run_page(argc, argv);
    if (command == "gallery") return run_gallery(argc, argv);
    if (command == "export") return run_export(argc, argv);
    if (command == "import") return run_import(argc, argv);
    if (command == "generate") return run_generate(argc, argv);
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
