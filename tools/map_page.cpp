#include "tools/map_page.h"

#include <map>
#include <vector>

#include "tools/map_render.h"
#include "tools/png_file.h"
#include "tools/web_assets.h"
#include "tools/web_text.h"

namespace {

constexpr const char* GENERATOR = "vxltool " MAPGEN_VERSION;

/// The page's modules under the names its import map gives them; three.js first.
const char* const MODULES[][2] = {
    {"three", "vendor/three.page.min.js"},
    {"#map_data", "map_data.js"},
    {"#map_mesh", "map_mesh.js"},
    {"#orbit", "orbit.js"},
};

/// An import map that resolves each module name to a data: URL of its source,
/// since a page opened from disk may not load files beside it.
std::string import_map() {
    std::string json = "{\"imports\": {";
    for (std::size_t i = 0; i < std::size(MODULES); ++i) {
        const std::string_view source = web_asset(MODULES[i][1]);
        if (i) json += ", ";
        json += script_json_string(MODULES[i][0]) + ": \"data:text/javascript;base64," +
                base64_encode(reinterpret_cast<const std::uint8_t*>(source.data()), source.size()) + "\"";
    }
    return json + "}}";
}

/// text safe inside an HTML comment: no "--" anywhere
std::string comment_safe(std::string_view text) {
    std::string out(text);
    for (std::size_t at; (at = out.find("--")) != std::string::npos;) out.replace(at, 2, "- -");
    return out;
}

std::string heights_text(const map_info& info) {
    if (info.surface_min < 0) return "none (all air)";
    if (info.surface_min == info.surface_max) return std::to_string(info.surface_min);
    return std::to_string(info.surface_min) + "–" + std::to_string(info.surface_max);
}

std::string figure_rows(const map_info& info) {
    const std::pair<const char*, std::string> rows[] = {
        {"Size", "512 × 512 columns, 64 high"},
        {"File", group_thousands(info.bytes) + " bytes"},
        {"Trailing bytes", group_thousands(info.trailing_bytes)},
        {"Spans", group_thousands(info.spans)},
        {"Solid voxels", group_thousands(info.solid_voxels)},
        {"Colour records", group_thousands(info.coloured_voxels)},
        {"Distinct colours", group_thousands(info.distinct_colours)},
        {"Surface heights", heights_text(info) + (info.surface_min < 0 ? "" : " voxels above the bottom")},
        {"Floor columns", group_thousands(info.floor_columns) + " (height 0)"},
        {"Empty columns", group_thousands(info.empty_columns)},
    };
    std::string html;
    for (const auto& [label, value] : rows)
        html += "        <tr><th scope=\"row\">" + html_escape(label) + "</th><td>" + html_escape(value) + "</td></tr>\n";
    if (!html.empty()) html.pop_back();
    return html;
}

std::string info_json(const map_page_input& input, const map_info& info) {
    auto height = [](int h) { return h < 0 ? std::string("null") : std::to_string(h); };
    return "{\"name\": " + script_json_string(input.name) + ", \"file_name\": " + script_json_string(input.file_name) +
           ", \"bytes\": " + std::to_string(info.bytes) + ", \"spans\": " + std::to_string(info.spans) +
           ", \"solid_voxels\": " + std::to_string(info.solid_voxels) +
           ", \"colored_voxels\": " + std::to_string(info.coloured_voxels) +
           ", \"distinct_colors\": " + std::to_string(info.distinct_colours) +
           ", \"empty_columns\": " + std::to_string(info.empty_columns) +
           ", \"floor_columns\": " + std::to_string(info.floor_columns) + ", \"surface_min\": " +
           height(info.surface_min) + ", \"surface_max\": " + height(info.surface_max) + "}";
}

}  // namespace

std::string map_name_of(const std::string& path) {
    std::string name = path;
    while (!name.empty() && name.back() == '/') name.pop_back();
    const std::size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    if (name.size() > 4) {
        std::string ending = name.substr(name.size() - 4);
        for (char& c : ending) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (ending == ".vxl") name.resize(name.size() - 4);
    }
    if (name.empty() || name == "-" || name == "." || name == "..") return "map";
    return name;
}

std::string describe_map(const std::string& name, const map_info& info) {
    std::string text = "The map " + name + ", 512 by 512 columns of 64 voxels";
    if (info.surface_min < 0) return text + ", is all air.";
    text += info.surface_min == info.surface_max
                ? ": its surface stands " + std::to_string(info.surface_min) + " voxels above the bottom everywhere"
                : ": surface heights from " + std::to_string(info.surface_min) + " to " +
                      std::to_string(info.surface_max) + " voxels above the bottom";
    text += ", " + group_thousands(info.distinct_colours) + (info.distinct_colours == 1 ? " colour" : " distinct colours");
    if (info.empty_columns) text += ", " + group_thousands(info.empty_columns) + " empty columns";
    if (info.floor_columns) text += ", " + group_thousands(info.floor_columns) + " columns at floor level";
    return text + ".";
}

bool build_map_page(const map_page_input& input, const decoded_map& map, const map_info& info, std::string* html,
                    std::string* reason) {
    std::vector<std::uint8_t> packed;
    if (!zlib_compress(input.data, input.length, &packed, reason)) return false;
    std::vector<std::uint8_t> top_png;
    if (!encode_png(render_top_view(map), &top_png, reason)) return false;

    const std::string name = html_escape(input.name);
    const std::string description = html_escape(describe_map(input.name, info));
    std::string summary = "512 × 512 · heights " + heights_text(info) + " · " +
                          group_thousands(info.distinct_colours) + " colours";
    const std::map<std::string, std::string> values = {
        {"name", name},
        {"file_name", html_escape(input.file_name)},
        {"generator", GENERATOR},
        {"style", std::string(web_asset("theme.css")) + std::string(web_asset("page.css"))},
        {"summary", html_escape(summary)},
        {"size", html_escape(human_size(input.length))},
        {"back_link", input.back_href.empty() ? ""
                                              : "<a class=\"back\" href=\"" + html_escape(input.back_href) +
                                                    "\">← All maps</a>"},
        {"description", description},
        {"top_view", "data:image/png;base64," + base64_encode(top_png.data(), top_png.size())},
        {"figures", figure_rows(info)},
        {"info_json", info_json(input, info)},
        {"map_data", base64_encode(packed.data(), packed.size())},
        {"three_license", comment_safe(web_asset("vendor/three.LICENSE"))},
        {"import_map", import_map()},
        {"script", std::string(web_asset("page.js"))},
    };
    return fill_template(web_asset("page.html"), values, html, reason);
}
