#include "library/vxl_map.h"

#include <pthread.h>
#include <signal.h>
#if defined(__linux__)
#include <sched.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "mapfile/column_encoder.h"
#include "numerics/rng.h"
#include "platform/shared_steps.h"

// Every generated column is solid from its lowest voxel up to its height and one
// colour throughout, so its record follows from the heights and colours alone.

fresh_vxl_map_work::fresh_vxl_map_work(bool ready) : memory_(reserve_file_buffer(sizeof(vxl_map_work))) {
    if (!memory_) throw std::bad_alloc();
    if (ready) ready_file_buffer(memory_.get(), sizeof(vxl_map_work));
    work_ = new (memory_.get()) vxl_map_work;  // left as it comes: every stage writes what it reads
}

void fresh_vxl_map_work::ready(std::size_t begin, std::size_t end) const {
    end = std::min(end, sizeof(vxl_map_work));
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
// The team shares the map's steps (make_map_step), with two of its own: the work's
// memory, when it is fresh, and the sizes of the file's parts, found beside the
// colours (they depend on the heights alone). The parts are then encoded straight
// into their places in the idle workspace, and each may be written as soon as it
// and those before it are done, while the others are still being encoded.

namespace {

constexpr int FILE_PARTS = 16;
constexpr int MAP_STEPS = int(MAP_STEP_ITEMS.size());
// Fresh work is readied by the team as it goes, a huge page at a time: first the
// columns, where the map's steps keep the ring table until the colours, then,
// in one item beside the ring table's items (two threads faulting pages in at
// once took longer than one alone), the fields of the heights. The last field,
// which the map's steps leave alone, holds only the end of the file, and its
// few pages are mapped as they are written.
constexpr std::size_t FIELDS_BEGIN = offsetof(vxl_map_work, workspace);
constexpr std::size_t FIELDS_END = FIELDS_BEGIN + offsetof(map_workspace, noise_b);
// The steps: the columns' memory; the ring table and the fields' memory; the
// heights; the colours and the file's part sizes.
constexpr int TEAM_STEPS = 1 + MAP_STEPS;
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

// Where the file goes once its parts' sizes are known: the idle workspace, which
// every generated map's file fits; file is null when this one does not.
struct file_layout {
    std::uint8_t* file = nullptr;
    std::size_t offset[FILE_PARTS + 1] = {};
};

}  // namespace

struct vxl_map_team::shared {
    std::atomic<unsigned> state{WAITING};
    // Set by start before GO.
    std::optional<team_steps> steps;
    terrain_draws draws{};
    bool start_regions = false;
    vxl_map_work* work = nullptr;
    std::span<std::uint8_t> idle;  // work's idle workspace
    const fresh_vxl_map_work* unready = nullptr;
    int ready_items = 0;  // 1 when unready: the item before the ring table's in its step
    // The file's parts.
    std::size_t sizes[FILE_PARTS] = {};
    std::atomic<unsigned> parts_taken{0};
    std::array<std::atomic<unsigned>, FILE_PARTS> part_done{};

    void run(int step, int item) {
        if (step == 0) {
            unready->ready(0, FIELDS_BEGIN);
            return;
        }
        if (step == 1 && item < ready_items) {
            unready->ready(FIELDS_BEGIN, FIELDS_END);
            return;
        }
        if (step == 1) item -= ready_items;
        if (step == TEAM_STEPS - 1 && item-- == 0) {  // first, as it is the longest
            vxl_columns_part_sizes(column_heights(work->columns.heights), sizes);
            return;
        }
        make_map_step(draws, start_regions, work->columns, work->workspace, step - 1, item);
    }

    void work_on() {
        steps->work([this](int step, int item) { run(step, item); });
    }

    // The same for every thread, once the steps are done. A helper that comes
    // late may find work gone: this reads nothing of it.
    file_layout layout() const {
        file_layout l;
        for (int part = 0; part < FILE_PARTS; ++part) l.offset[part + 1] = l.offset[part] + sizes[part];
        if (l.offset[FILE_PARTS] <= idle.size()) l.file = idle.data();
        return l;
    }

    void encode_part(const file_layout& l, unsigned part) {
        const std::span<std::uint8_t> place(l.file + l.offset[part], sizes[part]);
        encode_vxl_columns(column_heights(work->columns.heights), column_colours(work->columns.colours), place,
                           vxl_file_parts_rows(int(part), FILE_PARTS));
        part_done[part].store(1, std::memory_order_release);
    }

    // Takes parts until none is left.
    void encode_parts(const file_layout& l) {
        for (unsigned part; (part = parts_taken.fetch_add(1, std::memory_order_relaxed)) < FILE_PARTS;)
            encode_part(l, part);
    }

    // Returns once part is encoded: encodes it when nobody has taken it yet (parts
    // are taken in order), or else waits for it, so that the writer, which takes
    // the parts in order, writes each as soon as it can.
    // The parts before it are taken already: the writer awaited them.
    void await_part(const file_layout& l, unsigned part) {
        unsigned next = part;
        if (parts_taken.compare_exchange_strong(next, part + 1, std::memory_order_relaxed)) encode_part(l, part);
        spin_wait_while(part_done[part], 0);
    }
};

vxl_map_team::vxl_map_team(int threads) {
    threads = std::clamp(threads, 1, 8);
    // The helpers take no signals: the process's handlers (the safe writer's
    // among them) run on the thread that made the team.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    try {
        shared_ = std::make_unique<shared>();
        helpers_.reserve(std::size_t(threads - 1));
        for (int helper = 1; helper < threads; ++helper) {
            helpers_.emplace_back(&vxl_map_team::help, this);
            keep_off_this_processor(helpers_.back());
        }
    } catch (const std::exception&) {  // no thread, or no memory: the threads there are share the work
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

vxl_map_team::~vxl_map_team() {
    if (!shared_) return;
    if (shared_->state.load() == WAITING) {
        shared_->state = STOP;
    }
    for (std::thread& helper : helpers_) helper.join();
}

void vxl_map_team::help() {
    shared& s = *shared_;
    if (spin_wait_while(s.state, WAITING) != GO) return;
    s.work_on();
    const file_layout l = s.layout();
    if (l.file) s.encode_parts(l);
}

bool vxl_map_team::start(std::int32_t seed, bool start_regions, vxl_map_work& work,
                         const fresh_vxl_map_work* unready) {
    if (!shared_ || shared_->state.load() != WAITING) return false;
    shared& s = *shared_;
    s.ready_items = unready ? 1 : 0;
    std::array<int, TEAM_STEPS> items{};
    items[0] = s.ready_items;
    items[1] = s.ready_items + MAP_STEP_ITEMS[0];
    for (int step = 1; step < MAP_STEPS; ++step) items[std::size_t(1 + step)] = MAP_STEP_ITEMS[std::size_t(step)];
    items[TEAM_STEPS - 1] += 1;  // the part sizes
    s.steps.emplace(items);
    s.unready = unready;
    random_source source;
    rng_seed(source, static_cast<std::uint32_t>(seed));
    s.draws = draw_terrain(source);
    s.start_regions = start_regions;
    s.work = &work;
    s.idle = idle_workspace(work);
    s.state.store(GO, std::memory_order_release);
    return true;
}

namespace {

// Alone: the map made and encoded as make_vxl_map does.
std::span<const std::uint8_t> make_alone(std::int32_t seed, bool start_regions, vxl_map_work& work,
                                         const fresh_vxl_map_work* unready, file_buffer& spare) {
    if (unready) unready->ready(0, sizeof(vxl_map_work));
    prepare_vxl_map(seed, start_regions, work);
    return encode_vxl_map_in_work(work, spare);
}

}  // namespace

std::span<const std::uint8_t> vxl_map_team::make(std::int32_t seed, bool start_regions, vxl_map_work& work,
                                                 const fresh_vxl_map_work* unready, file_buffer& spare) {
    if (!start(seed, start_regions, work, unready)) return make_alone(seed, start_regions, work, unready, spare);
    shared_->work_on();  // returns once every item is done, whoever took it
    const file_layout l = shared_->layout();
    if (!l.file) return encode_vxl_map_in_work(work, spare);
    for (unsigned part = 0; part < FILE_PARTS; ++part) shared_->await_part(l, part);
    // The helpers touch work no more; they are joined when the team ends.
    return {l.file, l.offset[FILE_PARTS]};
}

std::span<const std::uint8_t> vxl_map_team::make(std::int32_t seed, bool start_regions, vxl_map_work& work,
                                                 file_buffer& spare) {
    return make(seed, start_regions, work, nullptr, spare);
}

std::span<const std::uint8_t> vxl_map_team::make(std::int32_t seed, bool start_regions,
                                                 const fresh_vxl_map_work& work, file_buffer& spare) {
    return make(seed, start_regions, *work, &work, spare);
}

// The team's map as the safe writer asks for it: the writer opens its way to the
// file while the helpers start on the map; asked for the size, this thread joins
// them; then each part goes to the file as soon as it is encoded.
vxl_map_file::vxl_map_file(vxl_map_team& team, std::int32_t seed, bool start_regions,
                           const fresh_vxl_map_work& work)
    : seed_(seed), start_regions_(start_regions), work_(work) {
    if (team.start(seed, start_regions, *work, &work)) s_ = team.shared_.get();
}

// However the write ends, work is left only once no helper uses it.
vxl_map_file::~vxl_map_file() {
    if (!s_) return;
    if (!steps_done_) s_->work_on();
    const file_layout l = s_->layout();
    if (!l.file) return;
    for (; next_ < FILE_PARTS; ++next_) s_->await_part(l, next_);
}

bool vxl_map_file::size(std::size_t* size, std::string* reason) {
    try {
        if (!s_) {  // alone
            whole_ = make_alone(seed_, start_regions_, *work_, &work_, spare_);
            return *size = whole_.size(), true;
        }
        s_->work_on();
        steps_done_ = true;
        const file_layout l = s_->layout();
        if (l.file) return *size = l.offset[FILE_PARTS], true;
        whole_ = encode_vxl_map_in_work(*work_, spare_);  // too large for the workspace: in memory of its own
        return *size = whole_.size(), true;
    } catch (const std::bad_alloc&) {
        *reason = std::strerror(ENOMEM);
        return false;
    }
}

std::span<const std::uint8_t> vxl_map_file::next() {
    if (!whole_.empty() || !s_) return std::exchange(whole_, {});
    const file_layout l = s_->layout();
    if (!l.file || next_ == FILE_PARTS) return {};
    const unsigned part = next_++;
    s_->await_part(l, part);
    return {l.file + l.offset[part], s_->sizes[part]};
}

int available_processors() {
#if defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
#endif
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? int(n) : 1;
}
