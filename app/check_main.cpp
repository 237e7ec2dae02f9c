#include "app/check_command.h"
#include "console/console.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // Titles in any script show readably on a Windows console, as in modpublish.
  platform::UseUtf8ConsoleOutput();
  const int status = RunModpublishCheck(argc, argv);
  // As in modpublish: a window of its own stays until its findings are read.
  HoldWindowUntilEnter();
  return status;
}
