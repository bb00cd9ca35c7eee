#include "tools/generate_command.h"

#include <gtest/gtest.h>

namespace {

TEST(GenerateProgress, CountsThenRateThenTimeLeft) {
    const struct {
        std::uint64_t done, total;
        double seconds;
        const char* line;
    } cases[] = {
        {0, 40, 0.5, "0/40 maps"},  // no rate before the first map
        {1, 40, 0.0, "1/40 maps"},
        {12, 40, 4.0, "12/40 maps, 3.0 maps/s, 10 s left"},
        {39, 40, 10.0, "39/40 maps, 3.9 maps/s, 1 s left"},  // a part second left is shown as 1
        {40, 40, 10.0, "40/40 maps, 4.0 maps/s"},
        {100, 1000, 50.0, "100/1000 maps, 2.0 maps/s, 7 min 30 s left"},
        {1000, 4000, 2.0, "1000/4000 maps, 500 maps/s, 6 s left"},
        {10, 10000, 10.0, "10/10000 maps, 1.0 maps/s, 2 h 46 min left"},
        {10, 100000, 10.0, "10/100000 maps, 1.0 maps/s, 1 d 03 h left"},
        {10, 4294967296, 1.0, "10/4294967296 maps, 10.0 maps/s, 4971 d 00 h left"},
    };
    for (const auto& c : cases) EXPECT_EQ(generate_progress_line(c.done, c.total, c.seconds), c.line) << c.line;
}

}  // namespace
