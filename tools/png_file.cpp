#include "tools/png_file.h"

#include "mapfile/safe_write.h"
#include "tools/png_image.h"

namespace {

constexpr const char* PNG_SOFTWARE = "vxltool " MAPGEN_VERSION;

}  // namespace

bool encode_png(const rgb_image& image, std::vector<std::uint8_t>* png, std::string* reason) {
    return encode_png_pixels(image.width, image.height, 3, image.rgb.data(), png, reason, PNG_SOFTWARE);
}

bool write_png(const char* path, const rgb_image& image, std::string* reason) {
    std::vector<std::uint8_t> png;
    return encode_png(image, &png, reason) && safe_write_file(path, png.data(), png.size(), reason);
}
