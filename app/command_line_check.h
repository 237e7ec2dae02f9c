// modpublish-check's look at modpublish's command line: the arguments that
// would make modpublish publish another folder than the author meant, or
// nothing at all. The command line is read by modpublish's own parser
// (command_line.h); this only tells what came of it.
#ifndef MODPUBLISH_APP_COMMAND_LINE_CHECK_H_
#define MODPUBLISH_APP_COMMAND_LINE_CHECK_H_

#include <vector>

#include "app/command_line.h"
#include "check/finding.h"

// The findings about the arguments read into `settings` (`outcome` is
// kRun or kBadItemId), each a kCommandLine about the whole command line, in
// this order:
// - a value after "-u" that is not an item id (modpublish stops there);
// - a change note after "-c" that kChangeNoteLimit refuses (so does it);
// - "-s" as the last path candidate: given after the path, it is the path;
// - more than one path candidate besides "-s" (an unquoted path with a
//   space, an unknown option): names them, the one modpublish would use,
//   and says to quote the path;
// - when `namesHoldQuotes` is false (Windows), a path candidate holding
//   '"': the quote came from a backslash before the closing quote
//   ("C:\My Mods\x\""); says to drop that backslash.
// Arguments are shown with control bytes as \xNN.
std::vector<Diagnostic> CheckCommandLine(const RunSettings& settings, ParseOutcome outcome,
                                         bool namesHoldQuotes);

#endif  // MODPUBLISH_APP_COMMAND_LINE_CHECK_H_
