#include "platform/sim/filesystem.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel.h"
#include "platform/sim/host_files.h"
#include "platform/wstr.h"

namespace sim {

using platform::U16;
using platform::U8;

struct FileSystem::FileData {
  std::string bytes;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;  // as Win32 gives every new file
};

struct FileSystem::Node {
  std::u16string name;                                                    // as first given
  std::shared_ptr<FileData> file;                                         // null for a folder
  std::map<std::u16string, std::unique_ptr<Node>, std::less<>> children;  // by folded name
  bool IsFolder() const { return !file; }
};

struct FileSystem::OpenFile {
  std::shared_ptr<FileData> data;  // outlives the entry if the driver removes it
  std::u16string path;
  std::u16string key;
  DWORD access = 0;
  DWORD share = 0;
  uint64_t position = 0;
  bool changed = false;
  const void* owner = nullptr;  // the process that opened it
};

// Where a path leads. `parent` is null only for the root; `node` is null when the last name
// is missing from an existing folder.
struct FileSystem::Place {
  Node* parent = nullptr;
  Node* node = nullptr;
  std::u16string leaf;  // the last name as given
  std::u16string key;   // folded, `\a\b`; empty for the root
  std::u16string path;  // as stored for existing entries, the leaf as given otherwise
};

namespace {

// Attribute bits a file can carry besides those the entry kind implies.
constexpr DWORD kSettableAttributes = ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL);
// Bits CreateFileW takes from its flags for a new file.
constexpr DWORD kCreateAttributes = 0x27;  // read-only, hidden, system, archive

using Node = FileSystem::Node;

std::u16string Fold(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out) c = platform::FoldCase(c);
  return out;
}

// A name the device accepts. Such a name is also safe as a host file name: no separator, no
// NUL, and never `.` or `..`, so a saved tree cannot reach outside its folder.
bool ValidName(std::u16string_view name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  for (char16_t c : name) {
    if (c < 0x20) return false;
    switch (c) {
      case u'<':
      case u'>':
      case u':':
      case u'"':
      case u'|':
      case u'?':
      case u'*':
      case u'\\':
      case u'/':
        return false;
      default:
        break;
    }
  }
  return true;
}

// The names of a path; `\` and `/` separate them, empty names are skipped.
bool SplitPath(std::u16string_view path, std::vector<std::u16string_view>* names) {
  for (size_t i = 0, end = 0; i < path.size(); i = end + 1) {
    end = std::min(path.find_first_of(u"\\/", i), path.size());
    if (end == i) continue;
    if (!ValidName(path.substr(i, end - i))) return false;
    names->push_back(path.substr(i, end - i));
  }
  return true;
}

// The folded path that identifies an entry: `\a\b`, empty for the root.
std::u16string KeyOf(const std::vector<std::u16string_view>& names) {
  std::u16string key;
  for (auto name : names) key += u'\\' + Fold(name);
  return key;
}

Node* AddChild(Node* folder, std::u16string_view name, std::shared_ptr<FileSystem::FileData> file) {
  auto child = std::make_unique<Node>();
  child->name = name;
  child->file = std::move(file);
  Node* added = child.get();
  folder->children[Fold(name)] = std::move(child);
  return added;
}

DWORD NewFileAttributes(DWORD requested) {
  return (requested & kCreateAttributes) | FILE_ATTRIBUTE_ARCHIVE;
}

bool Fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
  return false;
}

}  // namespace

FileSystem::FileSystem() : root_(std::make_unique<Node>()) {}
FileSystem::~FileSystem() = default;

// ---- Paths, sharing, notifications

DWORD FileSystem::Locate(std::u16string_view path, Place* place, bool injected) const {
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  // Every name is checked before anything is looked up; the folded key holds the names the
  // walk below follows, so no name is folded or copied twice.
  std::u16string& key = place->key;
  key.clear();
  std::u16string_view leaf;
  for (size_t i = 0, end = 0; i < path.size(); i = end + 1) {
    end = std::min(path.find_first_of(u"\\/", i), path.size());
    if (end == i) continue;
    std::u16string_view name = path.substr(i, end - i);
    if (!ValidName(name)) return ERROR_INVALID_NAME;
    key += u'\\';
    for (char16_t c : name) key += platform::FoldCase(c);
    leaf = name;
  }
  if (injected)
    if (DWORD error = Failure(key)) return error;
  if (key.empty()) {
    place->node = root_.get();
    place->path = u"\\";
    return ERROR_SUCCESS;
  }
  Node* folder = root_.get();
  place->path.clear();
  for (std::u16string_view rest(key);;) {
    rest.remove_prefix(1);  // the separator
    size_t sep = rest.find(u'\\');
    auto it = folder->children.find(rest.substr(0, sep));
    if (sep == std::u16string_view::npos) {
      place->parent = folder;
      place->leaf = leaf;
      place->node = it == folder->children.end() ? nullptr : it->second.get();
      place->path += u'\\';
      if (place->node)
        place->path += place->node->name;
      else
        place->path += leaf;
      return ERROR_SUCCESS;
    }
    if (it == folder->children.end() || !it->second->IsFolder()) return ERROR_PATH_NOT_FOUND;
    folder = it->second.get();
    place->path += u'\\';
    place->path += folder->name;
    rest.remove_prefix(sep);
  }
}

DWORD FileSystem::Failure(const std::u16string& key) const {
  for (const auto& [prefix, error] : failures_)
    if (key.starts_with(prefix) && (key.size() == prefix.size() || key[prefix.size()] == u'\\'))
      return error;
  return ERROR_SUCCESS;
}

bool FileSystem::IsOpen(const FileData* data) const {
  for (const auto& [h, open] : handles_)
    if (open->data.get() == data) return true;
  return false;
}

bool FileSystem::AnyOpenUnder(const Node& node) const {
  if (!node.IsFolder()) return IsOpen(node.file.get());
  for (const auto& [key, child] : node.children)
    if (AnyOpenUnder(*child)) return true;
  return false;
}

// Win32's rule: each open must allow what the others do, and be allowed what it does.
bool FileSystem::SharingAllows(const FileData* data, DWORD access, DWORD share) const {
  for (const auto& [h, open] : handles_) {
    if (open->data.get() != data) continue;
    if (((access & GENERIC_READ) && !(open->share & FILE_SHARE_READ)) ||
        ((access & GENERIC_WRITE) && !(open->share & FILE_SHARE_WRITE)) ||
        ((open->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
        ((open->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)))
      return false;
  }
  return true;
}

FileSystem::OpenFile* FileSystem::Handle(HANDLE h) const {
  auto it = handles_.find(h);
  return it == handles_.end() ? nullptr : it->second.get();
}

void FileSystem::Notify(const FsChange& change) {
  // An observer may add or remove observers while being told.
  std::vector<std::function<void(const FsChange&)>> targets;
  for (const auto& [id, observer] : observers_) targets.push_back(observer);
  for (const auto& observer : targets) observer(change);
}

int FileSystem::AddObserver(std::function<void(const FsChange&)> observer) {
  observers_[nextObserver_] = std::move(observer);
  return nextObserver_++;
}

void FileSystem::RemoveObserver(int id) {
  observers_.erase(id);
}

// ---- Driver helpers

FileSystem::Node* FileSystem::MakeParents(std::u16string_view path, std::u16string* leaf) {
  std::vector<std::u16string_view> names;
  if (path.empty() || !SplitPath(path, &names)) return nullptr;
  leaf->clear();
  Node* folder = root_.get();
  if (names.empty()) return folder;
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    auto it = folder->children.find(Fold(names[i]));
    if (it == folder->children.end())
      folder = AddChild(folder, names[i], nullptr);
    else if (it->second->IsFolder())
      folder = it->second.get();
    else
      return nullptr;
  }
  *leaf = names.back();
  return folder;
}

bool FileSystem::AddFile(std::u16string_view path, std::string_view bytes) {
  std::u16string leaf;
  Node* folder = MakeParents(path, &leaf);
  if (!folder || leaf.empty()) return false;
  auto it = folder->children.find(Fold(leaf));
  Node* node = it == folder->children.end() ? AddChild(folder, leaf, std::make_shared<FileData>())
                                            : it->second.get();
  if (node->IsFolder()) return false;
  node->file->bytes = bytes;
  return true;
}

bool FileSystem::AddDirectory(std::u16string_view path) {
  std::u16string leaf;
  Node* folder = MakeParents(path, &leaf);
  if (!folder) return false;
  if (leaf.empty()) return true;
  auto it = folder->children.find(Fold(leaf));
  if (it == folder->children.end()) AddChild(folder, leaf, nullptr);
  return it == folder->children.end() || it->second->IsFolder();
}

bool FileSystem::Remove(std::u16string_view path) {
  Place p;
  if (Locate(path, &p, false) || !p.node || !p.parent) return false;
  p.parent->children.erase(Fold(p.leaf));
  return true;
}

FileSystem::Node* FileSystem::Find(std::u16string_view path) const {
  Place p;
  return Locate(path, &p, false) ? nullptr : p.node;
}

bool FileSystem::Exists(std::u16string_view path) const {
  return Find(path);
}

bool FileSystem::IsDirectory(std::u16string_view path) const {
  const Node* node = Find(path);
  return node && node->IsFolder();
}

std::optional<std::string> FileSystem::ReadAll(std::u16string_view path) const {
  const Node* node = Find(path);
  if (!node || node->IsFolder()) return std::nullopt;
  return node->file->bytes;
}

std::vector<std::u16string> FileSystem::List(std::u16string_view folder) const {
  std::vector<std::u16string> names;
  if (const Node* node = Find(folder))
    for (const auto& [key, child] : node->children) names.push_back(child->name);
  return names;
}

bool FileSystem::SetAttributes(std::u16string_view path, DWORD attributes) {
  Node* node = Find(path);
  if (!node || node->IsFolder()) return false;
  node->file->attributes = attributes & kSettableAttributes;
  return true;
}

void FileSystem::FailPath(std::u16string_view path, DWORD error) {
  std::vector<std::u16string_view> names;
  if (path.empty() || !SplitPath(path, &names)) return;
  const std::u16string key = KeyOf(names);
  std::erase_if(failures_, [&](const auto& f) { return f.first == key; });
  if (error != ERROR_SUCCESS) failures_.emplace_back(key, error);
}

void FileSystem::ClearFailures() {
  failures_.clear();
}

// ---- The Win32 calls

DWORD FileSystem::GetAttributes(std::u16string_view path, DWORD* attributes) const {
  Place p;
  if (DWORD error = Locate(path, &p, false)) return error;
  if (!p.node) return ERROR_FILE_NOT_FOUND;
  DWORD stored = p.node->IsFolder() ? FILE_ATTRIBUTE_DIRECTORY : p.node->file->attributes;
  *attributes = stored ? stored : FILE_ATTRIBUTE_NORMAL;
  return ERROR_SUCCESS;
}

DWORD FileSystem::Open(std::u16string_view path, DWORD access, DWORD share, DWORD disposition,
                       DWORD attributes, HANDLE* handle, bool* existed) {
  *handle = INVALID_HANDLE_VALUE;
  *existed = false;
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) return ERROR_INVALID_PARAMETER;
  if (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE)) return ERROR_INVALID_PARAMETER;
  Place p;
  if (DWORD error = Locate(path, &p, true)) return error;
  Node* node = p.node;
  const bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
  if (node) {
    if (node->IsFolder()) return ERROR_ACCESS_DENIED;
    *existed = true;
    if (disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
    if ((node->file->attributes & FILE_ATTRIBUTE_READONLY) &&
        ((access & GENERIC_WRITE) || truncates))
      return ERROR_ACCESS_DENIED;
    if (!SharingAllows(node->file.get(), access, share)) return ERROR_SHARING_VIOLATION;
  } else if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
    return ERROR_FILE_NOT_FOUND;
  }
  if (nextHandle_ > kLastHandle) return ERROR_TOO_MANY_OPEN_FILES;

  auto open = std::make_unique<OpenFile>();
  if (!node) {
    node = AddChild(p.parent, p.leaf, std::make_shared<FileData>());
    node->file->attributes = NewFileAttributes(attributes);
  } else if (truncates) {
    node->file->bytes.clear();
    if (disposition == CREATE_ALWAYS) node->file->attributes = NewFileAttributes(attributes);
    open->changed = true;
  }
  open->data = node->file;
  open->path = p.path;
  open->key = p.key;
  open->access = access;
  open->share = share;
  open->owner = currentOwner ? currentOwner() : nullptr;
  *handle = nextHandle_;
  nextHandle_ += 4;
  handles_[*handle] = std::move(open);
  if (!*existed) Notify({FsChange::Kind::Created, p.path, {}, false});
  return ERROR_SUCCESS;
}

DWORD FileSystem::Write(HANDLE h, const void* data, DWORD size, DWORD* written) {
  *written = 0;
  OpenFile* open = Handle(h);
  if (!open) return ERROR_INVALID_HANDLE;
  if (size && !data) return ERROR_INVALID_PARAMETER;
  if (!(open->access & GENERIC_WRITE)) return ERROR_ACCESS_DENIED;
  if (DWORD error = Failure(open->key)) return error;
  if (size == 0) return ERROR_SUCCESS;
  if (open->position + size > kMaxFileSize) return ERROR_DISK_FULL;
  std::string& bytes = open->data->bytes;
  if (bytes.size() < open->position + size) bytes.resize(open->position + size);  // fills a gap
  std::memcpy(bytes.data() + open->position, data, size);
  open->position += size;
  open->data->attributes |= FILE_ATTRIBUTE_ARCHIVE;
  open->changed = true;
  *written = size;
  return ERROR_SUCCESS;
}

DWORD FileSystem::Read(HANDLE h, void* data, DWORD size, DWORD* read) {
  *read = 0;
  OpenFile* open = Handle(h);
  if (!open) return ERROR_INVALID_HANDLE;
  if (size && !data) return ERROR_INVALID_PARAMETER;
  if (!(open->access & GENERIC_READ)) return ERROR_ACCESS_DENIED;
  const std::string& bytes = open->data->bytes;
  if (open->position >= bytes.size()) return ERROR_SUCCESS;  // at the end: 0 bytes, success
  const size_t count = std::min<uint64_t>(size, bytes.size() - open->position);
  std::memcpy(data, bytes.data() + open->position, count);
  open->position += count;
  *read = static_cast<DWORD>(count);
  return ERROR_SUCCESS;
}

DWORD FileSystem::Seek(HANDLE h, int64_t distance, DWORD method, uint64_t* position) {
  OpenFile* open = Handle(h);
  if (!open) return ERROR_INVALID_HANDLE;
  int64_t base = 0;
  if (method == FILE_CURRENT)
    base = static_cast<int64_t>(open->position);
  else if (method == FILE_END)
    base = static_cast<int64_t>(open->data->bytes.size());
  else if (method != FILE_BEGIN)
    return ERROR_INVALID_PARAMETER;
  int64_t target = 0;
  if (__builtin_add_overflow(base, distance, &target)) return ERROR_INVALID_PARAMETER;
  if (target < 0) return ERROR_NEGATIVE_SEEK;
  open->position = static_cast<uint64_t>(target);
  *position = open->position;
  return ERROR_SUCCESS;
}

DWORD FileSystem::Size(HANDLE h, uint64_t* size) const {
  OpenFile* open = Handle(h);
  if (!open) return ERROR_INVALID_HANDLE;
  *size = open->data->bytes.size();
  return ERROR_SUCCESS;
}

DWORD FileSystem::Flush(HANDLE h) const {
  OpenFile* open = Handle(h);
  if (!open) return ERROR_INVALID_HANDLE;
  return (open->access & GENERIC_WRITE) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// Shares as Wine's CopyFileW opens its ends: the source for reading with read and write
// shared, the destination for writing with nothing shared.
DWORD FileSystem::Copy(std::u16string_view from, std::u16string_view to, bool failIfExists) {
  Place src, dst;
  if (DWORD error = Locate(from, &src, true)) return error;
  if (!src.node) return ERROR_FILE_NOT_FOUND;
  if (src.node->IsFolder()) return ERROR_ACCESS_DENIED;
  if (!SharingAllows(src.node->file.get(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE))
    return ERROR_SHARING_VIOLATION;
  if (DWORD error = Locate(to, &dst, true)) return error;
  if (Node* target = dst.node) {
    if (target->IsFolder()) return ERROR_ACCESS_DENIED;
    if (failIfExists) return ERROR_FILE_EXISTS;
    if (target == src.node) return ERROR_SHARING_VIOLATION;
    if (target->file->attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    if (!SharingAllows(target->file.get(), GENERIC_WRITE, 0)) return ERROR_SHARING_VIOLATION;
    *target->file = *src.node->file;
  } else {
    AddChild(dst.parent, dst.leaf, std::make_shared<FileData>(*src.node->file));
  }
  Notify({FsChange::Kind::Copied, dst.path, src.path, false});
  return ERROR_SUCCESS;
}

DWORD FileSystem::Move(std::u16string_view from, std::u16string_view to) {
  Place src, dst;
  if (DWORD error = Locate(from, &src, true)) return error;
  if (!src.node) return ERROR_FILE_NOT_FOUND;
  if (!src.parent) return ERROR_ACCESS_DENIED;  // the root
  if (DWORD error = Locate(to, &dst, true)) return error;
  if (dst.node && dst.node != src.node) return ERROR_ALREADY_EXISTS;  // a case-only rename is fine
  if (!dst.parent || dst.key.starts_with(src.key + u'\\')) return ERROR_ACCESS_DENIED;
  if (AnyOpenUnder(*src.node)) return ERROR_SHARING_VIOLATION;
  const bool folder = src.node->IsFolder();
  auto it = src.parent->children.find(Fold(src.leaf));
  std::unique_ptr<Node> moved = std::move(it->second);
  src.parent->children.erase(it);
  moved->name = dst.leaf;
  dst.parent->children[Fold(dst.leaf)] = std::move(moved);
  std::u16string path = dst.path.substr(0, dst.path.rfind(u'\\') + 1) + dst.leaf;
  Notify({FsChange::Kind::Moved, path, src.path, folder});
  return ERROR_SUCCESS;
}

DWORD FileSystem::Delete(std::u16string_view path) {
  Place p;
  if (DWORD error = Locate(path, &p, true)) return error;
  if (!p.node) return ERROR_FILE_NOT_FOUND;
  if (p.node->IsFolder() || (p.node->file->attributes & FILE_ATTRIBUTE_READONLY))
    return ERROR_ACCESS_DENIED;
  if (IsOpen(p.node->file.get())) return ERROR_SHARING_VIOLATION;
  p.parent->children.erase(Fold(p.leaf));
  Notify({FsChange::Kind::Deleted, p.path, {}, false});
  return ERROR_SUCCESS;
}

DWORD FileSystem::MakeDirectory(std::u16string_view path) {
  Place p;
  if (DWORD error = Locate(path, &p, true)) return error;
  if (p.node) return ERROR_ALREADY_EXISTS;
  AddChild(p.parent, p.leaf, nullptr);
  Notify({FsChange::Kind::Created, p.path, {}, true});
  return ERROR_SUCCESS;
}

bool FileSystem::OwnsHandle(HANDLE h) const {
  return handles_.contains(h);
}

size_t FileSystem::OpenHandlesOf(const void* owner) const {
  return std::count_if(handles_.begin(), handles_.end(),
                       [owner](const auto& entry) { return entry.second->owner == owner; });
}

void FileSystem::CloseAllOf(const void* owner) {
  std::vector<HANDLE> mine;
  for (auto& [h, open] : handles_)
    if (owner && open->owner == owner) mine.push_back(h);
  for (HANDLE h : mine) Close(h);
}

BOOL FileSystem::Close(HANDLE h) {
  auto it = handles_.find(h);
  if (it == handles_.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::unique_ptr<OpenFile> open = std::move(it->second);
  handles_.erase(it);
  if (open->changed) Notify({FsChange::Kind::Written, open->path, {}, false});
  return TRUE;
}

// ---- Host persistence

namespace {

std::string HostFolder(const std::string& dir) {
  std::string p = dir;
  while (p.size() > 1 && p.back() == '/') p.pop_back();  // "state/fs/" names "state/fs"
  return p;
}

bool WriteTree(const Node& folder, const std::string& dir, std::string* error) {
  if (!MakeHostFolder(dir, error)) return false;
  for (const auto& [key, child] : folder.children) {
    if (!ValidName(child->name))
      return Fail(error, "device name cannot be stored on the host: " + U8(child->name));
    const std::string p = HostJoin(dir, U8(child->name));
    if (child->IsFolder() ? !WriteTree(*child, p, error)
                          : !WriteHostFile(p, child->file->bytes, false, error))
      return false;
  }
  return true;
}

bool ReadTree(const std::string& dir, Node& folder, std::string* error) {
  std::vector<HostListing> entries;
  if (!ListHostFolder(dir, &entries, error)) return false;
  for (const HostListing& e : entries) {
    const std::string p = HostJoin(dir, e.name);
    const std::u16string name = U16(e.name);
    if (U8(name) != e.name || !ValidName(name))
      return Fail(error, p + ": not a valid device file name");
    if (auto same = folder.children.find(Fold(name)); same != folder.children.end())
      return Fail(error, p + ": same device name as " + U8(same->second->name) +
                             " (device names ignore case)");
    if (e.type == HostEntry::Folder) {
      if (!ReadTree(p, *AddChild(&folder, name, nullptr), error)) return false;
    } else if (e.type == HostEntry::File) {
      auto file = std::make_shared<FileSystem::FileData>();
      if (!ReadHostFile(p, &file->bytes, error, FileSystem::kMaxFileSize)) return false;
      AddChild(&folder, name, std::move(file));
    } else {
      return Fail(error, p + ": neither a file nor a folder");
    }
  }
  return true;
}

}  // namespace

bool FileSystem::WriteTo(const std::string& hostDir, std::string* error) const {
  const std::string target = HostFolder(hostDir);
  if (target.empty()) return Fail(error, "no host folder given");
  return WriteTree(*root_, target, error);
}

bool FileSystem::SaveTo(const std::string& hostDir, std::string* error) const {
  const std::string target = HostFolder(hostDir);
  if (target.empty()) return Fail(error, "no host folder given");
  const std::string temp = target + ".saving", old = target + ".old";
  const HostEntry existing = HostEntryAt(target);
  if (existing != HostEntry::Missing && existing != HostEntry::Folder)
    return Fail(error, target + ": not a folder");
  if (!RemoveHostTree(temp, error)) return false;
  if (!WriteTree(*root_, temp, error) || !FlushHostFileSystem(temp, error)) {
    RemoveHostTree(temp, nullptr);
    return false;
  }
  // Between the two renames only the .old tree exists; LoadFrom falls back to it.
  if (existing == HostEntry::Folder &&
      (!RemoveHostTree(old, error) || !RenameHost(target, old, error))) {
    RemoveHostTree(temp, nullptr);
    return false;
  }
  if (!RenameHost(temp, target, error)) {
    if (existing == HostEntry::Folder) RenameHost(old, target, nullptr);
    RemoveHostTree(temp, nullptr);
    return false;
  }
  RemoveHostTree(old, nullptr);  // a leftover is replaced by the next save
  return true;
}

bool FileSystem::LoadFrom(const std::string& hostDir, std::string* error) {
  std::string source = HostFolder(hostDir);
  if (source.empty()) return Fail(error, "no host folder given");
  if (HostEntryAt(source) == HostEntry::Missing)
    source = HostEntryAt(source + ".old") == HostEntry::Folder ? source + ".old" : "";
  auto fresh = std::make_unique<Node>();
  if (!source.empty()) {
    if (HostEntryAt(source) != HostEntry::Folder) return Fail(error, source + ": not a folder");
    if (!ReadTree(source, *fresh, error)) return false;
  }
  root_ = std::move(fresh);
  return true;
}

// ---- The current file system

namespace {
FileSystem* g_current = nullptr;
}

FileSystem* CurrentFileSystem() {
  return g_current;
}
void SetCurrentFileSystem(FileSystem* fs) {
  g_current = fs;
}

}  // namespace sim
