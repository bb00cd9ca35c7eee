// Both programs as an attacker and as a scripting user meet them: files that are
// not what they seem, maps built to cost memory or overflow counters, names that
// forge lines, data and text sharing standard output, and replacements that are
// interrupted, deep, refused or linked. Each case is a row of a table.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "mapfile/vxl_test_image.h"
#include "tests/process.h"

#ifdef VXLTOOL_BIN

namespace {

using words = std::vector<std::string>;

constexpr int NOBODY = 65534;

void save(const std::string& path, const vxl_bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

/// Runs a shell command line, for redirections; the programs are $VXLTOOL and $MAPGEN.
process_result shell(const std::string& line, const process_options& options = {}) {
    const std::string script = "VXLTOOL='" VXLTOOL_BIN "'; MAPGEN='" MAPGEN_BIN "'; " + line;
    return run_process({"/bin/sh", "-c", script}, options);
}

process_result vxltool(const words& after_name, const process_options& options = {}) {
    words argv = {VXLTOOL_BIN};
    argv.insert(argv.end(), after_name.begin(), after_name.end());
    return run_process(argv, options);
}

bool is_png(const std::string& bytes) { return bytes.size() > 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0; }

/// A map of ground at z 50 with a green colour: every record 8 bytes.
vxl_bytes ground() {
    return vxl_image_from([](std::size_t) { return vxl_span(0, 50, 50, 0, {0x8030D030}); });
}

std::string text_of(const vxl_bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

/// The file in dir beside a folder path and name, relative, for running in dir.
struct hostile_files {
    temp_dir dir;
    std::string good, big, fifo;
    hostile_files() {
        good = dir.file("good.vxl");
        save(good, ground());
        fifo = dir.file("upload.fifo");
        EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    }
};

// ---- what vxltool reads

struct read_case {
    const char* name;
    std::function<process_result(hostile_files&)> run;
    int status;
    std::function<void(const process_result&, hostile_files&)> expect;
};

TEST(Hostile, VxltoolReadsOnlyWhatAMapIsAndOnlyWhatItNeeds) {
    const read_case cases[] = {
        {"a FIFO is refused at once, and the line decided before it is not lost",
         [](hostile_files& f) {
             process_options o;
             o.alarm_seconds = 20;
             return vxltool({"check", f.good, f.fifo}, o);
         },
         2,
         [](const process_result& r, hostile_files& f) {
             EXPECT_EQ(r.signal, 0) << "it blocked";
             EXPECT_EQ(r.out, f.good + ": ok, 2097152 bytes, 262144 spans, 262144 colour records\n");
             EXPECT_EQ(r.err, "vxltool: " + f.fifo + ": not a regular file\n");
         }},
        {"a device is refused", [](hostile_files&) { return vxltool({"info", "/dev/zero"}); }, 2,
         [](const process_result& r, hostile_files&) {
             EXPECT_EQ(r.err, "vxltool: /dev/zero: not a regular file\n");
         }},
        {"8 GiB after a valid map: counted, not read, in bounded memory",
         [](hostile_files& f) {
             EXPECT_EQ(truncate(f.good.c_str(), off_t{8} << 30), 0);
             return vxltool({"check", f.good});
         },
         0,
         [](const process_result& r, hostile_files& f) {
             EXPECT_EQ(r.out, f.good + ": ok, 8589934592 bytes, 262144 spans, 262144 colour records, 8587837440 "
                                       "trailing bytes\n");
             // A few MiB in a release build; sanitizers take more, and the file is 8 GiB.
             EXPECT_LT(r.max_rss_kb, 512 * 1024) << "peak memory grew with the file";
         }},
        {"the size limit refuses a larger file whatever it holds",
         [](hostile_files& f) { return vxltool({"check", "--max-bytes", "1000000", f.good}); }, 1,
         [](const process_result& r, hostile_files& f) {
             EXPECT_EQ(r.out, f.good + ": invalid: file is 2097152 bytes, limit 1000000\n");
         }},
        {"spans that cover nothing, 100,000 of them in one column, are refused at the first",
         [](hostile_files& f) {
             vxl_bytes column = vxl_span(1, 5, 4, 0);
             for (int i = 0; i < 100000; ++i) {
                 const vxl_bytes span = vxl_span(1, 5, 4, 5);
                 column.insert(column.end(), span.begin(), span.end());
             }
             const vxl_bytes last = vxl_span(0, 64, 63, 5);
             column.insert(column.end(), last.begin(), last.end());
             save(f.dir.file("spans.vxl"), vxl_image({{0, column}}));
             return vxltool({"check", f.dir.file("spans.vxl")});
         },
         1,
         [](const process_result& r, hostile_files& f) {
             EXPECT_EQ(r.out, f.dir.file("spans.vxl") +
                                  ": invalid: byte 11, column (0, 0): air_start 5 does not lie below the previous "
                                  "span's: that span covers no voxel\n");
         }},
        {"standard input, from a pipe",
         [](hostile_files&) {
             process_options o;
             o.input = text_of(ground());
             return vxltool({"check", "-"}, o);
         },
         0, [](const process_result& r, hostile_files&) { EXPECT_EQ(r.out, "-: ok, 2097152 bytes, 262144 spans, 262144 colour records\n"); }},
        {"standard input, from a pipe, for info, with trailing bytes",
         [](hostile_files&) {
             process_options o;
             o.input = text_of(ground()) + std::string(300000, '\x7f');
             return vxltool({"info", "-"}, o);
         },
         0,
         [](const process_result& r, hostile_files&) {
             EXPECT_NE(r.out.find("  trailing bytes    300000\n"), std::string::npos) << r.out;
         }},
        {"standard input over the limit is read no further than the limit",
         [](hostile_files&) {
             process_options o;
             o.input = std::string(3000000, '\0');
             return vxltool({"check", "--max-bytes", "2500000", "-"}, o);
         },
         1,
         [](const process_result& r, hostile_files&) {
             EXPECT_EQ(r.out, "-: invalid: input is more than 2500000 bytes, limit 2500000\n");
         }},
        {"a name that forges an ok line is quoted",
         [](hostile_files& f) {
             const std::string evil = f.dir.file("evil.vxl: ok, 2097536 bytes\nx");
             save(evil, {1, 2, 3});
             return vxltool({"check", evil});
         },
         1,
         [](const process_result& r, hostile_files& f) {
             EXPECT_EQ(r.out, "'" + f.dir.path() + "/evil.vxl: ok, 2097536 bytes'$'\\n''x': invalid: byte 0, column "
                                                   "(0, 0): span header cut short: the image ends at byte 3\n");
             EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
         }},
        {"check --json: one object a line, for a valid, an invalid and a missing file",
         [](hostile_files& f) {
             const vxl_bytes map = ground();
             save(f.dir.file("cut.vxl"), vxl_bytes(map.begin(), map.begin() + 1006));
             save(f.dir.file("n\xff\n.vxl"), ground());
             return vxltool({"check", "--json", f.good, f.dir.file("cut.vxl"), f.dir.file("gone.vxl"),
                             f.dir.file("n\xff\n.vxl")});
         },
         2,
         [](const process_result& r, hostile_files& f) {
             const std::string d = f.dir.path();
             EXPECT_EQ(r.out,
                       "{\"name\": \"" + d + "/good.vxl\", \"valid\": true, \"bytes\": 2097152, \"record_bytes\": "
                       "2097152, \"trailing_bytes\": 0, \"spans\": 262144, \"solid_voxels\": 3670016, "
                       "\"color_records\": 262144}\n"
                       "{\"name\": \"" + d + "/cut.vxl\", \"valid\": false, \"reason\": \"top colours cut short: 1 "
                       "colour record needs bytes up to 1008, the image ends at byte 1006\", \"offset\": 1000, "
                       "\"column\": [125, 0]}\n"
                       "{\"name\": \"" + d + "/gone.vxl\", \"valid\": false, \"readable\": false, \"reason\": \"No "
                       "such file or directory\", \"offset\": null, \"column\": null}\n"
                       "{\"name\": \"" + d + "/n\\uFFFD\\n.vxl\", \"name_hex\": \"" +
                           [&] {
                               std::string hex;
                               for (unsigned char c : d + "/n\xff\n.vxl") {
                                   const char* digits = "0123456789abcdef";
                                   hex += digits[c >> 4];
                                   hex += digits[c & 15];
                               }
                               return hex;
                           }() +
                           "\", \"valid\": true, \"bytes\": 2097152, \"record_bytes\": 2097152, \"trailing_bytes\": "
                           "0, \"spans\": 262144, \"solid_voxels\": 3670016, \"color_records\": 262144}\n");
             EXPECT_EQ(r.err, "vxltool: " + d + "/gone.vxl: No such file or directory\n");
         }},
    };
    for (const read_case& c : cases) {
        SCOPED_TRACE(c.name);
        hostile_files files;
        const process_result r = c.run(files);
        EXPECT_EQ(r.exit_status, c.status) << r.err;
        c.expect(r, files);
    }
}

// ---- data and text on standard output

struct output_case {
    const char* name;
    std::string line;  // a shell command line, run in the case's folder
    std::function<void(const process_result&, const temp_dir&)> expect;
};

TEST(Hostile, DataOnStandardOutputIsNeverMixedWithText) {
    const std::string png_status = ": top view, 512 x 512\n";
    const output_case cases[] = {
        {"render -o - to a pipe", "\"$VXLTOOL\" render good.vxl -o - | cat > out.png",
         [&](const process_result& r, const temp_dir& d) {
             EXPECT_TRUE(is_png(read_file(d.file("out.png"))));
             EXPECT_EQ(r.err, "-" + png_status);
         }},
        {"render -o /dev/stdout to a file", "\"$VXLTOOL\" render good.vxl -o /dev/stdout > out.png",
         [&](const process_result& r, const temp_dir& d) {
             const std::string png = read_file(d.file("out.png"));
             EXPECT_TRUE(is_png(png));
             EXPECT_EQ(png.find("top view"), std::string::npos);
             EXPECT_EQ(r.err, "/dev/stdout" + png_status);
         }},
        {"render -o to the very file stdout goes to", "\"$VXLTOOL\" render good.vxl -o out.png > out.png",
         [&](const process_result& r, const temp_dir& d) {
             EXPECT_TRUE(is_png(read_file(d.file("out.png"))));
             EXPECT_EQ(read_file(d.file("out.png")).find("top view"), std::string::npos);
             EXPECT_EQ(r.err, "out.png" + png_status);
         }},
        {"render -o a file: the status stays on stdout", "\"$VXLTOOL\" render good.vxl -o out.png",
         [&](const process_result& r, const temp_dir&) {
             EXPECT_EQ(r.out, "out.png" + png_status);
             EXPECT_EQ(r.err, "");
         }},
        {"mapgen -o /dev/stdout into a file is the map, whole",
         "\"$MAPGEN\" -s 2 -o /dev/stdout > a.vxl && \"$MAPGEN\" -s 2 -o b.vxl > /dev/null && cmp a.vxl b.vxl",
         [&](const process_result& r, const temp_dir&) {
             EXPECT_EQ(r.err, "Generating to '/dev/stdout' using seed '2'\nFinished\n");
         }},
        {"mapgen -o /dev/stdout through a pipe is a valid map",
         "\"$MAPGEN\" -s 2 -o /dev/stdout | \"$VXLTOOL\" check -",
         [&](const process_result& r, const temp_dir&) {
             EXPECT_EQ(r.out.rfind("-: ok, ", 0), 0u) << r.out;
         }},
    };
    for (const output_case& c : cases) {
        SCOPED_TRACE(c.name);
        temp_dir dir;
        save(dir.file("good.vxl"), ground());
        process_options o;
        o.cwd = dir.path();
        const process_result r = shell(c.line, o);
        EXPECT_EQ(r.exit_status, 0) << r.err;
        c.expect(r, dir);
    }
}

TEST(Hostile, NoNameForgesALineOfAnyCommandsReport) {
    // Each file name ends a line and starts one that reads like another report.
    temp_dir dir;
    const std::string map = dir.file("m\nx: ok.vxl");
    save(map, ground());
    auto name = [&](const char* leaf) { return dir.file(std::string("out\n") + leaf); };
    const struct {
        words argv;
        const char* starts;  // the quoted name the report starts with
        int lines;
    } cases[] = {
        {{"page", map, "-o", name("p.html")}, "'/out'$'\\n''p.html': page of 'm'$'\\n''x: ok', ", 1},
        {{"gallery", map, "-o", name("site")}, "'m'$'\\n''x: ok': 'maps/m'$'\\n''x: ok.vxl', its page", 2},
        {{"export", map, name("v.vox")}, "'/out'$'\\n''v.vox': ", 1},
        {{"export", map, name("g.glb")}, "'/out'$'\\n''g.glb': ", 1},
        {{"export", map, "--heightmap", name("h.png"), "--colours", name("c.png")}, "'/out'$'\\n''h.png': ", 2},
        {{"import", "--heightmap", name("h.png"), "--colours", name("c.png"), "-o", name("h.vxl")},
         "'/out'$'\\n''h.vxl': 512 x 512 columns from '", 1},
        {{"import", name("v.vox"), "-o", name("v.vxl")}, "'/out'$'\\n''v.vxl': ", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argv[0] + " " + c.argv.back());
        const process_result r = vxltool(c.argv);
        ASSERT_EQ(r.exit_status, 0) << r.err;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), c.lines) << r.out;
        std::string out = r.out;
        for (std::size_t at; (at = out.find(dir.path())) != std::string::npos;) out.erase(at, dir.path().size());
        EXPECT_EQ(out.rfind(c.starts, 0), 0u) << out;
    }
}

// ---- replacing a map

struct replace_case {
    const char* name;
    std::function<process_result(const temp_dir&)> run;
    int status;
    std::function<void(const process_result&, const temp_dir&)> expect;
};

std::string make_deep_folder(const temp_dir& dir) {
    // Twenty folders of 250 characters: a path past PATH_MAX, made one step at a time.
    std::string path = dir.path();
    int at = open(dir.path().c_str(), O_PATH | O_DIRECTORY);
    const std::string component(250, 'd');
    for (int i = 0; i < 20; ++i) {
        mkdirat(at, component.c_str(), 0755);
        const int next = openat(at, component.c_str(), O_PATH | O_DIRECTORY);
        close(at);
        at = next;
        path += "/" + component;
    }
    close(at);
    return path;
}

TEST(Hostile, ReplacingAMapNeverLosesDataOrRights) {
    const std::string old_map = text_of(ground());
    const replace_case cases[] = {
        {"a map in a folder deeper than PATH_MAX is replaced, not truncated",
         [](const temp_dir& dir) {
             const std::string deep = make_deep_folder(dir);
             run_process({MAPGEN_BIN, "-s", "1", "-o", deep + "/map.vxl"});
             return run_process({MAPGEN_BIN, "-s", "1", "-o", deep + "/map.vxl"});
         },
         0,
         [](const process_result& r, const temp_dir&) {
             EXPECT_EQ(r.out.substr(r.out.size() - 9), "Finished\n");
         }},
        {"a read-only map is refused as a plain open refuses it",
         [&](const temp_dir& dir) {
             chown(dir.path().c_str(), NOBODY, NOBODY);
             save(dir.file("map.vxl"), ground());
             chown(dir.file("map.vxl").c_str(), NOBODY, NOBODY);
             chmod(dir.file("map.vxl").c_str(), 0444);
             process_options o;
             o.cwd = dir.path();
             if (getuid() == 0) o.uid = NOBODY;
             return run_process({MAPGEN_BIN, "-s", "1", "-o", "map.vxl"}, o);
         },
         1,
         [&](const process_result& r, const temp_dir& dir) {
             EXPECT_EQ(r.err, "mapgen: cannot write 'map.vxl': Permission denied\n");
             EXPECT_TRUE(read_file(dir.file("map.vxl")) == old_map);
         }},
        {"a folder that does not take new files is named as what refuses",
         [&](const temp_dir& dir) {
             chown(dir.path().c_str(), NOBODY, NOBODY);
             mkdir(dir.file("shared").c_str(), 0755);
             save(dir.file("shared/map.vxl"), ground());
             chmod(dir.file("shared/map.vxl").c_str(), 0666);
             chown(dir.file("shared").c_str(), 0, 0);
             process_options o;
             o.cwd = dir.path();
             if (getuid() == 0) o.uid = NOBODY;
             return run_process({MAPGEN_BIN, "-s", "1", "-o", "shared/map.vxl"}, o);
         },
         1,
         [&](const process_result& r, const temp_dir& dir) {
             EXPECT_EQ(r.err, "mapgen: cannot write 'shared/map.vxl': its directory does not allow new files: "
                              "Permission denied\n");
             EXPECT_TRUE(read_file(dir.file("shared/map.vxl")) == old_map);
         }},
        {"extended attributes of a replaced picture are kept",
         [](const temp_dir& dir) {
             save(dir.file("good.vxl"), ground());
             save(dir.file("p.png"), {1});
             if (setxattr(dir.file("p.png").c_str(), "user.license", "CC-BY", 5, 0) != 0) return process_result{};
             return vxltool({"render", dir.file("good.vxl"), "-o", dir.file("p.png")});
         },
         0,
         [](const process_result& r, const temp_dir& dir) {
             if (r.exit_status < 0) return;  // no user attributes on this file system
             char value[16] = {};
             EXPECT_EQ(getxattr(dir.file("p.png").c_str(), "user.license", value, sizeof value), 5);
             EXPECT_STREQ(value, "CC-BY");
         }},
        {"a map with a second hard link: both names show the new map",
         [](const temp_dir& dir) {
             save(dir.file("map.vxl"), ground());
             link(dir.file("map.vxl").c_str(), dir.file("published.vxl").c_str());
             return run_process({MAPGEN_BIN, "-s", "1", "-o", dir.file("map.vxl")});
         },
         0,
         [](const process_result&, const temp_dir& dir) {
             EXPECT_EQ(read_file(dir.file("published.vxl")).size(), 2097536u);
             EXPECT_TRUE(read_file(dir.file("published.vxl")) == read_file(dir.file("map.vxl")));
         }},
    };
    for (const replace_case& c : cases) {
        SCOPED_TRACE(c.name);
        temp_dir dir;
        const process_result r = c.run(dir);
        if (r.exit_status >= 0) {
            EXPECT_EQ(r.exit_status, c.status) << r.err;
        }
        c.expect(r, dir);
    }
}

TEST(Hostile, InterruptedRunsLeaveNoTemporaryFile) {
    // Signals at many moments of a run that replaces a map and of one that makes a
    // new one: the old map stays or the new one is whole, and nothing else is left.
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGKILL};
    int round = 0;
    for (int signal_number : signals)
        for (int delay_ms : {2, 8, 15, 25, 40}) {
            for (bool replacing : {true, false}) {
                SCOPED_TRACE(std::to_string(signal_number) + " after " + std::to_string(delay_ms) + " ms" +
                             (replacing ? ", replacing" : ", new"));
                temp_dir dir;
                if (replacing) save(dir.file("map.vxl"), ground());
                process_options o;
                o.cwd = dir.path();
                o.signal_after_ms = delay_ms;
                o.signal_to_send = signal_number;
                run_process({MAPGEN_BIN, "-s", std::to_string(++round), "-o", "map.vxl"}, o);
                const std::vector<std::string> left = list_dir(dir.path());
                if (replacing || !left.empty()) {
                    ASSERT_EQ(left, std::vector<std::string>{"map.vxl"});
                    const std::size_t size = read_file(dir.file("map.vxl")).size();
                    EXPECT_TRUE(size == 2097152u || size > 2000000u) << size;
                }
            }
        }
}

}  // namespace

#endif
