#include "mapfile/safe_write.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

namespace fs = std::filesystem;

class SafeWrite : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/safe_write_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return dir + "/" + name; }

    std::string dir;
};

bool write_text(const std::string& path, const std::string& text, std::string* reason = nullptr) {
    std::string ignored;
    return safe_write_file(path.c_str(), text.data(), text.size(), reason ? reason : &ignored);
}

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put_text(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t mode_of(const std::string& path) {
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST_F(SafeWrite, NewFileGetsThePermissionsOfAPlainCreate) {
    const mode_t old_mask = umask(027);
    EXPECT_TRUE(write_text(path("a.vxl"), "abc"));
    umask(0);
    EXPECT_TRUE(write_text(path("b.vxl"), "de"));
    umask(old_mask);
    EXPECT_EQ(read_text(path("a.vxl")), "abc");
    EXPECT_EQ(mode_of(path("a.vxl")), 0640u);
    EXPECT_EQ(mode_of(path("b.vxl")), 0666u);
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"a.vxl", "b.vxl"})) << "no temporary file is left";
}

TEST_F(SafeWrite, ReplacedFileKeepsItsPermissionBits) {
    put_text(path("map.vxl"), "a longer old content");
    ASSERT_EQ(chmod(path("map.vxl").c_str(), 0604), 0);
    EXPECT_TRUE(write_text(path("map.vxl"), "new"));
    EXPECT_EQ(read_text(path("map.vxl")), "new");
    EXPECT_EQ(mode_of(path("map.vxl")), 0604u);
    EXPECT_EQ(entries(dir), std::vector<std::string>{"map.vxl"});
}

TEST_F(SafeWrite, RelativePathIsWrittenBesideTheWorkingFolder) {
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    const bool ok = write_text("plain.vxl", "xyz");
    fs::current_path(here);
    EXPECT_TRUE(ok);
    EXPECT_EQ(read_text(path("plain.vxl")), "xyz");
}

TEST_F(SafeWrite, SymbolicLinkReplacesTheFileItPointsTo) {
    fs::create_directory(path("real"));
    fs::create_directory(path("links"));
    put_text(path("real/map.vxl"), "old");
    ASSERT_EQ(chmod(path("real/map.vxl").c_str(), 0640), 0);
    fs::create_symlink("../real/map.vxl", path("links/first"));
    fs::create_symlink("first", path("links/second"));  // a chain of two links

    EXPECT_TRUE(write_text(path("links/second"), "new"));
    EXPECT_TRUE(fs::is_symlink(path("links/second")));
    EXPECT_TRUE(fs::is_symlink(path("links/first")));
    EXPECT_EQ(fs::read_symlink(path("links/first")), "../real/map.vxl");
    EXPECT_EQ(read_text(path("real/map.vxl")), "new");
    EXPECT_EQ(mode_of(path("real/map.vxl")), 0640u);
    EXPECT_EQ(entries(path("real")), std::vector<std::string>{"map.vxl"});
    EXPECT_EQ(entries(path("links")), (std::vector<std::string>{"first", "second"}));
}

TEST_F(SafeWrite, DanglingLinkCreatesTheFileItNames) {
    fs::create_symlink("target.vxl", path("link.vxl"));
    EXPECT_TRUE(write_text(path("link.vxl"), "made"));
    EXPECT_TRUE(fs::is_symlink(path("link.vxl")));
    EXPECT_EQ(read_text(path("target.vxl")), "made");
}

TEST_F(SafeWrite, FailedWriteLeavesTheOldFileUntouched) {
    // A file size limit makes the write fail part way (EFBIG), after the temporary
    // file was created and partly filled. Run it in a child to keep the limit there.
    put_text(path("map.vxl"), "precious");
    const std::vector<char> big(100000, 'x');
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string reason;
        const bool ok = safe_write_file(path("map.vxl").c_str(), big.data(), big.size(), &reason);
        _exit(ok ? 1 : reason == "File too large" ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reported success, 2: another reason";
    EXPECT_EQ(read_text(path("map.vxl")), "precious");
    EXPECT_EQ(entries(dir), std::vector<std::string>{"map.vxl"}) << "the temporary file is removed";
}

TEST_F(SafeWrite, UnwritableTargetsGiveTheSystemsReason) {
    put_text(path("file"), "f");
    fs::create_directory(path("folder"));
    const struct {
        std::string target;
        const char* reason;
    } cases[] = {
        {path("missing/map.vxl"), "No such file or directory"},
        {path("folder"), "Is a directory"},
        {path("file/map.vxl"), "Not a directory"},
        {"/dev/full", "No space left on device"},
        {"", "No such file or directory"},
    };
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_FALSE(write_text(c.target, "data", &reason)) << c.target;
        EXPECT_EQ(reason, c.reason) << c.target;
    }
    EXPECT_EQ(read_text(path("file")), "f");
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"file", "folder"}));
    EXPECT_TRUE(entries(path("folder")).empty());
}

TEST_F(SafeWrite, DevicesAndPipesAreWrittenDirectly) {
    EXPECT_TRUE(write_text("/dev/null", "gone"));

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_TRUE(write_text("/dev/fd/" + std::to_string(fds[1]), "through the pipe"));
    close(fds[1]);
    char buffer[64] = {};
    EXPECT_EQ(read(fds[0], buffer, sizeof buffer), 16);
    EXPECT_STREQ(buffer, "through the pipe");
    close(fds[0]);
}

TEST_F(SafeWrite, FileOpenAsADescriptorIsWrittenInPlace) {
    // /dev/stdout redirected to a file reaches it through /proc: the open file
    // itself must get the bytes, not a new file renamed over its name.
    put_text(path("out"), "old content");
    const int fd = open(path("out").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    struct stat before, after;
    fstat(fd, &before);
    EXPECT_TRUE(write_text("/proc/self/fd/" + std::to_string(fd), "new"));
    fstat(fd, &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(after.st_nlink, 1u) << "the open file is still the one at the path";
    EXPECT_EQ(read_text(path("out")), "new");
    close(fd);
}

}  // namespace
