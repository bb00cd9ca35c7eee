#include "library/vxl_map.h"

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "mapfile/column_encoder.h"
#include "numerics/rng.h"
#include "platform/huge_page.h"
#include "platform/shared_steps.h"

// Every generated column is solid from its lowest voxel up to its height and one
// colour throughout, so its record follows from the heights and colours alone.

namespace {

// The work's memory in whole huge pages: the last, partly used, costs 1 MiB of
// resident memory more than small pages would, and takes half the time to ready
// that the 256 small pages take.
constexpr std::size_t FRESH_WORK_BYTES = (sizeof(vxl_map_work) + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;

}  // namespace

fresh_vxl_map_work::fresh_vxl_map_work(bool ready) : memory_(reserve_file_buffer(FRESH_WORK_BYTES)) {
    if (!memory_) throw std::bad_alloc();
    if (ready) this->ready(0, sizeof(vxl_map_work));
    work_ = new (memory_.get()) vxl_map_work;  // left as it comes: every stage writes what it reads
}

void fresh_vxl_map_work::ready(std::size_t begin, std::size_t end) const {
    end = end >= sizeof(vxl_map_work) ? FRESH_WORK_BYTES : end;
    if (begin < end) ready_file_buffer(memory_.get() + begin, end - begin);
}

std::unique_ptr<vxl_map_work> heap_vxl_map_work() { return std::unique_ptr<vxl_map_work>(new vxl_map_work); }

void prepare_vxl_map(std::int32_t seed, bool start_regions, vxl_map_work& work) {
    generate_map_columns(seed, start_regions, work.columns, work.workspace);
}

std::size_t prepared_vxl_map_size(const vxl_map_work& work) {
    return vxl_columns_size(column_heights(work.columns.heights));
}

std::size_t encode_prepared_vxl_map(const vxl_map_work& work, std::span<std::uint8_t> out) {
    return encode_vxl_columns(column_heights(work.columns.heights), column_colours(work.columns.colours), out);
}

std::span<std::uint8_t> idle_workspace(vxl_map_work& work) {
    return {reinterpret_cast<std::uint8_t*>(&work.workspace), sizeof(work.workspace)};
}

// Encoding into the workspace first spares a pass over the columns to measure the
// file, and a pass over the caller's memory to clear it before the file is copied
// there.
std::span<const std::uint8_t> encode_vxl_map_in_work(vxl_map_work& work, file_buffer& spare) {
    const std::span<std::uint8_t> idle = idle_workspace(work);
    const std::size_t size = encode_prepared_vxl_map(work, idle);
    if (size != 0) return idle.first(size);
    const std::size_t needed = prepared_vxl_map_size(work);
    spare = reserve_file_buffer(needed);
    if (!spare) throw std::bad_alloc();
    ready_file_buffer(spare.get(), needed);
    return {spare.get(), encode_prepared_vxl_map(work, {spare.get(), needed})};
}

void make_vxl_map(std::int32_t seed, bool start_regions, vxl_map_work& work, std::vector<std::uint8_t>& out) {
    prepare_vxl_map(seed, start_regions, work);
    file_buffer spare;
    const std::span<const std::uint8_t> file = encode_vxl_map_in_work(work, spare);
    out.assign(file.begin(), file.end());
}

std::vector<std::uint8_t> make_vxl_map(std::int32_t seed, bool start_regions) {
    const std::unique_ptr<vxl_map_work> work = heap_vxl_map_work();  // 5 MiB: too much for a thread's stack
    prepare_vxl_map(seed, start_regions, *work);
    file_buffer spare;
    const std::span<const std::uint8_t> file = encode_vxl_map_in_work(*work, spare);
    return {file.begin(), file.end()};
}

// ---- a map made by a team of threads
//
// The team shares the map's steps (make_map_step), and then one more: the file,
// in parts of its rows, each encoded into a slot of its own in the idle
// workspace. The slots are then closed up into one file.

namespace {

constexpr int FILE_PARTS = 8;
constexpr int MAP_STEPS = int(MAP_STEP_ITEMS.size());
// Fresh work is readied by the team as it goes: first the scratch field that
// holds the ring table, then the rest of it, in one item beside the ring table's
// items: two threads faulting pages in at once took longer than one alone.
constexpr std::size_t RING_BEGIN = offsetof(vxl_map_work, workspace) + offsetof(map_workspace, noise_b);
constexpr std::size_t RING_END = RING_BEGIN + sizeof(map_workspace::noise_b);
// The steps: the ring table's field; the ring table and the rest of the work;
// the map's other steps; the file.
constexpr int TEAM_STEPS = 1 + MAP_STEPS + 1;
using team_steps = shared_steps<TEAM_STEPS>;

// Keeps helper off the processor this thread runs on, where the system allows
// that. A new thread is at times placed on its creator's processor and left
// there for milliseconds, the two taking turns, while another processor idles.
void keep_off_this_processor(std::thread& helper) {
#if defined(__linux__)
    cpu_set_t set;
    const int own = sched_getcpu();
    if (own < 0 || own >= CPU_SETSIZE || sched_getaffinity(0, sizeof set, &set) != 0) return;
    CPU_CLR(own, &set);
    if (CPU_COUNT(&set) > 0) pthread_setaffinity_np(helper.native_handle(), sizeof set, &set);
#else
    (void)helper;
#endif
}

// What the helpers wait for: the map to be ready to make, or the team to end.
constexpr unsigned WAITING = 0, GO = 1, STOP = 2;

}  // namespace

struct vxl_map_team::shared {
    std::atomic<unsigned> state{WAITING};
    // Set by make before GO.
    std::optional<team_steps> steps;
    terrain_draws draws{};
    bool start_regions = false;
    vxl_map_work* work = nullptr;
    const fresh_vxl_map_work* unready = nullptr;
    int ready_items = 0;  // 1 when unready, items before the ring table's in its step
    std::size_t slot = 0;
    std::size_t sizes[FILE_PARTS] = {};

    void run(int step, int item) {
        if (step == 0) {
            unready->ready(RING_BEGIN, RING_END);
            return;
        }
        if (step == 1 && item < ready_items) {
            unready->ready(0, RING_BEGIN);
            unready->ready(RING_END, sizeof(vxl_map_work));
            return;
        }
        if (step == 1) item -= ready_items;
        if (--step < MAP_STEPS) {
            make_map_step(draws, start_regions, work->columns, work->workspace, step, item);
            return;
        }
        const vxl_file_rows rows{VXL_MAP_SIZE * item / FILE_PARTS, VXL_MAP_SIZE * (item + 1) / FILE_PARTS};
        sizes[item] = encode_vxl_columns(column_heights(work->columns.heights), column_colours(work->columns.colours),
                                         idle_workspace(*work).subspan(std::size_t(item) * slot, slot), rows);
    }
    void work_on() {
        steps->work([this](int step, int item) { run(step, item); });
    }
};

vxl_map_team::vxl_map_team(int threads) {
    threads = std::clamp(threads, 1, 8);
    try {
        shared_ = std::make_unique<shared>();
        helpers_.reserve(std::size_t(threads - 1));
        for (int helper = 1; helper < threads; ++helper) {
            helpers_.emplace_back(&vxl_map_team::help, this);
            keep_off_this_processor(helpers_.back());
        }
    } catch (const std::exception&) {  // no thread, or no memory: the threads there are share the work
    }
}

vxl_map_team::~vxl_map_team() {
    if (!shared_) return;
    if (shared_->state.load() == WAITING) {
        shared_->state = STOP;
        shared_->state.notify_all();
    }
    for (std::thread& helper : helpers_) helper.join();
}

void vxl_map_team::help() {
    shared& s = *shared_;
    if (spin_wait_while(s.state, WAITING) == GO) s.work_on();
}

std::span<const std::uint8_t> vxl_map_team::make(std::int32_t seed, bool start_regions, vxl_map_work& work,
                                                 file_buffer& spare) {
    return make(seed, start_regions, work, nullptr, spare);
}

std::span<const std::uint8_t> vxl_map_team::make(std::int32_t seed, bool start_regions,
                                                 const fresh_vxl_map_work& work, file_buffer& spare) {
    return make(seed, start_regions, *work, &work, spare);
}

std::span<const std::uint8_t> vxl_map_team::make(std::int32_t seed, bool start_regions, vxl_map_work& work,
                                                 const fresh_vxl_map_work* unready, file_buffer& spare) {
    if (!shared_ || shared_->state.load() != WAITING) {
        if (unready) unready->ready(0, sizeof(vxl_map_work));
        prepare_vxl_map(seed, start_regions, work);
        return encode_vxl_map_in_work(work, spare);
    }
    shared& s = *shared_;
    s.ready_items = unready ? 1 : 0;
    std::array<int, TEAM_STEPS> items{};
    items[0] = s.ready_items;
    items[1] = s.ready_items + MAP_STEP_ITEMS[0];
    for (int step = 1; step < MAP_STEPS; ++step) items[std::size_t(1 + step)] = MAP_STEP_ITEMS[std::size_t(step)];
    items[TEAM_STEPS - 1] = FILE_PARTS;
    s.steps.emplace(items);
    s.unready = unready;
    random_source source;
    rng_seed(source, static_cast<std::uint32_t>(seed));
    s.draws = draw_terrain(source);
    s.start_regions = start_regions;
    s.work = &work;
    s.slot = idle_workspace(work).size() / FILE_PARTS / 64 * 64;
    s.state.store(GO, std::memory_order_release);
    s.state.notify_all();
    // Returns once every item is done, whoever took it: the helpers touch work no
    // more, and are joined when the team ends, off the path to the file.
    s.work_on();

    // A part too large for its slot leaves the file to the encoder of the whole map.
    const std::span<std::uint8_t> idle = idle_workspace(work);
    if (std::find(s.sizes, s.sizes + FILE_PARTS, std::size_t{0}) != s.sizes + FILE_PARTS)
        return encode_vxl_map_in_work(work, spare);
    std::size_t size = s.sizes[0];
    for (int part = 1; part < FILE_PARTS; ++part) {
        std::memmove(idle.data() + size, idle.data() + std::size_t(part) * s.slot, s.sizes[part]);
        size += s.sizes[part];
    }
    return idle.first(size);
}

int available_processors() {
#if defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
#endif
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? int(n) : 1;
}
