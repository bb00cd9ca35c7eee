#include "tools/generate_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
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
#include <mutex>
#include <new>
#include <optional>
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
#include "tools/seed_list.h"
#include "tools/vxltool.h"
/// "1.5 GiB": bytes in binary units, one decimal.
std::string human_bytes(std::uint64_t bytes) {
    static const char* const UNITS[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 6) value /= 1024, ++unit;
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.1f %s", value, UNITS[unit]);
    return text;
}

/// The seed that name gives as a map of this command ("seed-5.vxl"), if it is one.
std::optional<std::int32_t> seed_of_map_name(const std::string& name) {
    const std::string prefix = "seed", suffix = ".vxl";
    if (name.size() <= prefix.size() + suffix.size() || name.rfind(prefix, 0) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return std::nullopt;
    seed_list one;
    std::string why;
    const std::string number = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (!parse_seed_list(number, &one, &why) || one.count != 1 || std::to_string(one.ranges[0].first) != number)
        return std::nullopt;  // not a name this command writes, such as seed+5.vxl or seed1..2.vxl
    return one.ranges[0].first;
}

/// Whether the maps of seeds fit into dir: at least MIN_MAP_BYTES each in the room
/// its file system has, counting the room the maps this run replaces hold, since
/// each is freed as its successor takes its place. Previews are not counted.
/// False with the reason when they cannot fit; a file system that tells nothing
/// of its room passes.
bool has_room_for(const std::string& dir, const seed_list& seeds, std::string* why) {
    struct statvfs fs;
    if (statvfs(dir.c_str(), &fs) != 0 || fs.f_blocks == 0) return true;
    const std::uint64_t free = std::uint64_t(fs.f_bavail) * fs.f_frsize;
    const std::uint64_t need = seeds.count * MIN_MAP_BYTES;
    if (need <= free) return true;
    std::uint64_t replaced = 0;
    if (DIR* folder = opendir(dir.c_str())) {
        while (const dirent* entry = readdir(folder)) {
            const std::optional<std::int32_t> seed = seed_of_map_name(entry->d_name);
            struct stat st;
            if (seed && seed_list_contains(seeds, *seed) && fstatat(dirfd(folder), entry->d_name, &st, 0) == 0 &&
                S_ISREG(st.st_mode))
                replaced += std::uint64_t(st.st_blocks) * 512;
        }
        closedir(folder);
    }
    // Each map replaced needs its successor's room before it gives its own back.
    if (need <= free + replaced && free >= MIN_MAP_BYTES) return true;
    *why = "no room: " + std::to_string(seeds.count) + (seeds.count == 1 ? " map needs" : " maps need") +
           " at least " + human_bytes(need) + ", and the file system has " + human_bytes(free) + " free";
    return false;
}

/// Makes dir unless it is a folder already, and checks that it takes new files.
/// On failure complains and returns false. *made tells whether it was made.
bool prepare_folder(const std::string& dir, bool* made) {
    *made = false;
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
        if (errno != ENOENT || mkdir(dir.c_str(), 0777) != 0) {
            complain(dir, std::string("cannot make the folder: ") + std::strerror(errno));
            return false;
        }
        *made = true;
    } else if (!S_ISDIR(st.st_mode)) {
        complain(dir, std::strerror(ENOTDIR));
        return false;
    }
    if (faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        complain(dir, std::string("the folder takes no new files: ") + std::strerror(errno));
        return false;
    }
    return true;
}
