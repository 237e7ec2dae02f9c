#include "steam_sim/workshop.h"

#include <fstream>
#include <limits>
#include <sstream>
#include <utility>

#include "steam_sim/sim_platform.h"
#include "steam_sim/text.h"

namespace steam_sim {

namespace fs = std::filesystem;

namespace {

constexpr char kItemFileName[] = "item.txt";
constexpr char kContentFolderName[] = "content";
constexpr char kPreviewFolderName[] = "preview";

bool IsDecimal(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

// The number of a folder named "r<decimal>", or nullopt for any other name.
std::optional<uint64_t> RevisionNumber(const fs::path& folder) {
  const std::string name = folder.filename().u8string();
  uint64_t number = 0;
  if (name.size() < 2 || name[0] != 'r' || !IsDecimal(name.substr(1)) ||
      !ParseUnsigned(name.substr(1), &number)) {
    return std::nullopt;
  }
  return number;
}

bool WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  file.close();
  return !file.fail();
}

bool ReadFile(const fs::path& path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  *bytes = text.str();
  return !file.bad();
}

// A folder under staging/ that is deleted with everything in it when the
// scope ends, unless Keep() says it has been renamed into place.
class StagingFolder {
 public:
  explicit StagingFolder(fs::path path) : path_(std::move(path)) {}
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  ~StagingFolder() {
    if (!path_.empty()) {
      std::error_code ignored;
      fs::remove_all(path_, ignored);
    }
  }

  const fs::path& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  fs::path path_;
};

// Reads a 32-bit field written as its unsigned bit pattern.
bool ParseField32(std::string_view token, uint32_t* value) {
  uint64_t number = 0;
  if (!ParseUnsigned(token, &number) || number > std::numeric_limits<uint32_t>::max()) {
    return false;
  }
  *value = static_cast<uint32_t>(number);
  return true;
}

// Applies one item.txt line to `item`; `seen` collects the keys met.
bool ParseItemLine(const std::vector<std::string_view>& tokens, WorkshopItem* item,
                   std::map<std::string, int>* seen) {
  const std::string_view key = tokens[0];
  ++(*seen)[std::string(key)];
  uint32_t value = 0;
  if (key == "id") {
    return tokens.size() == 2 && ParseUnsigned(tokens[1], &item->id);
  }
  if (key == "app" || key == "type" || key == "visibility") {
    if (tokens.size() != 2 || !ParseField32(tokens[1], &value)) {
      return false;
    }
    if (key == "app") {
      item->app = value;
    } else if (key == "type") {
      item->fileType = static_cast<int32_t>(value);
    } else {
      item->visibility = static_cast<int32_t>(value);
    }
    return true;
  }
  std::string first;
  std::string second;
  if (key == "title" || key == "description") {
    if (tokens.size() != 3 || !Unquote(tokens[1], &first) || !Unquote(tokens[2], &second)) {
      return false;
    }
    (key == "title" ? item->titles : item->descriptions)[first] = second;
    return true;
  }
  if (key == "preview" || key == "change") {
    if (tokens.size() != 2 || !Unquote(tokens[1], &first)) {
      return false;
    }
    if (key == "preview") {
      item->preview = first;
    } else {
      item->changeNotes.push_back(first);
    }
    return true;
  }
  return false;
}

}  // namespace

std::string FormatItemFile(const WorkshopItem& item) {
  std::string out;
  out += "id " + std::to_string(item.id) + "\n";
  out += "app " + std::to_string(item.app) + "\n";
  out += "type " + std::to_string(static_cast<uint32_t>(item.fileType)) + "\n";
  out += "visibility " + std::to_string(static_cast<uint32_t>(item.visibility)) + "\n";
  for (const auto& [language, title] : item.titles) {
    out += "title " + Quote(language) + " " + Quote(title) + "\n";
  }
  for (const auto& [language, description] : item.descriptions) {
    out += "description " + Quote(language) + " " + Quote(description) + "\n";
  }
  if (!item.preview.empty()) {
    out += "preview " + Quote(item.preview) + "\n";
  }
  for (const std::string& note : item.changeNotes) {
    out += "change " + Quote(note) + "\n";
  }
  return out;
}

bool ParseItemFile(std::string_view text, WorkshopItem* item) {
  WorkshopItem parsed;
  std::map<std::string, int> seen;
  std::vector<std::string_view> tokens;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      return false;  // every line ends in LF; a cut-off file is damaged
    }
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!SplitQuotedTokens(line, &tokens) || tokens.empty() ||
        !ParseItemLine(tokens, &parsed, &seen)) {
      return false;
    }
  }
  for (const char* key : {"id", "app", "type", "visibility"}) {
    if (seen[key] != 1) {
      return false;
    }
  }
  if (seen["preview"] > 1) {
    return false;
  }
  *item = std::move(parsed);
  return true;
}

Workshop::Workshop(fs::path root) : root_(std::move(root)) {}

PublishedFileId Workshop::NextFreeId() const {
  PublishedFileId highest = 0;
  std::error_code error;
  for (fs::directory_iterator it(root_ / "items", error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().u8string();
    uint64_t id = 0;
    if (IsDecimal(name) && ParseUnsigned(name, &id) && id > highest) {
      highest = id;
    }
  }
  return highest + 1;
}

int32_t Workshop::CreateItem(PublishedFileId id, AppId app, int32_t fileType) {
  try {
    const fs::path folder = ItemFolder(id);
    std::error_code error;
    if (fs::exists(folder, error) || error) {
      return kResultFail;
    }
    WorkshopItem item;
    item.id = id;
    item.app = app;
    item.fileType = fileType;
    StagingFolder staging(NewStagingName());
    const fs::path revision = staging.Path() / "r1";
    fs::create_directories(revision, error);
    if (error || !WriteFile(revision / kItemFileName, FormatItemFile(item))) {
      return kResultFail;
    }
    fs::create_directories(root_ / "items", error);
    if (!error) {
      fs::rename(staging.Path(), folder, error);
    }
    if (error) {
      return kResultFail;
    }
    staging.Keep();
    TidyStaging();
    return kResultOk;
  } catch (const std::exception&) {
    // Out of memory, or a path the platform can't represent.
    return kResultFail;
  }
}

int32_t Workshop::SubmitUpdate(const ItemUpdate& update, AppId runningApp) {
  try {
    return ApplyUpdate(update, runningApp);
  } catch (const std::exception&) {
    return kResultFail;
  }
}

int32_t Workshop::ApplyUpdate(const ItemUpdate& update, AppId runningApp) {
  uint64_t liveNumber = 0;
  const fs::path live = LiveRevision(update.item, &liveNumber);
  if (live.empty()) {
    return kResultFileNotFound;
  }
  WorkshopItem item;
  std::string text;
  if (!ReadFile(live / kItemFileName, &text) || !ParseItemFile(text, &item) ||
      item.id != update.item) {
    return kResultFail;
  }
  if (item.app != update.app || update.app != runningApp) {
    return kResultAccessDenied;
  }
  if ((update.title && update.title->size() > kMaxTitleBytes) ||
      (update.description && update.description->size() > kMaxDescriptionBytes) ||
      update.changeNote.size() > kMaxChangeNoteBytes) {
    return kResultInvalidParam;
  }

  // Where the new revision's content and preview come from: the update, or
  // else the live revision, since an update that doesn't mention them keeps
  // them.
  std::error_code error;
  fs::path content;
  if (update.contentFolder) {
    content = fs::u8path(*update.contentFolder);
    // A folder typed with a trailing separator (mod\ or mod/) names the same
    // folder, but the recursive copy of libstdc++ on Windows trips over it.
    if (!content.has_filename() && content.has_relative_path()) {
      content = content.parent_path();
    }
    if (!fs::is_directory(content, error)) {
      return kResultFileNotFound;
    }
  } else if (fs::is_directory(live / kContentFolderName, error)) {
    content = live / kContentFolderName;
  }
  fs::path preview;
  if (update.previewFile) {
    preview = fs::u8path(*update.previewFile);
    if (!fs::is_regular_file(preview, error)) {
      return kResultFileNotFound;
    }
    const uintmax_t size = fs::file_size(preview, error);
    if (error) {
      return kResultFileNotFound;
    }
    if (size >= kPreviewSizeLimit) {
      return kResultLimitExceeded;
    }
    item.preview = preview.filename().u8string();
  } else if (!item.preview.empty()) {
    preview = live / kPreviewFolderName / fs::u8path(item.preview);
  }

  if (update.title) {
    item.titles[update.language] = *update.title;
  }
  if (update.description) {
    item.descriptions[update.language] = *update.description;
  }
  if (update.visibility) {
    item.visibility = *update.visibility;
  }
  item.changeNotes.push_back(update.changeNote);

  StagingFolder staging(NewStagingName());
  fs::create_directories(staging.Path(), error);
  if (!error && !content.empty()) {
    fs::copy(content, staging.Path() / kContentFolderName, fs::copy_options::recursive, error);
  }
  if (!error && !preview.empty()) {
    const fs::path folder = staging.Path() / kPreviewFolderName;
    fs::create_directory(folder, error);
    if (!error) {
      fs::copy_file(preview, folder / fs::u8path(item.preview), error);
    }
  }
  if (error || !WriteFile(staging.Path() / kItemFileName, FormatItemFile(item))) {
    return kResultFail;
  }
  fs::rename(staging.Path(), ItemFolder(item.id) / ("r" + std::to_string(liveNumber + 1)), error);
  if (error) {
    return kResultFail;
  }
  staging.Keep();
  // The new revision is live from the rename on. Older ones go now,
  // including any that an interrupted run failed to delete.
  std::vector<fs::path> older;
  for (fs::directory_iterator it(ItemFolder(item.id), error), end; !error && it != end;
       it.increment(error)) {
    const std::optional<uint64_t> revision = RevisionNumber(it->path());
    if (revision && *revision <= liveNumber) {
      older.push_back(it->path());
    }
  }
  for (const fs::path& folder : older) {
    fs::remove_all(folder, error);
  }
  TidyStaging();
  return kResultOk;
}

bool Workshop::ReadItem(PublishedFileId id, WorkshopItem* item) const {
  uint64_t number = 0;
  const fs::path live = LiveRevision(id, &number);
  std::string text;
  return !live.empty() && ReadFile(live / kItemFileName, &text) && ParseItemFile(text, item) &&
         item->id == id;
}

fs::path Workshop::ItemFolder(PublishedFileId id) const {
  return root_ / "items" / std::to_string(id);
}

fs::path Workshop::LiveRevision(PublishedFileId id, uint64_t* number) const {
  fs::path live;
  *number = 0;
  std::error_code error;
  for (fs::directory_iterator it(ItemFolder(id), error), end; !error && it != end;
       it.increment(error)) {
    const std::optional<uint64_t> revision = RevisionNumber(it->path());
    if (revision && *revision >= *number) {
      *number = *revision;
      live = it->path();
    }
  }
  return live;
}

fs::path Workshop::NewStagingName() {
  std::error_code error;
  fs::path name;
  do {
    name =
        root_ / "staging" / (std::to_string(ProcessId()) + "-" + std::to_string(++stagingCount_));
  } while (fs::exists(name, error));
  return name;
}

void Workshop::TidyStaging() const {
  std::error_code ignored;
  fs::remove(root_ / "staging", ignored);
}

}  // namespace steam_sim
