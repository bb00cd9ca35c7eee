// A generated map as the bytes of its VXL file, in memory: exactly the file that
// `mapgen -s SEED` (with start_regions: `mapgen -s SEED -d`) writes. The map is
// made as a height and a colour per column and encoded from those, without the
// voxel volume: nothing process-wide is read or written, so any number of threads
// may make maps at once, each with working memory of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "mapfile/file_buffer.h"
#include "terrain/map_columns.h"

/// The VXL file of seed. Safe to call from any number of threads at once; each
/// call works in 4 MiB of its own from the heap besides the file. Throws
/// std::bad_alloc when memory runs out.
std::vector<std::uint8_t> make_vxl_map(std::int32_t seed, bool start_regions);

/// Room that the file of every generated map known fits, with much to spare: such
/// files run from 2 MiB to a few KiB more (2,097,152 to 2,102,300 bytes over seeds
/// 1 to 300).
constexpr std::size_t GENERATED_FILE_ROOM = sizeof(map_workspace) + 64 * 1024;

/// Everything one map is made in, 4 MiB and 64 KiB: its columns, and the
/// generator's workspace, idle once the columns are made, which with the room
/// after it takes the file.
struct vxl_map_work {
    map_columns columns;
    union {
        map_workspace workspace;
        std::uint8_t file_room[GENERATED_FILE_ROOM];
    };
};

/// make_vxl_map in memory the caller keeps from one map to the next, one work per
/// thread: the file replaces what out held, in its capacity where that suffices.
/// Throws std::bad_alloc when memory for out runs out.
void make_vxl_map(std::int32_t seed, bool start_regions, vxl_map_work& work, std::vector<std::uint8_t>& out);

/// A vxl_map_work from the heap, left uninitialised: every stage writes what it
/// reads. The allocator keeps such a block for the next one that a thread asks for,
/// so a caller that makes one map after another gets memory already mapped, where
/// fresh pages would cost a first touch each. Throws std::bad_alloc.
std::unique_ptr<vxl_map_work> heap_vxl_map_work();

/// A vxl_map_work in memory fresh from the system, mapped at once, in 2 MiB huge
/// pages as far as it fills them where the system has them: first touches of
/// 1,040 small pages would cost a good part of what making the map does. Throws
/// std::bad_alloc when the system has no memory for it.
class fresh_vxl_map_work {
  public:
    fresh_vxl_map_work();
    vxl_map_work& operator*() const { return *work_; }

  private:
    file_buffer memory_;
    vxl_map_work* work_;
};

/// make_vxl_map in steps, for a caller that brings the file's memory itself: makes
/// the columns of seed's map in work, for the two calls below.
void prepare_vxl_map(std::int32_t seed, bool start_regions, vxl_map_work& work);

/// Size in bytes of the file of the map prepared in work.
std::size_t prepared_vxl_map_size(const vxl_map_work& work);

/// Writes the file of the map prepared in work to the start of out and returns its
/// size; returns 0, and writes nothing beyond out, when out is smaller. out may be
/// idle_workspace(work).
std::size_t encode_prepared_vxl_map(const vxl_map_work& work, std::span<std::uint8_t> out);

/// The generator's workspace in work as bytes with the room after it,
/// GENERATED_FILE_ROOM: free for the file once the map is prepared, until the next
/// map. A generated map's file takes about 2 MiB.
std::span<std::uint8_t> idle_workspace(vxl_map_work& work);

/// The file of the map prepared in work, encoded where it costs least: in work's
/// idle workspace, which the file of every generated map known fits, or else in
/// spare, which is then given fresh memory of the file's size. Valid until work's
/// next map or spare's end. Throws std::bad_alloc when spare is needed and no
/// memory is to be had.
std::span<const std::uint8_t> encode_vxl_map_in_work(vxl_map_work& work, file_buffer& spare);
