#include <windows.h>

#include <cstdlib>

#include "steam_sim/test_platform.h"

namespace steam_sim_test {

namespace {

std::wstring Widen(const std::string& text) {
  std::wstring wide;
  for (char c : text) {
    wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  }
  return wide;
}

// `text` as one argument for cmd.exe and the C runtime (no quotes or
// trailing backslashes in the test's own paths and words).
std::string CommandWord(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

void* LoadSharedLibrary(const std::string& path) {
  return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
}

void* FindExport(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

// The wide table is the one the library reads; the C runtime keeps the
// narrow one in step.
void SetEnvironment(const char* name, const std::string& value) {
  _wputenv_s(Widen(name).c_str(), Widen(value).c_str());
}

void UnsetEnvironment(const char* name) { _wputenv_s(Widen(name).c_str(), L""); }

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& output) {
  std::string command = CommandWord(program);
  for (const std::string& argument : arguments) {
    command += " " + CommandWord(argument);
  }
  command += " > " + CommandWord(output.string());
  // cmd.exe /c drops the first and the last quote of a line that has more
  // than two: wrap the line in one more pair.
  return std::system(("\"" + command + "\"").c_str());
}

}  // namespace steam_sim_test
