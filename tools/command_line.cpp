#include "tools/command_line.h"

#include <cstdio>

#include "tools/output_text.h"
#include "tools/vxltool.h"

// ---- console

void complain(const std::string& what, const std::string& why) {
    std::fprintf(stderr, "vxltool: %s: %s\n", quoted_name(what).c_str(), why.c_str());
}

int usage_error(const char* command, const std::string& why) {
    complain(command, why + " (see 'vxltool " + command + " --help')");
    return VXLTOOL_TROUBLE;
}

// ---- arguments

namespace {

/// N of --max-bytes N: a decimal number of bytes; false when it is none.
bool read_byte_count(const std::string& text, std::uint64_t* count) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *count = std::stoull(text);
    return true;
}

/// the field that holds the value of option name
std::string& value_of(command_arguments& args, const std::string& name) {
    if (name == "-o") return args.output;
    if (name == "--size") return args.size.emplace();
    if (name == "--scale") return args.scale.emplace();
    if (name == "--title") return args.title.emplace();
    if (name == "-j") return args.jobs.emplace();
    return args.view;
}

}  // namespace

bool parse_whole(const std::string& text, int lo, int hi, int* n) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *n = std::stoi(text);
    return *n >= lo && *n <= hi;
}

command_arguments parse_arguments(int argc, char** argv, int first, const std::vector<std::string>& allowed) {
    command_arguments args;
    auto takes = [&](const std::string& name) {
        for (const std::string& a : allowed)
            if (a == name) return true;
        return false;
    };
    bool options_done = false;
    for (int i = first; i < argc; ++i) {
        const std::string word = argv[i];
        if (options_done || word.size() < 2 || word[0] != '-') {
            args.files.push_back(word);
        } else if (word == "--") {
            options_done = true;
        } else if (word == "--help" || word == "-h") {
            args.help = true;
        } else if (word == "--json" && takes("--json")) {
            args.json = true;
        } else if ((word == "-o" || word == "--view" || word == "--size" || word == "--scale" || word == "--title" ||
                    word == "-j") &&
                   takes(word)) {
            if (i + 1 >= argc) {
                if (args.error.empty()) args.error = "option '" + word + "' needs a value";
                continue;
            }
            value_of(args, word) = argv[++i];
        } else if ((word == "--max-bytes" || word.rfind("--max-bytes=", 0) == 0) && takes("--max-bytes")) {
            std::string value;
            if (word.size() > 11) {
                value = word.substr(12);
            } else if (i + 1 < argc) {
                value = argv[++i];
            }
            if (!read_byte_count(value, &args.max_bytes) && args.error.empty())
                args.error = "option '--max-bytes' needs a number of bytes, not '" + value + "'";
        } else if (word.rfind("--", 0) == 0 && word.find('=') != std::string::npos &&
                   takes(word.substr(0, word.find('=')))) {
            value_of(args, word.substr(0, word.find('='))) = word.substr(word.find('=') + 1);
        } else if (word.rfind("-o", 0) == 0 && takes("-o")) {
            args.output = word.substr(2);
        } else if (word.rfind("-j", 0) == 0 && takes("-j")) {
            args.jobs = word.substr(2);
        } else if (args.error.empty()) {
            args.error = "unknown option '" + word + "'";
        }
    }
    return args;
}

std::optional<int> start_command(int argc, char** argv, const char* command, const char* usage,
                                 const std::vector<std::string>& allowed, command_arguments* args) {
    *args = parse_arguments(argc, argv, 2, allowed);
    if (args->help) return std::fputs(usage, stdout), VXLTOOL_OK;
    if (!args->error.empty()) return usage_error(command, args->error);
    return std::nullopt;
}

// ---- reading maps

bool read_map_file(const std::string& path, map_file* file, std::uint64_t max_bytes) {
    file->result = read_vxl_file(path.c_str(), max_bytes, &file->image);
    if (file->result.read_failed) complain(path, file->result.reason);
    return !file->result.read_failed;
}

bool read_decoded_map(const std::string& path, decoded_map* map, vxl_load_result* invalid) {
    std::string why;
    if (read_and_decode_map(path.c_str(), VXL_ANY_SIZE, nullptr, map, &why)) return true;
    if (map->summary.read_failed) {
        complain(path, why);
    } else {
        complain(path, "invalid: " + why);
        if (invalid) *invalid = map->summary;
    }
    return false;
}

bool read_map_records_quietly(const std::string& path, vxl_input_image* image, decoded_map* map,
                              std::uint64_t* record_bytes, std::string* why) {
    if (!read_and_decode_map(path.c_str(), VXL_ANY_SIZE, image, map, why)) {
        if (!map->summary.read_failed) *why = "invalid: " + *why;
        return false;
    }
    // A page holds the records alone: the summary is that of the records.
    map->summary.bytes = map->summary.record_bytes;
    map->summary.trailing_bytes = 0;
    if (record_bytes) *record_bytes = map->summary.record_bytes;
    return true;
}

bool read_map_records(const std::string& path, vxl_input_image* image, decoded_map* map, std::uint64_t* record_bytes) {
    std::string why;
    if (read_map_records_quietly(path, image, map, record_bytes, &why)) return true;
    complain(path, why);
    return false;
}
