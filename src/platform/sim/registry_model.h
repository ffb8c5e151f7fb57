// The simulated device's registry: keys, typed values, open-key handles and a change feed.
//
// Two faces over one tree. The handle side (HKEY plus relative subkey) returns Win32 error
// codes and is what registry_api.cpp exposes to the daemon. The driver side takes full paths
// ("HKEY_CURRENT_USER\\Software\\Zeq" or "HKCU\\Software\\Zeq") and is what tests, the
// scenario runner and the .reg loader use. Both report every change to the observers.
// There is no lock: the device lets one simulated thread run at a time.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace sim {

// Desktop code for calls on a handle whose key was deleted under it.
constexpr DWORD kErrorKeyDeleted = 1018;
// CE limits on key names and nesting below a root.
constexpr size_t kMaxKeyNameChars = 255;
constexpr size_t kMaxKeyDepth = 16;

struct RegValue {
  DWORD type = REG_NONE;
  std::vector<uint8_t> bytes;
  bool operator==(const RegValue&) const = default;
};

// One change, reported after it is made. keyPath uses the full root name. Deleting a tree is
// one DeleteKey change for its top key. Every write makes one, so it owns nothing: its texts
// and data are valid only while the change is reported; an observer that keeps them copies them.
struct RegChange {
  enum class Kind { SetValue, DeleteValue, CreateKey, DeleteKey };
  Kind kind = Kind::SetValue;
  std::u16string_view keyPath;
  std::u16string_view valueName;
  DWORD type = REG_NONE;
  std::span<const uint8_t> data;
  // keyPath case-folded.
  std::u16string_view foldedKeyPath;
};
using RegChangeKind = RegChange::Kind;
using RegObserver = std::function<void(const RegChange&)>;

// "HKCU\\A\\B" split and checked: a known root and 0..16 well-formed names.
struct RegKeyPath {
  HKEY root = 0;
  std::vector<std::u16string> parts;
};

class Registry {
  struct Key;

 public:
  // A key a device model writes to again and again, kept between its writes so that they skip
  // the lookup of its path. Writing through it creates the key again when it was deleted
  // meanwhile, as writing by path does.
  class HeldKey {
   public:
    explicit HeldKey(std::u16string path) : path_(std::move(path)) {}

   private:
    friend class Registry;
    std::u16string path_;
    std::shared_ptr<Key> key_;
  };

  Registry();
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // Paths and names.
  static std::optional<HKEY> RootFromName(std::u16string_view name);  // full or short form
  static std::u16string_view RootName(HKEY root);                     // full form, or empty
  static std::optional<RegKeyPath> ParsePath(std::u16string_view path, std::string* why);
  // Whether ParsePath would take the path, without building its parts.
  static bool IsValidPath(std::u16string_view path);
  // Empty, too long, a backslash or a control character make a key name unusable.
  static bool IsValidKeyName(std::u16string_view name);

  // Driver side. Writers return false for a malformed path or a missing target.
  bool CreateKey(std::u16string_view path);
  bool SetValue(std::u16string_view path, std::u16string_view name, DWORD type,
                std::vector<uint8_t> bytes);
  bool CreateKey(HeldKey& key);
  bool SetValue(HeldKey& key, std::u16string_view name, DWORD type, std::span<const uint8_t> bytes);
  bool DeleteValue(std::u16string_view path, std::u16string_view name);
  bool DeleteKey(std::u16string_view path);  // the whole tree, open or not; not a root
  bool KeyExists(std::u16string_view path) const;
  std::optional<RegValue> GetValue(std::u16string_view path, std::u16string_view name) const;
  // The value itself, valid until the registry next changes; null when there is none.
  const RegValue* PeekValue(std::u16string_view path, std::u16string_view name) const;
  // In storage order; empty for a missing key.
  std::vector<std::pair<std::u16string, RegValue>> ListValues(std::u16string_view path) const;
  std::vector<std::u16string> ListSubkeys(std::u16string_view path) const;

  // Handle side: Win32 results. A null or empty subKey names the key itself.
  LONG CreateKey(HKEY base, std::u16string_view subKey, HKEY* result, DWORD* disposition);
  LONG OpenKey(HKEY base, std::u16string_view subKey, HKEY* result);
  LONG CloseKey(HKEY key);
  LONG CheckKey(HKEY key) const;
  LONG QueryValue(HKEY key, std::u16string_view name, RegValue* out) const;
  // The value itself, valid until the registry next changes; null with the error otherwise.
  const RegValue* PeekValue(HKEY key, std::u16string_view name, LONG* error) const;
  LONG SetValue(HKEY key, std::u16string_view name, DWORD type, std::vector<uint8_t> bytes);
  LONG DeleteValue(HKEY key, std::u16string_view name);
  // Recursive as on CE, and refused (ERROR_ACCESS_DENIED) while any key of the tree is open.
  LONG DeleteKey(HKEY base, std::u16string_view subKey);
  LONG EnumKey(HKEY key, DWORD index, std::u16string* name) const;
  LONG EnumValue(HKEY key, DWORD index, std::u16string* name, RegValue* value) const;
  size_t OpenHandleCount() const { return handles_.size(); }
  // Handles `owner` holds; and closing them all when it ends, as the system does.
  size_t OpenHandlesOf(const void* owner) const;
  void CloseAllOf(const void* owner);
  // Who takes a handle now; the device answers with the calling process.
  std::function<const void*()> currentOwner;

  // Counts every change: a reader that saw the same count saw the same registry.
  uint64_t Generation() const { return generation_; }

  int AddObserver(RegObserver observer);
  void RemoveObserver(int id);

 private:
  // ParsePath's rules; the names go to `parts` when it is given.
  static std::optional<HKEY> CheckPath(std::u16string_view path, std::string* why,
                                       std::vector<std::u16string>* parts);
  using KeyPtr = std::shared_ptr<Key>;

  KeyPtr Resolve(HKEY key, LONG* error) const;
  Key* ResolveRaw(HKEY key, LONG* error) const;
  Key* FindPath(std::u16string_view path) const;
  KeyPtr CreatePath(KeyPtr base, const std::vector<std::u16string_view>& parts, bool* created);
  KeyPtr CreatePath(std::u16string_view path);
  bool SetValueIn(Key* key, std::u16string_view name, DWORD type, std::span<const uint8_t> bytes);
  bool DeleteValueIn(Key* key, std::u16string_view name);
  void DeleteTree(Key* key);
  bool HasOpenHandle(const Key* top) const;
  HKEY NewHandle(KeyPtr key);
  RegChange ChangeOf(RegChangeKind kind, const Key* key) const;
  void Notify(const RegChange& change);
  Key* Cached(std::u16string_view path) const;
  void Remember(std::u16string_view path, const KeyPtr& key) const;

  // An observer lives on its own so that it may remove itself, or add others, while it runs.
  struct Observer {
    int id = 0;  // 0 once removed
    std::unique_ptr<RegObserver> fn;
  };

  std::vector<KeyPtr> roots_;  // indexed by root - HKEY_CLASSES_ROOT
  struct Handle {
    KeyPtr key;
    const void* owner = nullptr;
  };
  std::map<HKEY, Handle> handles_;
  HKEY nextHandle_ = 0x00100000u;
  std::vector<Observer> observers_;
  int nextObserver_ = 1;
  int notifying_ = 0;
  uint64_t generation_ = 0;
  // Paths as written by recent callers, to the key they named: a write to the same path
  // skips parsing and the walk down the tree. A deleted key is never returned.
  // Paths here repeat a long common start ("HKCU\\System\\State\\..."): hashed and compared
  // eight bytes at a time, not one character at a time.
  struct PathHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view s) const;
  };
  struct PathEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const;
  };
  mutable std::unordered_map<std::u16string, std::weak_ptr<Key>, PathHash, PathEqual> recent_;
};

// The registry the Win32 functions act on; null until the device sets one.
Registry* CurrentRegistry();
void SetCurrentRegistry(Registry* registry);

}  // namespace sim
