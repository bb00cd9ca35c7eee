// The VXL map loader: reads a map file back into the voxel volume, in file
// orientation (z = 0 the top layer), without a flip. Record k of an image fills
// column (k mod 512, k div 512), the writer's order, so a written map loads back
// in place.
//
// Images come from strangers. Every image is validated whole before a single voxel
// is written, so a rejected image leaves the volume exactly as it was; no image,
// however malformed, makes the loader read outside it or write outside the volume.
// Besides the bounds, a valid record keeps its column in order, and each of its
// spans covers at least one voxel (so a column has at most 64 spans); a record is
// at most VXL_MAX_RECORD_BYTES long. The writer's records all pass.
// A valid image sets every voxel of solid_map, and the colour word of every voxel
// that has a colour record; all other colour words keep what they held.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "mapfile/file_buffer.h"
#include "mapfile/read_file.h"
#include "mapfile/vxl_format.h"

/// One column record, decoded. Bit z of a mask stands for voxel z of the column.
struct vxl_column {
    std::uint64_t solid = 0;     // voxels the record makes solid
    std::uint64_t coloured = 0;  // voxels the record carries a colour record for
    std::uint32_t colour[64];    // colour words, meaningful only where coloured has the bit
    int spans = 0;               // spans in the record
};

/// Where and why an image is not a valid map.
struct vxl_fault {
    std::uint64_t offset = 0;  // the byte the fault is at
    std::size_t record = 0;    // the record it is in: column (record % 512, record / 512)
    std::string what;          // the fault itself
};

/// "byte OFFSET, column (X, Y): WHAT"
std::string vxl_fault_text(const vxl_fault& fault);

/// Walks the column records of one image in file order. data must stay alive and
/// unchanged while the cursor is used.
struct vxl_cursor {
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    std::size_t offset = 0;  // where the next record starts
    std::size_t record = 0;  // number of the next record: column (record % 512, record / 512)
};

/// Decodes the record at the cursor into *column and moves the cursor past it.
/// Reads only data[offset .. min(length, offset + VXL_MAX_RECORD_BYTES)). When the
/// record is malformed, or the image ends before or inside it, returns false with
/// the fault's place and nature in *fault (when given), and leaves the cursor where
/// it was (*column is then unspecified).
bool read_vxl_column(vxl_cursor& cursor, vxl_column* column, vxl_fault* fault);

/// What a load or a check found. The counts are those of the whole image and are
/// filled only when ok. Counts are 64-bit whatever the platform: a file may be far
/// larger than its records.
struct vxl_load_result {
    bool ok = false;
    bool read_failed = false;      // the file itself could not be read (reason: the system's)
    bool placed = false;           // not ok because of the fault at a place in the image
    vxl_fault fault;               // that fault, when placed
    std::string reason;            // why not ok: the system's reason, or vxl_fault_text(fault), or a limit
    std::uint64_t bytes = 0;         // length of the image (of the file, for a file)
    std::uint64_t record_bytes = 0;  // bytes taken by the 262,144 column records
    std::uint64_t trailing_bytes = 0;  // bytes after the last record, accepted and ignored
    std::uint64_t spans = 0;
    std::uint64_t solid_voxels = 0;
    std::uint64_t coloured_voxels = 0;  // equals the number of colour records
};

/// Validates the image and counts what it holds, writing nothing.
vxl_load_result check_vxl_map(const std::uint8_t* data, std::size_t length);

/// Adds a valid record's spans and voxels to result's counts.
inline void count_vxl_column(vxl_load_result& result, const vxl_column& column) {
    result.spans += std::uint64_t(column.spans);
    result.solid_voxels += std::uint64_t(std::popcount(column.solid));
    result.coloured_voxels += std::uint64_t(std::popcount(column.coloured));
}

/// check_vxl_map that also hands each record, as it is decoded, to
/// visit(record number, column), in file order: one pass for a caller that keeps
/// the columns. When the image is not valid, the records before the fault have
/// been visited.
template <class Visit>
vxl_load_result walk_vxl_map(const std::uint8_t* data, std::size_t length, Visit&& visit) {
    vxl_load_result result;
    result.bytes = length;
    vxl_cursor cursor{data, length, 0, 0};
    vxl_column column;
    while (cursor.record < VXL_RECORD_COUNT) {
        if (!read_vxl_column(cursor, &column, &result.fault)) {
            result.placed = true;
            result.reason = vxl_fault_text(result.fault);
            return result;
        }
        visit(cursor.record - 1, static_cast<const vxl_column&>(column));
        count_vxl_column(result, column);
    }
    result.ok = true;
    result.record_bytes = cursor.offset;
    result.trailing_bytes = length - cursor.offset;
    return result;
}

/// Validates the image, then decodes it into the volume through set_solid and
/// set_color. When coloured_columns is given (COLUMN_COUNT words, column index
/// order) it receives each column's coloured mask, so a caller can tell the voxels
/// the file coloured from the words the load left alone. A rejected image writes
/// neither the volume nor coloured_columns.
vxl_load_result parse_vxl_map(const std::uint8_t* data, std::size_t length,
                            std::uint64_t* coloured_columns = nullptr);

/// A map's records read from a file, in memory of their own.
struct vxl_input_image {
    file_buffer bytes{nullptr, {0, 0}};
    std::size_t length = 0;  // bytes held: the records, and perhaps a few that follow them
};

/// No limit on the size of a file.
constexpr std::uint64_t VXL_ANY_SIZE = UINT64_MAX;

/// Reads the map at path ("-": standard input, which may be a pipe) and validates
/// it as check_vxl_map does, reading no further than its records need: at most
/// VXL_MAX_RECORDS_BYTES and a little read-ahead, whatever the size of the file.
/// The bytes after the records are counted from the file's size, or, from a pipe,
/// read in small pieces and dropped. A file larger than max_bytes is not valid
/// ("file is N bytes, limit M"; from a pipe "input is more than M bytes, limit M",
/// read no further than that), whatever it holds. A file that cannot be read (see
/// open_input_file) is not ok, with read_failed and the reason. When image is given
/// and the map is valid, it receives the records.
vxl_load_result read_vxl_file(const char* path, std::uint64_t max_bytes = VXL_ANY_SIZE, vxl_input_image* image = nullptr);

/// The results of read_vxl_file for a file over its size limit, and for one that
/// cannot be read.
vxl_load_result vxl_file_too_large(std::uint64_t size, bool measured, std::uint64_t max_bytes);
vxl_load_result vxl_read_failure(const std::string& why);

/// read_vxl_file that also hands each record, as it is checked, to
/// visit(record number, column), in file order: one pass for a caller that keeps
/// the columns. When the map is not valid, some records may have been visited.
/// A visitor with expect_bytes(size) is told the size of a regular file before
/// its first record.
//
// A file larger than the limit is refused whatever it holds, a pipe as well as a
// file: a pipe whose records fail is measured up to the limit before its fault is
// reported, so the verdict never depends on how much a read happened to bring.
template <class Visit>
vxl_load_result read_vxl_file_visiting(const char* path, std::uint64_t max_bytes, vxl_input_image* image,
                                       Visit&& visit) {
    input_file in;
    std::string why;
    if (!open_input_file(path, VXL_MAX_RECORDS_BYTES, &in, &why)) return vxl_read_failure(why);
    std::uint64_t size = 0;
    if (in.regular) {
        if (!measure_input_file(in, max_bytes, &size, &why)) return vxl_read_failure(why);
        if (size > max_bytes) return vxl_file_too_large(size, true, max_bytes);
        if constexpr (requires { visit.expect_bytes(size); }) visit.expect_bytes(size);
    }

    vxl_load_result result;
    vxl_cursor cursor{in.bytes.get(), 0, 0, 0};
    vxl_column column;
    while (cursor.record < VXL_RECORD_COUNT) {
        // A record is read within VXL_MAX_RECORD_BYTES of its start, so with that
        // much in memory (or all there is) it reads as it would from the whole file.
        if (!fill_input_file(in, cursor.offset + VXL_MAX_RECORD_BYTES, &why)) return vxl_read_failure(why);
        cursor.length = std::uint64_t(in.length) > max_bytes ? std::size_t(max_bytes) : in.length;
        if (!read_vxl_column(cursor, &column, &result.fault)) {
            if (!in.regular && max_bytes != VXL_ANY_SIZE) {
                if (!measure_input_file(in, max_bytes, &size, &why)) return vxl_read_failure(why);
                if (size > max_bytes) return vxl_file_too_large(size, false, max_bytes);
            }
            result.placed = true;
            result.reason = vxl_fault_text(result.fault);
            result.bytes = size;
            return result;
        }
        visit(cursor.record - 1, static_cast<const vxl_column&>(column));
        count_vxl_column(result, column);
    }
    if (!measure_input_file(in, max_bytes, &size, &why)) return vxl_read_failure(why);
    if (size > max_bytes) return vxl_file_too_large(size, in.regular, max_bytes);
    result.ok = true;
    result.bytes = size;
    result.record_bytes = cursor.offset;
    result.trailing_bytes = size - cursor.offset;
    if (image) {
        image->bytes = std::move(in.bytes);
        image->length = in.length;
    }
    return result;
}

/// Reads the file at path with read_vxl_file and decodes it with parse_vxl_map.
vxl_load_result load_vxl_map(const char* path, std::uint64_t* coloured_columns = nullptr);
