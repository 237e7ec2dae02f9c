#include "steam_sim/scenario.h"

#include <fstream>
#include <limits>
#include <sstream>

#include "steam_sim/text.h"

namespace steam_sim {

namespace {

constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();
constexpr uint64_t kMax64 = std::numeric_limits<uint64_t>::max();

struct OperationEntry {
  Operation operation;
  const char* name;
};

constexpr OperationEntry kOperations[] = {
    {Operation::kSteamAPIInit, "SteamAPI_Init"},
    {Operation::kGetAppID, "GetAppID"},
    {Operation::kCreateItem, "CreateItem"},
    {Operation::kStartItemUpdate, "StartItemUpdate"},
    {Operation::kSetItemTitle, "SetItemTitle"},
    {Operation::kSetItemDescription, "SetItemDescription"},
    {Operation::kSetItemUpdateLanguage, "SetItemUpdateLanguage"},
    {Operation::kSetItemVisibility, "SetItemVisibility"},
    {Operation::kSetItemContent, "SetItemContent"},
    {Operation::kSetItemPreview, "SetItemPreview"},
    {Operation::kSubmitItemUpdate, "SubmitItemUpdate"},
};

// Each helper below returns what is wrong with a directive, or "" when it
// is fine.

std::string ReadNumber(std::string_view token, uint64_t min, uint64_t max, uint64_t* value) {
  if (!ParseUnsigned(token, value)) {
    return "bad number " + Quote(token);
  }
  if (*value < min || *value > max) {
    return "number " + std::string(token) + " is out of range " + std::to_string(min) + ".." +
           std::to_string(max);
  }
  return "";
}

std::string CheckValueCount(std::string_view name, size_t count, size_t min, size_t max) {
  if (count >= min && count <= max) {
    return "";
  }
  std::string wanted = std::to_string(min);
  if (max == min + 1) {
    wanted += " or " + std::to_string(max);
  } else if (max > min) {
    wanted += " or more";
  }
  return std::string(name) + " takes " + wanted + " value(s), not " + std::to_string(count);
}

std::string ReadList(const std::vector<std::string_view>& values, std::vector<uint64_t>* list) {
  for (std::string_view token : values) {
    uint64_t value = 0;
    std::string error = ReadNumber(token, 0, kMax64, &value);
    if (!error.empty()) {
      return error;
    }
    list->push_back(value);
  }
  return "";
}

std::string ReadPumps(const std::vector<std::string_view>& values,
                      std::vector<std::optional<uint64_t>>* pumps) {
  for (std::string_view token : values) {
    if (token == "never") {
      pumps->push_back(std::nullopt);
      continue;
    }
    uint64_t value = 0;
    std::string error = ReadNumber(token, 1, kMax64, &value);
    if (!error.empty()) {
      return error;
    }
    pumps->push_back(value);
  }
  return "";
}

std::string ReadFail(const std::vector<std::string_view>& values, Scenario* scenario) {
  const OperationEntry* entry = nullptr;
  for (const OperationEntry& candidate : kOperations) {
    if (values[0] == candidate.name) {
      entry = &candidate;
    }
  }
  if (entry == nullptr) {
    return "unknown operation " + Quote(values[0]);
  }
  if (values.size() == 1) {
    scenario->failAlways.insert(entry->operation);
    return "";
  }
  uint64_t call = 0;
  std::string error = ReadNumber(values[1], 1, kMax64, &call);
  if (error.empty()) {
    scenario->failOnCall.emplace(entry->operation, call);
  }
  return error;
}

// The readers of the directives that fill one field of the scenario.

template <std::vector<uint64_t> Scenario::*list>
std::string ReadListInto(const std::vector<std::string_view>& values, Scenario* scenario) {
  return ReadList(values, &(scenario->*list));
}

template <std::set<uint64_t> Scenario::*ordinals>
std::string ReadOrdinalInto(const std::vector<std::string_view>& values, Scenario* scenario) {
  uint64_t ordinal = 0;
  std::string error = ReadNumber(values[0], 1, kMax64, &ordinal);
  if (error.empty()) {
    (scenario->*ordinals).insert(ordinal);
  }
  return error;
}

// `field` is a 32-bit member of Scenario (plain or optional).
template <auto field>
std::string ReadUint32Into(const std::vector<std::string_view>& values, Scenario* scenario) {
  uint64_t number = 0;
  std::string error = ReadNumber(values[0], 0, kMax32, &number);
  if (error.empty()) {
    scenario->*field = static_cast<uint32_t>(number);
  }
  return error;
}

std::string ReadNullInterface(const std::vector<std::string_view>& values, Scenario* scenario) {
  scenario->nullInterfaces.emplace(values[0]);
  return "";
}

std::string ReadPumpsInto(const std::vector<std::string_view>& values, Scenario* scenario) {
  return ReadPumps(values, &scenario->pumps);
}

std::string ReadResult(const std::vector<std::string_view>& values, Scenario* scenario) {
  uint64_t ordinal = 0;
  uint64_t code = 0;
  std::string error = ReadNumber(values[0], 1, kMax64, &ordinal);
  if (error.empty()) {
    error = ReadNumber(values[1], 0, kMax32, &code);
  }
  if (error.empty()) {
    // The record's result field is a 32-bit enum: keep the bit pattern.
    scenario->results[ordinal] = static_cast<int32_t>(static_cast<uint32_t>(code));
  }
  return error;
}

// A directive: its name, how many values it takes, and the reader that
// stores them, called once their count is right.
struct Directive {
  const char* name;
  size_t minValues;
  size_t maxValues;
  std::string (*read)(const std::vector<std::string_view>& values, Scenario* scenario);
};

constexpr size_t kAnyCount = std::numeric_limits<size_t>::max();

constexpr Directive kDirectives[] = {
    {"init", 1, 1, ReadUint32Into<&Scenario::initResult>},
    {"app_id", 1, 1, ReadUint32Into<&Scenario::appId>},
    {"null_interface", 1, 1, ReadNullInterface},
    {"item_ids", 1, kAnyCount, ReadListInto<&Scenario::itemIds>},
    {"call_handles", 1, kAnyCount, ReadListInto<&Scenario::callHandles>},
    {"update_handles", 1, kAnyCount, ReadListInto<&Scenario::updateHandles>},
    {"pumps", 1, kAnyCount, ReadPumpsInto},
    {"fail", 1, 2, ReadFail},
    {"result", 2, 2, ReadResult},
    {"legal", 1, 1, ReadOrdinalInto<&Scenario::legal>},
    {"io_failure", 1, 1, ReadOrdinalInto<&Scenario::ioFailures>},
    {"stray", 1, 1, ReadOrdinalInto<&Scenario::strays>},
};

// Parses one directive: `name` followed by `values`.
std::string ParseDirective(std::string_view name, const std::vector<std::string_view>& values,
                           Scenario* scenario) {
  for (const Directive& directive : kDirectives) {
    if (name == directive.name) {
      std::string error =
          CheckValueCount(name, values.size(), directive.minValues, directive.maxValues);
      return error.empty() ? directive.read(values, scenario) : error;
    }
  }
  return "unknown directive " + Quote(name);
}

}  // namespace

const char* OperationName(Operation operation) {
  for (const OperationEntry& entry : kOperations) {
    if (entry.operation == operation) {
      return entry.name;
    }
  }
  return "?";
}

bool Scenario::Fails(Operation operation, uint64_t call) const {
  return failAlways.count(operation) != 0 || failOnCall.count({operation, call}) != 0;
}

bool ParseScenario(std::string_view text, const std::string& fileName, Scenario* scenario,
                   std::string* error) {
  Scenario parsed;
  size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    std::vector<std::string_view> tokens = SplitTokens(line);
    if (tokens.empty() || tokens[0].front() == '#') {
      continue;
    }
    const std::string_view name = tokens[0];
    tokens.erase(tokens.begin());
    std::string problem = ParseDirective(name, tokens, &parsed);
    if (!problem.empty()) {
      *error = fileName;
      *error += ":" + std::to_string(lineNumber) + ": " + problem;
      return false;
    }
  }
  *scenario = std::move(parsed);
  return true;
}

bool LoadScenario(const std::filesystem::path& path, Scenario* scenario, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) {
    text << file.rdbuf();
  }
  std::error_code ignored;
  if (!file || std::filesystem::is_directory(path, ignored)) {
    *error = "cannot read the scenario file " + path.u8string();
    return false;
  }
  return ParseScenario(text.str(), path.u8string(), scenario, error);
}

}  // namespace steam_sim
