#include "mapfile/vxl_fast_encoder.h"
#include "mapfile/vxl_fast_encoder_reference.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <new>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mapfile/column_bits.h"
#include "mapfile/vxl_fast_encoder_kernels.h"
#include "mapfile/vxl_format.h"
#include "platform/byte_order.h"
#include "platform/target_attributes.h"
#include "platform/vector_path.h"
#include "volume/volume.h"

namespace {

using mask = column_mask;
static_assert(MAP_DEPTH == 64, "one column is one 64-bit mask");

constexpr mask ALL = ~mask{0};
constexpr mask TOP_VOXEL = 1;                 // z = 0
constexpr mask BOTTOM_VOXEL = mask{1} << 63;  // z = 63

// ---- spans from masks

// Exposed voxels of a column: solid, and not solid on all six faces. sides is the
// AND of the four side neighbours' masks, all ones for a neighbour beyond the
// map's edge; the layers beyond z = 0 and z = 63 count as solid likewise, since
// the map's outer faces are not surfaces by themselves.
mask exposed_bits(mask solid, mask sides) {
    const mask above = solid << 1 | TOP_VOXEL;     // bit z: voxel z - 1 is solid
    const mask below = solid >> 1 | BOTTOM_VOXEL;  // bit z: voxel z + 1 is solid
    return solid & ~(sides & above & below);
}

// the lowest z >= from whose bit is set in m, or 64
int next_set(mask m, int from) { return from >= MAP_DEPTH ? MAP_DEPTH : std::countr_zero(m & (ALL << from)); }

struct span {
    int air_start, top_start, top_stop, bottom_start, bottom_stop;
};

// Calls emit for each span of the column, top to bottom, with the boundaries the
// plain encoder finds voxel by voxel: each of its scans is one bit scan here.
template <class Emit>
void for_each_span(mask solid, mask exposed, Emit&& emit) {
    const mask hidden = solid & ~exposed;
    int k = 0;
    do {
        span s;
        s.air_start = k;
        s.top_start = next_set(solid, k);
        // A first span that starts on hidden solid at z = 0 would need top_end = -1,
        // which a byte cannot hold; the voxel at z = 0 opens the top run instead.
        const int top_from = s.top_start == 0 && (hidden & TOP_VOXEL) ? 1 : s.top_start;
        s.top_stop = next_set(~exposed, top_from);
        s.bottom_start = next_set(~hidden, s.top_stop);
        // Exposed voxels that reach the bottom cannot be a bottom run (nothing below
        // would place them): the next span's top run takes them.
        const int probe = next_set(~exposed, s.bottom_start);
        s.bottom_stop = probe == MAP_DEPTH ? s.bottom_start : probe;
        emit(s);
        k = s.bottom_stop;
    } while (k < MAP_DEPTH);
}

// A column of ground: air down to its top voxel, solid from there to the bottom,
// and its exposed voxels one run from the top voxel down (or no solid at all).
// Every column the generator makes is one, and its record is a single last span:
// 0, top, top + run - 1, 0, then the run's colours. Sets top and run.
bool is_ground(mask solid, mask exposed, int& top, int& run) {
    top = std::countr_zero(solid);
    if (top == MAP_DEPTH) {  // all air: top_start 64, an empty run
        run = 0;
        return true;
    }
    // top == 0 is the hidden-voxel case at z = 0, left to the general walk.
    if (top == 0 || solid != ALL << top) return false;
    const mask below_top = exposed >> top;
    run = std::countr_one(below_top);
    return below_top >> run == 0;
}

// Record size of any column, span by span; kept out of line so that the loops
// around the common case stay small.
[[gnu::noinline]] std::size_t span_bytes(mask solid, mask exposed) {
    std::size_t bytes = 0;
    for_each_span(solid, exposed, [&](const span& s) {
        bytes += VXL_SPAN_HEADER_BYTES + VXL_COLOUR_BYTES * std::size_t(s.top_stop - s.top_start + s.bottom_stop - s.bottom_start);
    });
    return bytes;
}

std::size_t column_bytes(mask solid, mask exposed) {
    int top, run;
    if (is_ground(solid, exposed, top, run)) return VXL_SPAN_HEADER_BYTES + VXL_COLOUR_BYTES * std::size_t(run);
    return span_bytes(solid, exposed);
}

// The header's four bytes as one word, span_length lowest. Each field is stored
// as its low 8 bits.
std::uint32_t span_header(int span_length, int top_start, int top_end, int air_start) {
    return std::uint32_t(span_length & 0xFF) | std::uint32_t(top_start & 0xFF) << 8 | std::uint32_t(top_end & 0xFF) << 16 |
           std::uint32_t(air_start & 0xFF) << 24;
}

// A column's colour words as the file lists them: the word of file z is at[step * z].
// A column in file orientation has step 1; one in generator orientation (z = 0
// lowest) is read from its top word down, with step -1, so that it need not be
// flipped first.
struct colour_column {
    const std::uint32_t* at;
    std::ptrdiff_t step;
    std::uint32_t operator[](int z) const { return at[step * z]; }
};

std::uint8_t* put_colours(std::uint8_t* out, colour_column colours, int from, int to) {
    for (int z = from; z < to; ++z, out += VXL_COLOUR_BYTES) store_le32(out, colours[z]);
    return out;
}

// Writes the record of any column at out, span by span; returns its end.
[[gnu::noinline]] std::uint8_t* put_spans(std::uint8_t* out, mask solid, mask exposed, colour_column colours) {
    for_each_span(solid, exposed, [&](const span& s) {
        const int length =
            s.bottom_stop == MAP_DEPTH ? 0 : 1 + (s.top_stop - s.top_start) + (s.bottom_stop - s.bottom_start);
        store_le32(out, span_header(length, s.top_start, s.top_stop - 1, s.air_start));
        out = put_colours(out + VXL_SPAN_HEADER_BYTES, colours, s.top_start, s.top_stop);
        out = put_colours(out, colours, s.bottom_start, s.bottom_stop);
    });
    return out;
}

// Writes the record of one column at out; returns the end of what it wrote.
std::uint8_t* put_column(std::uint8_t* out, mask solid, mask exposed, colour_column colours) {
    int top, run;
    if (!is_ground(solid, exposed, top, run)) return put_spans(out, solid, exposed, colours);
    store_le32(out, span_header(0, top, top + run - 1, 0));
    return put_colours(out + VXL_SPAN_HEADER_BYTES, colours, top, top + run);
}

// ---- column shapes
//
// Nearly every column of a generated map is ground: in file orientation air down
// to a top voxel t, then solid to the bottom. If its four side neighbours are
// ground too, its exposed voxels are one run from t down to the deepest top among
// the neighbours (a neighbour's air beside it), at least t itself; its record is
// one span, 0, t, t + run - 1, 0, and the run's colours. Such columns are sized and
// written from one byte per column, their top; every other column goes through
// the masks and spans above.

// How many columns ahead the second walk asks for colour lines (measured best of 8 to 64).
constexpr int COLOUR_PREFETCH = 8;

// A column's top is its top_byte (vxl_fast_encoder_kernels.h). GENERAL is the run
// of a column whose record needs the masks: not ground, solid to the top (the
// voxel at z = 0 is the hidden-voxel case), or beside a column that is not ground.
constexpr std::uint8_t GENERAL = 0xFF;

// The top bytes of every column, with a guard all round: beyond the map's edge is
// solid as far as exposure goes, which is ground of top 0.
class column_tops {
  public:
    static constexpr int STRIDE = MAP_SIZE + 32;  // 16 guard bytes either side keep rows aligned
    static constexpr std::size_t BYTES = VXL_ROW_ENCODER_TABLE_BYTES;
    static_assert(BYTES == std::size_t{MAP_SIZE + 2} * STRIDE);

    // Sets the guards of fresh storage.
    explicit column_tops(std::uint8_t* storage) : bytes_(storage) {
        std::fill_n(bytes_, STRIDE, 0);
        std::fill_n(bytes_ + std::size_t{MAP_SIZE + 1} * STRIDE, STRIDE, 0);
        for (int x = 0; x < MAP_SIZE; ++x) row(x)[-1] = row(x)[MAP_SIZE] = 0;
    }
    // Looks at storage that is already filled.
    static constexpr struct view_t {
    } view{};
    column_tops(std::uint8_t* storage, view_t) : bytes_(storage) {}
    // x-row x, y = 0..511; x may be -1 or 512 (the guard rows), y -1 or 512.
    std::uint8_t* row(int x) const { return bytes_ + std::size_t(x + 1) * STRIDE + 16; }

  private:
    std::uint8_t* bytes_;
};

// The top bytes of every column, on the widest kernel the chosen path has.
void read_tops(const column_tops& tops) {
#if MAPGEN_HAS_X86_KERNELS
    if (chosen_vector_path() == vector_path::avx512) {
        read_tops_avx512(tops.row(0), column_tops::STRIDE);
        return;
    }
#endif
    read_tops_baseline(tops.row(0), column_tops::STRIDE);
}

// The runs of x-row x: the length of the exposed run of each ground column whose
// neighbours are all ground (0 for a column of air), GENERAL for the others.
void row_runs(const column_tops& tops, int x, std::uint8_t* runs) {
    const std::uint8_t* before = tops.row(x - 1);
    const std::uint8_t* row = tops.row(x);
    const std::uint8_t* after = tops.row(x + 1);
#if defined(__SSE2__)
    const __m128i one = _mm_set1_epi8(1), air = _mm_set1_epi8(64), other = _mm_set1_epi8(char(OTHER_SHAPE));
    for (int y = 0; y < MAP_SIZE; y += 16) {
        const auto load = [](const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
        const __m128i own = load(row + y);
        // Deepest neighbouring top; OTHER_SHAPE, the largest byte, wins over all.
        const __m128i deepest =
            _mm_max_epu8(_mm_max_epu8(load(before + y), load(after + y)), _mm_max_epu8(load(row + y - 1), load(row + y + 1)));
        const __m128i run = _mm_sub_epi8(_mm_max_epu8(_mm_add_epi8(own, one), deepest), own);
        const __m128i general = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(own, _mm_setzero_si128()), _mm_cmpeq_epi8(own, other)),
                                             _mm_cmpeq_epi8(deepest, other));
        // A column of air has nothing exposed, whatever stands beside it.
        const __m128i result = _mm_andnot_si128(_mm_cmpeq_epi8(own, air), _mm_or_si128(run, general));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(runs + y), result);
    }
#else
    for (int y = 0; y < MAP_SIZE; ++y) {
        const int own = row[y];
        const int deepest = std::max(std::max(before[y], after[y]), std::max(row[y - 1], row[y + 1]));
        if (own == MAP_DEPTH)
            runs[y] = 0;
        else if (own == 0 || own == OTHER_SHAPE || deepest == OTHER_SHAPE)
            runs[y] = GENERAL;
        else
            runs[y] = std::uint8_t(std::max(own + 1, deepest) - own);
    }
#endif
}

// ---- columns through their masks

// Mask of column (x, y) in file orientation; all solid beyond the map's edge.
mask file_mask(int x, int y) {
    if (x < 0 || x >= MAP_SIZE || y < 0 || y >= MAP_SIZE) return ALL;
    return reverse_bits(solid_mask(solid_map + voxel_index(x, y, 0)));
}

struct column_masks {
    mask solid, exposed;
};

column_masks masks_of(int x, int y) {
    const mask solid = file_mask(x, y);
    const mask sides = file_mask(x - 1, y) & file_mask(x + 1, y) & file_mask(x, y - 1) & file_mask(x, y + 1);
    return {solid, exposed_bits(solid, sides)};
}

}  // namespace

// Two walks in memory order (x slowest, then y) over one byte per column. The file
// lists x fastest, so a column's record lands far from its memory neighbours'
// records; the first walk (the constructor) therefore only measures every record,
// which fixes where each file row starts, and the second (write_next_row, x-row by
// x-row) writes each record in its place. solid_map is read once, into the top
// bytes (and again only for columns that are not ground among ground); of
// color_map only the words that go into the file are read.
//
// The volume is read in generator orientation and left so: a column's file mask
// is its mask with the bits reversed, and its colours are read from the top down.
// Flipping the volume in place first would read and write all of its 80 MiB.
vxl_row_encoder::vxl_row_encoder(std::span<std::uint8_t> scratch) {
    // The top bytes, and later the file, go into the lent memory where they fit.
    if (scratch.size() >= column_tops::BYTES) {
        tops_ = scratch.data();
        scratch = scratch.subspan(column_tops::BYTES);
    } else {
        own_tops_.reset(new (std::nothrow) std::uint8_t[column_tops::BYTES]);
        if (!own_tops_) return;
        tops_ = own_tops_.get();
    }
    const column_tops tops(tops_);
    read_tops(tops);

    alignas(16) std::uint8_t runs[MAP_SIZE];
    std::array<std::size_t, MAP_SIZE> row_bytes{};  // per file row: all columns of one y
    for (int x = 0; x < MAP_SIZE; ++x) {
        row_runs(tops, x, runs);
        for (int y = 0; y < MAP_SIZE; ++y) {
            if (runs[y] != GENERAL) {
                row_bytes[y] += VXL_SPAN_HEADER_BYTES + VXL_COLOUR_BYTES * std::size_t{runs[y]};
            } else {
                const column_masks m = masks_of(x, y);
                row_bytes[y] += column_bytes(m.solid, m.exposed);
            }
        }
    }

    std::size_t total = 0;
    for (int y = 0; y < MAP_SIZE; ++y) {
        at_[y] = total;
        total += row_bytes[y];
    }
    image_.size = total;
    if (scratch.size() >= total) {
        image_.bytes = file_buffer(scratch.data(), {0, 0});  // lent: nothing to give back
    } else {
        image_.bytes = reserve_file_buffer(total);
        if (image_.bytes) ready_file_buffer(image_.bytes.get(), total);
    }
}

void vxl_row_encoder::write_next_row() {
    if (next_x_ >= MAP_SIZE) return;
    const int x = next_x_++;
    const column_tops tops(tops_, column_tops::view);
    alignas(16) std::uint8_t runs[MAP_SIZE];
    row_runs(tops, x, runs);
    const std::uint8_t* top = tops.row(x);
    std::uint8_t* const file = image_.bytes.get();
    for (int y = 0; y < MAP_SIZE; ++y) {
        // Colours are read at addresses no prefetcher could guess; asking for the
        // top voxel's line a few columns ahead keeps several reads in flight.
        if (y + COLOUR_PREFETCH < MAP_SIZE) {
            const int ahead = top[y + COLOUR_PREFETCH] & (MAP_DEPTH - 1);  // any address in the column will do
            __builtin_prefetch(color_map + voxel_index(x, y + COLOUR_PREFETCH, MAP_DEPTH - 1 - ahead));
        }
        std::uint8_t* out = file + at_[y];
        const int run = runs[y];
        if (run != GENERAL) {
            const int t = top[y];
            store_le32(out, span_header(0, t, t + run - 1, 0));
            out += VXL_SPAN_HEADER_BYTES;
            if (run > 0) {
                // File z = t is generator z = 63 - t; the run goes down from there.
                const std::uint32_t* colour = color_map + voxel_index(x, y, MAP_DEPTH - 1 - t);
                for (int i = 0; i < run; ++i, out += VXL_COLOUR_BYTES) store_le32(out, colour[-i]);
            }
        } else {
            const column_masks m = masks_of(x, y);
            out = put_column(out, m.solid, m.exposed, {color_map + voxel_index(x, y, MAP_DEPTH - 1), -1});
        }
        at_[y] = std::size_t(out - file);
    }
}

vxl_file_image vxl_row_encoder::take() { return std::move(image_); }

vxl_file_image encode_vxl_map_fast(std::span<std::uint8_t> scratch) {
    vxl_row_encoder encoder(scratch);
    if (!encoder.ready()) return {};
    while (encoder.next_row() < MAP_SIZE) encoder.write_next_row();
    return encoder.take();
}

void encode_vxl_column_fast(int x, int y, std::vector<std::uint8_t>& out) {
    auto mask_at = [](int cx, int cy) {
        if (cx < 0 || cx >= MAP_SIZE || cy < 0 || cy >= MAP_SIZE) return ALL;  // beyond the edge
        return solid_mask(solid_map + voxel_index(cx, cy, 0));
    };
    const mask solid = mask_at(x, y);
    const mask sides = mask_at(x - 1, y) & mask_at(x + 1, y) & mask_at(x, y - 1) & mask_at(x, y + 1);
    const std::size_t start = out.size();
    out.resize(start + VXL_MAX_RECORD_BYTES);
    std::uint8_t* end =
        put_column(out.data() + start, solid, exposed_bits(solid, sides), {color_map + voxel_index(x, y, 0), 1});
    out.resize(std::size_t(end - out.data()));
}

void flip_volume_fast() {
    for (std::size_t column = 0; column < COLUMN_COUNT; ++column) {
        flip_solid_column(solid_map + column * MAP_DEPTH);
        flip_colour_column(color_map + column * MAP_DEPTH);
    }
}
