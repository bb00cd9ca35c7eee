// The column encoder's rows of records and its sizes for AVX2: the baseline's code
// compiled for 32-byte registers. Only this file's own functions carry the target.
#include "mapfile/column_encoder_kernels.h"

#include "platform/target_attributes.h"

namespace column_encoder_parts {

#if MAPGEN_HAS_X86_KERNELS

MAPGEN_TARGET_AVX2 std::uint8_t* put_row_avx2(band_tables& t, int j, std::uint8_t* out, const std::uint8_t* end) {
    return put_row(t, j, out, end);
}

MAPGEN_TARGET_AVX2 std::size_t columns_size_avx2(column_heights heights, vxl_file_rows rows) {
    return columns_size(heights, rows);
}

#else

// No such processor to run on: the path is never chosen, and a call gets the same bytes.
std::uint8_t* put_row_avx2(band_tables& t, int j, std::uint8_t* out, const std::uint8_t* end) {
    return put_row(t, j, out, end);
}
std::size_t columns_size_avx2(column_heights heights, vxl_file_rows rows) { return columns_size(heights, rows); }

#endif

}  // namespace column_encoder_parts
