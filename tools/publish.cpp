#include "tools/publish.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <optional>

#include "mapfile/read_file.h"
#include "mapfile/safe_write.h"
#include "mapfile/vxl_loader.h"
#include "tools/command_line.h"
#include "tools/decoded_map.h"
#include "tools/gallery.h"
#include "tools/generate_progress.h"
#include "tools/map_info.h"
#include "tools/map_page.h"
#include "tools/map_render.h"
#include "tools/ordered_work.h"
#include "tools/output_text.h"
#include "tools/png_file.h"
#include "tools/vxltool.h"
#include "tools/web_text.h"

namespace {

/// A map's records read from its file and decoded.
struct loaded_map {
    vxl_input_image image;
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;  // the records: bytes after them, which readers ignore, are left out
    decoded_map map;
    map_info info;
};

/// Reads and decodes path (no further than its records need); on failure
/// complains with the system's or the loader's reason and returns false.
bool load_map(const std::string& path, loaded_map* loaded) {
    std::uint64_t record_bytes = 0;
    if (!read_map_records(path, &loaded->image, &loaded->map, &record_bytes)) return false;
    loaded->data = loaded->image.bytes.get();
    loaded->length = std::size_t(record_bytes);
    loaded->info = summarize_map(loaded->map);
    return true;
}

/// Writes bytes to path safely; on failure complains and returns false.
bool write_file(const std::string& path, const std::string& bytes) {
    std::string why;
    if (safe_write_file(path.c_str(), bytes.data(), bytes.size(), &why)) return true;
    complain(path, why);
    return false;
}

/// Makes folder path unless it is one already; on failure complains and returns false.
bool make_folder(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        complain(path, std::strerror(ENOTDIR));
        return false;
    }
    if (mkdir(path.c_str(), 0777) == 0) return true;
    complain(path, std::strerror(errno));
    return false;
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

/// A map of the gallery: where it is read from, and whether it was named on the
/// command line (then all its files are written).
struct gallery_map {
    std::string path;
    bool given = false;
};

/// What a worker makes of a gallery map for the writing thread: the files it
/// needs written, in memory, and its figures for the index; or the file that
/// could not be read or made, and why. Its decoded voxels are gone by then, so
/// a gallery of any size holds a few maps a thread.
struct gallery_files {
    vxl_input_image image;  // the file read: a given map's copy is its records
    std::size_t length = 0;
    map_info info;
    std::optional<std::string> page;       // when it is to be written
    std::vector<std::uint8_t> thumbnail;   // the PNG, when it is to be written
    std::string what, why;                 // what failed, empty when nothing did
    bool unreadable = false;               // the map itself could not be read
};

/// Reads the map and makes the files of it that its gallery needs. Prints nothing.
gallery_files make_gallery_files(const std::string& dir, const std::string& name, const gallery_map& entry) {
    gallery_files files;
    try {
        decoded_map map;
        std::uint64_t record_bytes = 0;
        if (!read_map_records_quietly(entry.path, &files.image, &map, &record_bytes, &files.why)) {
            files.what = entry.path;
            files.unreadable = true;
            return files;
        }
        files.length = std::size_t(record_bytes);
        files.info = summarize_map(map);
        const std::string page = dir + "/" + gallery_page_path(name), thumb = dir + "/" + gallery_thumbnail_path(name);
        if (entry.given || !exists(page)) {
            map_page_input input;
            input.name = name;
            input.file_name = name + ".vxl";
            input.data = files.image.bytes.get();
            input.length = files.length;
            input.back_href = "../index.html";
            if (!build_map_page(input, map, files.info, &files.page.emplace(), &files.why)) files.what = page;
        }
        if (files.what.empty() && (entry.given || !exists(thumb))) {
            const rgb_image image = fit_square(render_top_view(map), GALLERY_THUMBNAIL_SIZE, PREVIEW_SKY);
            if (!encode_png(image, &files.thumbnail, &files.why)) files.what = thumb;
        }
    } catch (const std::bad_alloc&) {
        files.what = entry.path;
        files.why = "out of memory";
    }
    return files;
}

/// Writes what make_gallery_files made; on failure complains and returns false.
bool write_gallery_files(const std::string& dir, const std::string& name, const gallery_map& entry,
                         const gallery_files& files) {
    std::string why;
    if (entry.given) {
        const std::string copy = dir + "/" + gallery_map_path(name);
        if (!safe_write_file(copy.c_str(), files.image.bytes.get(), files.length, &why))
            return complain(copy, why), false;
    }
    if (files.page && !write_file(dir + "/" + gallery_page_path(name), *files.page)) return false;
    const std::string thumb = dir + "/" + gallery_thumbnail_path(name);
    if (!files.thumbnail.empty() && !safe_write_file(thumb.c_str(), files.thumbnail.data(), files.thumbnail.size(), &why))
        return complain(thumb, why), false;
    return true;
}

}  // namespace

int write_page_command(const std::string& map_path, const std::string& output) {
    loaded_map loaded;
    if (!load_map(map_path, &loaded)) return VXLTOOL_TROUBLE;
    map_page_input input;
    input.name = map_name_of(map_path);
    input.file_name = input.name + ".vxl";
    input.data = loaded.data;
    input.length = loaded.length;
    std::string html, why;
    if (!build_map_page(input, loaded.map, loaded.info, &html, &why)) {
        complain(output, why);
        return VXLTOOL_NEGATIVE;
    }
    if (!safe_write_file(output.c_str(), html.data(), html.size(), &why)) {
        complain(output, why);
        return VXLTOOL_NEGATIVE;
    }
    std::printf("%s: page of %s, %s\n", quoted_name(output).c_str(), quoted_name(input.name).c_str(),
                human_size(html.size()).c_str());
    return VXLTOOL_OK;
}

int write_gallery_command(const std::vector<std::string>& map_paths, const std::string& dir,
                          const std::string& title, int jobs) {
    // Every map given is read and checked before anything is written, and let go
    // again: the pages are made from a second reading, a few maps at a time.
    std::map<std::string, gallery_map> maps;
    std::map<std::string, std::string> given_as;
    for (const std::string& path : map_paths) {
        const std::string name = map_name_of(path);
        if (given_as.count(name)) {
            complain("gallery", "'" + given_as[name] + "' and '" + path + "' would both be the map '" + name + "'");
            return VXLTOOL_TROUBLE;
        }
        given_as[name] = path;
        maps[name] = {path, true};
    }
    bool all_good = true;
    run_in_order<std::optional<std::string>>(
        map_paths.size(), jobs,
        [&](std::size_t i) -> std::optional<std::string> {
            vxl_input_image image;
            decoded_map map;
            std::string why;
            try {
                if (read_map_records_quietly(map_paths[i], &image, &map, nullptr, &why)) return std::nullopt;
            } catch (const std::bad_alloc&) {
                why = "out of memory";
            }
            return why;
        },
        [&](std::size_t i, const std::optional<std::string>& why) {
            if (why) complain(map_paths[i], *why), all_good = false;
            return true;
        });
    if (!all_good) return VXLTOOL_TROUBLE;

    for (const char* folder : {"", "/maps", "/pages", "/thumbs"})
        if (!make_folder(dir + folder)) return VXLTOOL_NEGATIVE;

    // Maps from earlier runs: every NAME.vxl in maps/ that was not given again.
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator(dir + "/maps", error)) {
        const std::string leaf = file.path().filename().string();
        if (leaf.size() > 4 && leaf.compare(leaf.size() - 4, 4, ".vxl") == 0 && file.is_regular_file(error)) {
            const std::string name = leaf.substr(0, leaf.size() - 4);
            if (!maps.count(name)) maps[name] = {dir + "/" + gallery_map_path(name), false};
        }
    }
    if (error) {
        complain(dir + "/maps", error.message());
        return VXLTOOL_NEGATIVE;
    }

    // The pages and thumbnails are made on every processor and written here, in
    // the order of the names.
    const std::vector<std::pair<std::string, gallery_map>> list(maps.begin(), maps.end());
    std::vector<gallery_entry> entries;
    Progress progress(list.size(), "gallery");
    int status = VXLTOOL_OK;
    progress.show(0, true);
    run_in_order<gallery_files>(
        list.size(), jobs, [&](std::size_t i) { return make_gallery_files(dir, list[i].first, list[i].second); },
        [&](std::size_t i, const gallery_files& files) {
            const auto& [name, entry] = list[i];
            if (!files.what.empty()) {
                progress.clear();
                complain(files.what, files.why);
                if (files.unreadable && !entry.given) {
                    complain(entry.path, "left out of the index");
                    return true;
                }
                status = files.unreadable ? VXLTOOL_TROUBLE : VXLTOOL_NEGATIVE;
                return false;
            }
            if (!write_gallery_files(dir, name, entry, files)) {
                progress.clear();
                status = VXLTOOL_NEGATIVE;
                return false;
            }
            if (entry.given) {
                progress.clear();
                std::printf("%s: %s, its page and thumbnail\n", quoted_name(name).c_str(),
                            quoted_name(gallery_map_path(name)).c_str());
                std::fflush(stdout);
            }
            entries.push_back({name, files.info});
            progress.show(i + 1, entry.given);
            return true;
        });
    progress.clear();
    if (status != VXLTOOL_OK) return status;

    std::string html, why;
    const std::string index = dir + "/index.html";
    if (!build_gallery_index(entries, title, &html, &why)) {
        complain(index, why);
        return VXLTOOL_NEGATIVE;
    }
    if (!write_file(index, html)) return VXLTOOL_NEGATIVE;
    std::printf("%s: %zu %s, %zu new or updated\n", quoted_name(index).c_str(), entries.size(),
                entries.size() == 1 ? "map" : "maps", map_paths.size());
    return VXLTOOL_OK;
}

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
    "usage: vxltool gallery [MAP...] -o DIR [--title TEXT] [-j N]\n"
    "\n"
    "Writes a gallery of maps into folder DIR (made if missing): DIR/index.html, a\n"
    "grid of thumbnails with each map's name and figures that can be filtered by\n"
    "name and sorted, and for each map a copy in DIR/maps/NAME.vxl, its page in\n"
    "DIR/pages/NAME.html (as 'vxltool page' writes it) and its thumbnail in\n"
    "DIR/thumbs/NAME.png. NAME is the map's file name without '.vxl'. It all works\n"
    "opened from disk. --title names the index page (default: Maps). -j N makes N\n"
    "maps' pages at once (1 to 1024; default: one per processor).\n"
    "Running it again adds or updates the maps given and keeps the others in\n"
    "DIR/maps/ in the index; it never deletes a file. Without MAP it rebuilds the\n"
    "index. Every map is checked first: nothing is written unless all are valid.\n"
    "On a terminal, standard error shows the progress.\n"
    "exit status: 0 written; 1 a file could not be written; 2 usage error, or a map\n"
    "cannot be read or is not valid.\n";

int run_page(int argc, char** argv) {
    command_arguments args;
    if (const auto done = start_command(argc, argv, "page", PAGE_USAGE, {"-o"}, &args)) return *done;
    if (args.files.size() != 1) return usage_error("page", "needs exactly one MAP");
    if (args.output.empty()) return usage_error("page", "no output given: -o PAGE.html");
    return write_page_command(args.files[0], args.output);
}

int run_gallery(int argc, char** argv) {
    command_arguments args;
    if (const auto done = start_command(argc, argv, "gallery", GALLERY_USAGE, {"-o", "--title", "-j"}, &args))
        return *done;
    if (args.output.empty()) return usage_error("gallery", "no folder given: -o DIR");
    if (args.title && args.title->empty()) return usage_error("gallery", "--title needs a text");
    int jobs = 0;
    std::string why;
    if (!jobs_option(args.jobs, &jobs, &why)) return usage_error("gallery", why);
    return write_gallery_command(args.files, args.output, args.title.value_or("Maps"), jobs);
}
