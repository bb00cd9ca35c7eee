// The terrain generator: 24 draws from the random source become ring-profile
// heights, noise-roughened solid columns and one colour word per column.
#pragma once

#include <cstdint>

/// Fills height_field, column_height, solid_map and color_map (generator orientation)
/// from the seeded random source, drawing exactly 24 values.
void generate_terrain();

/// Blend factor for t in [0, 1): folds the ends toward 0.5 so that factors join
/// across the map's wrap-around; never leaves [0.0625, 0.9375].
double tile_fold(float t);
/// 0 below 0, 1 above 1, otherwise 3t^2 - 2t^3 evaluated as 3 * (t * t) - 2 * ((t * t) * t).
double smoothstep01(float t);
