// Map generation: the terrain, then (with -d) the start-region outlines.
#pragma once

#include <cstdint>

/// Runs generate_terrain and, when debug_regions is not 0, paints the blue and
/// green start-region outlines into color_map. Touches nothing else.
void generate_map();
/// generate_map in steps, for a caller that writes the map x-row by x-row while each
/// row's colours are still in the cache: shape_map makes everything but the
/// colours (shape_terrain), and finish_map_row(x) colours x-row x and, when
/// debug_regions is not 0, paints its part of the outlines. Once every row is
/// finished, in any order, the volume is what generate_map makes.
void shape_map();
void finish_map_row(int x);

/// The same with generate_terrain_plain: the reference for generate_map.
void generate_map_plain();

/// Paints the two outlines into colours, which hold words_per_column words per
/// column in column index order: 64 for the voxels of color_map, 1 for one word
/// per column. Only the outline columns' words change.
void paint_start_regions(std::uint32_t* colours, int words_per_column);
