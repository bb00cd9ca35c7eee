// Builds a whole map from a small input, since a valid map (a megabyte or more)
// is far beyond what libFuzzer's inputs reach, and runs it through everything
// vxltool does with a map: the check in memory and from a file, the decoder (as
// the file is read, and from memory), info, diff and both views.
//
// Input: a control byte, then column records. The records the loader reads from
// the start (up to 16) make a pattern repeated over all 262,144 columns, shifted
// from row to row by an amount the control byte picks; the bytes after them end
// the map, in place of its last record (control bit 0 set) or as trailing bytes.
// Bit 7 asks for the oblique view and bit 6 for a diff, the slowest parts, so
// that only some inputs pay for them.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "mapfile/vxl_format.h"
#include "mapfile/vxl_loader.h"
#include "tools/decoded_map.h"
#include "tools/map_diff.h"
#include "tools/map_info.h"
#include "tools/map_render.h"

namespace {

using record_list = std::vector<std::pair<std::size_t, std::size_t>>;  // offset, length

/// Builds into *map: pattern record (k + row * shift) % n at record k, the rest
/// at the end. The buffer is kept from input to input, so its pages are not
/// fresh every time.
void build_map(const std::uint8_t* records, const record_list& pattern, const std::uint8_t* rest,
               std::size_t rest_size, int shift, bool rest_last, std::vector<std::uint8_t>* map) {
    const std::size_t count = rest_last ? VXL_RECORD_COUNT - 1 : VXL_RECORD_COUNT;
    std::size_t size = rest_size;
    for (std::size_t k = 0; k < count; ++k)
        size += pattern[(k + k / VXL_MAP_SIZE * std::size_t(shift)) % pattern.size()].second;
    map->resize(size);
    std::uint8_t* out = map->data();
    for (std::size_t k = 0; k < count; ++k) {
        const auto& [at, length] = pattern[(k + k / VXL_MAP_SIZE * std::size_t(shift)) % pattern.size()];
        std::memcpy(out, records + at, length);
        out += length;
    }
    if (rest_size) std::memcpy(out, rest, rest_size);
}

int memory_file() {
    static const int fd = memfd_create("vxl_image_fuzzer", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    return fd;
}

void put_file(int fd, const std::vector<std::uint8_t>& bytes) {
    if (ftruncate(fd, 0) != 0) std::abort();
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = pwrite(fd, bytes.data() + at, bytes.size() - at, off_t(at));
        if (n <= 0) std::abort();
        at += std::size_t(n);
    }
}

void check(bool promise) {
    if (!promise) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t control = data[0];
    const std::uint8_t* const records = data + 1;
    vxl_cursor cursor{records, size - 1, 0, 0};
    vxl_column column;
    record_list pattern;
    while (pattern.size() < 16) {
        const std::size_t at = cursor.offset;
        if (!read_vxl_column(cursor, &column, nullptr)) break;
        pattern.push_back({at, cursor.offset - at});
    }
    if (pattern.empty()) return 0;  // nothing to repeat: the parse fuzzer has such inputs
    const std::size_t rest_at = cursor.offset;
    const int shift = control >> 1 & 7;
    const bool rest_last = control & 1;
    static std::vector<std::uint8_t> map, other;
    build_map(records, pattern, records + rest_at, size - 1 - rest_at, shift, rest_last, &map);

    // In memory and from a file, the same verdict.
    const vxl_load_result memory = check_vxl_map(map.data(), map.size());
    const int fd = memory_file();
    put_file(fd, map);
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    // Read from the file and decoded as it is read, then decoded again from memory.
    vxl_input_image held;
    static decoded_map streamed, decoded;
    std::string why;
    read_and_decode_map(path.c_str(), VXL_ANY_SIZE, &held, &streamed, &why);
    const vxl_load_result& read = streamed.summary;
    check(!read.read_failed && read.ok == memory.ok && read.reason == memory.reason);
    if (!memory.ok) return 0;
    check(read.bytes == map.size() && read.trailing_bytes == memory.trailing_bytes &&
          read.record_bytes == memory.record_bytes && read.spans == memory.spans &&
          read.solid_voxels == memory.solid_voxels && read.coloured_voxels == memory.coloured_voxels);
    check(memory.spans <= VXL_COLUMN_DEPTH * VXL_RECORD_COUNT && memory.record_bytes <= VXL_MAX_RECORDS_BYTES);

    check(decode_map(held.bytes.get(), held.length, &decoded, &why));
    check(streamed.solid == decoded.solid && streamed.coloured == decoded.coloured &&
          streamed.first_colour == decoded.first_colour && streamed.colours == decoded.colours);
    const map_info info = summarize_map(decoded);
    check(info.columns == VXL_RECORD_COUNT && info.coloured_voxels == memory.coloured_voxels &&
          info.empty_columns + info.floor_columns <= info.columns && info.surface_max < VXL_COLUMN_DEPTH &&
          info.distinct_colours <= info.coloured_voxels);

    // Against the same records in another arrangement (on every other input): no
    // more differences than voxels, and a map is the same as itself.
    if (control & 0x40) {
        build_map(records, pattern, records + rest_at, size - 1 - rest_at, (shift + 1) & 7, rest_last, &other);
        const bool same_records = other == map;
        if (check_vxl_map(other.data(), other.size()).ok) {
            const map_difference diff = diff_vxl_maps(map.data(), map.size(), other.data(), other.size(), 10);
            check(diff.voxels <= VXL_RECORD_COUNT * VXL_COLUMN_DEPTH && diff.columns <= VXL_RECORD_COUNT &&
                  diff.first.size() == std::min<std::size_t>(diff.voxels, 10) && diff.columns <= diff.voxels &&
                  (!same_records || diff.voxels == 0));
        }
    }

    const rgb_image top = render_top_view(decoded);
    check(top.rgb.size() == std::size_t(top.width) * std::size_t(top.height) * 3);
    if (control & 0x80) {
        const rgb_image iso = render_iso_view(decoded);
        check(iso.rgb.size() == std::size_t(iso.width) * std::size_t(iso.height) * 3);
    }
    return 0;
}
