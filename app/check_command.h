// modpublish-check: finds what would go wrong with a mod folder before
// anything is published. It reads the folder as modpublish would, but never
// loads the Steam client library and never writes a file.
#ifndef MODPUBLISH_APP_CHECK_COMMAND_H_
#define MODPUBLISH_APP_CHECK_COMMAND_H_

// The whole program. Takes modpublish's command line ("-s" and "-u <id>" are
// accepted and change nothing, so a publish command can be checked by
// changing the program name; a "-u" value that is not an item id is an
// error finding, "<program>: error: ..."); the mod folder is composed with
// the same separator. Prints on standard output the findings, one per line in the
// form "<file>:<line>: error: ..." or "<file>: warning: ...", then a
// summary of the upload, then "N errors, M warnings" ("1 error", "1
// warning" in the singular).
// Returns 0 when there is no error, 1 when there is one, 2 after the usage
// text (no path, "-h").
int RunModpublishCheck(int argc, const char* const* argv);

#endif  // MODPUBLISH_APP_CHECK_COMMAND_H_
