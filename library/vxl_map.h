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
#include <string>
#include <thread>
#include <vector>

#include "mapfile/file_buffer.h"
#include "mapfile/safe_write.h"  // file_source
#include "terrain/map_columns.h"

/// The VXL file of seed. Safe to call from any number of threads at once; each
/// call works in 5 MiB of its own from the heap besides the file. Throws
/// std::bad_alloc when memory runs out.
std::vector<std::uint8_t> make_vxl_map(std::int32_t seed, bool start_regions);

/// Everything one map is made in, 5 MiB: its columns, and the generator's
/// workspace, idle once the columns are made.
struct vxl_map_work {
    map_columns columns;
    map_workspace workspace;
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
/// 1,280 small pages would cost a good part of what making the map does. Throws
/// std::bad_alloc when the system has no memory for it.
class fresh_vxl_map_work {
  public:
    /// With ready false, the memory is only reserved, for the caller to ready
    /// with ready() in the order it will use it; unreadied memory works too, only
    /// slower.
    explicit fresh_vxl_map_work(bool ready = true);
    vxl_map_work& operator*() const { return *work_; }

    /// Readies bytes begin to end - 1 of the work as the constructor would have
    /// (whole 2 MiB stretches from a begin at a multiple of 2 MiB become huge pages).
    void ready(std::size_t begin, std::size_t end) const;

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

/// The generator's workspace in work as bytes, 3 MiB: free for the file once the
/// map is prepared, until the next map. A generated map's file takes about 2 MiB.
std::span<std::uint8_t> idle_workspace(vxl_map_work& work);

/// The file of the map prepared in work, encoded where it costs least: in work's
/// idle workspace, which the file of every generated map known fits, or else in
/// spare, which is then given fresh memory of the file's size. Valid until work's
/// next map or spare's end. Throws std::bad_alloc when spare is needed and no
/// memory is to be had.
std::span<const std::uint8_t> encode_vxl_map_in_work(vxl_map_work& work, file_buffer& spare);

/// A map made by several threads at once, for a program that makes one map and
/// wants it soon: prepare_vxl_map and encode_vxl_map_in_work, each thread making
/// and encoding a part of the map, with the same bytes in a good part less time.
/// The helpers are started first, so that they are running by the time the map's
/// memory is ready; they wait spinning, for a few milliseconds at most, and a
/// helper that starts late joins wherever the work has got to.
class vxl_map_team {
  public:
    /// This thread and threads - 1 helpers (1 <= threads <= 8; other counts are
    /// cut to that). When a helper cannot be started, the threads there are share
    /// the work; this one alone, if need be.
    explicit vxl_map_team(int threads);
    vxl_map_team(const vxl_map_team&) = delete;
    vxl_map_team& operator=(const vxl_map_team&) = delete;
    /// Stops and joins the helpers.
    ~vxl_map_team();

    /// The file of seed's map, made in work, in the way of encode_vxl_map_in_work
    /// (and valid as long as that says). Once per team. Throws std::bad_alloc when
    /// spare is needed and no memory is to be had.
    std::span<const std::uint8_t> make(std::int32_t seed, bool start_regions, vxl_map_work& work, file_buffer& spare);
    /// The same in fresh work made unready, which the team readies first.
    std::span<const std::uint8_t> make(std::int32_t seed, bool start_regions, const fresh_vxl_map_work& work,
                                       file_buffer& spare);

  private:
    friend class vxl_map_file;
    struct shared;
    void help();
    // Sets the helpers going on the map's columns; false when there is no team.
    bool start(std::int32_t seed, bool start_regions, vxl_map_work& work, const fresh_vxl_map_work* unready);
    std::span<const std::uint8_t> make(std::int32_t seed, bool start_regions, vxl_map_work& work,
                                       const fresh_vxl_map_work* unready, file_buffer& spare);
    std::unique_ptr<shared> shared_;
    std::vector<std::thread> helpers_;
};

/// A team's map as a file_source for safe_write_file (mapfile/safe_write.h), for
/// a file written while it is made: the writer opens its way to the file while
/// the helpers start on the map, which is made when the writer asks for the size,
/// and each part of the file goes out as soon as it is encoded. Made with the
/// team (once per team) and fresh work made unready, which the team readies; it
/// must end before both. Without a team, the map is made alone.
class vxl_map_file final : public file_source {
  public:
    vxl_map_file(vxl_map_team& team, std::int32_t seed, bool start_regions, const fresh_vxl_map_work& work);
    vxl_map_file(const vxl_map_file&) = delete;
    vxl_map_file& operator=(const vxl_map_file&) = delete;
    ~vxl_map_file() override;

    /// false with strerror(ENOMEM) when memory runs out.
    bool size(std::size_t* size, std::string* reason) override;
    std::span<const std::uint8_t> next() override;

  private:
    vxl_map_team::shared* s_ = nullptr;  // null: made alone
    std::int32_t seed_;
    bool start_regions_;
    const fresh_vxl_map_work& work_;
    bool steps_done_ = false;
    unsigned next_ = 0;
    file_buffer spare_;
    std::span<const std::uint8_t> whole_;
};

/// The processors this process may run on (its affinity where the system tells
/// it), at least 1.
int available_processors();
