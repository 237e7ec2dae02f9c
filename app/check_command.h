// modpublish-check: finds what would go wrong with a mod folder before
// anything is published. It reads the folder as modpublish would, but never
// loads the Steam client library and writes no file but the page it is
// asked for. The checks are check/folder_check.h's; this is the program
// around them: it reads the command line and prints their report.
#ifndef MODPUBLISH_APP_CHECK_COMMAND_H_
#define MODPUBLISH_APP_CHECK_COMMAND_H_

// The whole program. Takes modpublish's command line and reads it with
// modpublish's own parser, so a publish command can be checked by changing
// the program name: "-s" and "-u <id>" change no check, but what the
// arguments would make modpublish do wrong is an error finding about the
// command line, "<program>: error: ..." (app/command_line_check.h); the
// mod folder is composed with the same separator. Its own option "--page
// FILE" comes first, before modpublish's command line, and writes the
// item's page to FILE (check/page.h); a page that can't be written is an
// error about FILE.
// Prints on standard output the findings, one per line in the form
// "<file>:<line>: error: ..." or "<file>: warning: ...", then a summary of
// the upload (what the run leaves of the item among it, "Page: FILE" last
// when a page was written), then "N errors, M warnings", always in that
// form ("1 errors" too). Every path and argument printed has its control
// bytes shown as \xNN, so none of them can start a line of its own.
// Of each kind of finding at most 20 are printed, then a "note" line with
// the count of the others, which the last line counts all the same.
// Returns 0 when there is no error, 1 when there is one, 2 after the usage
// text (no path, "-h", "--page" without a file), and 2 after one line
// "<program>: error: ..." when the page would be written over a file of the
// mod or into the mod folder (check/page_target.h): nothing is written then. When memory runs out
// other than for the description itself (which is reported as an error), prints "Not enough memory
// to finish the check\n" and returns 1.
int RunModpublishCheck(int argc, const char* const* argv);

#endif  // MODPUBLISH_APP_CHECK_COMMAND_H_
