// Whether a program is alone on its console decides whether it holds its
// window open at the end, so it is asked of a program started the ways
// Explorer (a console of its own) and cmd (a console shared with cmd) start
// one.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace {

// Runs `commandLine` with the creation `flags`, its console window (if it
// gets one) hidden. Returns its exit status, or -1 when it can't be started
// or doesn't end within a minute.
long StartAndWait(std::string commandLine, DWORD flags) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  DWORD status = 0;
  const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(process.hProcess, &status);
  if (!ended) {
    TerminateProcess(process.hProcess, 99);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended ? static_cast<long>(status) : -1;
}

TEST(OnlyProcessOnConsoleTest, AloneOnlyInAConsoleOfItsOwn) {
  const std::string probe = "\"" + platform::ProgramFolder() + "alone_on_console_probe.exe\"";
  const struct {
    const char* name;
    std::string commandLine;
    DWORD flags;
    long alone;  // the probe's exit status
  } cases[] = {
      {"a console of its own, as after a double-click or a drop", probe, CREATE_NEW_CONSOLE, 1},
      {"run by cmd, which shares the console", "cmd.exe /d /c " + probe, CREATE_NEW_CONSOLE, 0},
      {"no console at all", probe, DETACHED_PROCESS, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StartAndWait(c.commandLine, c.flags), c.alone) << c.name << ": " << c.commandLine;
  }
}

}  // namespace
