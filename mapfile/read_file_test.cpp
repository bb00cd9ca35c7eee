#include "mapfile/read_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

/// A temporary file with the given bytes, removed at the end of the test.
struct temp_file {
    std::string path = "/tmp/read_file_test_XXXXXX";
    explicit temp_file(const std::string& bytes) {
        const int fd = mkstemp(path.data());
        EXPECT_GE(fd, 0);
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
        close(fd);
    }
    ~temp_file() { unlink(path.c_str()); }
};

TEST(ReadWholeFile, ReturnsEveryByteFollowedByTwoZeros) {
    const std::string bytes("\x00\x40\x3F\x00\xFF\r\n\x1A", 8);  // no byte is translated
    temp_file file(bytes);
    std::size_t length = 99;
    std::string why;
    const auto buffer = read_whole_file(file.path.c_str(), &length, &why);
    ASSERT_TRUE(buffer) << why;
    ASSERT_EQ(length, bytes.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.get()), length), bytes);
    EXPECT_EQ(buffer[length], 0);
    EXPECT_EQ(buffer[length + 1], 0);
}

TEST(ReadWholeFile, EmptyFileIsABufferOfLengthZero) {
    temp_file file("");
    std::size_t length = 99;
    std::string why;
    const auto buffer = read_whole_file(file.path.c_str(), &length, &why);
    ASSERT_TRUE(buffer) << why;
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(buffer[0], 0);
}

TEST(ReadWholeFile, WhatCannotBeReadGivesNoBufferAndTheSystemsReason) {
    const struct {
        const char* path;
        const char* reason;
    } cases[] = {
        {"/nonexistent/map.vxl", "No such file or directory"},
        {"/tmp", "Is a directory"},
        {"/dev/null", "not a regular file"},
        {"", "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::size_t length = 99;
        std::string why;
        EXPECT_FALSE(read_whole_file(c.path, &length, &why));
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(why, c.reason);
    }
}

}  // namespace
