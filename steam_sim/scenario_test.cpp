#include "steam_sim/scenario.h"

#include <gtest/gtest.h>

#include <string>

namespace steam_sim {
namespace {

Scenario Parse(const std::string& text) {
  Scenario scenario;
  std::string error;
  EXPECT_TRUE(ParseScenario(text, "s.txt", &scenario, &error)) << error;
  return scenario;
}

TEST(ScenarioTest, ReadsEveryDirective) {
  const Scenario s = Parse(
      "# a comment\n"
      "\n"
      "   # an indented comment\n"
      "init 3\r\n"
      "app_id\t0x10\n"
      "null_interface STEAMUGC_INTERFACE_VERSION020\n"
      "item_ids 917 918\n"
      "item_ids 919\n"
      "call_handles 0x8000000000000000\n"
      "update_handles 11 12\n"
      "pumps 2 never 1\n"
      "fail SetItemTitle\n"
      "fail SubmitItemUpdate 2\n"
      "result 1 25\n"
      "result 2 0xFFFFFFFF\n"
      "legal 2\n"
      "io_failure 3\n"
      "stray 1");
  EXPECT_EQ(s.initResult, 3U);
  EXPECT_EQ(s.appId, 16U);
  EXPECT_EQ(s.nullInterfaces, std::set<std::string>{"STEAMUGC_INTERFACE_VERSION020"});
  EXPECT_EQ(s.itemIds, (std::vector<uint64_t>{917, 918, 919}));
  EXPECT_EQ(s.callHandles, std::vector<uint64_t>{0x8000000000000000ULL});
  EXPECT_EQ(s.updateHandles, (std::vector<uint64_t>{11, 12}));
  EXPECT_EQ(s.pumps, (std::vector<std::optional<uint64_t>>{2, std::nullopt, 1}));
  EXPECT_TRUE(s.Fails(Operation::kSetItemTitle, 1));
  EXPECT_TRUE(s.Fails(Operation::kSetItemTitle, 7));
  EXPECT_FALSE(s.Fails(Operation::kSubmitItemUpdate, 1));
  EXPECT_TRUE(s.Fails(Operation::kSubmitItemUpdate, 2));
  EXPECT_FALSE(s.Fails(Operation::kSubmitItemUpdate, 3));
  EXPECT_FALSE(s.Fails(Operation::kSetItemDescription, 1));
  EXPECT_EQ(s.results, (std::map<uint64_t, int32_t>{{1, 25}, {2, -1}}));
  EXPECT_EQ(s.legal, std::set<uint64_t>{2});
  EXPECT_EQ(s.ioFailures, std::set<uint64_t>{3});
  EXPECT_EQ(s.strays, std::set<uint64_t>{1});
}

TEST(ScenarioTest, NamesFileLineAndProblem) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"app_id 1\nbogus 1", R"(s.txt:2: unknown directive "bogus")"},
      {"pumps 1 x", R"(s.txt:1: bad number "x")"},
      {"pumps 0", "s.txt:1: number 0 is out of range 1..18446744073709551615"},
      {"app_id 0x100000000", "s.txt:1: number 0x100000000 is out of range 0..4294967295"},
      {"app_id", "s.txt:1: app_id takes 1 value(s), not 0"},
      {"app_id 1 2", "s.txt:1: app_id takes 1 value(s), not 2"},
      {"item_ids", "s.txt:1: item_ids takes 1 or more value(s), not 0"},
      {"fail CreateItem 1 2", "s.txt:1: fail takes 1 or 2 value(s), not 3"},
      {"fail createitem", R"(s.txt:1: unknown operation "createitem")"},
      {"legal 0", "s.txt:1: number 0 is out of range 1..18446744073709551615"},
      {"result 1", "s.txt:1: result takes 2 value(s), not 1"},
      {"call_handles 18446744073709551616", R"(s.txt:1: bad number "18446744073709551616")"},
      {"app_id 1 # trailing comment", "s.txt:1: app_id takes 1 value(s), not 4"},
  };
  for (const auto& c : cases) {
    Scenario scenario;
    std::string error;
    EXPECT_FALSE(ParseScenario(c.text, "s.txt", &scenario, &error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
}  // namespace steam_sim
