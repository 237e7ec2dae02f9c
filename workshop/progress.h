// The step progress line of an upload run: "[###   ] Step name..." with a
// bar of one "#" per step number, measured against a width fixed at the
// start of the run. The line is finished by the step's diagnostic and
// verdict, which the uploader writes.
#ifndef MODPUBLISH_WORKSHOP_PROGRESS_H_
#define MODPUBLISH_WORKSHOP_PROGRESS_H_

#include <cstddef>
#include <string>

// The bar width of a run over a description of `sectionCount` sections: 6,
// plus 5 per section (every section counts, also those no step is shown
// for), plus 1 when the run creates the item, less 1 when it sets no
// visibility. Saturates at INT32_MAX rather than wrap for absurd section
// counts.
int ProgressBarWidth(size_t sectionCount, bool createsItem, bool setsVisibility = true);

// Numbers the steps of one run and draws the opening of each step's line.
class StepProgress {
 public:
  explicit StepProgress(int barWidth) : barWidth_(barWidth) {}

  // Moves to the next step number k and returns the opening of its line:
  // "[", k "#", (width - k) spaces when k is below the width (none from
  // there on: the bar is never cut and the bracket moves right), "] ",
  // `stepName`, "...".
  std::string Next(const char* stepName);

  // Passes over `count` step numbers without drawing them.
  void Skip(int count) { step_ += count; }

  // The number of the last step drawn or skipped; 0 before the first.
  int Step() const { return step_; }

 private:
  int barWidth_;
  int step_ = 0;
};

#endif  // MODPUBLISH_WORKSHOP_PROGRESS_H_
