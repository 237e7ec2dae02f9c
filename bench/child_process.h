// Runs a program as a child process and measures it from outside: wall
// time, peak resident memory and page faults, as the kernel counts them for
// that process alone. A fresh process per measurement is what the tool
// meets in real use: cold allocator, fresh pages.
#ifndef MODPUBLISH_BENCH_CHILD_PROCESS_H_
#define MODPUBLISH_BENCH_CHILD_PROCESS_H_

#include <string>
#include <utility>
#include <vector>

struct ChildRun {
  // The exit status, or 128 + the signal that ended the child, or -1 when
  // it could not be started.
  int status = -1;
  // From just before fork() to the child reaped.
  double seconds = 0;
  // The child's ru_maxrss, ru_minflt, and ru_utime + ru_stime.
  long maxRssKiB = 0;
  long minorFaults = 0;
  double cpuSeconds = 0;
  // Its standard output, when captured.
  std::string output;
};

struct ChildOptions {
  // Set in the child's environment on top of this process's own.
  std::vector<std::pair<std::string, std::string>> environment;
  // The child's current folder; this process's own when empty.
  std::string workDir;
  // Captures standard output into ChildRun::output; else it goes to
  // /dev/null. Standard input is /dev/null, standard error is shared.
  bool captureOutput = false;
};

// Runs `argv` (argv[0] is the program's path) and waits for it.
ChildRun RunChild(const std::vector<std::string>& argv, const ChildOptions& options);

// The path of the running program, from /proc/self/exe.
std::string OwnPath();

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"), 0 when absent.
long ProcStatusKiB(const char* field);

// The median of `values` (the mean of the middle two for an even count).
double Median(std::vector<double> values);

// `given` when it is not empty, else a new folder under $TMPDIR (or /tmp)
// named `prefix` and six random characters; either way it exists after the
// call. Returns "" when no folder can be made.
std::string ScratchFolder(const std::string& given, const char* prefix);

#endif  // MODPUBLISH_BENCH_CHILD_PROCESS_H_
