// Noise layers over the 512 x 512 planar fields, on the vector path the processor
// offers. Every path writes the plain fill's bits (numerics/noise_fill_plain.h),
// which the fast fill itself falls back on for arguments its tables do not take.
#include "numerics/field.h"

#include <cstddef>

#include "numerics/noise_fill.h"
#include "numerics/noise_fill_plain.h"
#include "platform/vector_path.h"

void fill_noise_field(float* field, std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi,
                      noise_fill_tables* tables) {
    fill_noise_field_fast(chosen_vector_path(), field, period_x, period_y, z, lo, hi, tables);
}

void add_noise_field(float* field, std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi,
                     float* total, float weight, noise_fill_tables* tables) {
    add_noise_field_fast(chosen_vector_path(), field, period_x, period_y, z, lo, hi, total, weight, tables);
}

void add_field(float* dst, const float* src, float weight) {
    add_weighted(chosen_vector_path(), dst, src, weight, std::size_t{FIELD_SIDE} * FIELD_SIDE);
}
