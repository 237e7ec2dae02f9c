#include "check/finding.h"

Severity SeverityOf(FindingKind kind) {
  // No default: a new kind that is left out here fails the build.
  switch (kind) {
    case FindingKind::kCommandLine:
    case FindingKind::kNoFolder:
    case FindingKind::kUncopyable:
    case FindingKind::kUnreadable:
    case FindingKind::kDescriptionUnread:
    case FindingKind::kSavedWrongly:
    case FindingKind::kMarkHidesText:
    case FindingKind::kPasted:
    case FindingKind::kBothTexts:
    case FindingKind::kFileUnread:
    case FindingKind::kDuplicateText:
    case FindingKind::kSkippedText:
    case FindingKind::kCtrlZ:
    case FindingKind::kNul:
    case FindingKind::kTooLong:
    case FindingKind::kKeyCase:
    case FindingKind::kPreviewRefused:
    case FindingKind::kClientLibrary:
    case FindingKind::kAppId:
    case FindingKind::kPageUnwritten:
      return Severity::kError;
    case FindingKind::kNoModFiles:
    case FindingKind::kStowaway:
    case FindingKind::kMarkAlone:
    case FindingKind::kTooShort:
    case FindingKind::kNotAHeader:
    case FindingKind::kComment:
    case FindingKind::kStrayText:
    case FindingKind::kDuplicateKey:
    case FindingKind::kHeaderWithoutKeys:
    case FindingKind::kEmptyTitle:
    case FindingKind::kNotUtf8:
    case FindingKind::kMarkup:
    case FindingKind::kMissingKey:
    case FindingKind::kNothingToUpload:
    case FindingKind::kPreviewNotSquare:
      return Severity::kWarning;
  }
  return Severity::kError;
}

std::string Count(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Bytes(uint64_t count) { return Count(count, "byte", "bytes"); }
