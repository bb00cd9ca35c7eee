#include "mapfile/vxl_loader.h"

#include <bit>

#include "mapfile/vxl_format.h"
#include "platform/byte_order.h"
#include "volume/volume.h"

namespace {

// ---- reading one record

/// mask of the voxels lo .. hi - 1 (0 <= lo <= hi <= 64)
std::uint64_t voxel_range(int lo, int hi) {
    if (hi <= lo) return 0;  // also keeps the shift below 64 when lo is 64
    if (hi - lo >= 64) return ~std::uint64_t{0};
    return ((std::uint64_t{1} << (hi - lo)) - 1) << lo;
}

/// "1 colour record needs", "3 colour records need"
std::string colour_records_need(int n) {
    return std::to_string(n) + (n == 1 ? " colour record needs" : " colour records need");
}

bool reject(const vxl_cursor& cursor, std::size_t at, const std::string& what, vxl_fault* fault) {
    if (fault) {
        fault->offset = at;
        fault->record = cursor.record;
        fault->what = what;
    }
    return false;
}

/// reject for the checks that return a count or a z: -1. Cold, so that the
/// messages are built out of the way of the loop that reads valid records.
[[gnu::cold]] int fail_at(const vxl_cursor& cursor, std::size_t at, const std::string& what, vxl_fault* fault) {
    reject(cursor, at, what, fault);
    return -1;
}

}  // namespace

std::string vxl_fault_text(const vxl_fault& fault) {
    const std::size_t x = fault.record % VXL_MAP_SIZE, y = fault.record / VXL_MAP_SIZE;
    return "byte " + std::to_string(fault.offset) + ", column (" + std::to_string(x) + ", " + std::to_string(y) +
           "): " + fault.what;
}

// Every header value is checked before it is used to move through the image or to
// address a voxel, and every span is checked against the bytes that are left, so
// the sums below never pass the image's length. Besides the bounds, a span must
// keep the column in order: its top run starts at or below the cursor, and its
// bottom run lies between the end of its top run and the next span's air_start.
// That order is what the writer guarantees, and it makes every voxel of the column
// decoded at most once, so a colour record can never be overwritten by another.
// Each span must also cover a voxel: the next span starts below it, and no span
// starts below the bottom voxel. A span that covers nothing is never written, and
// without this rule a record could chain spans without end. The record's length
// is checked against the largest a column can need before any byte past it is
// looked at, so a record is read within VXL_MAX_RECORD_BYTES of its start.

namespace {

// The two checks below are always inlined into read_vxl_column's loop: called,
// they cost every record read a tenth more time.

/// Checks the header of the span at r, whose column is decoded down to cursor_z,
/// and that its top colours are there. Returns the number of top colours, or -1
/// with the fault.
[[gnu::always_inline]] inline int check_span_top(const vxl_cursor& cursor, std::size_t r, int cursor_z,
                                                 vxl_fault* fault) {
    const std::uint8_t* const data = cursor.data;
    const std::size_t length = cursor.length;
    if (length - r < VXL_SPAN_HEADER_BYTES)
        return fail_at(cursor, r, "span header cut short: the image ends at byte " + std::to_string(length), fault);
    const int span_length = data[r + VXL_SPAN_LENGTH];
    const int top_start = data[r + VXL_TOP_START];
    const int top_end = data[r + VXL_TOP_END];

    if (top_start > VXL_COLUMN_DEPTH)
        return fail_at(cursor, r + VXL_TOP_START,
                       "top_start " + std::to_string(top_start) + " out of range 0..64", fault);
    // An empty top run is written as top_start - 1 in 8 bits: at top_start 0 that
    // is 255, the one value above 63 that a writer can legitimately produce.
    const bool empty_top = top_end + 1 == top_start || (top_start == 0 && top_end == 255);
    if (!empty_top && top_end >= VXL_COLUMN_DEPTH)
        return fail_at(cursor, r + VXL_TOP_END, "top_end " + std::to_string(top_end) + " out of range 0..63",
                       fault);
    if (!empty_top && top_end < top_start)
        return fail_at(cursor, r + VXL_TOP_END,
                       "top_end " + std::to_string(top_end) + " ends above top_start " +
                           std::to_string(top_start) + " minus one",
                       fault);
    if (top_start < cursor_z)
        return fail_at(cursor, r + VXL_TOP_START,
                       "top_start " + std::to_string(top_start) + " lies above the air_start " +
                           std::to_string(cursor_z) + " of its span",
                       fault);
    const int top_count = empty_top ? 0 : top_end - top_start + 1;
    if (span_length != 0 && span_length < 1 + top_count)
        return fail_at(cursor, r + VXL_SPAN_LENGTH,
                       "span_length " + std::to_string(span_length) + " too small for its " +
                           std::to_string(top_count) + " top colours",
                       fault);
    // A last span ends after its top colours; any other is followed at least by
    // the next span's header.
    const std::size_t record_end = span_length == 0
                                       ? r + VXL_SPAN_HEADER_BYTES + std::size_t(top_count) * VXL_COLOUR_BYTES
                                       : r + std::size_t(span_length) * VXL_SPAN_HEADER_BYTES + VXL_SPAN_HEADER_BYTES;
    if (record_end - cursor.offset > VXL_MAX_RECORD_BYTES)
        return fail_at(cursor, r + VXL_SPAN_LENGTH,
                       std::string("column record of ") + (span_length == 0 ? "" : "at least ") +
                           std::to_string(record_end - cursor.offset) + " bytes, longer than the " +
                           std::to_string(VXL_MAX_RECORD_BYTES) + " a column can need",
                       fault);

    const std::size_t colours = r + VXL_SPAN_HEADER_BYTES;
    if (length - colours < std::size_t(top_count) * VXL_COLOUR_BYTES)
        return fail_at(cursor, r,
                       "top colours cut short: " + colour_records_need(top_count) + " bytes up to " +
                           std::to_string(colours + std::size_t(top_count) * VXL_COLOUR_BYTES) +
                           ", the image ends at byte " + std::to_string(length),
                       fault);
    return top_count;
}

/// Checks where the bottom run of the span at r (not a last span) lies: it ends
/// just above the next span's air_start, which must follow in the image and leave
/// the column in order. Returns that air_start, or -1 with the fault.
[[gnu::always_inline]] inline int check_bottom_run(const vxl_cursor& cursor, std::size_t r, int span_length,
                                                   int top_count, int cursor_z, vxl_fault* fault) {
    const std::size_t length = cursor.length;
    const std::size_t next = r + std::size_t(span_length) * VXL_SPAN_HEADER_BYTES;
    const int bottom_count = span_length - 1 - top_count;
    const int top_stop = cursor.data[r + VXL_TOP_START] + top_count;
    if (next > length)
        return fail_at(cursor, r,
                       "bottom colours cut short: " + colour_records_need(bottom_count) + " bytes up to " +
                           std::to_string(next) + ", the image ends at byte " + std::to_string(length),
                       fault);
    if (next == length)
        return fail_at(cursor, next, "next span missing: the image ends inside the column record", fault);
    if (length - next < VXL_SPAN_HEADER_BYTES)
        return fail_at(cursor, next, "span header cut short: the image ends at byte " + std::to_string(length),
                       fault);
    // The bottom run ends just above the next span's air_start, so that byte
    // places it; it must not reach back into this span's top run.
    const int air = cursor.data[next + VXL_AIR_START];
    if (air > VXL_COLUMN_DEPTH)
        return fail_at(cursor, next + VXL_AIR_START, "air_start " + std::to_string(air) + " out of range 0..64",
                       fault);
    if (air < top_stop)
        return fail_at(cursor, next + VXL_AIR_START,
                       "air_start " + std::to_string(air) + " lies above z " + std::to_string(top_stop) +
                           ", the end of the previous span's top run",
                       fault);
    const int bottom = air - bottom_count;
    if (bottom < top_stop)
        return fail_at(cursor, r + VXL_SPAN_LENGTH,
                       "bottom run of " + std::to_string(bottom_count) + " colours would start at z " +
                           std::to_string(bottom) + ", above the end of the top run at z " +
                           std::to_string(top_stop),
                       fault);
    if (air == cursor_z)
        return fail_at(cursor, next + VXL_AIR_START,
                       "air_start " + std::to_string(air) +
                           " does not lie below the previous span's: that span covers no voxel",
                       fault);
    if (air == VXL_COLUMN_DEPTH)
        return fail_at(cursor, next + VXL_AIR_START,
                       "air_start 64 lies below the bottom voxel, z 63: the span covers no voxel", fault);
    return air;
}

/// Decodes the colour records at data[at ..] into column->colour[from .. to).
void read_colours(const std::uint8_t* data, std::size_t at, int from, int to, vxl_column* column) {
    for (int z = from; z < to; ++z)
        column->colour[z] = get_u32_le(data + at + std::size_t(z - from) * VXL_COLOUR_BYTES);
}

}  // namespace

bool read_vxl_column(vxl_cursor& cursor, vxl_column* column, vxl_fault* fault) {
    const std::uint8_t* const data = cursor.data;
    const std::size_t length = cursor.length;
    std::size_t r = cursor.offset;
    if (r >= length) {
        if (length == 0) return reject(cursor, 0, "empty image: no column records", fault);
        return reject(cursor, r,
                      "image ends after " + std::to_string(cursor.record) + " of " +
                          std::to_string(VXL_RECORD_COUNT) + " column records",
                      fault);
    }

    // Every voxel is solid until an air run says otherwise.
    std::uint64_t solid = ~std::uint64_t{0};
    std::uint64_t coloured = 0;
    int spans = 0;
    int cursor_z = 0;
    for (;;) {
        ++spans;
        const int top_count = check_span_top(cursor, r, cursor_z, fault);
        if (top_count < 0) return false;
        const int span_length = data[r + VXL_SPAN_LENGTH];
        const int top_start = data[r + VXL_TOP_START];
        const int top_stop = top_start + top_count;  // one past the top run
        const std::size_t colours = r + VXL_SPAN_HEADER_BYTES;
        solid &= ~voxel_range(cursor_z, top_start);
        read_colours(data, colours, top_start, top_stop, column);
        coloured |= voxel_range(top_start, top_stop);

        const std::size_t bottom_colours = colours + std::size_t(top_count) * VXL_COLOUR_BYTES;
        if (span_length == 0) {
            // The last span: everything below its top run is solid without a colour.
            column->solid = solid;
            column->coloured = coloured;
            column->spans = spans;
            cursor.offset = bottom_colours;
            ++cursor.record;
            return true;
        }

        const int air_start = check_bottom_run(cursor, r, span_length, top_count, cursor_z, fault);
        if (air_start < 0) return false;
        const int bottom_start = air_start - (span_length - 1 - top_count);
        read_colours(data, bottom_colours, bottom_start, air_start, column);
        coloured |= voxel_range(bottom_start, air_start);
        cursor_z = air_start;
        r += std::size_t(span_length) * VXL_SPAN_HEADER_BYTES;
    }
}

vxl_load_result check_vxl_map(const std::uint8_t* data, std::size_t length) {
    return walk_vxl_map(data, length, [](std::size_t, const vxl_column&) {});
}

vxl_load_result parse_vxl_map(const std::uint8_t* data, std::size_t length, std::uint64_t* coloured_columns) {
    vxl_load_result result = check_vxl_map(data, length);
    if (!result.ok) return result;

    // The image is known to be valid: decode it, record by record, into the volume.
    vxl_cursor cursor{data, length, 0, 0};
    vxl_column column;
    for (std::size_t k = 0; k < VXL_RECORD_COUNT; ++k) {
        read_vxl_column(cursor, &column, nullptr);
        const int x = int(k % VXL_MAP_SIZE), y = int(k / VXL_MAP_SIZE);
        for (int z = 0; z < VXL_COLUMN_DEPTH; ++z) set_solid(x, y, z, std::uint8_t(column.solid >> z & 1));
        for (std::uint64_t left = column.coloured; left != 0; left &= left - 1) {
            const int z = std::countr_zero(left);
            set_color(x, y, z, column.colour[z]);
        }
        if (coloured_columns) coloured_columns[column_index(x, y)] = column.coloured;
    }
    return result;
}

vxl_load_result vxl_file_too_large(std::uint64_t size, bool measured, std::uint64_t max_bytes) {
    vxl_load_result result;
    result.bytes = size;
    result.reason = (measured ? "file is " + std::to_string(size) : "input is more than " + std::to_string(max_bytes)) +
                    " bytes, limit " + std::to_string(max_bytes);
    return result;
}

vxl_load_result vxl_read_failure(const std::string& why) {
    vxl_load_result result;
    result.read_failed = true;
    result.reason = why;
    return result;
}

vxl_load_result read_vxl_file(const char* path, std::uint64_t max_bytes, vxl_input_image* image) {
    return read_vxl_file_visiting(path, max_bytes, image, [](std::size_t, const vxl_column&) {});
}

vxl_load_result load_vxl_map(const char* path, std::uint64_t* coloured_columns) {
    vxl_input_image image;
    const vxl_load_result read = read_vxl_file(path, VXL_ANY_SIZE, &image);
    if (!read.ok) return read;
    vxl_load_result result = parse_vxl_map(image.bytes.get(), image.length, coloured_columns);
    result.bytes = read.bytes;
    result.trailing_bytes = read.trailing_bytes;
    return result;
}
