#include "driver/driver.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

#include "driver/options.h"
#include "driver/seed.h"
#include "library/vxl_map.h"
#include "mapfile/file_buffer.h"
#include "mapfile/safe_write.h"

namespace {

// Printed as it stands, with word 0 for %s; it names another file than the
// default the run really uses, and its last quote stays open.
constexpr const char* USAGE =
    "Usage: %s {options}\n"
    "Options:\n"
    "   -s {seed}      Random seed; always generates the same map for a seed\n"
    "   -o {filename}  Filename to write to\n"
    "   -d             Debug; draws green & blue start regions\n"
    "\n"
    "If no seed is specified, a random one is generated.\n"
    "If no filename is written, writes to 'c:/program files/brickfront/vxl/cloudspan.vxl\n";

constexpr const char* DEFAULT_OUTPUT = "/program files/brickfront/vxl/zebmap.vxl";

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

// Tells which parameter letter went without its value: scanning only fails on a
// parameter letter that ends the last word.
int report_missing_value(const char* last_word, const char* program) {
    const std::string word = last_word ? last_word : "";
    const char letter = word.empty() ? '?' : word.back();
    std::fprintf(stderr, "mapgen: option requires a value -- '%c'\n", letter);
    std::fprintf(stderr, "Try '%s -h' for more information.\n", program);
    return EXIT_USAGE;
}

// Makes the map of seed and writes its file to output safely. The map is made in
// memory fresh from the system (in huge pages as far as it fills them, mapped at
// once rather than a page fault at a time), its file is encoded into the
// generator's workspace, idle by then, and goes to output in one write. Nothing
// process-wide is touched, the voxel volume least of all, so the run takes a few
// MiB. Returns true when the whole file is on disk; otherwise false with the
// reason in *reason, and a file that stood at output is untouched.
bool write_map_file(std::int32_t seed, bool start_regions, const char* output, std::string* reason) {
    try {
        const fresh_vxl_map_work work;
        prepare_vxl_map(seed, start_regions, *work);
        file_buffer spare;
        const std::span<const std::uint8_t> file = encode_vxl_map_in_work(*work, spare);
        return safe_write_file(output, file.data(), file.size(), reason);
    } catch (const std::bad_alloc&) {
        *reason = std::strerror(ENOMEM);
        return false;
    }
}

}  // namespace

int run_mapgen(int argc, char** argv) {
    // The clock is read once, before the options, and cut to 32 bits.
    std::int32_t seed = static_cast<std::int32_t>(static_cast<std::uint32_t>(std::time(nullptr)));
    const char* output = DEFAULT_OUTPUT;
    bool start_regions = false;
    const char* program = argc > 0 && argv[0] ? argv[0] : "mapgen";
    const char* last_word = argc > 1 ? argv[argc - 1] : nullptr;

    int count = argc;
    char** options = scan_options(&count, argv, "so");
    if (!options) {
        if (count == 0) return report_missing_value(last_word, program);
        std::fprintf(stderr, "mapgen: cannot read the options: out of memory\n");
        return EXIT_FAILED;
    }

    // Later entries override earlier ones; -h or -? ends the run at once.
    for (char** entry = options; *entry; ++entry) {
        const char letter = (*entry)[0];
        const char* parameter = *entry + 1;
        if (letter == 'h' || letter == '?') {
            std::printf(USAGE, program);
            free_options(options);
            return 0;
        }
        if (letter == 'd') start_regions = true;
        if (letter == 'o') output = parameter;
        if (letter == 's') seed = read_seed(parameter);
    }

    // When the map itself goes to standard output (-o /dev/stdout, or the file
    // stdout is redirected to), the two lines go to standard error instead, so
    // that the map's bytes are the only bytes there.
    std::FILE* const console = names_standard_output(output) ? stderr : stdout;
    std::fprintf(console, "Generating to '%s' using seed '%d'\n", output, int(seed));
    std::fflush(console);
    // The file generate_map and write_vxl_map make of the seeded volume, made from
    // the map's columns instead: the same bytes.
    std::string reason;
    if (!write_map_file(seed, start_regions, output, &reason)) {
        std::fprintf(stderr, "mapgen: cannot write '%s': %s\n", output, reason.c_str());
        free_options(options);
        return EXIT_FAILED;
    }
    std::fprintf(console, "Finished\n");
    // The list could live until the process ends; releasing it keeps leak checkers quiet.
    free_options(options);
    return 0;
}
