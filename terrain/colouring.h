// Column colours: one colour word per column from its height, its slope toward
// the x-1 and y-1 neighbours and a fixed light direction. Raised columns are
// shaded; floor columns (column height 0) get a flat tint by depth. The colouring
// reads fields.height and fields.column_height and changes neither; neighbours
// wrap around the map's edges.
#pragma once

#include <cstdint>

#include "terrain/terrain_fields.h"

enum class vector_path;  // platform/vector_path.h

/// 0 below 0, 1 above 1, otherwise 3t^2 - 2t^3 evaluated as 3 * (t * t) - 2 * ((t * t) * t).
double smoothstep01(float t);

/// Colour word 0x80RRGGBB of a column whose height (after the colour noise) is h,
/// whose neighbours at x - 1 and y - 1 have heights h_prev_x and h_prev_y, and whose
/// integer column height is column_height (0 makes it a floor column).
std::uint32_t column_colour(float h, float h_prev_x, float h_prev_y, std::int32_t column_height);

// ---- into the voxels: each column's word in all 64 of its voxels

/// column_colour of every column into all 64 voxels of that column in voxels
/// (VOXEL_COUNT words, 64-byte aligned, like color_map). Several columns per step,
/// and voxels is written once, in memory order.
void colour_columns(const terrain_fields& fields, std::uint32_t* voxels);
/// colour_columns on the given vector path, which must be supported.
void colour_columns_with(const terrain_fields& fields, std::uint32_t* voxels, vector_path path);
/// colour_columns for the 512 columns of x-row x only: the same words, from
/// height rows x and x - 1 (511 for x = 0) and column_height row x.
void colour_columns_of_row(const terrain_fields& fields, std::uint32_t* voxels, int x);
/// The same, one column_colour per column: the reference for colour_columns.
void colour_columns_plain(const terrain_fields& fields, std::uint32_t* voxels);

// ---- one word per column

/// column_colour of every column into words (COLUMN_COUNT words, column index
/// order): the word colour_columns stores into the column's voxels.
void colour_column_words(const terrain_fields& fields, std::uint32_t* words);
/// colour_column_words on the given vector path, which must be supported.
void colour_column_words_with(const terrain_fields& fields, std::uint32_t* words, vector_path path);
/// The same, one column_colour per column: the reference for colour_column_words.
void colour_column_words_plain(const terrain_fields& fields, std::uint32_t* words);
