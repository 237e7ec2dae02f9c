// The two result handlers of the uploader, fed hand-made records.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "workshop/uploader.h"

namespace {

struct HandlerCase {
  const char* name;
  bool hasRecord;
  bool ioFailure;
  uint8_t legal;
  int32_t code;
  const char* createdText;    // what OnItemCreated logs
  const char* submittedText;  // what OnItemUpdateSubmitted logs
  bool flag;
  bool takesId;  // whether OnItemCreated stores the record's item id
};

const HandlerCase kCases[] = {
    {"Success", true, false, 0, 1, "<result success, id is 917>", "<result success>", true, true},
    {"OtherCode", true, false, 0, 9, "<result file was not found, id is 917>",
     "<result file was not found>", false, true},
    {"LegalAgreementWithSuccess", true, false, 1, 1,
     "<Workshop Legal agreement need to be accepted>",
     "<Workshop Legal agreement need to be accepted>", false, false},
    {"LegalFlagAnyNonZeroByte", true, false, 0x80, 1,
     "<Workshop Legal agreement need to be accepted>",
     "<Workshop Legal agreement need to be accepted>", false, false},
    {"IoFailureWithRecord", true, true, 0, 1, "<failed to get async call result>",
     "<failed to get async call result>", false, false},
    {"NoRecord", false, false, 0, 1, "<failed to get async call result>",
     "<failed to get async call result>", false, false},
};

// The row's name, for CTest's name of the test, the same in every build.
void PrintTo(const HandlerCase& c, std::ostream* out) { *out << c.name; }

class HandlerTest : public testing::TestWithParam<HandlerCase> {};

// The record of either result that Steam would deliver for row `c`.
template <typename Record>
Record RecordOf(const HandlerCase& c) {
  Record record{};
  record.m_eResult = c.code;
  record.m_nPublishedFileId = 917;
  record.m_bUserNeedsToAcceptWorkshopLegalAgreement = c.legal;
  return record;
}

// Silent or not, the flags are the same; only the verbose run says why.
TEST_P(HandlerTest, SetsTheFlagAndSaysWhyInVerboseModeOnly) {
  const HandlerCase& c = GetParam();
  for (bool verbose : {true, false}) {
    SCOPED_TRACE(verbose ? "verbose" : "silent");
    SteamUploader uploader(verbose);
    uploader.publishedFileId = 5;
    uploader.itemCreated = uploader.updateSubmitted = true;  // a handler decides afresh
    auto submitted = RecordOf<SubmitItemUpdateResult_t>(c);
    testing::internal::CaptureStdout();
    uploader.OnItemUpdateSubmitted(c.hasRecord ? &submitted : nullptr, c.ioFailure);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), verbose ? c.submittedText : "");
    EXPECT_EQ(uploader.updateSubmitted, c.flag);
    EXPECT_EQ(uploader.publishedFileId, 5u) << "a submission never changes the item";
    auto created = RecordOf<CreateItemResult_t>(c);
    testing::internal::CaptureStdout();
    uploader.OnItemCreated(c.hasRecord ? &created : nullptr, c.ioFailure);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), verbose ? c.createdText : "");
    EXPECT_EQ(uploader.itemCreated, c.flag);
    EXPECT_EQ(uploader.publishedFileId, c.takesId ? 917u : 5u);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryRow, HandlerTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HandlerCase>& row) {
                           return std::string(row.param.name);
                         });

}  // namespace
