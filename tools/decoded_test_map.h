// What the tools' unit tests share: two colours to paint test maps with, and a
// test map's image decoded, the test failing where the image is not a valid map.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "mapfile/vxl_test_image.h"
#include "tools/decoded_map.h"

inline constexpr std::uint32_t GREEN = 0x8030D030, RED = 0x80D03030;

/// image decoded; a failure of the calling test when it is not a valid map
inline decoded_map decoded(const vxl_bytes& image) {
    decoded_map map;
    std::string why;
    EXPECT_TRUE(decode_map(image.data(), image.size(), &map, &why)) << why;
    return map;
}
