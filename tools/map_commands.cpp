#include "tools/map_commands.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "tools/check_report.h"
#include "tools/command_line.h"
#include "tools/decoded_map.h"
#include "tools/map_diff.h"
#include "tools/map_info.h"
#include "tools/output_text.h"
#include "tools/vxltool.h"

const char* const CHECK_USAGE =
    "usage: vxltool check [--json] [--max-bytes N] FILE...\n"
    "\n"
    "Validates each file as a VXL map and prints 'FILE: ok' with what it counted, or\n"
    "'FILE: invalid: REASON' with the byte offset and column of the first fault.\n"
    "Bytes after the last column record are allowed and counted. A FILE of '-' is\n"
    "standard input, which may be a pipe; other files must be regular files.\n"
    "  --json          one JSON object per file and line: name, valid, and reason,\n"
    "                  offset and column for an invalid file\n"
    "  --max-bytes N   a file of more than N bytes is invalid, whatever it holds\n"
    "exit status: 0 all valid; 1 some file invalid; 2 some file cannot be read.\n";

const char* const INFO_USAGE =
    "usage: vxltool info FILE [--json]\n"
    "\n"
    "Prints what a map holds: bytes, trailing bytes, spans, solid voxels, colour\n"
    "records, empty and floor columns, the range of surface heights (voxels above the\n"
    "bottom layer) and the number of distinct colours. FILE '-' is standard input.\n"
    "  --json   print one JSON object instead, with \"valid\": true; for an invalid\n"
    "           map, {\"valid\": false, \"reason\": ..., \"offset\": ..., \"column\": ...}\n"
    "           as check --json gives it (the status is still 2)\n"
    "exit status: 0 done; 2 the file cannot be read or is not a valid map.\n";

const char* const DIFF_USAGE =
    "usage: vxltool diff A B\n"
    "\n"
    "Compares two maps by what they hold: they are the same when the same voxels are\n"
    "solid and every voxel coloured in either file has the same colour in both.\n"
    "Prints how many columns and voxels differ and the first few (z counts from the\n"
    "top layer, 0, down to the bottom, 63).\n"
    "exit status: 0 the same; 1 different; 2 usage error, or a map cannot be read or\n"
    "is not valid.\n";

int run_check(int argc, char** argv) {
    command_arguments args;
    if (const auto done = start_command(argc, argv, "check", CHECK_USAGE, {"--json", "--max-bytes"}, &args))
        return *done;
    if (args.files.empty()) return usage_error("check", "no FILE given");
    if (std::count(args.files.begin(), args.files.end(), "-") > 1)
        return usage_error("check", "standard input ('-') can be read only once");

    int status = VXLTOOL_OK;
    for (const std::string& path : args.files) {
        map_file file;
        if (!read_map_file(path, &file, args.max_bytes)) status = VXLTOOL_TROUBLE;
        else if (!file.result.ok && status == VXLTOOL_OK) status = VXLTOOL_NEGATIVE;
        // Each file's line is out as soon as it is decided: a later file may take
        // long or never end, and the lines before it must not be lost.
        if (args.json)
            std::printf("%s\n", check_json_line(path, file.result).c_str());
        else if (!file.result.read_failed)
            std::printf("%s\n", check_text_line(path, file.result).c_str());
        std::fflush(stdout);
    }
    return status;
}

int run_info(int argc, char** argv) {
    command_arguments args;
    if (const auto done = start_command(argc, argv, "info", INFO_USAGE, {"--json"}, &args)) return *done;
    if (args.files.size() != 1) return usage_error("info", "needs exactly one FILE");

    const std::string& path = args.files[0];
    decoded_map map;
    vxl_load_result invalid;
    if (!read_decoded_map(path, &map, &invalid)) {
        // Scripts get an answer they can parse for a file that is not a map, in
        // the terms of check --json; one that cannot be read at all is trouble
        // with nothing on stdout.
        if (args.json && !invalid.reason.empty())
            std::printf("{\"valid\": false, %s}\n", vxl_fault_json(invalid).c_str());
        return VXLTOOL_TROUBLE;
    }
    const map_info info = summarize_map(map);
    if (args.json) {
        auto height = [](int h) { return h < 0 ? std::string("null") : std::to_string(h); };
        std::printf(
            "{\"valid\": true, \"bytes\": %" PRIu64 ", \"record_bytes\": %" PRIu64 ", \"trailing_bytes\": %" PRIu64
            ", \"columns\": %zu, \"spans\": %" PRIu64 ", \"solid_voxels\": %" PRIu64 ", \"color_records\": %" PRIu64
            ", \"colored_voxels\": %" PRIu64 ", \"empty_columns\": %zu, \"floor_columns\": %zu, \"surface_min\": %s, "
            "\"surface_max\": %s, \"distinct_colors\": %zu, \"version\": \"%s\"}\n",
            info.bytes, info.record_bytes, info.trailing_bytes, info.columns, info.spans, info.solid_voxels,
            info.coloured_voxels, info.coloured_voxels, info.empty_columns, info.floor_columns,
            height(info.surface_min).c_str(), height(info.surface_max).c_str(), info.distinct_colours, MAPGEN_VERSION);
        return VXLTOOL_OK;
    }
    std::printf("%s: VXL map\n", quoted_name(path).c_str());
    std::printf("  bytes             %" PRIu64 "\n", info.bytes);
    std::printf("  trailing bytes    %" PRIu64 "\n", info.trailing_bytes);
    std::printf("  columns           %zu\n", info.columns);
    std::printf("  spans             %" PRIu64 "\n", info.spans);
    std::printf("  solid voxels      %" PRIu64 "\n", info.solid_voxels);
    std::printf("  colour records    %" PRIu64 "\n", info.coloured_voxels);
    std::printf("  empty columns     %zu\n", info.empty_columns);
    std::printf("  floor columns     %zu (surface height 0)\n", info.floor_columns);
    if (info.surface_min < 0)
        std::printf("  surface heights   none (all air)\n");
    else
        std::printf("  surface heights   %d..%d (voxels above the bottom layer)\n", info.surface_min,
                    info.surface_max);
    std::printf("  distinct colours  %zu\n", info.distinct_colours);
    return VXLTOOL_OK;
}

namespace {

/// "1 voxel", "2 voxels"
std::string count_of(std::size_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

/// "air", "solid, no colour" or "solid, colour 0x80RRGGBB"
std::string describe_voxel(bool solid, bool coloured, std::uint32_t colour) {
    if (!solid) return "air";
    if (!coloured) return "solid, no colour";
    char text[40];
    std::snprintf(text, sizeof text, "solid, colour 0x%08" PRIX32, colour);
    return text;
}

}  // namespace

int run_diff(int argc, char** argv) {
    command_arguments args;
    if (const auto done = start_command(argc, argv, "diff", DIFF_USAGE, {}, &args)) return *done;
    if (args.files.size() != 2) return usage_error("diff", "needs two files, A and B");
    if (args.files[0] == "-" && args.files[1] == "-")
        return usage_error("diff", "standard input ('-') can be read only once");
    const std::string a = quoted_name(args.files[0]), b = quoted_name(args.files[1]);

    // Both maps are read and validated before anything is compared, so an
    // invalid B is reported as such, never as a difference.
    map_file files[2];
    for (int i = 0; i < 2; ++i) {
        if (!read_map_file(args.files[i], &files[i])) return VXLTOOL_TROUBLE;
        const vxl_load_result& result = files[i].result;
        if (!result.ok) {
            complain(args.files[i], "invalid: " + result.reason);
            return VXLTOOL_TROUBLE;
        }
    }
    constexpr std::size_t SHOWN = 10;
    const map_difference diff =
        diff_vxl_maps(files[0].image.bytes.get(), files[0].image.length, files[1].image.bytes.get(),
                      files[1].image.length, SHOWN);
    if (diff.voxels == 0) {
        std::printf("%s and %s hold the same map\n", a.c_str(), b.c_str());
        return VXLTOOL_OK;
    }
    std::printf("maps differ in %s of %s (A = %s, B = %s)\n", count_of(diff.voxels, "voxel").c_str(),
                count_of(diff.columns, "column").c_str(), a.c_str(), b.c_str());
    for (const voxel_difference& d : diff.first)
        std::printf("  column (%d, %d) z %d: A %s; B %s\n", d.x, d.y, d.z,
                    describe_voxel(d.solid_a, d.coloured_a, d.colour_a).c_str(),
                    describe_voxel(d.solid_b, d.coloured_b, d.colour_b).c_str());
    if (diff.voxels > diff.first.size()) std::printf("  ... and %zu more\n", diff.voxels - diff.first.size());
    return VXLTOOL_NEGATIVE;
}
