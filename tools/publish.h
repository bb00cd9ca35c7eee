// vxltool's publishing commands: `page` writes one map's self-contained page,
// `gallery` a folder of pages, thumbnails and map copies with an index. They own
// the console like the other commands: results on stdout, one line per error on
// stderr, the shared exit statuses.
#pragma once

#include <string>
#include <vector>

/// Usage texts, for `vxltool COMMAND --help`.
extern const char* const PAGE_USAGE;
extern const char* const GALLERY_USAGE;

/// `vxltool page MAP -o PAGE.html`: argv[1] is "page". Returns the exit status.
int run_page(int argc, char** argv);

/// `vxltool gallery [MAP...] -o DIR [--title TEXT] [-j N]`: argv[1] is "gallery".
/// Returns the exit status.
int run_gallery(int argc, char** argv);

/// Writes the page of the map at map_path to output. Returns the exit status.
int write_page_command(const std::string& map_path, const std::string& output);

/// Writes or updates the gallery in folder dir with the maps at map_paths (none
/// rebuilds the index only) under the given title, making the pages and
/// thumbnails of jobs maps at once. Returns the exit status.
///
/// The gallery is the set of maps in dir/maps/. Each map given is checked first,
/// and nothing is written unless every one is valid and their names differ. Then
/// each is copied to maps/NAME.vxl (replacing an earlier copy of the same name)
/// with a fresh pages/NAME.html and thumbs/NAME.png; maps already in maps/ keep
/// their files, and get a page or thumbnail only where one is missing; index.html
/// is written anew for them all. Nothing is ever deleted: to take a map out,
/// delete its three files and run again. Memory holds a few maps a job, however
/// many the gallery has.
int write_gallery_command(const std::vector<std::string>& map_paths, const std::string& dir,
                          const std::string& title, int jobs);
