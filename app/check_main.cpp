#include "app/check_command.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // Titles in any script show readably on a Windows console, as in modpublish.
  platform::UseUtf8ConsoleOutput();
  return RunModpublishCheck(argc, argv);
}
