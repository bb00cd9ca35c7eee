// Running a built program from a test: its words, working folder and standard
// input go in; what it printed on stdout and stderr and how it ended come out.
#pragma once

#include <string>
#include <vector>

struct process_result {
    std::string out;       // everything written to standard output
    std::string err;       // everything written to standard error
    int exit_status = -1;  // the status passed to exit, or -1 when a signal ended it
    int signal = 0;        // the signal that ended it, or 0
    long max_rss_kb = 0;   // its peak resident memory
};

struct process_options {
    std::string cwd;             // working folder; empty keeps the test's own
    std::string input;           // fed to standard input, which is then closed
    long long file_size_limit = -1;  // bytes (RLIMIT_FSIZE, SIGXFSZ ignored); -1 for none
    int uid = -1;                // run as this user and group id (the test must be root); -1 keeps ours
    int alarm_seconds = 0;       // SIGALRM ends the program after this long; 0 never
    int signal_after_ms = -1;    // send signal_to_send this many milliseconds after the start; -1 never
    int signal_to_send = 0;
};

/// Runs argv[0] (a path) with the words argv (argv[0] included, as the program's
/// word 0) and waits for it to end. Fails the calling test on a fork/exec problem.
process_result run_process(const std::vector<std::string>& argv, const process_options& options);
process_result run_process(const std::vector<std::string>& argv, const std::string& cwd = {});

/// A fresh empty folder under the system's temporary folder, removed with its
/// contents when the object goes.
class temp_dir {
  public:
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    const std::string& path() const { return path_; }
    /// path() + "/" + name
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

/// The whole content of a file, or an empty string when it cannot be read.
std::string read_file(const std::string& path);
/// Names of the entries in a folder, sorted, without "." and "..".
std::vector<std::string> list_dir(const std::string& path);
