#include "bench/child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

extern char** environ;

namespace {

// The environment for the child as "NAME=value" strings, built before
// fork() so the child only calls async-signal-safe functions.
std::vector<std::string> ChildEnvironment(
    const std::vector<std::pair<std::string, std::string>>& overrides) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const bool overridden =
        std::any_of(overrides.begin(), overrides.end(), [&text](const auto& item) {
          return text.compare(0, item.first.size() + 1, item.first + "=") == 0;
        });
    if (!overridden) {
      entries.push_back(text);
    }
  }
  for (const auto& [name, value] : overrides) {
    entries.push_back(name);
    entries.back().append("=").append(value);
  }
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (std::string& text : strings) {
    pointers.push_back(text.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ChildRun RunChild(const std::vector<std::string>& argv, const ChildOptions& options) {
  ChildRun run;
  std::vector<std::string> arguments = argv;
  std::vector<std::string> environment = ChildEnvironment(options.environment);
  std::vector<char*> argumentPointers = Pointers(arguments);
  std::vector<char*> environmentPointers = Pointers(environment);

  int pipeEnds[2] = {-1, -1};
  if (options.captureOutput && pipe2(pipeEnds, O_CLOEXEC) != 0) {
    return run;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int input = open("/dev/null", O_RDONLY);
    const int output = options.captureOutput ? pipeEnds[1] : open("/dev/null", O_WRONLY);
    if (input < 0 || output < 0 || dup2(input, STDIN_FILENO) < 0 ||
        dup2(output, STDOUT_FILENO) < 0 ||
        (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0)) {
      _exit(127);
    }
    execve(argumentPointers[0], argumentPointers.data(), environmentPointers.data());
    _exit(127);
  }
  if (options.captureOutput) {
    close(pipeEnds[1]);
    if (pid > 0) {
      char buffer[4096];
      for (;;) {
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got > 0) {
          run.output.append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
          break;
        }
      }
    }
    close(pipeEnds[0]);
  }
  if (pid < 0) {
    return run;
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.maxRssKiB = usage.ru_maxrss;
  run.minorFaults = usage.ru_minflt;
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return run;
}

std::string OwnPath() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  path.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return path;
}

long ProcStatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  const std::string prefix = std::string(field) + ":";
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) {
      return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    }
  }
  return 0;
}

double Median(std::vector<double> values) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string ScratchFolder(const std::string& given, const char* prefix) {
  std::string folder = given;
  if (folder.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    folder = std::string(tmp != nullptr ? tmp : "/tmp") + "/" + prefix + ".XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) {
      return std::string();
    }
  }
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}
