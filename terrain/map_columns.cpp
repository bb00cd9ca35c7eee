#include "terrain/map_columns.h"

#include <memory>

#include "numerics/rng.h"
#include "terrain/height_profile.h"
#include "terrain/map.h"
#include "terrain/terrain.h"

// The stages of generate_map on fields of the call's own: the heights, the column
// heights straight into out, the colour noise, and one colour word per column
// instead of 64. No voxel is made: the volume's solid_map and color_map are never
// touched, nor is any other process-wide array.
void generate_map_columns(std::int32_t seed, bool start_regions, map_columns& out, map_workspace& work) {
    random_source source;
    rng_seed(source, static_cast<std::uint32_t>(seed));
    const terrain_fields fields{work.height, work.noise_a, work.noise_b, out.heights};
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

void make_map_step(const terrain_draws& d, bool start_regions, map_columns& out, map_workspace& work, int step,
                   int item) {
    // The ring table is kept in the colours, written only after the last read of it.
    const terrain_fields fields{work.height, work.noise_a, reinterpret_cast<float*>(out.colours), out.heights};
    const int items = MAP_STEP_ITEMS[std::size_t(step)];
    const field_rows rows{MAP_SIZE * item / items, MAP_SIZE * (item + 1) / items};
    switch (step) {
        case 0: fill_ring_table(d.shape, fields, item, items); return;  // every row reads all distances
        case 1: shape_terrain_rows(d, fields, rows); return;           // per element: rows of their own
        default:
            colour_column_word_rows(fields, out.colours, rows.begin, rows.end);
            if (start_regions) paint_start_regions(out.colours, 1, rows.begin, rows.end);
            return;
    }
}
