// Writing a preview picture as a PNG file with libpng. The picture reaches its
// path whole or not at all: it is written beside it under a temporary name and
// renamed into place, so a failed write never leaves half a file or spoils an
// older one.
#pragma once

#include <string>

#include "tools/map_render.h"

/// Writes image to path as an 8-bit RGB PNG. Returns false with the system's or
/// libpng's reason in *reason when it could not be written.
bool write_png(const char* path, const RgbImage& image, std::string* reason);
