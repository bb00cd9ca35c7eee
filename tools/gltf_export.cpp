#include "tools/gltf_export.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "mapfile/vxl_format.h"
#include "platform/byte_order.h"
#include "tools/face_mesh.h"
#include "tools/json_text.h"
#include "tools/png_image.h"

namespace {

// GLB container: a 12-byte header, then chunks of a 4-byte length, a 4-byte
// type and the data padded to 4 bytes (JSON with spaces, binary with zeros).
constexpr std::uint32_t GLB_MAGIC = 0x46546C67;  // "glTF"
constexpr std::uint32_t GLB_VERSION = 2;
constexpr std::uint32_t CHUNK_JSON = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t CHUNK_BIN = 0x004E4942;   // "BIN\0"

// glTF enumerations.
constexpr int ARRAY_BUFFER = 34962;
constexpr int ELEMENT_ARRAY_BUFFER = 34963;
constexpr int FLOAT = 5126;
constexpr int UNSIGNED_SHORT = 5123;
constexpr int UNSIGNED_INT = 5125;
constexpr int TRIANGLES = 4;
constexpr std::size_t MAX_SHORT_INDEX = 65535;

constexpr int NEAREST = 9728;
constexpr int LINEAR_MIPMAP_LINEAR = 9987;
constexpr int CLAMP_TO_EDGE = 33071;

/// A vertex: position as three floats, then either texture coordinates as two
/// floats or a colour as four normalised 16-bit values.
constexpr std::size_t VERTEX_BYTES = 20;
constexpr std::size_t SECOND_OFFSET = 12;

void put_f32(std::vector<std::uint8_t>& out, float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    put_u32_le(out, v);
}

void put_u16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

/// Corner c (0..3, counter-clockwise in (u, v)) of a quad, in glTF (X, Y, Z).
std::array<int, 3> corner(const face_quad& q, int c) {
    const int u = c == 1 || c == 2 ? q.u1 : q.u0;
    const int v = c >= 2 ? q.v1 : q.v0;
    switch (q.axis) {
        case AXIS_X: return {q.plane, v, u};  // (u, v) = (y, h)
        case AXIS_Y: return {u, v, q.plane};  // (u, v) = (x, h)
        default: return {u, q.plane, v};      // (u, v) = (x, y)
    }
}

/// Whether corners 0, 1, 2 of the quad turn counter-clockwise seen from the side
/// its face looks to (the front face of glTF triangles).
bool turns_toward_normal(const face_quad& q) {
    const std::array<int, 3> a = corner(q, 0), b = corner(q, 1), c = corner(q, 2);
    const int e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const int e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const int n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    // glTF axis of the face's normal: map x is X (0), height is Y (1), map y is Z (2).
    const int gltf_axis = q.axis == AXIS_X ? 0 : q.axis == AXIS_H ? 1 : 2;
    return (n[gltf_axis] > 0) == q.positive;
}

std::string number(std::size_t n) { return std::to_string(n); }

/// Corners of the quad's two triangles in drawing order.
const int* triangle_order(const face_quad& q) {
    static const int ccw[6] = {0, 1, 2, 0, 2, 3}, cw[6] = {0, 2, 1, 0, 3, 2};
    return turns_toward_normal(q) ? ccw : cw;
}

}  // namespace

std::array<std::array<int, 3>, 6> quad_triangles(const face_quad& q) {
    std::array<std::array<int, 3>, 6> out;
    const int* order = triangle_order(q);
    for (std::size_t i = 0; i < 6; ++i) out[i] = corner(q, order[i]);
    return out;
}

std::uint16_t srgb_to_linear16(std::uint8_t level) {
    const double c = level / 255.0;
    const double linear = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    return std::uint16_t(std::lround(linear * 65535));
}

std::string valid_utf8(const std::string& text) {
    std::string out;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            out += char(c);
            ++i;
            continue;
        }
        // A well-formed sequence of 2 to 4 bytes passes; anything else (a stray
        // continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut
        // short) becomes U+FFFD, one byte at a time.
        const int length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        bool ok = length > 0 && i + std::size_t(length) <= n;
        std::uint32_t code = length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        for (int k = 1; ok && k < length; ++k) {
            ok = (s[i + std::size_t(k)] & 0xC0) == 0x80;
            code = code << 6 | (s[i + std::size_t(k)] & 0x3F);
        }
        if (ok) {
            const std::uint32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
            ok = code >= smallest && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        }
        if (ok) {
            out.append(text, i, std::size_t(length));
            i += std::size_t(length);
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

namespace {

/// One primitive's vertices (interleaved: position, then texture coordinates
/// or colour), each kept once, and its triangles.
struct mesh_primitive {
    std::vector<std::uint8_t> vertices;
    std::vector<std::uint32_t> indices;
    std::unordered_map<std::uint64_t, std::uint32_t> index_of;  // vertex key to its index
    int lo[3] = {std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), std::numeric_limits<int>::max()};
    int hi[3] = {std::numeric_limits<int>::min(), std::numeric_limits<int>::min(), std::numeric_limits<int>::min()};

    std::size_t count() const { return index_of.size(); }

    /// Index of the vertex with the given key, appended by write(bytes) if new.
    template <typename Write>
    std::uint32_t vertex(std::uint64_t key, const std::array<int, 3>& p, Write write) {
        const auto [it, added] = index_of.emplace(key, std::uint32_t(index_of.size()));
        if (added) {
            for (int a = 0; a < 3; ++a) {
                put_f32(vertices, float(p[std::size_t(a)]));
                lo[a] = std::min(lo[a], p[std::size_t(a)]);
                hi[a] = std::max(hi[a], p[std::size_t(a)]);
            }
            write(vertices);
        }
        return it->second;
    }

    void quad(const face_quad& q, const std::uint32_t corners[4]) {
        const int* order = triangle_order(q);
        for (int i = 0; i < 6; ++i) indices.push_back(corners[order[i]]);
    }
};

std::uint64_t position_key(const std::array<int, 3>& p) {
    return std::uint64_t(p[0]) | std::uint64_t(p[1]) << 10 | std::uint64_t(p[2]) << 17;
}

/// Texture coordinates of a corner of a column-coloured quad, in 1/1024: the
/// picture holds column (x, y) at texel (x, y), so faces across height take
/// (X, Z) from their position, and side faces the centre of their column's
/// texel across their plane.
std::array<int, 2> texel_position(const face_quad& q, const std::array<int, 3>& p) {
    const int column = q.positive ? q.plane - 1 : q.plane;
    switch (q.axis) {
        case AXIS_X: return {2 * column + 1, 2 * p[2]};
        case AXIS_Y: return {2 * p[0], 2 * column + 1};
        default: return {2 * p[0], 2 * p[2]};
    }
}

/// JSON of one primitive's accessors, from accessor number first, and its
/// buffer views, from view number first_view; appends its data to bin.
struct primitive_json {
    std::string attributes_and_indices;  // for the mesh's primitives
    std::string accessors;
    std::string views;
};

primitive_json lay_out(const mesh_primitive& p, bool textured, int first_accessor, int first_view, int material,
                      std::vector<std::uint8_t>* bin) {
    primitive_json json;
    const std::size_t vertex_offset = bin->size();
    bin->insert(bin->end(), p.vertices.begin(), p.vertices.end());
    const bool short_indices = p.count() <= MAX_SHORT_INDEX;
    const std::size_t index_offset = bin->size();
    for (std::uint32_t i : p.indices) {
        if (short_indices)
            put_u16(*bin, std::uint16_t(i));
        else
            put_u32_le(*bin, i);
    }
    const std::size_t index_bytes = bin->size() - index_offset;
    while (bin->size() % 4) bin->push_back(0);

    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on a literal + a
    // temporary std::to_string here.
    auto bounds = [](const int* v) {
        std::string out = "[";
        for (int a = 0; a < 3; ++a) {
            if (a) out += ',';
            out += std::to_string(v[a]);
        }
        out += ']';
        return out;
    };
    const std::string a = std::to_string(first_accessor);
    json.attributes_and_indices = "{\"attributes\":{\"POSITION\":" + a + (textured ? ",\"TEXCOORD_0\":" : ",\"COLOR_0\":") +
                                  std::to_string(first_accessor + 1) + "},\"indices\":" +
                                  std::to_string(first_accessor + 2) + ",\"material\":" + std::to_string(material) +
                                  ",\"mode\":" + std::to_string(TRIANGLES) + "}";
    const std::string vertex_view = std::to_string(first_view), index_view = std::to_string(first_view + 1);
    json.views = "{\"buffer\":0,\"byteOffset\":" + number(vertex_offset) + ",\"byteLength\":" + number(p.vertices.size()) +
                 ",\"byteStride\":" + number(VERTEX_BYTES) + ",\"target\":" + std::to_string(ARRAY_BUFFER) +
                 "},{\"buffer\":0,\"byteOffset\":" + number(index_offset) + ",\"byteLength\":" + number(index_bytes) +
                 ",\"target\":" + std::to_string(ELEMENT_ARRAY_BUFFER) + "}";
    json.accessors = "{\"bufferView\":" + vertex_view + ",\"byteOffset\":0,\"componentType\":" + std::to_string(FLOAT) +
                     ",\"count\":" + number(p.count()) + ",\"type\":\"VEC3\",\"min\":" + bounds(p.lo) +
                     ",\"max\":" + bounds(p.hi) + "},";
    if (textured)
        json.accessors += "{\"bufferView\":" + vertex_view + ",\"byteOffset\":" + number(SECOND_OFFSET) +
                          ",\"componentType\":" + std::to_string(FLOAT) + ",\"count\":" + number(p.count()) +
                          ",\"type\":\"VEC2\"},";
    else
        json.accessors += "{\"bufferView\":" + vertex_view + ",\"byteOffset\":" + number(SECOND_OFFSET) +
                          ",\"componentType\":" + std::to_string(UNSIGNED_SHORT) + ",\"normalized\":true,\"count\":" +
                          number(p.count()) + ",\"type\":\"VEC4\"},";
    json.accessors += "{\"bufferView\":" + index_view + ",\"byteOffset\":0,\"componentType\":" +
                      std::to_string(short_indices ? UNSIGNED_SHORT : UNSIGNED_INT) + ",\"count\":" +
                      number(p.indices.size()) + ",\"type\":\"SCALAR\"}";
    return json;
}

}  // namespace

glb_export export_glb(const decoded_map& map, const std::string& name) {
    glb_export out;
    const face_mesh mesh = mesh_map_faces(map);
    out.quads = mesh.quads.size();
    out.faces = mesh.faces;

    std::array<std::uint16_t, 256> linear;
    for (int i = 0; i < 256; ++i) linear[std::size_t(i)] = srgb_to_linear16(std::uint8_t(i));

    // Column-coloured faces go into primitives of fewer than 65,535 vertices
    // each, so that 16-bit indices reach them: half the index bytes. They share
    // few vertices anyway (a side face samples its texel's centre, a top face the
    // texel's corners). Vertex-coloured faces share corners with the other faces
    // of their voxel, in passes far apart, and stay in one primitive.
    std::vector<mesh_primitive> textured(1), coloured(1);
    for (const face_quad& q : mesh.quads) {
        std::vector<mesh_primitive>& kind = q.column_coloured ? textured : coloured;
        if (q.column_coloured && kind.back().count() > MAX_SHORT_INDEX - 5) kind.emplace_back();
        mesh_primitive& primitive = kind.back();
        std::uint32_t corners[4];
        for (int c = 0; c < 4; ++c) {
            const std::array<int, 3> p = corner(q, c);
            if (q.column_coloured) {
                const std::array<int, 2> t = texel_position(q, p);
                corners[c] = primitive.vertex(
                    position_key(p) | std::uint64_t(t[0]) << 27 | std::uint64_t(t[1]) << 38,
                    p, [&t](std::vector<std::uint8_t>& v) {
                        put_f32(v, float(t[0]) / 1024);
                        put_f32(v, float(t[1]) / 1024);
                    });
            } else {
                corners[c] = primitive.vertex(position_key(p) | std::uint64_t(q.rgb) << 27, p,
                                              [&](std::vector<std::uint8_t>& v) {
                                                  put_u16(v, linear[q.rgb >> 16 & 0xFF]);
                                                  put_u16(v, linear[q.rgb >> 8 & 0xFF]);
                                                  put_u16(v, linear[q.rgb & 0xFF]);
                                                  put_u16(v, 0xFFFF);
                                              });
            }
        }
        primitive.quad(q, corners);
    }

    // Binary chunk: each primitive's vertices and indices, then the picture of
    // the columns' colours when a primitive samples it.
    std::vector<std::uint8_t> bin;
    std::string primitives, accessors, views, materials;
    int next_accessor = 0, next_view = 0, next_material = 0;
    const bool any_textured = !textured[0].indices.empty();
    for (const bool is_textured : {true, false}) {
        const std::vector<mesh_primitive>& kind = is_textured ? textured : coloured;
        if (kind[0].indices.empty()) continue;
        materials += std::string(materials.empty() ? "" : ",") + "{\"name\":" +
                     json_string(is_textured ? "column colours" : "voxel colours") +
                     ",\"pbrMetallicRoughness\":{" + (is_textured ? "\"baseColorTexture\":{\"index\":0}," : "") +
                     "\"metallicFactor\":0,\"roughnessFactor\":1}}";
        for (const mesh_primitive& p : kind) {
            const primitive_json j = lay_out(p, is_textured, next_accessor, next_view, next_material, &bin);
            next_accessor += 3, next_view += 2;
            primitives += (primitives.empty() ? "" : ",") + j.attributes_and_indices;
            accessors += (accessors.empty() ? "" : ",") + j.accessors;
            views += (views.empty() ? "" : ",") + j.views;
        }
        ++next_material;
    }
    std::string images;
    if (any_textured) {
        const std::vector<std::uint32_t> tops = column_top_colours(map);
        std::vector<std::uint8_t> rgb(tops.size() * 3), png;
        for (std::size_t i = 0; i < tops.size(); ++i)
            rgb[3 * i] = std::uint8_t(tops[i] >> 16), rgb[3 * i + 1] = std::uint8_t(tops[i] >> 8),
                    rgb[3 * i + 2] = std::uint8_t(tops[i]);
        std::string why;
        if (!encode_png_pixels(VXL_MAP_SIZE, VXL_MAP_SIZE, 3, rgb.data(), &png, &why)) png.clear();
        views += ",{\"buffer\":0,\"byteOffset\":" + number(bin.size()) + ",\"byteLength\":" + number(png.size()) + "}";
        bin.insert(bin.end(), png.begin(), png.end());
        while (bin.size() % 4) bin.push_back(0);
        images = ",\"images\":[{\"bufferView\":" + std::to_string(next_view) +
                 ",\"mimeType\":\"image/png\"}],\"samplers\":[{\"magFilter\":" + std::to_string(NEAREST) +
                 ",\"minFilter\":" + std::to_string(LINEAR_MIPMAP_LINEAR) + ",\"wrapS\":" + std::to_string(CLAMP_TO_EDGE) +
                 ",\"wrapT\":" + std::to_string(CLAMP_TO_EDGE) + "}],\"textures\":[{\"sampler\":0,\"source\":0}]";
    }

    // JSON. Written, never parsed: every string goes through json_string, the
    // map's name through valid_utf8 first.
    std::string json = "{\"asset\":{\"version\":\"2.0\",\"generator\":" + json_string("vxltool " MAPGEN_VERSION) +
                       "},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"name\":" + json_string(valid_utf8(name));
    if (!primitives.empty()) {
        json += ",\"mesh\":0}],\"meshes\":[{\"name\":" + json_string(valid_utf8(name)) + ",\"primitives\":[" + primitives + "]}],"
                "\"materials\":[" + materials + "],"
                "\"buffers\":[{\"byteLength\":" + number(bin.size()) + "}],\"bufferViews\":[" + views +
                "],\"accessors\":[" + accessors + "]" + images + "}";
    } else {
        json += "}]}";  // a map of air: a scene with an empty node
    }
    while (json.size() % 4) json += ' ';

    std::vector<std::uint8_t>& file = out.file;
    const std::size_t total = 12 + 8 + json.size() + (bin.empty() ? 0 : 8 + bin.size());
    file.reserve(total);
    put_u32_le(file, GLB_MAGIC);
    put_u32_le(file, GLB_VERSION);
    put_u32_le(file, std::uint32_t(total));
    put_u32_le(file, std::uint32_t(json.size()));
    put_u32_le(file, CHUNK_JSON);
    file.insert(file.end(), json.begin(), json.end());
    if (!bin.empty()) {
        put_u32_le(file, std::uint32_t(bin.size()));  // a multiple of 4
        put_u32_le(file, CHUNK_BIN);
        file.insert(file.end(), bin.begin(), bin.end());
    }
    return out;
}
