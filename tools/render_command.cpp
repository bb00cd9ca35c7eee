#include "tools/render_command.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mapfile/safe_write.h"
#include "tools/command_line.h"
#include "tools/decoded_map.h"
#include "tools/map_render.h"
#include "tools/output_text.h"
#include "tools/png_file.h"
#include "tools/vxltool.h"

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

namespace {

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

}  // namespace

int run_render(int argc, char** argv) {
    command_arguments args;
    const std::vector<std::string> options = {"-o", "--view", "--size", "--scale"};
    if (const auto done = start_command(argc, argv, "render", RENDER_USAGE, options, &args)) return *done;
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

    decoded_map map;
    if (!read_decoded_map(args.files[0], &map)) return VXLTOOL_TROUBLE;
    rgb_image image = view == "top" ? render_top_view(map) : render_iso_view(map);
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
