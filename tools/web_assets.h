// The files of web/ that the map page and the gallery are made of (markup,
// styles, the page's scripts and the bundled three.js), built into vxltool so it
// needs no files beside it. tools/embed_files.cmake generates the table.
#pragma once

#include <cstddef>
#include <string_view>

struct web_asset_entry {
    const char* name;  // path under web/, e.g. "page.js" or "vendor/three.page.min.js"
    const char* data;
    std::size_t size;
};

extern const web_asset_entry WEB_ASSETS[];
extern const std::size_t WEB_ASSET_COUNT;

/// the contents of web/NAME as built in; empty for a name that is not built in
std::string_view web_asset(std::string_view name);
