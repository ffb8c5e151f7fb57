#include "platform/sim/registry_model.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/wstr.h"

namespace sim {

namespace {

// Names compared as the registry compares them, without case: hashed as they are folded, so
// that a lookup copies nothing.
struct FoldHash {
  using is_transparent = void;
  size_t operator()(std::u16string_view s) const {
    uint64_t h = 1469598103934665603ull;
    // A letter and its capital differ only in bit 5, in ASCII and Latin-1 alike: hashed with
    // that bit set, names equal without case hash the same, with no branch per character.
    for (char16_t c : s) h = (h ^ (c | 0x20u)) * 1099511628211ull;
    return static_cast<size_t>(h);
  }
};
struct FoldEqual {
  using is_transparent = void;
  bool operator()(std::u16string_view a, std::u16string_view b) const {
    return platform::IEquals(a, b);
  }
};

}  // namespace

struct Registry::Key : std::enable_shared_from_this<Registry::Key> {
  using Values = std::vector<std::pair<std::u16string, RegValue>>;

  std::u16string name;
  std::u16string path;    // from the root's full name; a key never moves while it lives
  std::u16string folded;  // path, case-folded
  Key* parent = nullptr;  // null for roots and for keys cut out of the tree
  std::vector<KeyPtr> subkeys;
  Values values;  // in storage order, which enumeration shows
  bool deleted = false;

  // The settings keys hold dozens of values that are read one by one, over and over: a key
  // with more than a few values finds them through an index of its names, made when first
  // needed and again after a value is deleted.
  Values::iterator FindValue(std::u16string_view name) {
    if (values.size() <= kScanValues) {
      return std::find_if(values.begin(), values.end(), [&](const auto& v) {
        return v.first.size() == name.size() && platform::IEquals(v.first, name);
      });
    }
    if (index_.size() != values.size()) {
      index_.clear();
      for (size_t i = 0; i < values.size(); ++i) index_.emplace(values[i].first, i);
    }
    auto it = index_.find(name);
    return it == index_.end() ? values.end() : values.begin() + static_cast<ptrdiff_t>(it->second);
  }
  void AddValue(std::u16string_view name, RegValue value) {
    values.emplace_back(std::u16string(name), std::move(value));
    if (!index_.empty() && index_.size() == values.size() - 1)
      index_.emplace(std::u16string(name), values.size() - 1);
  }
  void EraseValue(Values::iterator it) {
    values.erase(it);
    index_.clear();
  }

 private:
  static constexpr size_t kScanValues = 8;
  std::unordered_map<std::u16string, size_t, FoldHash, FoldEqual> index_;
};

namespace {

struct RootNames {
  HKEY key;
  std::u16string_view full;
  std::u16string_view shortName;
};
constexpr std::array<RootNames, 4> kRoots = {{
    {HKEY_CLASSES_ROOT, u"HKEY_CLASSES_ROOT", u"HKCR"},
    {HKEY_CURRENT_USER, u"HKEY_CURRENT_USER", u"HKCU"},
    {HKEY_LOCAL_MACHINE, u"HKEY_LOCAL_MACHINE", u"HKLM"},
    {HKEY_USERS, u"HKEY_USERS", u"HKU"},
}};

Registry* g_current = nullptr;
// Recent paths remembered before the cache starts afresh.
constexpr size_t kRecentPaths = 256;

std::u16string Folded(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out) c = platform::FoldCase(c);
  return out;
}

// The cache's name for a subkey reached from a root handle; the control character keeps it
// apart from any full path.
std::u16string_view FromRoot(HKEY root, std::u16string_view subKey) {
  thread_local std::u16string key;
  key.assign(1, static_cast<char16_t>(1 + root - HKEY_CLASSES_ROOT));
  return key.append(subKey);
}

bool IsRoot(HKEY key) {
  return key >= HKEY_CLASSES_ROOT && key <= HKEY_USERS;
}

std::vector<std::u16string_view> SplitBackslash(std::u16string_view s) {
  std::vector<std::u16string_view> parts;
  size_t start = 0;
  while (true) {
    size_t end = s.find(u'\\', start);
    parts.push_back(s.substr(start, end == s.npos ? s.npos : end - start));
    if (end == s.npos) return parts;
    start = end + 1;
  }
}

// A relative subkey: empty means the key itself; otherwise every name must be usable.
bool SplitSubkey(std::u16string_view subKey, std::vector<std::u16string_view>* parts) {
  parts->clear();
  if (subKey.empty()) return true;
  *parts = SplitBackslash(subKey);
  return std::all_of(parts->begin(), parts->end(), Registry::IsValidKeyName);
}

}  // namespace

Registry::Registry() {
  for (const RootNames& r : kRoots) {
    auto key = std::make_shared<Key>();
    key->name = std::u16string(r.full);
    key->path = key->name;
    key->folded = Folded(key->path);
    roots_.push_back(key);
  }
}

Registry::~Registry() {
  if (g_current == this) g_current = nullptr;
}

// ---- paths and names --------------------------------------------------------------------------

std::optional<HKEY> Registry::RootFromName(std::u16string_view name) {
  for (const RootNames& r : kRoots)
    if (platform::IEquals(name, r.full) || platform::IEquals(name, r.shortName)) return r.key;
  return std::nullopt;
}

std::u16string_view Registry::RootName(HKEY root) {
  for (const RootNames& r : kRoots)
    if (r.key == root) return r.full;
  return {};
}

bool Registry::IsValidKeyName(std::u16string_view name) {
  if (name.empty() || name.size() > kMaxKeyNameChars) return false;
  // Control characters are refused so that every key can be written to a .reg line.
  return std::none_of(name.begin(), name.end(), [](char16_t c) { return c < 0x20 || c == u'\\'; });
}

std::optional<RegKeyPath> Registry::ParsePath(std::u16string_view path, std::string* why) {
  RegKeyPath result;
  std::optional<HKEY> root = CheckPath(path, why, &result.parts);
  if (!root) return std::nullopt;
  result.root = *root;
  return result;
}

bool Registry::IsValidPath(std::u16string_view path) {
  return CheckPath(path, nullptr, nullptr).has_value();
}

std::optional<HKEY> Registry::CheckPath(std::u16string_view path, std::string* why,
                                        std::vector<std::u16string>* parts) {
  auto fail = [&](std::string reason) -> std::optional<HKEY> {
    if (why) *why = std::move(reason);
    return std::nullopt;
  };
  size_t end = path.find(u'\\');
  std::optional<HKEY> root = RootFromName(path.substr(0, end));
  if (!root) return fail("unknown root key '" + platform::U8(path.substr(0, end)) + "'");
  if (static_cast<size_t>(std::count(path.begin(), path.end(), u'\\')) > kMaxKeyDepth)
    return fail("key nested deeper than 16 levels");
  while (end != path.npos) {
    size_t start = end + 1;
    end = path.find(u'\\', start);
    std::u16string_view p = path.substr(start, end == path.npos ? path.npos : end - start);
    if (p.empty()) return fail("empty key name in path");
    if (p.size() > kMaxKeyNameChars) return fail("key name longer than 255 characters");
    if (!IsValidKeyName(p)) return fail("control character in key name");
    if (parts) parts->emplace_back(p);
  }
  return root;
}

RegChange Registry::ChangeOf(RegChangeKind kind, const Key* key) const {
  RegChange change;
  change.kind = kind;
  change.keyPath = key->path;
  change.foldedKeyPath = key->folded;
  return change;
}

Registry::Key* Registry::FindPath(std::u16string_view path) const {
  if (Key* key = Cached(path)) return key;
  // A walk down the tree, one name at a time: a malformed name (empty, too long, a control
  // character) or a path nested too deep names no key that could exist, so it finds nothing
  // without being checked first. Paths of keys that do not exist are looked up all the time.
  size_t end = path.find(u'\\');
  std::optional<HKEY> root = RootFromName(path.substr(0, end));
  if (!root) return nullptr;
  Key* key = roots_[*root - HKEY_CLASSES_ROOT].get();
  while (end != path.npos) {
    size_t start = end + 1;
    end = path.find(u'\\', start);
    std::u16string_view name = path.substr(start, end == path.npos ? path.npos : end - start);
    auto it = std::find_if(key->subkeys.begin(), key->subkeys.end(), [&](const KeyPtr& k) {
      return k->name.size() == name.size() && platform::IEquals(k->name, name);
    });
    if (it == key->subkeys.end()) return nullptr;
    key = it->get();
  }
  Remember(path, key->shared_from_this());
  return key;
}

size_t Registry::PathHash::operator()(std::u16string_view s) const {
  const auto* bytes = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size() * sizeof(char16_t);
  uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, bytes + i, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
  }
  uint64_t tail = 0;
  if (n > i) std::memcpy(&tail, bytes + i, n - i);
  h = (h ^ tail) * 0xC4CEB9FE1A85EC53ull;
  return static_cast<size_t>(h ^ (h >> 32));
}

bool Registry::PathEqual::operator()(std::u16string_view a, std::u16string_view b) const {
  return platform::Same(a, b);
}

Registry::Key* Registry::Cached(std::u16string_view path) const {
  auto it = recent_.find(path);
  if (it == recent_.end()) return nullptr;
  KeyPtr key = it->second.lock();
  // A deleted key's handles may keep it alive; the path names nothing then, or a new key.
  return key && !key->deleted ? key.get() : nullptr;
}

void Registry::Remember(std::u16string_view path, const KeyPtr& key) const {
  if (recent_.size() >= kRecentPaths) recent_.clear();
  recent_.insert_or_assign(std::u16string(path), key);
}

// ---- changes ----------------------------------------------------------------------------------

Registry::KeyPtr Registry::CreatePath(KeyPtr key, const std::vector<std::u16string_view>& parts,
                                      bool* created) {
  *created = false;
  for (std::u16string_view name : parts) {
    auto it = std::find_if(key->subkeys.begin(), key->subkeys.end(),
                           [&](const KeyPtr& k) { return platform::IEquals(k->name, name); });
    if (it != key->subkeys.end()) {
      key = *it;
      continue;
    }
    auto child = std::make_shared<Key>();
    child->name = std::u16string(name);
    child->parent = key.get();
    child->path = key->path + u'\\' + child->name;
    child->folded = key->folded + u'\\' + Folded(child->name);
    key->subkeys.push_back(child);
    key = child;
    *created = true;
    Notify(ChangeOf(RegChangeKind::CreateKey, key.get()));
  }
  return key;
}

bool Registry::SetValueIn(Key* key, std::u16string_view name, DWORD type,
                          std::span<const uint8_t> bytes) {
  // Names travel as NUL-terminated strings through the API and .reg files.
  if (name.find(u'\0') != name.npos) return false;
  // The change names the key's path, and an observer may delete the key.
  const KeyPtr keep = key->shared_from_this();
  RegChange change = ChangeOf(RegChangeKind::SetValue, key);
  change.valueName = name;
  change.type = type;
  // Observers may write the value again while they hear of this write, so they hear of it
  // from a copy of its own; most values are a few bytes, copied without an allocation.
  uint8_t few[64];
  std::vector<uint8_t> many;
  if (bytes.size() <= sizeof few) {
    if (!bytes.empty()) std::memcpy(few, bytes.data(), bytes.size());
    change.data = {few, bytes.size()};
  } else {
    many.assign(bytes.begin(), bytes.end());
    change.data = many;
  }
  // A value written again keeps its buffer.
  auto it = key->FindValue(name);
  if (it != key->values.end()) {
    it->second.type = type;
    it->second.bytes.assign(bytes.begin(), bytes.end());
  } else {
    key->AddValue(name, RegValue{type, {bytes.begin(), bytes.end()}});
  }
  Notify(change);
  return true;
}

bool Registry::DeleteValueIn(Key* key, std::u16string_view name) {
  auto it = key->FindValue(name);
  if (it == key->values.end()) return false;
  const KeyPtr keep = key->shared_from_this();
  RegChange change = ChangeOf(RegChangeKind::DeleteValue, key);
  const std::u16string gone = std::move(it->first);
  change.valueName = gone;
  change.type = it->second.type;
  key->EraseValue(it);
  Notify(change);
  return true;
}

void Registry::DeleteTree(Key* key) {
  RegChange change = ChangeOf(RegChangeKind::DeleteKey, key);
  KeyPtr keep;  // the top key may be owned only by its parent's list
  Key* parent = key->parent;
  auto it = std::find_if(parent->subkeys.begin(), parent->subkeys.end(),
                         [&](const KeyPtr& k) { return k.get() == key; });
  keep = *it;
  parent->subkeys.erase(it);
  // Handles may keep any of these alive; cut the parent links so none dangles.
  std::vector<Key*> pending{key};
  while (!pending.empty()) {
    Key* k = pending.back();
    pending.pop_back();
    k->deleted = true;
    k->parent = nullptr;
    for (const KeyPtr& sub : k->subkeys) pending.push_back(sub.get());
  }
  Notify(change);
}

bool Registry::HasOpenHandle(const Key* top) const {
  for (const auto& [handle, open] : handles_)
    for (const Key* k = open.key.get(); k; k = k->parent)
      if (k == top) return true;
  return false;
}

void Registry::Notify(const RegChange& change) {
  // Observers may add or remove observers, or write to the registry themselves. Those added
  // meanwhile hear from the next change on; those removed hear nothing more.
  ++generation_;
  ++notifying_;
  size_t count = observers_.size();
  for (size_t i = 0; i < count; ++i) {
    if (observers_[i].id == 0) continue;
    RegObserver& fn = *observers_[i].fn;  // stays put while the list grows
    fn(change);
  }
  if (--notifying_ == 0) std::erase_if(observers_, [](const Observer& o) { return o.id == 0; });
}

int Registry::AddObserver(RegObserver observer) {
  observers_.push_back({nextObserver_, std::make_unique<RegObserver>(std::move(observer))});
  return nextObserver_++;
}

void Registry::RemoveObserver(int id) {
  for (Observer& o : observers_)
    if (o.id == id) o.id = 0;
  if (notifying_ == 0) std::erase_if(observers_, [](const Observer& o) { return o.id == 0; });
}

// ---- driver side ------------------------------------------------------------------------------

Registry::KeyPtr Registry::CreatePath(std::u16string_view path) {
  if (Key* key = Cached(path)) return key->shared_from_this();
  std::optional<RegKeyPath> parsed = ParsePath(path, nullptr);
  if (!parsed) return nullptr;
  std::vector<std::u16string_view> parts(parsed->parts.begin(), parsed->parts.end());
  bool created = false;
  KeyPtr key = CreatePath(roots_[parsed->root - HKEY_CLASSES_ROOT], parts, &created);
  // Observers of the new keys may have deleted them already.
  if (!key->deleted) Remember(path, key);
  return key;
}

bool Registry::CreateKey(std::u16string_view path) {
  return CreatePath(path) != nullptr;
}

bool Registry::SetValue(std::u16string_view path, std::u16string_view name, DWORD type,
                        std::vector<uint8_t> bytes) {
  KeyPtr key = CreatePath(path);
  return key && SetValueIn(key.get(), name, type, bytes);
}

bool Registry::CreateKey(HeldKey& held) {
  if (!held.key_ || held.key_->deleted) held.key_ = CreatePath(held.path_);
  return held.key_ != nullptr;
}

bool Registry::SetValue(HeldKey& held, std::u16string_view name, DWORD type,
                        std::span<const uint8_t> bytes) {
  return CreateKey(held) && SetValueIn(held.key_.get(), name, type, bytes);
}

bool Registry::DeleteValue(std::u16string_view path, std::u16string_view name) {
  Key* key = FindPath(path);
  return key && DeleteValueIn(key, name);
}

bool Registry::DeleteKey(std::u16string_view path) {
  Key* key = FindPath(path);
  if (!key || !key->parent) return false;  // missing, or a root
  DeleteTree(key);
  return true;
}

bool Registry::KeyExists(std::u16string_view path) const {
  return FindPath(path) != nullptr;
}

std::optional<RegValue> Registry::GetValue(std::u16string_view path,
                                           std::u16string_view name) const {
  const RegValue* v = PeekValue(path, name);
  return v ? std::optional<RegValue>(*v) : std::nullopt;
}

const RegValue* Registry::PeekValue(std::u16string_view path, std::u16string_view name) const {
  Key* key = FindPath(path);
  if (!key) return nullptr;
  auto it = key->FindValue(name);
  return it == key->values.end() ? nullptr : &it->second;
}

std::vector<std::pair<std::u16string, RegValue>> Registry::ListValues(
    std::u16string_view path) const {
  Key* key = FindPath(path);
  if (!key) return {};
  return key->values;
}

std::vector<std::u16string> Registry::ListSubkeys(std::u16string_view path) const {
  std::vector<std::u16string> names;
  if (Key* key = FindPath(path))
    for (const KeyPtr& k : key->subkeys) names.push_back(k->name);
  return names;
}

// ---- handle side ------------------------------------------------------------------------------

Registry::KeyPtr Registry::Resolve(HKEY key, LONG* error) const {
  Key* k = ResolveRaw(key, error);
  return k ? k->shared_from_this() : nullptr;
}

Registry::Key* Registry::ResolveRaw(HKEY key, LONG* error) const {
  *error = ERROR_SUCCESS;
  if (IsRoot(key)) return roots_[key - HKEY_CLASSES_ROOT].get();
  auto it = handles_.find(key);
  if (it == handles_.end()) {
    *error = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  if (it->second.key->deleted) {
    *error = kErrorKeyDeleted;
    return nullptr;
  }
  return it->second.key.get();
}

HKEY Registry::NewHandle(KeyPtr key) {
  // Handles count up and are never reused, so a stale one can never name another key.
  if (nextHandle_ >= HKEY_CLASSES_ROOT) return 0;
  HKEY h = nextHandle_++;
  handles_.emplace(h, Handle{std::move(key), currentOwner ? currentOwner() : nullptr});
  return h;
}

size_t Registry::OpenHandlesOf(const void* owner) const {
  return std::count_if(handles_.begin(), handles_.end(),
                       [owner](const auto& entry) { return entry.second.owner == owner; });
}

void Registry::CloseAllOf(const void* owner) {
  if (owner)
    std::erase_if(handles_, [owner](const auto& entry) { return entry.second.owner == owner; });
}

LONG Registry::CheckKey(HKEY key) const {
  LONG error;
  ResolveRaw(key, &error);
  return error;
}

LONG Registry::CreateKey(HKEY base, std::u16string_view subKey, HKEY* result, DWORD* disposition) {
  LONG error;
  KeyPtr start = Resolve(base, &error);
  if (!start) return error;
  bool created = false;
  KeyPtr key;
  if (Key* known = IsRoot(base) ? Cached(FromRoot(base, subKey)) : nullptr) {
    key = known->shared_from_this();
  } else {
    std::vector<std::u16string_view> parts;
    if (!SplitSubkey(subKey, &parts)) return ERROR_INVALID_PARAMETER;
    size_t depth = parts.size();
    for (const Key* k = start.get(); k->parent; k = k->parent) ++depth;
    if (depth > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
    key = CreatePath(start, parts, &created);
    if (IsRoot(base) && !key->deleted) Remember(FromRoot(base, subKey), key);
  }
  HKEY h = NewHandle(key);
  if (!h) return ERROR_NOT_ENOUGH_MEMORY;
  *result = h;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG Registry::OpenKey(HKEY base, std::u16string_view subKey, HKEY* result) {
  LONG error;
  KeyPtr key = Resolve(base, &error);
  if (!key) return error;
  if (Key* known = IsRoot(base) ? Cached(FromRoot(base, subKey)) : nullptr) {
    key = known->shared_from_this();
  } else {
    std::vector<std::u16string_view> parts;
    if (!SplitSubkey(subKey, &parts)) return ERROR_INVALID_PARAMETER;
    for (std::u16string_view name : parts) {
      auto it = std::find_if(key->subkeys.begin(), key->subkeys.end(),
                             [&](const KeyPtr& k) { return platform::IEquals(k->name, name); });
      if (it == key->subkeys.end()) return ERROR_FILE_NOT_FOUND;
      key = *it;
    }
    if (IsRoot(base)) Remember(FromRoot(base, subKey), key);
  }
  HKEY h = NewHandle(key);
  if (!h) return ERROR_NOT_ENOUGH_MEMORY;
  *result = h;
  return ERROR_SUCCESS;
}

LONG Registry::CloseKey(HKEY key) {
  if (key >= HKEY_CLASSES_ROOT && key <= HKEY_USERS) return ERROR_SUCCESS;
  // Closing a handle whose key was deleted still succeeds: it is the only way to free it.
  return handles_.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG Registry::QueryValue(HKEY key, std::u16string_view name, RegValue* out) const {
  LONG error;
  const RegValue* v = PeekValue(key, name, &error);
  if (v) *out = *v;
  return error;
}

const RegValue* Registry::PeekValue(HKEY key, std::u16string_view name, LONG* error) const {
  Key* k = ResolveRaw(key, error);
  if (!k) return nullptr;
  auto it = k->FindValue(name);
  if (it == k->values.end()) {
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  return &it->second;
}

LONG Registry::SetValue(HKEY key, std::u16string_view name, DWORD type,
                        std::vector<uint8_t> bytes) {
  LONG error;
  KeyPtr k = Resolve(key, &error);
  if (!k) return error;
  return SetValueIn(k.get(), name, type, bytes) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

LONG Registry::DeleteValue(HKEY key, std::u16string_view name) {
  LONG error;
  KeyPtr k = Resolve(key, &error);
  if (!k) return error;
  return DeleteValueIn(k.get(), name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG Registry::DeleteKey(HKEY base, std::u16string_view subKey) {
  LONG error;
  KeyPtr start = Resolve(base, &error);
  if (!start) return error;
  std::vector<std::u16string_view> parts;
  if (subKey.empty() || !SplitSubkey(subKey, &parts)) return ERROR_INVALID_PARAMETER;
  Key* key = start.get();
  for (std::u16string_view name : parts) {
    auto it = std::find_if(key->subkeys.begin(), key->subkeys.end(),
                           [&](const KeyPtr& k) { return platform::IEquals(k->name, name); });
    if (it == key->subkeys.end()) return ERROR_FILE_NOT_FOUND;
    key = it->get();
  }
  // CE refuses to delete a tree with an open key in it; which code it returns is unconfirmed,
  // access denied is the desktop's answer for a key it will not delete.
  if (HasOpenHandle(key)) return ERROR_ACCESS_DENIED;
  DeleteTree(key);
  return ERROR_SUCCESS;
}

LONG Registry::EnumKey(HKEY key, DWORD index, std::u16string* name) const {
  LONG error;
  KeyPtr k = Resolve(key, &error);
  if (!k) return error;
  if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  *name = k->subkeys[index]->name;
  return ERROR_SUCCESS;
}

LONG Registry::EnumValue(HKEY key, DWORD index, std::u16string* name, RegValue* value) const {
  LONG error;
  KeyPtr k = Resolve(key, &error);
  if (!k) return error;
  if (index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
  *name = k->values[index].first;
  *value = k->values[index].second;
  return ERROR_SUCCESS;
}

Registry* CurrentRegistry() {
  return g_current;
}
void SetCurrentRegistry(Registry* registry) {
  g_current = registry;
}

}  // namespace sim
