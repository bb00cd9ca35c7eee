// Column colours: one colour word per column from its height, its slope toward
// the x-1 and y-1 neighbours and a fixed light direction. Raised columns are
// shaded; floor columns (column height 0) get a flat tint by depth.
#pragma once

#include <cstdint>

enum class vector_path;  // terrain/vector_path.h

/// 0 below 0, 1 above 1, otherwise 3t^2 - 2t^3 evaluated as 3 * (t * t) - 2 * ((t * t) * t).
double smoothstep01(float t);

/// Colour word 0x80RRGGBB of a column whose height (after the colour noise) is h,
/// whose neighbours at x - 1 and y - 1 have heights h_prev_x and h_prev_y, and whose
/// integer column height is column_height (0 makes it a floor column).
std::uint32_t column_colour(float h, float h_prev_x, float h_prev_y, std::int32_t column_height);

/// Stores column_colour of every column into all 64 voxels of that column in color_map,
/// reading height_field and column_height; neighbours wrap around the map's edges.
/// Several columns per step, and color_map is written once, in memory order.
void colour_columns();
/// colour_columns on the given vector path, which must be supported.
void colour_columns_with(vector_path path);
/// colour_columns for the 512 columns of x-row x only: the same words, from
/// height_field rows x and x - 1 (511 for x = 0) and column_height row x.
void colour_columns_of_row(int x);
/// The same, one column_colour per column: the reference for colour_columns.
void colour_columns_plain();
