#include "tools/generate_command.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "library/vxl_map.h"
#include "mapfile/safe_write.h"
#include "tools/command_line.h"
#include "tools/decoded_map.h"
#include "tools/map_render.h"
#include "tools/output_text.h"
#include "tools/png_file.h"
#include "tools/generate_folder.h"
#include "tools/generate_progress.h"
#include "tools/ordered_work.h"
#include "tools/seed_list.h"
#include "tools/vxltool.h"

const char* const GENERATE_USAGE =
    "usage: vxltool generate --seeds LIST [-d] [--previews] [-j N] -o DIR\n"
    "\n"
    "Makes the map of every seed in LIST, the file 'mapgen -s SEED' writes (with -d,\n"
    "'mapgen -s SEED -d'), many at once, into folder DIR as DIR/seedN.vxl (seed1.vxl,\n"
    "seed-5.vxl).\n"
    "  --seeds LIST  seeds and ranges A..B (both ends included), separated by commas:\n"
    "                1..100 or -5..5,42; each seed a whole number from -2147483648 to\n"
    "                2147483647; a seed named twice is made once\n"
    "  -d            outline the start regions, as mapgen -d does\n"
    "  --previews    also write each map's top view, as 'vxltool render' draws it,\n"
    "                as DIR/seedN.png\n"
    "  -j N          make N maps at once (1 to 1024; default: one per processor)\n"
    "  -o DIR        the folder to write into; made when missing (not its parents)\n"
    "Before any map is made, LIST is read whole and DIR must be a folder that takes\n"
    "files and has room for 2 MiB a map (less what the files it replaces hold).\n"
    "Every file is replaced whole, or left as it was. The first file that cannot be\n"
    "written stops the run; its error line says how many maps were written.\n"
    "On a terminal, standard error shows the progress (maps done, maps per second,\n"
    "time left). At the end, one line on standard output: how many maps were\n"
    "written, how fast.\n"
    "exit status: 0 all written; 1 a file could not be written, or DIR is not a\n"
    "folder, cannot be made, takes no files or has no room; 2 usage error.\n";

namespace {

// ---- arguments

struct generate_arguments {
    std::optional<std::string> seeds;
    std::optional<std::string> jobs;
    std::optional<std::string> output;
    bool start_regions = false;
    bool previews = false;
    bool help = false;
    std::string error;  // the first word that could not be understood, and why
};

generate_arguments parse_generate_arguments(int argc, char** argv) {
    generate_arguments args;
    auto fail = [&](const std::string& why) {
        if (args.error.empty()) args.error = why;
    };
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        // An option's value is the rest of its word (--seeds=1..5, -j4, -oDIR) or
        // the next word, whatever it holds (--seeds -5..5); --seeds= is an empty list.
        auto value_for = [&](const std::string& name, std::optional<std::string>* field, std::size_t skip) {
            if (name == "--seeds" && field->has_value()) fail("--seeds given twice: join the lists with ','");
            if (word.size() > skip || word.back() == '=') {
                *field = word.substr(skip);
            } else if (i + 1 < argc) {
                *field = argv[++i];
            } else {
                fail("option '" + name + "' needs a value");
            }
        };
        if (word == "--help" || word == "-h") {
            args.help = true;
        } else if (word == "-d") {
            args.start_regions = true;
        } else if (word == "--previews") {
            args.previews = true;
        } else if (word == "--seeds" || word.rfind("--seeds=", 0) == 0) {
            value_for("--seeds", &args.seeds, word == "--seeds" ? 7 : 8);
        } else if (word.rfind("-j", 0) == 0) {
            value_for("-j", &args.jobs, 2);
        } else if (word.rfind("-o", 0) == 0) {
            value_for("-o", &args.output, 2);
        } else if (word.size() > 1 && word[0] == '-') {
            fail("unknown option '" + word + "'");
        } else {
            fail("unexpected argument '" + word + "': seeds go in --seeds LIST");
        }
    }
    return args;
}

}  // namespace

namespace {

// ---- making and writing

/// Memory a map is made in and its file encoded in, kept from one map to the
/// next: a run makes each map in memory already mapped, and never copies a file.
struct map_slot {
    fresh_vxl_map_work work;
    file_buffer spare;  // for a file too big for the work's idle workspace
};

/// A map made by a worker, for the writer.
struct made_map {
    std::uint64_t index = 0;  // in the list
    std::int32_t seed = 0;
    std::unique_ptr<map_slot> slot;     // where the map was made
    std::span<const std::uint8_t> vxl;  // its file, in slot; empty when it could not be made
    std::vector<std::uint8_t> png;      // with --previews
    std::string error;                  // why it could not be made
};

/// The top view of the map in bytes, as `vxltool render` draws it, into made->png.
void make_preview(made_map* made) {
    decoded_map map;
    std::string why;
    if (!decode_map(made->vxl.data(), made->vxl.size(), &map, &why) ||
        !encode_png(render_top_view(map), &made->png, &why))
        made->error = "preview: " + why;
}

/// The work shared between the writer (the command's own thread) and the workers.
/// Workers take seeds in ascending order and hand the maps over through a queue of
/// at most one map a worker (and the one the writer waits for), so memory stays a
/// few maps a worker however long the list: each map is made, encoded and written
/// from a slot of 4 MiB, which then goes back for a later map. The writer takes
/// them in the list's order, whichever worker finishes first: the files appear in
/// seed order, and a folder short of room fills up the same way every time.
class Batch {
  public:
    Batch(const seed_list& seeds, bool start_regions, bool previews, int workers)
        : seeds_(seeds), start_regions_(start_regions), previews_(previews), running_(workers),
          capacity_(std::size_t(workers)) {}

    /// A worker's loop: makes maps until the list is done or the writer stops.
    void work() {
        for (;;) {
            std::uint64_t index;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                if (stopped_ || next_ == seeds_.count) break;
                index = next_++;
            }
            made_map made;
            made.index = index;
            made.seed = seed_list_at(seeds_, index);
            try {
                made.slot = take_slot();
                prepare_vxl_map(made.seed, start_regions_, *made.slot->work);
                made.vxl = encode_vxl_map_in_work(*made.slot->work, made.slot->spare);
                if (previews_) make_preview(&made);
            } catch (const std::bad_alloc&) {
                made.error = "out of memory";
            } catch (const std::exception& e) {
                made.error = e.what();
            }
            std::unique_lock<std::mutex> lock(mutex_);
            room_.wait(lock, [&] { return stopped_ || queue_.size() < capacity_ || index == written_; });
            if (stopped_) break;
            queue_.push_back(std::move(made));
            lock.unlock();
            ready_.notify_one();
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            --running_;
        }
        ready_.notify_one();
    }

    /// The next map made, waiting at most timeout; nullopt when none came in that
    /// time, and *finished when there will be none.
    std::optional<made_map> take(std::chrono::milliseconds timeout, bool* finished) {
        std::unique_lock<std::mutex> lock(mutex_);
        auto next = [&] {
            return std::find_if(queue_.begin(), queue_.end(), [&](const made_map& m) { return m.index == written_; });
        };
        ready_.wait_for(lock, timeout, [&] { return next() != queue_.end() || running_ == 0; });
        *finished = queue_.empty() && running_ == 0;
        const auto found = next();
        if (found == queue_.end()) return std::nullopt;
        made_map made = std::move(*found);
        queue_.erase(found);
        ++written_;
        lock.unlock();
        room_.notify_all();
        return made;
    }

    /// Says that only started of the workers the batch was made for could be
    /// started.
    void started(int started) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            running_ -= int(capacity_) - started;
        }
        ready_.notify_one();
    }

    /// Gives the memory of a map the writer is done with back for the next map.
    void give_back(std::unique_ptr<map_slot> slot) {
        if (!slot) return;
        slot->spare.reset();
        const std::lock_guard<std::mutex> lock(mutex_);
        slots_.push_back(std::move(slot));
    }

    /// Tells the workers to take no more seeds and to drop what they make.
    void stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopped_ = true;
            queue_.clear();
        }
        room_.notify_all();
    }

  private:
    // A slot given back, or else a new one: as many exist as maps are being made,
    // queued and written at once.
    std::unique_ptr<map_slot> take_slot() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (!slots_.empty()) {
                std::unique_ptr<map_slot> slot = std::move(slots_.back());
                slots_.pop_back();
                return slot;
            }
        }
        return std::make_unique<map_slot>();
    }

    const seed_list& seeds_;
    const bool start_regions_;
    const bool previews_;
    std::mutex mutex_;
    std::condition_variable ready_;  // a map is queued, or a worker ended
    std::condition_variable room_;   // the queue has room, or the run stops
    std::deque<made_map> queue_;
    std::vector<std::unique_ptr<map_slot>> slots_;  // given back, for the next maps
    std::uint64_t next_ = 0;     // index of the next seed to make
    std::uint64_t written_ = 0;  // index of the next map the writer takes
    int running_;             // workers not yet ended
    std::size_t capacity_;
    bool stopped_ = false;
};

/// Writes made into dir, the map and then its preview. On failure returns false
/// with what failed in *what, why in *why and the maps written in *written.
bool write_made_map(const std::string& dir, const made_map& made, std::uint64_t* written, std::string* what,
                    std::string* why) {
    const std::string name = dir + (dir.back() == '/' ? "seed" : "/seed") + std::to_string(made.seed);
    if (made.vxl.empty()) return *what = "seed " + std::to_string(made.seed), *why = made.error, false;
    if (!safe_write_file((name + ".vxl").c_str(), made.vxl.data(), made.vxl.size(), why))
        return *what = name + ".vxl", false;
    ++*written;
    if (!made.error.empty()) return *what = "seed " + std::to_string(made.seed), *why = made.error, false;
    if (!made.png.empty() && !safe_write_file((name + ".png").c_str(), made.png.data(), made.png.size(), why))
        return *what = name + ".png", false;
    return true;
}

}  // namespace

int run_generate(int argc, char** argv) {
    const generate_arguments args = parse_generate_arguments(argc, argv);
    if (args.help) return std::fputs(GENERATE_USAGE, stdout), VXLTOOL_OK;
    if (!args.error.empty()) return usage_error("generate", args.error);
    if (!args.seeds) return usage_error("generate", "no seeds given: --seeds LIST");
    if (!args.output || args.output->empty()) return usage_error("generate", "no folder given: -o DIR");
    if (*args.output == "-")
        return usage_error("generate", "the maps go into a folder, not to standard output: -o DIR");
    seed_list seeds;
    std::string why;
    if (!parse_seed_list(*args.seeds, &seeds, &why)) return usage_error("generate", "--seeds: " + why);
    int jobs = 0;
    if (!jobs_option(args.jobs, &jobs, &why)) return usage_error("generate", why);

    const std::string& dir = *args.output;
    bool made_folder = false;
    if (!prepare_folder(dir, &made_folder)) return VXLTOOL_NEGATIVE;
    if (!has_room_for(dir, seeds, &why)) {
        complain(dir, why);
        if (made_folder) rmdir(dir.c_str());
        return VXLTOOL_NEGATIVE;
    }

    // The maps are made on worker threads and written on this one. The safe writer
    // keeps one named temporary file per process to remove on SIGINT, SIGTERM or
    // SIGHUP and sets its handlers for the length of each write, so the writes stay
    // on one thread, and the workers block those signals, which then reach it.
    const int workers = int(std::min<std::uint64_t>(std::uint64_t(jobs), seeds.count));
    Batch batch(seeds, args.start_regions, args.previews, workers);
    Progress progress(seeds.count);
    std::vector<std::thread> threads;
    sigset_t old_mask;
    block_cleanup_signals(true, &old_mask);
    std::string no_thread;
    for (int i = 0; i < workers && no_thread.empty(); ++i) {
        try {
            threads.emplace_back([&batch] { batch.work(); });
        } catch (const std::system_error& e) {
            no_thread = e.what();  // as many as the system gives make the maps
        }
    }
    block_cleanup_signals(false, &old_mask);
    batch.started(int(threads.size()));
    if (threads.empty()) {
        complain("generate", "cannot start a thread: " + no_thread);
        return VXLTOOL_NEGATIVE;
    }

    std::uint64_t written = 0;
    bool ok = true, finished = false;
    progress.show(0, true);
    while (!finished) {
        std::optional<made_map> made = batch.take(std::chrono::milliseconds(100), &finished);
        std::string what;
        const bool failed = made && !write_made_map(dir, *made, &written, &what, &why);
        if (made) batch.give_back(std::move(made->slot));
        if (failed) {
            progress.clear();
            complain(what, why + " (stopped: " + std::to_string(written) + " of " + std::to_string(seeds.count) +
                               (seeds.count == 1 ? " map" : " maps") + " written)");
            ok = false;
            batch.stop();
            break;
        }
        progress.show(written);
    }
    for (std::thread& t : threads) t.join();
    progress.clear();
    if (!ok) return VXLTOOL_NEGATIVE;

    const double seconds = progress.seconds();
    std::printf("%s: %llu %s%s written in %.1f s, %s maps/s\n", quoted_name(dir).c_str(),
                static_cast<unsigned long long>(written), written == 1 ? "map" : "maps",
                args.previews ? (written == 1 ? " and its preview" : " and their previews") : "", seconds,
                rate_text(seconds > 0 ? double(written) / seconds : 0).c_str());
    return VXLTOOL_OK;
}
