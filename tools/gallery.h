// The gallery's index page: one card per map (its thumbnail, name and key
// figures, links to its page and to the map file), with a filter by name and a
// choice of order that work in the page itself, offline. The files a card links
// to sit beside the index: pages/NAME.html, thumbs/NAME.png, maps/NAME.vxl.
#pragma once

#include <string>
#include <vector>

#include "tools/map_info.h"

struct gallery_entry {
    std::string name;  // the map's name, also the stem of its three files
    map_info info;
};

/// Paths of a map's files relative to the gallery folder, as written on disk.
std::string gallery_page_path(const std::string& name);
std::string gallery_thumbnail_path(const std::string& name);
std::string gallery_map_path(const std::string& name);

/// Thumbnails are this many pixels square.
constexpr int GALLERY_THUMBNAIL_SIZE = 256;

/// The index page for the entries, which appear sorted by name (byte order).
/// Returns false with a reason when the template cannot be filled.
bool build_gallery_index(std::vector<gallery_entry> entries, const std::string& title, std::string* html,
                         std::string* reason);
