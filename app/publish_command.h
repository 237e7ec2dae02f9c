// modpublish: publishes a mod folder to the Steam Workshop.
#ifndef MODPUBLISH_APP_PUBLISH_COMMAND_H_
#define MODPUBLISH_APP_PUBLISH_COMMAND_H_

// The whole program: parses the arguments, reads the description file
// (echoing it in verbose mode) and runs the upload. Returns the process exit
// status: 0 after the usage text and after every run; 1 when the description
// file can't be read, after "File not found: %s\n" with its path (missing,
// not a regular file, unreadable), and also 1, after "Not enough memory to
// read %s\n", when it doesn't fit in memory. Steam is never touched in
// those cases.
int RunModpublish(int argc, const char* const* argv);

#endif  // MODPUBLISH_APP_PUBLISH_COMMAND_H_
