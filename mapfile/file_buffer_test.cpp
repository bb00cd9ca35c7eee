#include "mapfile/file_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(FileBuffer, HoldsWhatIsWrittenWhateverPartIsReadied) {
    // Sizes below, at and past a huge page: the readied part, and past it.
    for (std::size_t size : {std::size_t{1}, std::size_t{4096}, std::size_t{2} << 20, std::size_t{2097536}}) {
        SCOPED_TRACE(size);
        const std::size_t capacity = size + 10000;
        file_buffer buffer = reserve_file_buffer(capacity);
        ASSERT_TRUE(buffer);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.get()) % (std::size_t{2} << 20), 0u);
        ready_file_buffer(buffer.get(), size);
        for (std::size_t i = 0; i < capacity; ++i) ASSERT_EQ(buffer[i], 0) << "fresh memory is zero, at " << i;
        for (std::size_t i = 0; i < capacity; ++i) buffer[i] = std::uint8_t(i * 7);
        for (std::size_t i = 0; i < capacity; ++i) ASSERT_EQ(buffer[i], std::uint8_t(i * 7));
    }
}

TEST(FileBuffer, AnImpossibleReservationIsEmpty) {
    // Past the size check, and past what any address space holds: half of a 64-bit
    // one, or the whole of a 32-bit one (half of that can be had there).
    EXPECT_FALSE(reserve_file_buffer(SIZE_MAX - 10));
    EXPECT_FALSE(reserve_file_buffer(sizeof(std::size_t) == 8 ? SIZE_MAX / 2 : SIZE_MAX - (std::size_t{2} << 20)));
}

}  // namespace
