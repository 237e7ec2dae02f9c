// Exits with 1 when it is the only process attached to its console, 0 when
// it is not: the test of platform::IsOnlyProcessOnConsole starts it the
// ways Explorer and cmd start programs.
#include "platform/platform.h"

int main() { return platform::IsOnlyProcessOnConsole() ? 1 : 0; }
