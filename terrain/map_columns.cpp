#include "terrain/map_columns.h"

#include <memory>
#include <new>

#include "numerics/noise_fill.h"

#include "numerics/rng.h"
#include "terrain/map.h"
#include "terrain/terrain.h"

// The stages of generate_map on fields of the call's own: the heights, the column
// heights straight into out, the colour noise, and one colour word per column
// instead of 64. No voxel is made: the volume's solid_map and color_map are never
// touched, nor is any other process-wide array.
void generate_map_columns(std::int32_t seed, bool start_regions, map_columns& out, map_workspace& work) {
    random_source source;
    rng_seed(source, static_cast<std::uint32_t>(seed));
    // The colours are written last: until then their memory, mapped with the rest
    // of out, holds the noise fills' tables, which then touch no fresh page.
    static_assert(sizeof(noise_fill_tables) <= sizeof(out.colours) && alignof(noise_fill_tables) <= 64);
    auto* const tables = ::new (static_cast<void*>(out.colours)) noise_fill_tables;
    const terrain_fields fields{work.height, work.noise_a, out.heights, tables};
    shape_heights(fields, source);
    fill_column_heights(fields);
    add_colour_noise(fields, source);
    colour_column_words(fields, out.colours);
    if (start_regions) paint_start_regions(out.colours, 1);
}

void generate_map_columns(std::int32_t seed, bool start_regions, map_columns& out) {
    // Left uninitialised: every stage overwrites what it reads.
    const std::unique_ptr<map_workspace> work(new map_workspace);
    generate_map_columns(seed, start_regions, out, *work);
}
