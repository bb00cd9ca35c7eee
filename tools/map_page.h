// The map page: one self-contained HTML file for sharing a map. It shows the map
// in 3D (three.js draws what the page's own script builds from the map), from
// above, with its figures and a text description, and offers the map file itself
// for download. The map, the pictures, the scripts and the styles are all inside
// the file, so it works opened from disk without a connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/decoded_map.h"
#include "tools/map_info.h"

struct map_page_input {
    std::string name;       // what the page calls the map, e.g. "island"
    std::string file_name;  // the name the download is saved under, e.g. "island.vxl"
    const std::uint8_t* data = nullptr;  // the map file's bytes, embedded as they are
    std::size_t length = 0;
    std::string back_href;  // a link back to a gallery (relative URL), or empty for none
};

/// The name a page gives the map in file path: its last path component without a
/// ".vxl" ending (any case); "map" when nothing is left (an empty path, "-", "/").
std::string map_name_of(const std::string& path);

/// One sentence that describes the map for people who cannot see the pictures:
/// its size, surface heights, colours and empty columns.
std::string describe_map(const std::string& name, const map_info& info);

/// Builds the page of a valid map (map is its decoding, info its summary). Returns
/// false with a reason when a part cannot be made (compression, PNG encoding).
bool build_map_page(const map_page_input& input, const decoded_map& map, const map_info& info, std::string* html,
                    std::string* reason);
