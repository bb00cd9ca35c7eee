// The fast encoder's kernel for AVX-512BW, chosen at run time: a column of 64
// solid_map bytes is one load and one compare into a 64-bit mask. Only this
// file's own functions carry the target, so no instruction beyond the baseline
// can leak into code that runs everywhere.
#include "mapfile/vxl_fast_encoder_kernels.h"

#include "platform/target_attributes.h"
#include "volume/volume.h"

#if MAPGEN_HAS_X86_KERNELS

#include <immintrin.h>

MAPGEN_TARGET_AVX512 void read_tops_avx512(std::uint8_t* rows, std::size_t stride) {
    const auto* column = reinterpret_cast<const __m512i*>(solid_map);  // 64-byte columns, aligned
    for (int x = 0; x < MAP_SIZE; ++x) {
        std::uint8_t* row = rows + x * stride;
        for (int y = 0; y < MAP_SIZE; ++y, ++column) {
            const __m512i v = _mm512_load_si512(column);
            row[y] = top_byte(_mm512_test_epi8_mask(v, v));
        }
    }
}

#endif
