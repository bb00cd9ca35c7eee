// Map generation: the terrain, then (with -d) the start-region outlines.
#pragma once

/// Runs generate_terrain and, when debug_regions is not 0, paints the blue and
/// green start-region outlines into color_map. Touches nothing else.
void generate_map();
/// The same with generate_terrain_plain: the reference for generate_map.
void generate_map_plain();
