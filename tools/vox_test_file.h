// Test support: .vox files put together chunk by chunk, for the .vox reader's
// tests and vxltool's. Not part of any program.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace vox_test {

using bytes = std::vector<std::uint8_t>;

inline void i32(bytes& out, std::int64_t v) {
    for (int s = 0; s < 32; s += 8) out.push_back(std::uint8_t(std::uint32_t(std::int32_t(v)) >> s));
}

inline bytes text(const std::string& s) {
    bytes out;
    i32(out, std::int64_t(s.size()));
    // Byte by byte: GCC 12 warns falsely (-Wstringop-overread) on the range insert.
    for (char c : s) out.push_back(std::uint8_t(c));
    return out;
}

inline bytes dict(std::initializer_list<std::pair<std::string, std::string>> entries) {
    bytes out;
    i32(out, std::int64_t(entries.size()));
    for (const auto& [k, v] : entries) {
        const bytes a = text(k), b = text(v);
        out.insert(out.end(), a.begin(), a.end());
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

inline bytes join(std::initializer_list<bytes> parts) {
    bytes out;
    for (const bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline bytes ints(std::initializer_list<std::int64_t> values) {
    bytes out;
    for (std::int64_t v : values) i32(out, v);
    return out;
}

inline bytes chunk(const char* id, const bytes& content, const bytes& children = {}) {
    bytes out(id, id + 4);
    i32(out, std::int64_t(content.size()));
    i32(out, std::int64_t(children.size()));
    return join({out, content, children});
}

inline bytes vox_file(const bytes& main_children, int version = 150) {
    return join({bytes{'V', 'O', 'X', ' '}, ints({version}), chunk("MAIN", {}, main_children)});
}

/// A model of the given size holding voxels (x, y, z, index).
inline bytes model(int sx, int sy, int sz, std::initializer_list<std::array<std::uint8_t, 4>> voxels) {
    bytes xyzi = ints({std::int64_t(voxels.size())});
    for (const auto& v : voxels) xyzi.insert(xyzi.end(), v.begin(), v.end());
    return join({chunk("SIZE", ints({sx, sy, sz})), chunk("XYZI", xyzi)});
}

inline bytes transform(int id, int child, int layer, std::initializer_list<std::pair<std::string, std::string>> frame,
                std::initializer_list<std::pair<std::string, std::string>> attributes = {}) {
    return chunk("nTRN", join({ints({id}), dict(attributes), ints({child, -1, layer, 1}), dict(frame)}));
}

inline bytes group(int id, std::initializer_list<std::int64_t> children) {
    return chunk("nGRP", join({ints({id}), dict({}), ints({std::int64_t(children.size())}), ints(children)}));
}

inline bytes shape(int id, int model_id) { return chunk("nSHP", join({ints({id}), dict({}), ints({1, model_id}), dict({})})); }

}  // namespace vox_test
