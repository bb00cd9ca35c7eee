// The voxel volume: 512 x 512 columns of 64 voxels, plus the planar work fields
// the generator shapes the terrain in. Everything here is process-wide, zero at
// start, fixed in size and never freed.
//
// Index order is x (slowest), y, z (fastest): voxel (x, y, z) lives at
// x * 32768 + y * 64 + z, column (x, y) at x * 512 + y. In generator orientation
// z = 0 is the lowest voxel; in file orientation (after the writer's flip, and
// in what the loader stores) z = 0 is the top layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

constexpr int MAP_SIZE = 512;   // columns along x and along y
constexpr int MAP_DEPTH = 64;   // voxels in a column
constexpr std::size_t COLUMN_COUNT = std::size_t{MAP_SIZE} * MAP_SIZE;  // 262,144
constexpr std::size_t VOXEL_COUNT = COLUMN_COUNT * MAP_DEPTH;          // 16,777,216

/// One byte per voxel: 0 air, anything else solid (the system stores 1).
extern std::uint8_t* const solid_map;
/// One colour word per voxel: blue bits 0-7, green 8-15, red 16-23, top byte 24-31.
extern std::uint32_t* const color_map;
/// Planar fields, one element per column.
extern float* const height_field;
extern float* const noise_field_a;
extern float* const noise_field_b;
extern std::int32_t* const column_height;

/// The memory of noise_field_a and noise_field_b, 2 MiB in one piece. Nothing reads
/// these work fields once the terrain is shaped: a caller that writes the volume
/// may lend it to the writer for its tables.
std::span<std::uint8_t> work_field_storage();

/// The -d setting of a map made in the volume (generate_map): the start-region
/// marking draws only when it is not 0. The run itself makes its map as columns
/// and passes -d along explicitly.
extern std::int32_t debug_regions;

/// voxel index of (x, y, z)
constexpr std::size_t voxel_index(int x, int y, int z) {
    return std::size_t(x) * 32768 + std::size_t(y) * 64 + std::size_t(z);
}

/// column index of (x, y); equals voxel_index(x, y, 0) / 64
constexpr std::size_t column_index(int x, int y) {
    return std::size_t(x) * 512 + std::size_t(y);
}

/// Stores value into solid_map at (x, y, z). Coordinates are not checked.
void set_solid(int x, int y, int z, std::uint8_t value);
/// Stores colour into color_map at (x, y, z). Coordinates are not checked.
void set_color(int x, int y, int z, std::uint32_t colour);

/// Returns every array and debug_regions to the state at program start (all zero).
/// The run never needs it; tests and tools that reuse the volume do.
void clear_volume();
