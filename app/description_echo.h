// modpublish's verbose echo of the description file as it is read.
#ifndef MODPUBLISH_APP_DESCRIPTION_ECHO_H_
#define MODPUBLISH_APP_DESCRIPTION_ECHO_H_

#include "description/reader.h"

// Prints through Print "Parsing [%s]\n" with the new section name for every
// header line, and "[%s] %s = %s\n" (section, key, value) for every key
// line, a replacing one and one in the nameless section (shown as []) too.
// Skipped and ignored lines print nothing. Texts print up to a NUL byte of
// their own.
class DescriptionEcho : public DescriptionListener {
 public:
  bool OnLine(const DescriptionLine& line) override;
};

#endif  // MODPUBLISH_APP_DESCRIPTION_ECHO_H_
