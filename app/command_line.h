// The command line: [-s] [-u <steamfileid>] <path>, plus the unlisted -h.
#ifndef MODPUBLISH_APP_COMMAND_LINE_H_
#define MODPUBLISH_APP_COMMAND_LINE_H_

#include <cstdint>
#include <string>

// What one invocation asks for.
struct RunSettings {
  bool verbose = true;               // cleared by "-s"
  int64_t existingId = 0;            // the value after "-u"; 0 creates a new item
  const char* contentDir = nullptr;  // the last path candidate, not copied
};

// Reads the arguments (argv[1] to argv[argc - 1]) into `settings`. Returns
// true when they describe a run, false when the usage text is due instead
// (no arguments, "-h", a trailing "-u", no path candidate).
//
// Options are whole, case-sensitive arguments. "-s" silences the run and is
// also a path candidate; any other argument that is not "-h" or "-u" is a
// path candidate, unknown options included, and the last one wins. "-u"
// takes the next argument whatever it is, read as a decimal number the way
// atoll does, except that values beyond the 64-bit range are clamped to it.
bool ParseCommandLine(int argc, const char* const* argv, RunSettings& settings);

// The path of the file `name` in the mod folder `folder`: the folder as
// typed (no separator is added or removed), the platform's separator, the
// name. modpublish and modpublish-check both compose their paths so.
std::string ModFilePath(const char* folder, const char* name);

// Prints the ten-line usage text through Print, naming `programName`.
void PrintUsage(const char* programName);

#endif  // MODPUBLISH_APP_COMMAND_LINE_H_
