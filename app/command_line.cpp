#include "app/command_line.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "console/console.h"
#include "platform/platform.h"

#ifndef MODPUBLISH_VERSION
#define MODPUBLISH_VERSION "0.0.0"
#endif

bool ParseCommandLine(int argc, const char* const* argv, RunSettings& settings) {
  if (argc < 2) {
    return false;
  }
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (std::strcmp(argument, "-s") == 0) {
      settings.verbose = false;  // and it is a path candidate all the same
    }
    if (std::strcmp(argument, "-h") == 0) {
      return false;
    }
    if (std::strcmp(argument, "-u") == 0) {
      if (i + 1 == argc) {
        return false;
      }
      // strtoll reads exactly what atoll reads, but clamps out-of-range
      // values instead of leaving them undefined.
      settings.existingId = std::strtoll(argv[++i], nullptr, 10);
      continue;
    }
    // Everything else is a path candidate: a plain path, "-s", and any
    // option the tool doesn't know, unreported.
    settings.contentDir = argument;
  }
  return settings.contentDir != nullptr;
}

void PrintUsage(const char* programName) {
  Print("modpublish %s - publishes a game mod to the Steam Workshop\n", MODPUBLISH_VERSION);
  Print("Made by the modpublish developers\n");
  Print("\n");
  Print("Usage: %s [-s] [-u <steamfileid>] <path>\n", programName);
  Print("    -s - silent mode, only error is printed\n");
  Print("    -u - update existing mod, instead of uploading a new one\n");
  Print("    <path> is a directory that contains:\n");
  Print("        * descript.ion - ini-style description of mod, used both by game and this tool\n");
  Print("        * steam_logo.png - square PNG image of size <1Mb\n");
  Print("        * ... and your mod data, of course :3\n");
}

std::string ModFilePath(const char* folder, const char* name) {
  return std::string(folder) + platform::kPathSeparator + name;
}
