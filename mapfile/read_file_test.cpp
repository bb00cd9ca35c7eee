#include "mapfile/read_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
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

/// Puts fd in place of standard input for the life of the object.
struct standard_input_from {
    int saved;
    explicit standard_input_from(int fd) : saved(dup(STDIN_FILENO)) {
        dup2(fd, STDIN_FILENO);
        close(fd);
    }
    ~standard_input_from() {
        dup2(saved, STDIN_FILENO);
        close(saved);
    }
};

std::string held(const input_file& in) { return std::string(reinterpret_cast<const char*>(in.bytes.get()), in.length); }

TEST(InputFile, ReadsEveryByteUntranslated) {
    const std::string bytes("\x00\x40\x3F\x00\xFF\r\n\x1A", 8);
    temp_file file(bytes);
    input_file in;
    std::string why;
    ASSERT_TRUE(open_input_file(file.path.c_str(), 1000, &in, &why)) << why;
    EXPECT_TRUE(in.regular);
    ASSERT_TRUE(fill_input_file(in, 1000, &why)) << why;
    EXPECT_EQ(held(in), bytes);
    EXPECT_EQ(in.capacity, bytes.size()) << "no more room than the file needs";
    std::uint64_t size = 0;
    ASSERT_TRUE(measure_input_file(in, 0, &size, &why));
    EXPECT_EQ(size, bytes.size());
}

TEST(InputFile, EmptyFileReadsAsNothing) {
    temp_file file("");
    input_file in;
    std::string why;
    ASSERT_TRUE(open_input_file(file.path.c_str(), 1000, &in, &why)) << why;
    ASSERT_TRUE(fill_input_file(in, 10, &why));
    EXPECT_EQ(in.length, 0u);
}

TEST(InputFile, WhatIsNotARegularFileIsRefusedWithoutBlocking) {
    char dir[] = "/tmp/read_file_test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string fifo = std::string(dir) + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {"/nonexistent/map.vxl", "No such file or directory"},
        {"/tmp", "Is a directory"},
        {"/dev/null", "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {fifo, "not a regular file"},  // no writer: opening it plainly would wait for one
        {"", "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const auto begin = std::chrono::steady_clock::now();
        input_file in;
        std::string why;
        EXPECT_FALSE(open_input_file(c.path.c_str(), 1000, &in, &why));
        EXPECT_EQ(why, c.reason);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
    }
    unlink(fifo.c_str());
    rmdir(dir);
}

TEST(InputFile, ReadsOnlyAsFarAsAsked) {
    // A file of 8 GiB that is almost all hole: what was asked for and a little
    // read-ahead are read, and its size comes from the file system.
    temp_file file("head");
    ASSERT_EQ(truncate(file.path.c_str(), off_t{8} << 30), 0);
    input_file in;
    std::string why;
    ASSERT_TRUE(open_input_file(file.path.c_str(), std::size_t{64} << 20, &in, &why)) << why;
    ASSERT_TRUE(fill_input_file(in, 10, &why));
    EXPECT_GE(in.length, 10u);
    EXPECT_LE(in.length, std::size_t{1} << 20);
    EXPECT_FALSE(in.ended);
    EXPECT_EQ(held(in).substr(0, 4), "head");
    ASSERT_TRUE(fill_input_file(in, std::size_t{100} << 20, &why));
    EXPECT_EQ(in.length, std::size_t{64} << 20) << "never past the room reserved";
    std::uint64_t size = 0;
    ASSERT_TRUE(measure_input_file(in, 0, &size, &why));
    EXPECT_EQ(size, std::uint64_t{8} << 30);
}

TEST(InputFile, StandardInputMayBeAPipeOrAFileButNotADevice) {
    std::string why;
    {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        ASSERT_EQ(write(fds[1], "0123456789", 10), 10);
        close(fds[1]);
        standard_input_from redirect(fds[0]);
        input_file in;
        ASSERT_TRUE(open_input_file("-", 1000, &in, &why)) << why;
        EXPECT_FALSE(in.regular);
        ASSERT_TRUE(fill_input_file(in, 4, &why));
        ASSERT_GE(in.length, 4u);
        // What a pipe holds beyond what was kept is read and counted, up to a limit.
        std::uint64_t size = 0;
        ASSERT_TRUE(measure_input_file(in, 100, &size, &why));
        EXPECT_EQ(size, 10u);
    }
    {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        ASSERT_EQ(write(fds[1], std::string(5000, 'x').data(), 5000), 5000);
        close(fds[1]);
        standard_input_from redirect(fds[0]);
        input_file in;
        ASSERT_TRUE(open_input_file("-", 10, &in, &why)) << why;
        ASSERT_TRUE(fill_input_file(in, 10, &why));
        std::uint64_t size = 0;
        ASSERT_TRUE(measure_input_file(in, 999, &size, &why));
        EXPECT_EQ(size, 1000u) << "a stream is read no further than the limit";
    }
    {
        // A file on standard input that its reader has already read from counts
        // from where it stands.
        temp_file file("skipped|kept");
        const int fd = open(file.path.c_str(), O_RDONLY);
        ASSERT_EQ(lseek(fd, 8, SEEK_SET), 8);
        standard_input_from redirect(fd);
        input_file in;
        ASSERT_TRUE(open_input_file("-", 100, &in, &why)) << why;
        EXPECT_TRUE(in.regular);
        ASSERT_TRUE(fill_input_file(in, 100, &why));
        EXPECT_EQ(held(in), "kept");
        std::uint64_t size = 0;
        ASSERT_TRUE(measure_input_file(in, 0, &size, &why));
        EXPECT_EQ(size, 4u);
    }
    {
        standard_input_from redirect(open("/dev/zero", O_RDONLY));
        input_file in;
        EXPECT_FALSE(open_input_file("-", 100, &in, &why));
        EXPECT_EQ(why, "not a regular file or a pipe");
    }
}

}  // namespace
