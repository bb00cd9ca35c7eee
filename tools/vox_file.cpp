#include "tools/vox_file.h"

#include <cstring>
#include <map>

#include "platform/byte_order.h"
#include "tools/vox_scene_graph.h"

namespace {

constexpr std::size_t CHUNK_HEADER_BYTES = 12;  // id, content bytes, children bytes
constexpr std::int64_t MAX_TRANSLATION = 1 << 24;

// ---- reading

/// A window of the image with checked little-endian reads. A read past the end
/// fails and sets the reason once; later reads keep failing.
struct vox_reader {
    const std::uint8_t* at;
    const std::uint8_t* end;
    std::string* reason;
    const char* where;  // what is being read, for the reason

    std::size_t left() const { return std::size_t(end - at); }

    bool fail(const std::string& why) {
        if (reason->empty()) *reason = std::string(where) + ": " + why;
        at = end;
        return false;
    }
    bool i32(std::int32_t* value) {
        if (left() < 4) return fail("cut short");
        const std::uint32_t v = get_u32_le(at);
        std::memcpy(value, &v, 4);
        at += 4;
        return true;
    }
    /// A STRING: a length, then that many bytes.
    bool text(std::string* value) {
        std::int32_t n = 0;
        if (!i32(&n)) return false;
        if (n < 0 || std::size_t(n) > left()) return fail("a string runs past its chunk");
        value->assign(reinterpret_cast<const char*>(at), std::size_t(n));
        at += n;
        return true;
    }
    /// A DICT: a count, then that many key and value strings. Each pair takes at
    /// least 8 bytes, so the count is checked against what is there.
    bool dict(std::map<std::string, std::string>* values) {
        std::int32_t n = 0;
        if (!i32(&n)) return false;
        if (n < 0 || std::size_t(n) > left() / 8) return fail("a dictionary claims more entries than fit");
        for (std::int32_t i = 0; i < n; ++i) {
            std::string key, value;
            if (!text(&key) || !text(&value)) return false;
            (*values)[key] = value;
        }
        return true;
    }
};

bool is_hidden(const std::map<std::string, std::string>& attributes) {
    const auto it = attributes.find("_hidden");
    return it != attributes.end() && it->second == "1";
}

/// A decimal integer of at most 9 digits with an optional sign, the whole text.
bool parse_integer(const char*& s, std::int64_t* value) {
    bool negative = false;
    if (*s == '-' || *s == '+') negative = *s++ == '-';
    if (*s < '0' || *s > '9') return false;
    std::int64_t v = 0;
    for (int digits = 0; *s >= '0' && *s <= '9'; ++s, ++digits) {
        if (digits == 9) return false;
        v = v * 10 + (*s - '0');
    }
    *value = negative ? -v : v;
    return true;
}

/// "_t": three integers separated by spaces.
bool parse_translation(const std::string& text, std::int64_t t[3]) {
    const char* s = text.c_str();
    for (int i = 0; i < 3; ++i) {
        while (*s == ' ') ++s;
        if (!parse_integer(s, &t[i]) || t[i] > MAX_TRANSLATION || t[i] < -MAX_TRANSLATION) return false;
    }
    while (*s == ' ') ++s;
    return *s == '\0';
}

/// "_r": one byte. Bits 0-1 give the column of row 0's entry, bits 2-3 that of
/// row 1 (row 2 takes the remaining one), bits 4-6 the signs of rows 0-2 (set
/// for -1).
bool parse_rotation(const std::string& text, vox_rotation* r) {
    const char* s = text.c_str();
    std::int64_t bits = 0;
    if (!parse_integer(s, &bits) || *s != '\0' || bits < 0 || bits > 127) return false;
    const int a0 = int(bits & 3), a1 = int(bits >> 2 & 3);
    if (a0 > 2 || a1 > 2 || a0 == a1) return false;
    r->axis[0] = a0, r->axis[1] = a1, r->axis[2] = 3 - a0 - a1;
    for (int row = 0; row < 3; ++row) r->sign[row] = bits >> (4 + row) & 1 ? -1 : 1;
    return true;
}

bool read_transform(vox_reader& r, vox_node* node) {
    std::map<std::string, std::string> attributes, frame;
    std::int32_t child = 0, reserved = 0, layer = 0, frames = 0;
    if (!r.dict(&attributes) || !r.i32(&child) || !r.i32(&reserved) || !r.i32(&layer) || !r.i32(&frames))
        return false;
    if (frames < 1) return r.fail("a transform has no frame");
    if (!r.dict(&frame)) return false;  // the first frame is what the editor shows at rest
    node->kind = vox_node_kind::transform;
    node->children = {child};
    node->layer = layer;
    node->hidden = is_hidden(attributes);
    if (auto it = frame.find("_t"); it != frame.end() && !parse_translation(it->second, node->translation))
        return r.fail("translation '" + it->second.substr(0, 40) + "' is not three integers within 16,777,216");
    if (auto it = frame.find("_r"); it != frame.end() && !parse_rotation(it->second, &node->rotation))
        return r.fail("rotation '" + it->second.substr(0, 40) + "' is not a rotation");
    return true;
}

bool read_group(vox_reader& r, vox_node* node) {
    std::map<std::string, std::string> attributes;
    std::int32_t n = 0;
    if (!r.dict(&attributes) || !r.i32(&n)) return false;
    if (n < 0 || std::size_t(n) > r.left() / 4) return r.fail("a group claims more children than fit");
    node->kind = vox_node_kind::group;
    node->hidden = is_hidden(attributes);
    node->children.resize(std::size_t(n));
    for (std::int32_t& child : node->children)
        if (!r.i32(&child)) return false;
    return true;
}

bool read_shape(vox_reader& r, vox_node* node) {
    std::map<std::string, std::string> attributes, model_attributes;
    std::int32_t n = 0;
    if (!r.dict(&attributes) || !r.i32(&n)) return false;
    if (n < 1) return r.fail("a shape has no model");
    node->kind = vox_node_kind::shape;
    node->hidden = is_hidden(attributes);
    return r.i32(&node->model) && r.dict(&model_attributes);  // later models are animation frames
}

bool read_model(vox_reader& size_chunk, vox_reader& voxel_chunk, vox_model* model) {
    std::int32_t s[3], n = 0;
    for (int i = 0; i < 3; ++i) {
        if (!size_chunk.i32(&s[i])) return false;
        if (s[i] < 1 || s[i] > VOX_MAX_MODEL_SIZE)
            return size_chunk.fail("model size " + std::to_string(s[i]) + " is not 1 to 256");
        model->size[i] = s[i];
    }
    if (!voxel_chunk.i32(&n)) return false;
    if (n < 0 || std::size_t(n) > voxel_chunk.left() / VOX_VOXEL_BYTES)
        return voxel_chunk.fail("claims " + std::to_string(n) + " voxels, more than its chunk holds");
    model->voxels = voxel_chunk.at;
    model->count = std::size_t(n);
    for (std::size_t i = 0; i < model->count; ++i) {
        const std::uint8_t* v = model->voxels + i * VOX_VOXEL_BYTES;
        for (int a = 0; a < 3; ++a)
            if (v[a] >= model->size[a])
                return voxel_chunk.fail("voxel " + std::to_string(i) + " lies outside its model");
        if (v[3] == 0) continue;  // colour index 0 is empty
        for (int a = 0; a < 3; ++a) {
            model->min[a] = model->max[a] < model->min[a] ? v[a] : std::min<int>(model->min[a], v[a]);
            model->max[a] = std::max<int>(model->max[a], v[a]);
        }
    }
    return true;
}

/// Reads the children of MAIN. Chunks of other kinds (materials, cameras, notes)
/// are skipped.
bool read_chunks(vox_reader& main, vox_scene* scene, vox_chunks* chunks) {
    while (main.left() > 0) {
        if (main.left() < CHUNK_HEADER_BYTES) return main.fail("a chunk header is cut short");
        char id[5] = {0};
        std::memcpy(id, main.at, 4);
        main.at += 4;
        std::int32_t content = 0, children = 0;
        main.i32(&content);
        main.i32(&children);
        if (content < 0 || children < 0 || std::size_t(content) + std::size_t(children) > main.left())
            return main.fail(std::string("chunk '") + id + "' runs past the end of its parent");
        vox_reader chunk{main.at, main.at + content, main.reason, "chunk"};
        main.at += std::size_t(content) + std::size_t(children);
        const std::string kind = id;
        if (kind == "SIZE") {
            // A model is a SIZE chunk followed directly by its XYZI chunk.
            chunk.where = "SIZE";
            if (main.left() < CHUNK_HEADER_BYTES || std::memcmp(main.at, "XYZI", 4) != 0)
                return chunk.fail("not followed by an XYZI chunk");
            main.at += 4;
            std::int32_t voxel_content = 0, voxel_children = 0;
            main.i32(&voxel_content);
            main.i32(&voxel_children);
            if (voxel_content < 0 || voxel_children < 0 ||
                std::size_t(voxel_content) + std::size_t(voxel_children) > main.left())
                return main.fail("chunk 'XYZI' runs past the end of its parent");
            vox_reader voxels{main.at, main.at + voxel_content, main.reason, "XYZI"};
            main.at += std::size_t(voxel_content) + std::size_t(voxel_children);
            vox_model model;
            if (!read_model(chunk, voxels, &model)) return false;
            scene->models.push_back(model);
        } else if (kind == "XYZI") {
            return main.fail("an XYZI chunk without a SIZE chunk before it");
        } else if (kind == "RGBA") {
            chunk.where = "RGBA";
            if (chunk.left() < 256 * 4) return chunk.fail("palette cut short");
            // Palette entry i is colour index i + 1; the last entry is unused.
            for (int i = 0; i < 255; ++i) {
                const std::uint8_t* p = chunk.at + 4 * i;
                scene->palette[std::size_t(i) + 1] = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
            }
            chunks->has_palette = true;
        } else if (kind == "nTRN" || kind == "nGRP" || kind == "nSHP") {
            chunk.where = kind == "nTRN" ? "nTRN" : kind == "nGRP" ? "nGRP" : "nSHP";
            std::int32_t node_id = 0;
            if (!chunk.i32(&node_id)) return false;
            if (node_id < 0) return chunk.fail("negative node id");
            if (chunks->nodes.count(node_id)) return chunk.fail("node " + std::to_string(node_id) + " given twice");
            vox_node node{};
            const bool ok = kind == "nTRN"   ? read_transform(chunk, &node)
                            : kind == "nGRP" ? read_group(chunk, &node)
                                             : read_shape(chunk, &node);
            if (!ok) return false;
            chunks->nodes.emplace(node_id, std::move(node));
        } else if (kind == "LAYR") {
            chunk.where = "LAYR";
            std::int32_t layer_id = 0;
            std::map<std::string, std::string> attributes;
            if (!chunk.i32(&layer_id) || !chunk.dict(&attributes)) return false;
            chunks->hidden_layers[layer_id] = is_hidden(attributes);
        }
    }
    return true;
}

}  // namespace

bool parse_vox(const std::uint8_t* data, std::size_t length, vox_scene* scene, std::string* reason) {
    *scene = vox_scene{};
    reason->clear();
    if (length < 8 || std::memcmp(data, "VOX ", 4) != 0) {
        *reason = "not a MagicaVoxel .vox file (no 'VOX ' header)";
        return false;
    }
    vox_reader file{data + 4, data + length, reason, "header"};
    std::int32_t version = 0;
    file.i32(&version);
    scene->version = version;
    if (file.left() < CHUNK_HEADER_BYTES || std::memcmp(file.at, "MAIN", 4) != 0) {
        *reason = "no MAIN chunk after the header";
        return false;
    }
    file.at += 4;
    file.where = "MAIN";
    std::int32_t content = 0, children = 0;
    file.i32(&content);
    file.i32(&children);
    if (content < 0 || children < 0 || std::size_t(content) + std::size_t(children) > file.left()) {
        *reason = "MAIN: runs past the end of the file";
        return false;
    }
    vox_reader main{file.at + content, file.at + content + children, reason, "MAIN"};
    vox_chunks chunks;
    scene->palette = vox_default_palette();
    if (!read_chunks(main, scene, &chunks)) return false;
    if (scene->models.empty()) {
        *reason = "the file holds no model";
        return false;
    }
    scene->has_scene_graph = !chunks.nodes.empty();
    if (!scene->has_scene_graph) {
        for (std::size_t m = 0; m < scene->models.size(); ++m) scene->instances.push_back(vox_instance{m, {}, {0, 0, 0}});
        return true;
    }
    return walk_vox_scene(chunks, scene, reason);
}

std::array<std::uint32_t, 256> vox_default_palette() {
    // Index 0 is empty; 1 to 215 a colour cube over the levels FF, CC, 99, 66, 33,
    // 00, blue changing fastest, then green, then red, without black; then
    // ramps of red, green, blue and grey over EE, DD, BB, AA, 88, 77, 55, 44, 22, 11.
    std::array<std::uint32_t, 256> p{};
    std::size_t i = 1;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) {
                if (r == 5 && g == 5 && b == 5) continue;
                p[i++] = std::uint32_t(0xFF - 0x33 * r) << 16 | std::uint32_t(0xFF - 0x33 * g) << 8 |
                         std::uint32_t(0xFF - 0x33 * b);
            }
    static const std::uint32_t ramp[10] = {0xEE, 0xDD, 0xBB, 0xAA, 0x88, 0x77, 0x55, 0x44, 0x22, 0x11};
    for (int shift : {16, 8, 0})
        for (std::uint32_t level : ramp) p[i++] = level << shift;
    for (std::uint32_t level : ramp) p[i++] = level << 16 | level << 8 | level;
    return p;
}
