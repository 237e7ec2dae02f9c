// The two result handlers of the uploader, fed hand-made records.
#include <gtest/gtest.h>

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
    {"CodeZero", true, false, 0, 0, "<result NONE, id is 917>", "<result NONE>", false, true},
    {"UnknownCode", true, false, 0, 107, "<result UNKNOWN, id is 917>", "<result UNKNOWN>", false,
     true},
    {"NegativeCode", true, false, 0, -1, "<result UNKNOWN, id is 917>", "<result UNKNOWN>", false,
     true},
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

class HandlerTest : public testing::TestWithParam<HandlerCase> {};

TEST_P(HandlerTest, CreationResult) {
  const HandlerCase& c = GetParam();
  SteamUploader uploader(true);
  uploader.publishedFileId = 5;
  uploader.itemCreated = true;  // a handler always decides the flag afresh
  CreateItemResult_t record{};
  record.m_eResult = c.code;
  record.m_nPublishedFileId = 917;
  record.m_bUserNeedsToAcceptWorkshopLegalAgreement = c.legal;
  testing::internal::CaptureStdout();
  uploader.OnItemCreated(c.hasRecord ? &record : nullptr, c.ioFailure);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), c.createdText);
  EXPECT_EQ(uploader.itemCreated, c.flag);
  EXPECT_EQ(uploader.publishedFileId, c.takesId ? 917u : 5u);
}

TEST_P(HandlerTest, SubmissionResult) {
  const HandlerCase& c = GetParam();
  SteamUploader uploader(true);
  uploader.publishedFileId = 5;
  uploader.updateSubmitted = true;
  SubmitItemUpdateResult_t record{};
  record.m_eResult = c.code;
  record.m_nPublishedFileId = 917;
  record.m_bUserNeedsToAcceptWorkshopLegalAgreement = c.legal;
  testing::internal::CaptureStdout();
  uploader.OnItemUpdateSubmitted(c.hasRecord ? &record : nullptr, c.ioFailure);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), c.submittedText);
  EXPECT_EQ(uploader.updateSubmitted, c.flag);
  EXPECT_EQ(uploader.publishedFileId, 5u) << "a submission never changes the item";
}

TEST_P(HandlerTest, SilentModeSetsTheSameFlagsAndPrintsNothing) {
  const HandlerCase& c = GetParam();
  SteamUploader uploader(false);
  CreateItemResult_t created{};
  created.m_eResult = c.code;
  created.m_nPublishedFileId = 917;
  created.m_bUserNeedsToAcceptWorkshopLegalAgreement = c.legal;
  SubmitItemUpdateResult_t submitted{};
  submitted.m_eResult = c.code;
  submitted.m_bUserNeedsToAcceptWorkshopLegalAgreement = c.legal;
  testing::internal::CaptureStdout();
  uploader.OnItemCreated(c.hasRecord ? &created : nullptr, c.ioFailure);
  uploader.OnItemUpdateSubmitted(c.hasRecord ? &submitted : nullptr, c.ioFailure);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(uploader.itemCreated, c.flag);
  EXPECT_EQ(uploader.updateSubmitted, c.flag);
  EXPECT_EQ(uploader.publishedFileId, c.takesId ? 917u : 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryRow, HandlerTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HandlerCase>& row) {
                           return std::string(row.param.name);
                         });

TEST(LogTest, SilentModeIsAClosedGate) {
  SteamUploader silent(false);
  SteamUploader verbose(true);
  testing::internal::CaptureStdout();
  EXPECT_EQ(silent.Log("%s %d\n", "anything", 42), 0);
  EXPECT_EQ(verbose.Log("%s %d\n", "shown", 7), 8);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "shown 7\n");
}

}  // namespace
