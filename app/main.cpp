#include "app/publish_command.h"
#include "console/console.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // Titles in any script show readably on a Windows console; a pipe or a
  // file gets the same bytes either way.
  platform::UseUtf8ConsoleOutput();
  const int status = RunModpublish(argc, argv);
  // A window of its own, from a folder dropped on the program, would close
  // with the result and the new item's id still unread.
  HoldWindowUntilEnter();
  return status;
}
