#include "mapfile/safe_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>

#include <algorithm>
#include <climits>
#include <cstring>
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

// ---- both kinds of temporary file

bool write_with(const std::string& path, const std::string& text, const safe_write_options& options,
                std::string* reason = nullptr) {
    std::string ignored;
    return safe_write_file(path.c_str(), text.data(), text.size(), reason ? reason : &ignored, options);
}

safe_write_options named_only() {
    safe_write_options options;
    options.unnamed_temporary = false;
    return options;
}

ino_t inode_of(const std::string& path) {
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_ino;
}

/// Runs body in a child process and returns its exit status, or 128 + the signal
/// that ended it. Limits, signal dispositions and identities stay in the child.
int in_child(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

constexpr uid_t NOBODY = 65534;

TEST_F(SafeWrite, EitherTemporaryGivesTheSameFiles) {
    const struct {
        const char* name;
        safe_write_options options;
    } kinds[] = {{"unnamed", safe_write_options{}}, {"named", named_only()}};
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const std::string target = path(std::string(kind.name) + ".vxl");
        const mode_t old_mask = umask(022);
        EXPECT_TRUE(write_with(target, "first", kind.options));
        umask(old_mask);
        EXPECT_EQ(mode_of(target), 0644u);
        ASSERT_EQ(chmod(target.c_str(), 0640), 0);
        const ino_t before = inode_of(target);
        EXPECT_TRUE(write_with(target, "second", kind.options));
        EXPECT_EQ(read_text(target), "second");
        EXPECT_EQ(mode_of(target), 0640u);
        EXPECT_NE(inode_of(target), before) << "replaced by a new file, not rewritten";
    }
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"named.vxl", "unnamed.vxl"}));
}

TEST_F(SafeWrite, ReplacedFileKeepsItsExtendedAttributesAndAcl) {
    put_text(path("map.vxl"), "old");
    if (setxattr(path("map.vxl").c_str(), "user.origin", "upload 17", 9, 0) != 0)
        GTEST_SKIP() << "no user extended attributes here: " << std::strerror(errno);
    const bool have_setfacl = std::system("command -v setfacl >/dev/null 2>&1") == 0;
    if (have_setfacl) {
        ASSERT_EQ(std::system(("setfacl -m u:65534:rw '" + path("map.vxl") + "'").c_str()), 0);
    }
    char acl_before[256] = {};
    const ssize_t acl_size = getxattr(path("map.vxl").c_str(), "system.posix_acl_access", acl_before, sizeof acl_before);
    const mode_t mode_before = mode_of(path("map.vxl"));

    for (const safe_write_options& options : {safe_write_options{}, named_only()}) {
        std::string reason;
        ASSERT_TRUE(write_with(path("map.vxl"), "new", options, &reason)) << reason;
        char value[64] = {};
        EXPECT_EQ(getxattr(path("map.vxl").c_str(), "user.origin", value, sizeof value), 9);
        EXPECT_STREQ(value, "upload 17");
        EXPECT_EQ(mode_of(path("map.vxl")), mode_before);
        if (have_setfacl) {
            char acl_after[256] = {};
            ASSERT_GT(acl_size, 0);
            EXPECT_EQ(getxattr(path("map.vxl").c_str(), "system.posix_acl_access", acl_after, sizeof acl_after), acl_size);
            EXPECT_EQ(std::memcmp(acl_before, acl_after, std::size_t(acl_size)), 0) << "the ACL is the old one";
        }
    }
    if (!have_setfacl) GTEST_SKIP() << "setfacl is not installed: the ACL part was skipped";
}

TEST_F(SafeWrite, DirectoryDefaultAclGoesToNewFilesOnly) {
    if (std::system("command -v setfacl >/dev/null 2>&1") != 0) GTEST_SKIP() << "setfacl is not installed";
    put_text(path("plain.vxl"), "old, no ACL");
    if (std::system(("setfacl -d -m u:65534:rw '" + dir + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no ACLs on this file system";
    for (const safe_write_options& options : {safe_write_options{}, named_only()}) {
        EXPECT_TRUE(write_with(path("plain.vxl"), "new", options));
        EXPECT_LT(getxattr(path("plain.vxl").c_str(), "system.posix_acl_access", nullptr, 0), 0)
            << "a replaced file keeps having no ACL";
        const std::string fresh = path(options.unnamed_temporary ? "fresh-unnamed.vxl" : "fresh-named.vxl");
        EXPECT_TRUE(write_with(fresh, "new", options));
        EXPECT_GT(getxattr(fresh.c_str(), "system.posix_acl_access", nullptr, 0), 0)
            << "a new file gets the directory's default ACL, as a plain create does";
    }
}

TEST_F(SafeWrite, PathLongerThanPathMaxIsReplacedSafely) {
    // Twenty folders of 250 characters: 5,000 and more, past PATH_MAX (4,096).
    std::string long_path = dir;
    int at = open(dir.c_str(), O_PATH | O_DIRECTORY);
    const std::string component(250, 'd');
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(mkdirat(at, component.c_str(), 0700), 0);
        const int next = openat(at, component.c_str(), O_PATH | O_DIRECTORY);
        close(at);
        at = next;
        long_path += "/" + component;
    }
    ASSERT_GT(long_path.size(), std::size_t(PATH_MAX));
    const std::string target = long_path + "/map.vxl";
    std::string reason;
    ASSERT_TRUE(write_text(target, "old", &reason)) << reason;
    struct stat before, after;
    ASSERT_EQ(fstatat(at, "map.vxl", &before, 0), 0);
    ASSERT_TRUE(write_text(target, "new map", &reason)) << reason;
    ASSERT_EQ(fstatat(at, "map.vxl", &after, 0), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "replaced, not truncated in place";
    EXPECT_EQ(after.st_size, 7);
    std::string missing;
    EXPECT_FALSE(write_text(long_path + "/nothing/map.vxl", "x", &missing));
    EXPECT_EQ(missing, "No such file or directory");
    const int listing = openat(at, ".", O_RDONLY | O_DIRECTORY);
    DIR* d = fdopendir(listing);
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.' || (e->d_name[1] && std::strcmp(e->d_name, "..") != 0)) names.push_back(e->d_name);
    closedir(d);
    close(at);
    EXPECT_EQ(names, std::vector<std::string>{"map.vxl"}) << "no temporary file is left";
}

TEST_F(SafeWrite, WhatMayNotBeWrittenIsRefusedAndSaysWhatRefused) {
    // Root may write anything; the refusals are those an ordinary user meets.
    ASSERT_EQ(chown(dir.c_str(), NOBODY, NOBODY), 0);
    put_text(path("read-only.vxl"), "kept");
    ASSERT_EQ(chmod(path("read-only.vxl").c_str(), 0444), 0);
    fs::create_directory(path("closed"));
    put_text(path("closed/writable.vxl"), "kept too");
    for (const char* p : {"read-only.vxl", "closed", "closed/writable.vxl"})
        ASSERT_EQ(chown(path(p).c_str(), NOBODY, NOBODY), 0);
    ASSERT_EQ(chmod(path("closed/writable.vxl").c_str(), 0666), 0);
    ASSERT_EQ(chmod(path("closed").c_str(), 0555), 0);
    const struct {
        const char* name;
        safe_write_options options;
        const char* target;
        const char* reason;
    } cases[] = {
        {"a read-only file", {}, "read-only.vxl", "Permission denied"},
        {"a read-only file, named temporary", named_only(), "read-only.vxl", "Permission denied"},
        {"a writable file in a closed folder", {}, "closed/writable.vxl",
         "its directory does not allow new files: Permission denied"},
        {"the same, named temporary", named_only(), "closed/writable.vxl",
         "its directory does not allow new files: Permission denied"},
        {"a new file in a closed folder", {}, "closed/new.vxl",
         "its directory does not allow new files: Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = path(c.target);
        const std::string expected = c.reason;
        const safe_write_options options = c.options;
        const int status = in_child([&] {
            if (getuid() == 0 && (setgid(NOBODY) != 0 || setuid(NOBODY) != 0)) return 3;
            std::string reason;
            if (write_with(target, "replaced", options, &reason)) return 1;
            return reason == expected ? 0 : 2;
        });
        EXPECT_EQ(status, 0) << "1: written, 2: another reason, 3: cannot become nobody";
    }
    EXPECT_EQ(read_text(path("read-only.vxl")), "kept");
    EXPECT_EQ(read_text(path("closed/writable.vxl")), "kept too");
    EXPECT_EQ(entries(path("closed")), std::vector<std::string>{"writable.vxl"});
    ASSERT_EQ(chmod(path("closed").c_str(), 0755), 0);
}

TEST_F(SafeWrite, FolderThatMayBeWrittenButNotListedStillTakesTheMap) {
    // Mode 0333: files may be made and renamed in it, but it cannot be opened to
    // be read (nor flushed).
    ASSERT_EQ(chown(dir.c_str(), NOBODY, NOBODY), 0);
    fs::create_directory(path("drop"));
    ASSERT_EQ(chown(path("drop").c_str(), NOBODY, NOBODY), 0);
    ASSERT_EQ(chmod(path("drop").c_str(), 0333), 0);
    for (const safe_write_options& options : {safe_write_options{}, named_only()}) {
        const std::string target = path("drop/map.vxl");
        const int status = in_child([&] {
            if (getuid() == 0 && (setgid(NOBODY) != 0 || setuid(NOBODY) != 0)) return 3;
            std::string reason;
            return write_with(target, "once", options, &reason) && write_with(target, "twice", options, &reason) ? 0 : 1;
        });
        EXPECT_EQ(status, 0);
        EXPECT_EQ(read_text(target), "twice");
    }
    ASSERT_EQ(chmod(path("drop").c_str(), 0755), 0);
    EXPECT_EQ(entries(path("drop")), std::vector<std::string>{"map.vxl"});
}

// ---- interruptions

void raise_sigint() { raise(SIGINT); }
void raise_sigterm() { raise(SIGTERM); }
void raise_sighup() { raise(SIGHUP); }

TEST_F(SafeWrite, InterruptingSignalsLeaveNoTemporaryFile) {
    put_text(path("map.vxl"), "precious");
    const struct {
        const char* name;
        void (*hook)();
        int signal_number;
        bool unnamed;
    } cases[] = {
        {"SIGINT, named temporary", raise_sigint, SIGINT, false},
        {"SIGTERM, named temporary", raise_sigterm, SIGTERM, false},
        {"SIGHUP, named temporary", raise_sighup, SIGHUP, false},
        // Replacing, the unnamed file gets a name just before it is renamed.
        {"SIGTERM, unnamed file linked in", raise_sigterm, SIGTERM, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        safe_write_options options;
        options.unnamed_temporary = c.unnamed;
        options.on_named_temporary = c.hook;
        const std::string target = path("map.vxl");
        const int status = in_child([&] {
            std::string reason;
            write_with(target, "unfinished", options, &reason);
            return 0;  // the signal should have ended the process before this
        });
        EXPECT_EQ(status, 128 + c.signal_number) << "the signal still ends the process";
        EXPECT_EQ(read_text(path("map.vxl")), "precious");
        EXPECT_EQ(entries(dir), std::vector<std::string>{"map.vxl"});
    }
}

TEST_F(SafeWrite, IgnoredSignalStaysIgnored) {
    // Under nohup SIGHUP is ignored: the write goes on and succeeds.
    safe_write_options options = named_only();
    options.on_named_temporary = raise_sighup;
    const std::string target = path("map.vxl");
    const int status = in_child([&] {
        signal(SIGHUP, SIG_IGN);
        return write_with(target, "whole", options) ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(read_text(target), "whole");
    EXPECT_EQ(entries(dir), std::vector<std::string>{"map.vxl"});
}

// ---- hard links and the directory

TEST_F(SafeWrite, FileWithSeveralNamesIsWrittenInPlaceForAllOfThem) {
    put_text(path("map.vxl"), "an old map, longer than the new one");
    ASSERT_EQ(chmod(path("map.vxl").c_str(), 0604), 0);
    ASSERT_EQ(link(path("map.vxl").c_str(), path("published.vxl").c_str()), 0);
    const ino_t before = inode_of(path("map.vxl"));
    EXPECT_TRUE(write_text(path("map.vxl"), "new map"));
    EXPECT_EQ(read_text(path("published.vxl")), "new map");
    EXPECT_EQ(inode_of(path("map.vxl")), before);
    EXPECT_EQ(mode_of(path("map.vxl")), 0604u);

    // A write that could not finish is refused before the file changes.
    const std::string target = path("map.vxl");
    const int status = in_child([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4, 4};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string reason;
        return write_text(target, "far too long for the limit", &reason) ? 1 : reason == "File too large" ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(read_text(path("published.vxl")), "new map");
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"map.vxl", "published.vxl"}));
}

int failing_sync(int) {
    errno = EIO;
    return -1;
}

TEST_F(SafeWrite, FailedDirectoryFlushIsReported) {
    safe_write_options options;
    options.sync_directory = failing_sync;
    std::string reason;
    EXPECT_FALSE(write_with(path("map.vxl"), "data", options, &reason));
    EXPECT_EQ(reason, "written, but its directory could not be flushed to disk: Input/output error");
    EXPECT_EQ(read_text(path("map.vxl")), "data") << "the file itself is in place";
}

}  // namespace
