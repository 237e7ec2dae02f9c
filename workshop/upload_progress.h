// The progress of a pending submission, as the step's line shows it on a
// terminal after the call handle:
//   [#########   ] Submiting item update with SteamUGC...<3ea> uploading
//   content: 124.5 MB of 382.0 MB (32%), 5.1 MB/s
// redrawn in place while the result is pending and taken away before the
// result is printed. Off a terminal, and in silent mode, nothing of it is
// printed and the wait's dots come as they always did.
#ifndef MODPUBLISH_WORKSHOP_UPLOAD_PROGRESS_H_
#define MODPUBLISH_WORKSHOP_UPLOAD_PROGRESS_H_

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "console/console.h"
#include "workshop/steam_api.h"

// The words and figures of one reading of GetItemUpdateProgress, with a
// leading space: " preparing", " committing", and while bytes go up
// " uploading content: 124.5 MB of 382.0 MB (32%), 5.1 MB/s" (the
// preview's likewise), without the rate while `bytesPerSecond` is unknown
// and without figures while `total` is 0. Sizes are in units of 1024 (B, KB,
// MB, GB) with one decimal cut, not rounded, so nothing shows done before
// it is; both sizes take the unit of the total. "" for the invalid status
// and for any status it has no words for.
std::string ProgressText(EItemUpdateStatus status, uint64_t processed, uint64_t total,
                         std::optional<uint64_t> bytesPerSecond);

// Turns the readings of one submission's progress into the text to draw,
// and says when: at most every kRedrawMilliseconds, and only when the text
// changes. The rate is that of the last few seconds of the transfer under
// way (content or preview), known after a second of it.
class ProgressSampler {
 public:
  static constexpr uint64_t kRedrawMilliseconds = 250;

  // Takes the reading made at `milliseconds` (of any steady clock, never
  // going back). Returns the text to show from now on ("" for none), or
  // nothing when what shows stays.
  std::optional<std::string> Sample(uint64_t milliseconds, EItemUpdateStatus status,
                                    uint64_t processed, uint64_t total);

 private:
  struct Reading {
    uint64_t milliseconds;
    uint64_t processed;
  };

  // The transfer the readings belong to; a new one starts the rate afresh.
  EItemUpdateStatus status_ = k_EItemUpdateStatusInvalid;
  uint64_t total_ = 0;
  std::deque<Reading> readings_;
  std::optional<uint64_t> drawnAt_;
  std::string shown_;
};

// The live part of the step's line: the progress text, and the wait's dots
// held back while it shows, so that the line ends up as a pipe gets it.
class SubmissionProgressLine {
 public:
  // Shows `text` in place of what shows ("" takes it away; the dots held
  // back come out then). Off a terminal it shows nothing.
  void Show(const std::string& text);
  // One dot of the wait: printed, or held back while a text shows.
  void Dot();
  // Takes the text away and prints the dots held back.
  void Finish();

 private:
  LiveText live_;
  uint64_t heldDots_ = 0;
};

#endif  // MODPUBLISH_WORKSHOP_UPLOAD_PROGRESS_H_
