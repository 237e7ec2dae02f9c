#include "app/publish_command.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // Titles in any script show readably on a Windows console; a pipe or a
  // file gets the same bytes either way.
  platform::UseUtf8ConsoleOutput();
  return RunModpublish(argc, argv);
}
