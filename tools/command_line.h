// What every vxltool command shares: its messages on stderr ("vxltool: WHAT:
// WHY", names quoted so that none can forge a line), the parser of its words, and
// reading the maps it is given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mapfile/vxl_loader.h"
#include "tools/decoded_map.h"

/// Prints "vxltool: WHAT: WHY" on stderr, what quoted where it holds what could
/// forge a line.
void complain(const std::string& what, const std::string& why);

/// Complains about the words of command, pointing to its --help; returns
/// VXLTOOL_TROUBLE.
int usage_error(const char* command, const std::string& why);

/// A command's words split into positional arguments and recognised options.
struct command_arguments {
    std::vector<std::string> files;
    bool help = false;
    bool json = false;
    std::string output;
    std::string view;
    std::uint64_t max_bytes = VXL_ANY_SIZE;
    std::optional<std::string> size;   // render --size
    std::optional<std::string> scale;  // render --scale
    std::optional<std::string> title;  // gallery --title
    std::optional<std::string> jobs;   // gallery -j
    std::string error;  // set when the words cannot be understood
};

/// Parses argv[first..argc). allowed lists the options the command takes among
/// "--json", "--max-bytes", "-o", "--view", "--size", "--scale", "--title" and "-j" (those with
/// a value also as --name=value, -oVALUE and -jVALUE); "--help"/"-h" is always allowed and "--" ends options.
command_arguments parse_arguments(int argc, char** argv, int first, const std::vector<std::string>& allowed);

/// Parses the words of command (argv[2..]) into *args, taking the options in
/// allowed. Returns the exit status when the command ends here (its usage
/// printed for --help, or a usage error), nothing when it goes on.
std::optional<int> start_command(int argc, char** argv, const char* command, const char* usage,
                                 const std::vector<std::string>& allowed, command_arguments* args);

/// n from a whole decimal number in lo..hi; false for anything else
bool parse_whole(const std::string& text, int lo, int hi, int* n);

/// A map read from a file: its records and what reading them found.
struct map_file {
    vxl_input_image image;
    vxl_load_result result;
};

/// Reads and validates path. Returns false, having complained with the system's
/// reason, when the file cannot be read; an invalid map is read fine, with
/// result.ok false.
bool read_map_file(const std::string& path, map_file* file, std::uint64_t max_bytes = VXL_ANY_SIZE);

/// Reads and decodes path; on failure complains and returns false, with what
/// reading found in *invalid when the file was read but is not a valid map.
/// map->summary is what reading the file found (its bytes, its trailing bytes).
bool read_decoded_map(const std::string& path, decoded_map* map, vxl_load_result* invalid = nullptr);

/// Reads path and decodes its records alone (map->summary then counts no byte
/// after them); on failure complains ("invalid: ..." for a map that is not valid)
/// and returns false. *image receives the file's bytes, *record_bytes the length
/// of its records.
bool read_map_records(const std::string& path, vxl_input_image* image, decoded_map* map,
                      std::uint64_t* record_bytes = nullptr);
/// As read_map_records, for a thread that does not print: on failure returns
/// false with the complaint's reason in *why.
bool read_map_records_quietly(const std::string& path, vxl_input_image* image, decoded_map* map,
                              std::uint64_t* record_bytes, std::string* why);
