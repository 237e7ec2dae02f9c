// What every check of modpublish-check returns: findings about files, each
// of a kind, and each kind of one severity.
//
// How serious a finding is follows one rule: an error is anything that
// makes modpublish fail, or leaves text the author wrote off Steam; a
// warning is anything that would look wrong but loses nothing. SeverityOf
// applies it to each kind once, so no check decides it where it finds.
#ifndef MODPUBLISH_CHECK_FINDING_H_
#define MODPUBLISH_CHECK_FINDING_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class Severity : uint8_t { kWarning, kError };

// The kinds of findings. Of some kinds a check shows only the first few
// and one note that counts the rest, so a kind is one severity throughout.
enum class FindingKind : uint8_t {
  // The command lines, modpublish's and the checker's own.
  kCommandLine,
  // The mod folder and its content.
  kNoFolder,    // the path names no folder
  kNoModFiles,  // nothing but descript.ion and the preview
  kUncopyable,  // pipes, devices, links that lead nowhere or in a circle
  kUnreadable,  // a file that can't be read, a folder that can't be listed
  kStowaway,    // a version-control folder, a file the system makes
  // descript.ion and the description files.
  kDescriptionUnread,  // descript.ion missing, no file, unreadable, too big
  kSavedWrongly,       // saved as UTF-16, or with lines ended by a CR alone
  kMarkHidesText,      // a byte-order mark hides the header of a title or description
  kMarkAlone,          // a byte-order mark that hides nothing of Steam's
  kTooShort,           // a line of one byte
  kNotAHeader,         // a header with something after its "]"
  kComment,
  kStrayText,
  kPasted,         // a description pasted over several lines
  kBothTexts,      // a description beside a description file
  kFileUnread,     // a description file that can't be read
  kDuplicateText,  // a title or description set twice
  kDuplicateKey,   // another key set twice
  kHeaderWithoutKeys,
  kSkippedText,  // a skipped section that holds a title or description
  kCtrlZ,        // a Ctrl-Z with text after it
  kNul,          // a NUL byte in a title or description
  kTooLong,      // a title or description over Steam's limit
  kEmptyTitle,
  kNotUtf8,
  kMarkup,      // a mistake in Steam's markup
  kKeyCase,     // a text's key in another letter case
  kMissingKey,  // no title or description key
  kNothingToUpload,
  // The files beside the mod.
  kPreviewRefused,  // missing, unreadable, too big, no picture Steam takes
  kPreviewNotSquare,
  kClientLibrary,  // anything that keeps modpublish from loading it
  kAppId,
  kPageUnwritten,  // the page of --page can't be written
};
constexpr size_t kFindingKinds = static_cast<size_t>(FindingKind::kPageUnwritten) + 1;

// Of a kind that can come many times, a check shows the first this many
// and one note that counts the rest.
constexpr size_t kShownPerKind = 20;

// The one table from kind to severity.
Severity SeverityOf(FindingKind kind);

// One finding about one file.
struct Diagnostic {
  uint64_t line = 0;  // 1-based; 0 for a finding about the whole file
  FindingKind kind = FindingKind::kCommandLine;
  std::string message;  // one line, without its line end
  // Not 0: this is no finding but a note that stands for `hidden` more
  // findings of `kind` that are counted but not shown.
  uint64_t hidden = 0;

  bool error() const { return SeverityOf(kind) == Severity::kError; }
};

// The findings about one file, under its name as given or found.
struct FileFindings {
  std::string file;
  std::vector<Diagnostic> diagnostics;
};

// `count` and its noun, for a message: "1 byte", "2 bytes" (`one` "byte",
// `many` "bytes").
std::string Count(uint64_t count, const char* one, const char* many);

// The size of a file or a text, for a message: Count(count, "byte", "bytes").
std::string Bytes(uint64_t count);

#endif  // MODPUBLISH_CHECK_FINDING_H_
