// The terrain generator: 24 draws from a random source become ring-profile
// heights, noise-roughened solid columns and one colour word per column.
//
// The stages take their planar fields and their random source explicitly; the
// functions without arguments run them on the volume's fields and the
// process-wide source, as the program's run does.
#pragma once

#include <cstdint>

#include "terrain/colouring.h"       // smoothstep01, column_colour, colouring stages
#include "terrain/height_profile.h"  // shape parameters, tile_fold, profile heights
#include "terrain/terrain_fields.h"

class random_source;  // numerics/rng.h

/// Fills height_field, column_height, solid_map and color_map (generator orientation)
/// from the process-wide random source, drawing exactly 24 values. Writes solid_map
/// and color_map once each, in memory order.
void generate_terrain();
/// generate_terrain but for the colours: all 24 draws, height_field, column_height
/// and solid_map; colour_columns (or colour_columns_of_row for every x-row) then
/// finishes the terrain.
void shape_terrain();
/// The same bits from the plain stages, column by column: the reference for generate_terrain.
void generate_terrain_plain();

// ---- the stages

/// Draws 1 to 21 from source: the profile heights with the first noise set added,
/// into fields.height. Overwrites fields.noise_a.
void shape_heights(const terrain_fields& fields, random_source& source);
/// The same with the plain profile heights: the reference for shape_heights.
void shape_heights_plain(const terrain_fields& fields, random_source& source);
/// Draws 22 to 24 from source: the second noise set, seen only by the colours,
/// added to fields.height with weight 2. Overwrites fields.noise_a.
void add_colour_noise(const terrain_fields& fields, random_source& source);

/// Integer column height of a height: truncated toward zero, negative raised to 0,
/// no upper limit.
std::int32_t column_height_of(float h);
/// Sets fields.column_height from fields.height.
void fill_column_heights(const terrain_fields& fields);
/// fill_column_heights, and makes every column of solid (VOXEL_COUNT bytes, 64-byte
/// aligned, like solid_map) solid from z = 0 up to its column height (all 64
/// voxels when it is 63 or more).
void fill_solid_columns(const terrain_fields& fields, std::uint8_t* solid);
/// The same, voxel by voxel: the reference for fill_solid_columns.
void fill_solid_columns_plain(const terrain_fields& fields, std::uint8_t* solid);
