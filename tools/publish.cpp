#include "tools/publish.h"

#include <cstdio>

#include "mapfile/read_file.h"
#include "mapfile/safe_write.h"
#include "tools/decoded_map.h"
#include "tools/map_info.h"
#include "tools/map_page.h"
#include "tools/vxltool.h"
#include "tools/web_text.h"

namespace {

void complain(const std::string& what, const std::string& why) {
    std::fprintf(stderr, "vxltool: %s: %s\n", what.c_str(), why.c_str());
}

/// A map file read whole and decoded.
struct LoadedMap {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t length = 0;
    DecodedMap map;
    MapInfo info;
};

/// Reads and decodes path; on failure complains with the system's or the loader's
/// reason and returns false.
bool load_map(const std::string& path, LoadedMap* loaded) {
    std::string why;
    loaded->data = read_whole_file(path.c_str(), &loaded->length, &why);
    if (!loaded->data) {
        complain(path, why);
        return false;
    }
    if (!decode_map(loaded->data.get(), loaded->length, &loaded->map, &why)) {
        complain(path, "invalid: " + why);
        return false;
    }
    loaded->info = summarize_map(loaded->map);
    return true;
}

}  // namespace

int write_page_command(const std::string& map_path, const std::string& output) {
    LoadedMap loaded;
    if (!load_map(map_path, &loaded)) return VXLTOOL_TROUBLE;
    MapPageInput input;
    input.name = map_name_of(map_path);
    input.file_name = input.name + ".vxl";
    input.data = loaded.data.get();
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
    std::printf("%s: page of %s, %s\n", output.c_str(), input.name.c_str(), human_size(html.size()).c_str());
    return VXLTOOL_OK;
}
