// The ring-profile height of every column, before any noise: eighteen shape
// parameters drawn from the random source, four profile quantities blended
// bilinearly over the map, and a ring weight around the map's corner point that
// alternates between a low and a high radial profile.
//
// Maps are reproducible bit for bit only with the exact rounding points used
// here, so each step is also callable on its own with chosen inputs.
#pragma once

#include <cstdint>

#include "terrain/terrain_fields.h"

class random_source;     // numerics/rng.h
enum class vector_path;  // platform/vector_path.h

/// The eighteen shape parameters, each in the precision it is kept in, plus the
/// x-differences of the bilinear blend. Corner arrays are ordered 00, 10, 01, 11
/// (first digit: the x blend factor's end, second: the y factor's end).
struct shape_params {
    float ring_frequency;  ///< draw 1: 28..44
    float ring_exponent;   ///< draw 2: 0.6..0.9
    // centre_base corners 10 and 11 (draws 4 and 6) stay double: rounding them
    // to float changes the maps of some seeds.
    float centre_base_00;
    double centre_base_10;
    float centre_base_01;
    double centre_base_11;
    float centre_rise[4];
    float edge_base[4];
    float edge_rise[4];
    /// [0] = float(corner 10 - corner 00), [1] = float(corner 11 - corner 01)
    float centre_base_xdiff[2];
    float centre_rise_xdiff[2];
    float edge_base_xdiff[2];
    float edge_rise_xdiff[2];
};

/// Per-row values of the blend, shared by the 512 columns of one x.
struct row_profile {
    float dx2;  ///< squared x offset from the profile's centre
    /// row value 0 of each quantity: the blend at the y factor's 0 end
    float centre_base_0, centre_rise_0, edge_base_0, edge_rise_0;
    /// float(row value 1 - row value 0) of each quantity
    float centre_base_ydiff, centre_rise_ydiff, edge_base_ydiff, edge_rise_ydiff;
};

/// Shape parameters from the eighteen draws r[0..17] (draws 1 to 18, each in [0, 1)).
shape_params shape_params_from_draws(const double r[18]);
/// Draws the eighteen shape parameters from source, in their fixed order.
shape_params draw_shape_params(random_source& source);
/// The same from the process-wide source.
shape_params draw_shape_params();

/// Blend factor for t in [0, 1): folds the ends toward 0.5 so that factors join
/// across the map's wrap-around; never leaves [0.0625, 0.9375].
double tile_fold(float t);
/// Offset of column index i from the profile's centre, which lies between index
/// 511 and 0: ((i + 256) mod 512 - 255.5) / 256, exact.
double centre_offset(int i);

/// Distance R of a column from the profile's centre, from its row's dx2 and its
/// own centre_offset dy: float(sqrt(dy * dy + dx2)).
float centre_distance(float dx2, double dy);

/// The per-row values for row x (0..511).
row_profile make_row_profile(const shape_params& p, int x);
/// Height of column y (0..511) of a row: the ring weight blends low and high profile.
float profile_height(const row_profile& row, int y, float ring_frequency, float ring_exponent);

/// Writes profile_height of every column into fields.height, bit for bit, but
/// evaluates cos and pow once per distinct distance instead of once per column.
/// Overwrites fields.noise_a, its scratch, and uses fields.height as scratch before
/// it writes the heights; reads and writes no other field.
void fill_profile_heights(const shape_params& p, const terrain_fields& fields);
/// fill_profile_heights on the given vector path, which must be supported.
void fill_profile_heights_with(const shape_params& p, const terrain_fields& fields, vector_path path);
/// The same, one profile_height per column: the reference for fill_profile_heights.
/// Writes fields.height only.
void fill_profile_heights_plain(const shape_params& p, const terrain_fields& fields);
