// The command line: [-s] [-k] [-c <note>] [-u <steamfileid>] <path>, plus
// the unlisted -h.
#ifndef MODPUBLISH_APP_COMMAND_LINE_H_
#define MODPUBLISH_APP_COMMAND_LINE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What one invocation asks for.
struct RunSettings {
  bool verbose = true;     // cleared by "-s"
  int64_t existingId = 0;  // the value after the last "-u"; 0 creates a new item
  // Set by "-k": an update leaves the item's visibility as it is.
  bool keepVisibility = false;
  // The value after the last "-c", the change note of every submission of
  // the run (bytes as given), or null for the default notes.
  const char* changeNote = nullptr;
  // Every path candidate, in the order given; the arguments themselves, not
  // copied.
  std::vector<const char*> pathCandidates;
  const char* contentDir = nullptr;  // the last path candidate
  // The first value after a "-u" that is not an item id (ParseItemId), or
  // null when there is none.
  const char* badItemId = nullptr;
};

// What the arguments ask for.
enum class ParseOutcome {
  kRun,        // a run with the settings read
  kUsage,      // the usage text instead
  kBadItemId,  // nothing: a value after "-u" is not an item id
};

// Reads the arguments (argv[1] to argv[argc - 1]) into `settings`.
//
// Options are whole, case-sensitive arguments. "-s" silences the run and is
// also a path candidate; "-k" keeps the visibility; any other argument that
// is not "-h", "-u" or "-c" is a path candidate, unknown options included,
// and the last one wins. "-u" and "-c" take the next argument whatever it is
// as their value; the last "-u" sets existingId, the last "-c" changeNote.
//
// Returns kUsage when the arguments describe no run: none at all, "-h"
// (later arguments are not looked at), a "-u" or "-c" without a value, or
// no path candidate. Otherwise kBadItemId when the value of any "-u" is not an item
// id, even if a later "-u" gives a good one: a mistyped id must not create
// a new item or update another; badItemId is the first such value. Else
// kRun. So the usage text wins over a bad value, wherever "-h" stands
// ("-u -h" is a value, though, and a bad one).
ParseOutcome ParseCommandLine(int argc, const char* const* argv, RunSettings& settings);

// Reads a Workshop item id. Accepted, with blanks (space, tab, CR, LF)
// around it:
// - decimal digits, 0 to 2^63 - 1; 0 stands for "create a new item";
// - the item's page address as modpublish prints it,
//   https://steamcommunity.com/sharedfiles/filedetails/?id=<digits>, or in
//   the Workshop's form, https://steamcommunity.com/workshop/filedetails/
//   ?id=<digits> (either also with http://), where the id field may stand
//   among other query fields (...?searchtext=&id=917); the id must be from
//   1 to 2^63 - 1 and the one id field of the query.
// No sign, no other text. Sets `id` and returns true, or returns false and
// leaves `id` alone.
bool ParseItemId(std::string_view text, int64_t& id);

// The line (without its line end) that tells that `value`, given after
// "-u", is not an item id: the value in quotes, control bytes shown as
// \xNN, and what an item id looks like.
std::string BadItemIdMessage(const char* value);

// Prints the twelve-line usage text through Print, naming `programName`.
void PrintUsage(const char* programName);

#endif  // MODPUBLISH_APP_COMMAND_LINE_H_
