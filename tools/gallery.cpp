#include "tools/gallery.h"

#include <algorithm>
#include <map>

#include "tools/web_assets.h"
#include "tools/web_text.h"

std::string gallery_page_path(const std::string& name) { return "pages/" + name + ".html"; }
std::string gallery_thumbnail_path(const std::string& name) { return "thumbs/" + name + ".png"; }
std::string gallery_map_path(const std::string& name) { return "maps/" + name + ".vxl"; }

namespace {

/// a relative URL for a path of the form folder/file: the file part percent-encoded
std::string href_of(const std::string& path) {
    const std::size_t slash = path.find('/');
    return path.substr(0, slash + 1) + url_path_escape(path.substr(slash + 1));
}

std::string card(const gallery_entry& entry) {
    const map_info& info = entry.info;
    const std::string name = html_escape(entry.name);
    const std::string page = html_escape(href_of(gallery_page_path(entry.name)));
    std::string heights = info.surface_min < 0 ? "all air"
                          : info.surface_min == info.surface_max
                              ? "height " + std::to_string(info.surface_min)
                              : "heights " + std::to_string(info.surface_min) + "–" + std::to_string(info.surface_max);
    const std::string figures = heights + " · " + group_thousands(info.distinct_colours) +
                                (info.distinct_colours == 1 ? " colour" : " colours") + " · " + human_size(info.bytes);
    return "    <li class=\"card\" data-name=\"" + name + "\" data-high=\"" + std::to_string(info.surface_max) +
           "\" data-colours=\"" + std::to_string(info.distinct_colours) + "\" data-bytes=\"" +
           std::to_string(info.bytes) + "\">\n" +
           "      <a href=\"" + page + "\" tabindex=\"-1\" aria-hidden=\"true\"><img src=\"" +
           html_escape(href_of(gallery_thumbnail_path(entry.name))) + "\" width=\"" +
           std::to_string(GALLERY_THUMBNAIL_SIZE) + "\" height=\"" + std::to_string(GALLERY_THUMBNAIL_SIZE) +
           "\" alt=\"\" loading=\"lazy\"></a>\n" +
           "      <div class=\"text\">\n" +
           "        <h2><a href=\"" + page + "\">" + name + "</a></h2>\n" +
           "        <p>" + html_escape(figures) + "</p>\n" +
           "        <a class=\"download\" href=\"" + html_escape(href_of(gallery_map_path(entry.name))) +
           "\" download>Download " + name + ".vxl</a>\n" +
           "      </div>\n" +
           "    </li>";
}

}  // namespace

bool build_gallery_index(std::vector<gallery_entry> entries, const std::string& title, std::string* html,
                         std::string* reason) {
    std::sort(entries.begin(), entries.end(),
              [](const gallery_entry& a, const gallery_entry& b) { return a.name < b.name; });
    std::string cards;
    for (const gallery_entry& entry : entries) {
        if (!cards.empty()) cards += '\n';
        cards += card(entry);
    }
    const std::map<std::string, std::string> values = {
        {"generator", "vxltool " MAPGEN_VERSION},
        {"title", html_escape(title)},
        {"style", std::string(web_asset("theme.css")) + std::string(web_asset("gallery.css"))},
        {"script", std::string(web_asset("gallery.js"))},
        {"count", std::to_string(entries.size()) + (entries.size() == 1 ? " map" : " maps")},
        {"cards", cards},
    };
    return fill_template(web_asset("gallery.html"), values, html, reason);
}
