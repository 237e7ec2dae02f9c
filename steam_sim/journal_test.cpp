// The journal file itself; what the library writes into it is tested with
// each operation.
#include "steam_sim/journal.h"

#include <gtest/gtest.h>

#include <string>

#include "steam_sim/sim_fixture.h"

namespace steam_sim_test {
namespace {

using JournalTest = SimTest;

TEST_F(JournalTest, BuildsLinesOnlyWhileOpenAndAppendsAcrossOpens) {
  steam_sim::Journal journal;
  int built = 0;
  const auto line = [&built] {
    ++built;
    return "line " + std::to_string(built);
  };
  journal.Write(line);
  EXPECT_EQ(built, 0) << "no journal, so no line may be built";

  std::string error;
  ASSERT_TRUE(journal.Open(journal_, &error)) << error;
  journal.Write(line);
  ASSERT_TRUE(journal.Open(journal_, &error)) << error;  // appends, as each init does
  journal.Write(line);
  journal.Close();
  journal.Write(line);
  EXPECT_EQ(built, 2);
  EXPECT_EQ(ReadFile(journal_), "line 1\nline 2\n");

  EXPECT_FALSE(journal.Open(root_ / "no such folder" / "journal.txt", &error));
  EXPECT_NE(error.find("cannot open the journal"), std::string::npos) << error;
  journal.Write(line);
  EXPECT_EQ(built, 2) << "a journal that failed to open stays closed";
}

}  // namespace
}  // namespace steam_sim_test
