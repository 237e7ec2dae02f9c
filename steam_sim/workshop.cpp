#include "steam_sim/workshop.h"

#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>
#include <utility>

#include "steam_sim/sim_platform.h"
#include "steam_sim/text.h"

namespace steam_sim {

namespace fs = std::filesystem;

namespace {

constexpr char kItemFileName[] = "item.txt";
constexpr char kContentFolderName[] = "content";
constexpr char kPreviewFolderName[] = "preview";
// The revision being assembled, beside the item's revisions; never read.
// When one can't be deleted, the next one is assembled in next-1, next-2...
constexpr char kNextRevisionName[] = "next";
constexpr int kStagingNames = 8;
// Beside the item's folder: items/<id>.lock.
constexpr char kLockSuffix[] = ".lock";

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

// Whether `folder` is one a revision was or is being assembled in.
bool IsStagingFolder(const fs::path& folder) {
  const std::string name = folder.filename().u8string();
  const std::string prefix = std::string(kNextRevisionName) + "-";
  return name == kNextRevisionName ||
         (name.compare(0, prefix.size(), prefix) == 0 && IsDecimal(name.substr(prefix.size())));
}

// What a file of the service is made with: the bytes of the source, not its
// permission bits. A read-only copy could not be deleted with its revision
// on Windows.
constexpr fs::perms kCopyPermissions =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;

void CopyFileTo(const fs::path& from, const fs::path& to, bool link, std::error_code& error) {
  if (link) {
    fs::create_hard_link(from, to, error);
    if (!error) {
      return;
    }
    error.clear();  // where the file system can't link, the file is copied
  }
  if (fs::copy_file(from, to, error)) {
    fs::permissions(to, kCopyPermissions, fs::perm_options::replace, error);
  }
}

// Copies the folder `from` into the new folder `to`, links followed as
// fs::copy follows them. Each folder is made afresh before it is filled:
// copying the source's bits would make a read-only folder (mode 555) that
// can't be filled, or an unreadable one (mode 000) that can't be deleted
// when the copy fails. `link`: files are shared by hard links where the
// file system allows it (revisions are never changed once live).
void CopyFolder(const fs::path& from, const fs::path& to, bool link, std::error_code& error) {
  if (!fs::create_directory(to, error)) {
    if (!error) {
      error = std::make_error_code(std::errc::file_exists);
    }
    return;
  }
  for (fs::directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
    const fs::path target = to / it->path().filename();
    const fs::file_status status = it->status(error);
    if (error) {
      return;
    }
    if (fs::is_directory(status)) {
      CopyFolder(it->path(), target, link, error);
    } else if (fs::is_regular_file(status)) {
      CopyFileTo(it->path(), target, link, error);
    } else {
      // A pipe or a device has no content to keep.
      error = std::make_error_code(std::errc::not_supported);
    }
    if (error) {
      return;
    }
  }
}

// Gives the owner write access to `path` and everything below it, without
// following links, so that it can be deleted: Windows refuses to delete a
// read-only file, POSIX to empty a folder without write or search access.
void MakeWritable(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (error || fs::is_symlink(status)) {
    return;
  }
  if (!fs::is_directory(status)) {
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    error);
    return;
  }
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, error);
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    MakeWritable(it->path());
  }
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

// The file or folder an update names (UTF-8). A folder typed with a
// trailing separator (mod\ or mod/) names the same folder; it is used
// without one, which libstdc++'s file system functions on Windows trip over.
fs::path SourcePath(const std::string& path) {
  fs::path source = fs::u8path(path);
  if (!source.has_filename() && source.has_relative_path()) {
    source = source.parent_path();
  }
  return source;
}

// Adds the bytes of the regular files below `folder`, links followed, to
// `bytes`. Stops at the first thing that can't be read and at `depth`
// folders deep, as the copy stops at its first error (links in a circle
// end in a path too long): the upload fails there, and a walk that went on
// could take exponential time through several such links.
bool AddFolderBytes(const fs::path& folder, int depth, uint64_t* bytes) {
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const fs::file_status status = it->status(error);
    if (error) {
      return false;
    }
    if (fs::is_directory(status)) {
      if (depth == 0 || !AddFolderBytes(it->path(), depth - 1, bytes)) {
        return false;
      }
    } else if (fs::is_regular_file(status)) {
      const uintmax_t size = fs::file_size(it->path(), error);
      if (error) {
        return false;
      }
      *bytes += size;
    }
  }
  return !error;
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

uint64_t UploadBytes(const std::string& path) {
  if (!IsFullyQualifiedPath(path)) {
    return 0;
  }
  const fs::path source = SourcePath(path);
  std::error_code error;
  const fs::file_status status = fs::status(source, error);
  if (fs::is_directory(status)) {
    constexpr int kFolderDepth = 40;
    uint64_t bytes = 0;
    AddFolderBytes(source, kFolderDepth, &bytes);
    return bytes;
  }
  const uintmax_t size = fs::is_regular_file(status) ? fs::file_size(source, error) : 0;
  return error ? 0 : size;
}

Workshop::Workshop(fs::path root, Journal* journal) : root_(std::move(root)), journal_(journal) {}

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
    fs::create_directories(root_ / "items", error);
    // Making the folder claims the id, also against another process doing
    // the same; until r1 is renamed into it the item reads as missing.
    if (error || !fs::create_directory(folder, error)) {
      return kResultFail;
    }
    WorkshopItem item;
    item.id = id;
    item.app = app;
    item.fileType = fileType;
    fs::path staged;
    if (!StageRevision(folder, item, RevisionSources(), &staged) ||
        !CommitRevision(folder, staged, 0)) {
      Remove(folder);
      return kResultFail;
    }
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
  const fs::path folder = ItemFolder(update.item);
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    return kResultFileNotFound;
  }
  // Held from reading the live revision to replacing it: an update of the
  // same item by another process waits here, instead of building on a
  // revision that this one is about to replace and losing this one's change.
  FileLock lock(root_ / "items" / (std::to_string(update.item) + kLockSuffix));
  if (!lock.Locked()) {
    return kResultFail;
  }
  uint64_t liveNumber = 0;
  WorkshopItem item;
  RevisionSources sources;
  const int32_t verdict = CheckUpdate(update, runningApp, &liveNumber, &item, &sources);
  if (verdict != kResultOk) {
    return verdict;
  }
  MergeUpdate(update, sources, &item);
  fs::path staged;
  if (!StageRevision(folder, item, sources, &staged) ||
      !CommitRevision(folder, staged, liveNumber)) {
    return kResultFail;
  }
  return kResultOk;
}

int32_t Workshop::CheckUpdate(const ItemUpdate& update, AppId runningApp, uint64_t* liveNumber,
                              WorkshopItem* item, RevisionSources* sources) const {
  const fs::path live = LiveRevision(update.item, liveNumber);
  if (live.empty()) {
    return kResultFileNotFound;
  }
  std::string text;
  if (!ReadFile(live / kItemFileName, &text) || !ParseItemFile(text, item) ||
      item->id != update.item) {
    return kResultFail;
  }
  if (item->app != update.app || update.app != runningApp) {
    return kResultAccessDenied;
  }
  if ((update.title && update.title->size() > kMaxTitleBytes) ||
      (update.description && update.description->size() > kMaxDescriptionBytes) ||
      update.changeNote.size() > kMaxChangeNoteBytes) {
    return kResultInvalidParam;
  }

  // The Steam client runs in its own folder: a relative path names
  // something inside its installation, not what the caller meant.
  for (const auto& checked : {std::make_pair(&update.contentFolder, "folder"),
                              std::make_pair(&update.previewFile, "file")}) {
    const std::optional<std::string>& path = *checked.first;
    if (path && !IsFullyQualifiedPath(*path)) {
      if (journal_ != nullptr) {
        journal_->Write(
            [&] { return std::string("RelativePath ") + checked.second + "=" + Quote(*path); });
      }
      return kResultFileNotFound;
    }
  }

  // Where the new revision's content and preview come from: the update, or
  // else the live revision, since an update that doesn't mention them keeps
  // them.
  std::error_code error;
  if (update.contentFolder) {
    sources->content = SourcePath(*update.contentFolder);
    if (!fs::is_directory(sources->content, error)) {
      return kResultFileNotFound;
    }
  } else if (fs::is_directory(live / kContentFolderName, error)) {
    sources->content = live / kContentFolderName;
    sources->contentIsLive = true;
  }
  if (update.previewFile) {
    sources->preview = fs::u8path(*update.previewFile);
    if (!fs::is_regular_file(sources->preview, error)) {
      return kResultFileNotFound;
    }
    const uintmax_t size = fs::file_size(sources->preview, error);
    if (error) {
      return kResultFileNotFound;
    }
    if (size >= kPreviewSizeLimit) {
      return kResultLimitExceeded;
    }
  } else if (!item->preview.empty()) {
    sources->preview = live / kPreviewFolderName / fs::u8path(item->preview);
  }
  return kResultOk;
}

void Workshop::MergeUpdate(const ItemUpdate& update, const RevisionSources& sources,
                           WorkshopItem* item) {
  if (update.title) {
    item->titles[update.language] = *update.title;
  }
  if (update.description) {
    item->descriptions[update.language] = *update.description;
  }
  if (update.visibility) {
    item->visibility = *update.visibility;
  }
  if (update.previewFile) {
    item->preview = sources.preview.filename().u8string();
  }
  item->changeNotes.push_back(update.changeNote);
}

bool Workshop::StageRevision(const fs::path& folder, const WorkshopItem& item,
                             const RevisionSources& sources, fs::path* staged) const {
  // Whatever an interrupted or failed run left here is of no use; what
  // can't be deleted is left aside for a later update to try again.
  fs::path next;
  for (int k = 0; k < kStagingNames && next.empty(); ++k) {
    const fs::path candidate =
        folder / (k == 0 ? std::string(kNextRevisionName)
                         : std::string(kNextRevisionName) + "-" + std::to_string(k));
    if (Remove(candidate)) {
      next = candidate;
    }
  }
  if (next.empty()) {
    return false;
  }
  std::error_code error;
  fs::create_directory(next, error);
  if (!error && !sources.content.empty()) {
    CopyFolder(sources.content, next / kContentFolderName, sources.contentIsLive, error);
  }
  if (!error && !sources.preview.empty()) {
    fs::create_directory(next / kPreviewFolderName, error);
    if (!error) {
      CopyFileTo(sources.preview, next / kPreviewFolderName / fs::u8path(item.preview), false,
                 error);
    }
  }
  if (error || !WriteFile(next / kItemFileName, FormatItemFile(item))) {
    Remove(next);
    return false;
  }
  *staged = next;
  return true;
}

bool Workshop::CommitRevision(const fs::path& folder, const fs::path& staged,
                              uint64_t liveNumber) const {
  std::error_code error;
  fs::rename(staged, folder / ("r" + std::to_string(liveNumber + 1)), error);
  if (error) {
    Remove(staged);
    return false;
  }
  // The new revision is live from the rename on. Older ones go now,
  // including any that an interrupted run failed to delete, and staging
  // folders left aside.
  std::vector<fs::path> debris;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::optional<uint64_t> revision = RevisionNumber(it->path());
    if ((revision && *revision <= liveNumber) || IsStagingFolder(it->path())) {
      debris.push_back(it->path());
    }
  }
  for (const fs::path& path : debris) {
    Remove(path);
  }
  return true;
}

bool Workshop::Remove(const fs::path& path) const {
  std::error_code error;
  fs::remove_all(path, error);
  if (error) {
    MakeWritable(path);
    error.clear();
    fs::remove_all(path, error);
  }
  if (!error) {
    return true;
  }
  if (journal_ != nullptr) {
    journal_->Write([&] {
      return "CleanupFailed path=" + Quote(path.lexically_relative(root_).generic_u8string()) +
             " error=" + Quote(error.message());
    });
  }
  return false;
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

}  // namespace steam_sim
