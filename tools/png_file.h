// Writing a preview picture as a PNG file with libpng. The picture is encoded in
// memory and handed to safe_write_file, so it reaches its path whole or not at
// all, and a failed write never spoils the file that stood there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/map_render.h"

/// Encodes image as an 8-bit RGB PNG into *png, with a tEXt chunk "Software" that
/// names the tool and its version ("vxltool 0.1.0"). Returns false with libpng's reason
/// in *reason when it cannot.
bool encode_png(const rgb_image& image, std::vector<std::uint8_t>* png, std::string* reason);

/// Writes image to path as an 8-bit RGB PNG. Returns false with the system's or
/// libpng's reason in *reason when it could not be written.
bool write_png(const char* path, const rgb_image& image, std::string* reason);
