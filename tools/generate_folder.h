// The folder vxltool generate writes into: made when missing, checked for new
// files and for room before any map is made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/seed_list.h"

// The smallest map file: every generated column is solid at least at its bottom
// voxel, so each of its 262,144 records holds a span header and one colour.
constexpr std::uint64_t MIN_MAP_BYTES = 262144u * 8u;

/// "1.5 GiB": bytes in binary units, one decimal.
std::string human_bytes(std::uint64_t bytes);
/// The seed that name gives as a map of this command ("seed-5.vxl"), if it is one.
std::optional<std::int32_t> seed_of_map_name(const std::string& name);
/// Whether the maps of seeds fit into dir: at least MIN_MAP_BYTES each in the room
/// its file system has, counting the room the maps this run replaces hold, since
/// each is freed as its successor takes its place. Previews are not counted.
/// False with the reason when they cannot fit; a file system that tells nothing
/// of its room passes.
bool has_room_for(const std::string& dir, const seed_list& seeds, std::string* why);
/// Makes dir unless it is a folder already, and checks that it takes new files.
/// On failure complains and returns false. *made tells whether it was made.
bool prepare_folder(const std::string& dir, bool* made);
