#include "check/check_command.h"

int main(int argc, char** argv) { return RunModpublishCheck(argc, argv); }
