// vxltool's publishing commands: `page` writes one map's self-contained page,
// `gallery` a folder of pages, thumbnails and map copies with an index. They own
// the console like the other commands: results on stdout, one line per error on
// stderr, the shared exit statuses.
#pragma once

#include <string>
#include <vector>

/// Writes the page of the map at map_path to output. Returns the exit status.
int write_page_command(const std::string& map_path, const std::string& output);
