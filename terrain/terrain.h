// The terrain generator: 24 draws from the random source become ring-profile
// heights, noise-roughened solid columns and one colour word per column.
#pragma once

#include <cstdint>

#include "terrain/colouring.h"       // smoothstep01, column_colour
#include "terrain/height_profile.h"  // shape parameters, tile_fold, profile heights

/// Fills height_field, column_height, solid_map and color_map (generator orientation)
/// from the seeded random source, drawing exactly 24 values. Writes solid_map and
/// color_map once each, in memory order.
void generate_terrain();
/// generate_terrain but for the colours: all 24 draws, height_field, column_height
/// and solid_map; colour_columns (or colour_columns_of_row for every x-row) then
/// finishes the terrain.
void shape_terrain();
/// The same bits from the plain stages, column by column: the reference for generate_terrain.
void generate_terrain_plain();

/// Integer column height of a height: truncated toward zero, negative raised to 0,
/// no upper limit.
std::int32_t column_height_of(float h);

/// Sets column_height from height_field and makes every column solid from z = 0
/// up to its column height (all 64 voxels when it is 63 or more).
void fill_solid_columns();
/// The same, voxel by voxel: the reference for fill_solid_columns.
void fill_solid_columns_plain();
