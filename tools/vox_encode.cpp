// Writing .vox files: chunks of little-endian fields, the scene graph that
// places each model, and the palette.
#include <string>
#include <utility>

#include "platform/byte_order.h"
#include "tools/vox_file.h"

namespace {

constexpr int WRITTEN_VERSION = 150;

/// value as a little-endian 32-bit field (all fields of a .vox file are)
void put_i32(std::vector<std::uint8_t>& out, std::int64_t value) { put_u32_le(out, std::uint32_t(std::int32_t(value))); }

void put_text(std::vector<std::uint8_t>& out, const std::string& text) {
    put_i32(out, std::int64_t(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

void put_dict(std::vector<std::uint8_t>& out, const std::vector<std::pair<std::string, std::string>>& entries) {
    put_i32(out, std::int64_t(entries.size()));
    for (const auto& [key, value] : entries) put_text(out, key), put_text(out, value);
}

void put_chunk(std::vector<std::uint8_t>& out, const char id[4], const std::vector<std::uint8_t>& content) {
    out.insert(out.end(), id, id + 4);
    put_i32(out, std::int64_t(content.size()));
    put_i32(out, 0);
    out.insert(out.end(), content.begin(), content.end());
}

void put_transform(std::vector<std::uint8_t>& out, int id, int child, const std::string& name,
                   const std::int64_t* translation) {
    std::vector<std::uint8_t> c;
    put_i32(c, id);
    if (name.empty())
        put_dict(c, {});
    else
        put_dict(c, {{"_name", name}});
    put_i32(c, child);
    put_i32(c, -1);  // reserved
    put_i32(c, translation ? 0 : -1);  // layer
    put_i32(c, 1);   // frames
    if (translation)
        put_dict(c, {{"_t", std::to_string(translation[0]) + " " + std::to_string(translation[1]) + " " +
                                std::to_string(translation[2])}});
    else
        put_dict(c, {});
    put_chunk(out, "nTRN", c);
}

}  // namespace

std::vector<std::uint8_t> encode_vox(const std::vector<vox_out_model>& models, const std::vector<std::uint32_t>& palette) {
    std::vector<std::uint8_t> children;
    {
        std::vector<std::uint8_t> pack;
        put_i32(pack, std::int64_t(models.size()));
        put_chunk(children, "PACK", pack);
    }
    for (const vox_out_model& m : models) {
        std::vector<std::uint8_t> size, voxels;
        for (int s : m.size) put_i32(size, s);
        put_chunk(children, "SIZE", size);
        put_i32(voxels, std::int64_t(m.voxels.size() / VOX_VOXEL_BYTES));
        voxels.insert(voxels.end(), m.voxels.begin(), m.voxels.end());
        put_chunk(children, "XYZI", voxels);
    }
    // Scene: root transform 0 -> group 1 -> per model a transform 2 + 2m placing
    // shape 3 + 2m.
    put_transform(children, 0, 1, "", nullptr);
    {
        std::vector<std::uint8_t> c;
        put_i32(c, 1);
        put_dict(c, {});
        put_i32(c, std::int64_t(models.size()));
        for (std::size_t m = 0; m < models.size(); ++m) put_i32(c, std::int64_t(2 + 2 * m));
        put_chunk(children, "nGRP", c);
    }
    for (std::size_t m = 0; m < models.size(); ++m) {
        put_transform(children, int(2 + 2 * m), int(3 + 2 * m), "", models[m].translation);
        std::vector<std::uint8_t> c;
        put_i32(c, std::int64_t(3 + 2 * m));
        put_dict(c, {});
        put_i32(c, 1);
        put_i32(c, std::int64_t(m));
        put_dict(c, {});
        put_chunk(children, "nSHP", c);
    }
    {
        std::vector<std::uint8_t> layer;
        put_i32(layer, 0);
        put_dict(layer, {});
        put_i32(layer, -1);
        put_chunk(children, "LAYR", layer);
    }
    {
        std::vector<std::uint8_t> rgba;
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t c = i < palette.size() ? palette[i] : 0;
            rgba.insert(rgba.end(), {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c), 0xFF});
        }
        put_chunk(children, "RGBA", rgba);
    }
    std::vector<std::uint8_t> out = {'V', 'O', 'X', ' '};
    put_i32(out, WRITTEN_VERSION);
    out.insert(out.end(), {'M', 'A', 'I', 'N'});
    put_i32(out, 0);
    put_i32(out, std::int64_t(children.size()));
    out.insert(out.end(), children.begin(), children.end());
    return out;
}
