#include "platform/sim/registry_notify.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/device.h"
#include "platform/sim/faults.h"
#include "platform/user.h"
#include "platform/wstr.h"

namespace sim {

namespace {

std::u16string Folded(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out) c = platform::FoldCase(c);
  return out;
}

std::optional<DWORD> AsDword(const RegValue& v) {
  if (v.type != REG_DWORD || v.bytes.size() != sizeof(DWORD)) return std::nullopt;
  DWORD d;
  std::memcpy(&d, v.bytes.data(), sizeof d);
  return d;
}

std::optional<std::u16string> AsText(const RegValue& v) {
  if (v.type != REG_SZ) return std::nullopt;
  std::u16string text(v.bytes.size() / 2, u'\0');
  std::memcpy(text.data(), v.bytes.data(), text.size() * 2);
  text.resize(std::min(text.size(), text.find(u'\0')));
  return Folded(text);
}

template <class T>
bool Compare(REG_COMPARISONTYPE type, const T& value, const T& target) {
  switch (type) {
    case REG_CT_EQUAL:
      return value == target;
    case REG_CT_NOT_EQUAL:
      return value != target;
    case REG_CT_GREATER:
      return value > target;
    case REG_CT_GREATER_OR_EQUAL:
      return value >= target;
    case REG_CT_LESS:
      return value < target;
    case REG_CT_LESS_OR_EQUAL:
      return value <= target;
    default:
      return false;
  }
}

}  // namespace

RegistryNotifier::RegistryNotifier(Device& device, Registry& registry)
    : device_(device), registry_(registry) {
  observer_ = registry_.AddObserver([this](const RegChange& c) { OnChange(c); });
}

RegistryNotifier::~RegistryNotifier() {
  registry_.RemoveObserver(observer_);
}

RegistryNotifier& RegistryNotifier::Of(Device& device) {
  // Kept with the driver's process data, which the device releases before its registry.
  static const char key = 0;
  auto& slots = device.DriverProcess().slots;
  auto it = slots.find(&key);
  if (it == slots.end()) {
    auto* notifier = new RegistryNotifier(device, device.registry());
    void (*release)(void*) = [](void* p) { delete static_cast<RegistryNotifier*>(p); };
    it = slots.emplace(&key, std::make_pair(static_cast<void*>(notifier), release)).first;
  }
  return *static_cast<RegistryNotifier*>(it->second.first);
}

HRESULT RegistryNotifier::Add(HKEY root, std::u16string_view subKey, std::u16string_view valueName,
                              HWND hwnd, UINT msg, DWORD userData,
                              const NOTIFICATIONCONDITION* condition, HREGNOTIFY* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  std::u16string_view rootName = Registry::RootName(root);
  if (rootName.empty() || !IsWindow(hwnd)) return E_INVALIDARG;
  std::u16string path(rootName);
  if (!subKey.empty()) path.append(u"\\").append(subKey);
  // A path that parses is written the way the change feed names keys: full root name, single
  // backslashes.
  if (!Registry::IsValidPath(path)) return E_INVALIDARG;
  const std::u16string& keyPath = path;
  if (refuse && refuse(keyPath, valueName)) return E_FAIL;

  Registration r;
  r.keyPath = Folded(keyPath);
  r.valueName = Folded(valueName);
  r.hwnd = hwnd;
  r.msg = msg;
  r.userData = userData;
  if (condition) {
    Condition c;
    c.type = condition->ctComparisonType;
    c.mask = condition->dwMask;
    if (c.mask)
      c.dw = condition->TargetValue.dw;
    else
      c.text = Folded(platform::WView(condition->TargetValue.psz));
    r.condition = std::move(c);
  }
  // A missing key or value may be watched: it notifies once it is created.
  r.last = registry_.GetValue(keyPath, valueName);
  HREGNOTIFY h = next_;
  next_ += 4;
  index_[r.keyPath][r.valueName].push_back(h);
  lastValid_ = false;
  regs_.emplace(h, std::move(r));
  *out = h;
  return S_OK;
}

HRESULT RegistryNotifier::Batch(HREGNOTIFY h, DWORD idleMs, DWORD maxMs) {
  auto it = regs_.find(h);
  if (it == regs_.end()) return E_INVALID_HANDLE_HR;
  if (idleMs == INFINITE) return E_INVALIDARG;
  it->second.idle = idleMs;
  it->second.max = maxMs;
  it->second.batched = true;
  return S_OK;
}

HRESULT RegistryNotifier::Close(HREGNOTIFY h) {
  // Whatever a batch still holds is dropped with the registration.
  auto it = regs_.find(h);
  if (it == regs_.end()) return E_INVALID_HANDLE_HR;
  Drop(it);
  return S_OK;
}

void RegistryNotifier::Drop(std::map<HREGNOTIFY, Registration>::iterator it) {
  lastValid_ = false;
  auto key = index_.find(it->second.keyPath);
  auto name = key->second.find(it->second.valueName);
  std::erase(name->second, it->first);
  if (name->second.empty()) key->second.erase(name);
  if (key->second.empty()) index_.erase(key);
  regs_.erase(it);
}

size_t RegistryNotifier::Count() {
  for (auto it = regs_.begin(); it != regs_.end();) {
    auto next = std::next(it);
    if (!IsWindow(it->second.hwnd)) Drop(it);
    it = next;
  }
  return regs_.size();
}

bool RegistryNotifier::Watches(HREGNOTIFY h, std::u16string_view keyPath,
                               std::u16string_view valueName) const {
  auto it = regs_.find(h);
  return it != regs_.end() && it->second.keyPath == Folded(keyPath) &&
         it->second.valueName == Folded(valueName);
}

const std::vector<HREGNOTIFY>* RegistryNotifier::Watchers(const RegChange& c) {
  std::u16string folded;
  std::u16string_view key = c.foldedKeyPath;
  if (key.empty()) key = folded = Folded(c.keyPath);
  if (lastValid_ && platform::Same(key, lastKey_) && platform::Same(c.valueName, lastName_))
    return lastWatchers_;
  const std::vector<HREGNOTIFY>* found = nullptr;
  if (auto byKey = index_.find(key); byKey != index_.end()) {
    auto byName = byKey->second.find(Folded(c.valueName));
    if (byName != byKey->second.end()) found = &byName->second;
  }
  lastValid_ = true;
  lastKey_ = key;
  lastName_ = c.valueName;
  lastWatchers_ = found;
  return found;
}

void RegistryNotifier::OnChange(const RegChange& c) {
  if (c.kind == RegChange::Kind::CreateKey || regs_.empty()) return;
  if (c.kind == RegChange::Kind::DeleteKey) {
    if (!c.foldedKeyPath.empty()) return OnKeyDeleted(c.foldedKeyPath);
    return OnKeyDeleted(Folded(c.keyPath));
  }
  const std::vector<HREGNOTIFY>* watchers = Watchers(c);
  if (!watchers) return;
  // Delivering may drop registrations, and the list with them.
  constexpr size_t kFew = 8;
  HREGNOTIFY few[kFew];
  std::vector<HREGNOTIFY> many;
  std::span<const HREGNOTIFY> hit;
  if (watchers->size() <= kFew) {
    std::copy(watchers->begin(), watchers->end(), few);
    hit = {few, watchers->size()};
  } else {
    many = *watchers;
    hit = many;
  }
  for (HREGNOTIFY h : hit)
    if (auto it = regs_.find(h); it != regs_.end()) Changed(h, it->second, c);
}

void RegistryNotifier::OnKeyDeleted(std::u16string_view key) {
  // Rare enough to look at every registration: the key and everything below it.
  std::vector<HREGNOTIFY> hit;
  for (const auto& [h, r] : regs_)
    if (r.keyPath == key || (r.keyPath.size() > key.size() && r.keyPath.starts_with(key) &&
                             r.keyPath[key.size()] == u'\\'))
      hit.push_back(h);
  RegChange gone;
  gone.kind = RegChange::Kind::DeleteKey;
  for (HREGNOTIFY h : hit) {
    auto it = regs_.find(h);
    if (it != regs_.end()) Changed(h, it->second, gone);
  }
}

void RegistryNotifier::Changed(HREGNOTIFY h, Registration& r, const RegChange& c) {
  // Rewriting the same data is no change of state (unconfirmed on a device; the shell's
  // broker compares with the value it last saw).
  bool exists = c.kind == RegChange::Kind::SetValue;
  if (exists == r.last.has_value() &&
      (!exists || (r.last->type == c.type && std::ranges::equal(r.last->bytes, c.data))))
    return;
  std::optional<RegValue> now;
  if (exists) now = RegValue{c.type, {c.data.begin(), c.data.end()}};
  bool pass = Passes(r, r.last, now);
  r.last = std::move(now);
  if (!pass) return;
  WPARAM value = 0;
  if (r.last)
    if (auto d = AsDword(*r.last)) value = *d;
  if (!r.batched) {
    Deliver(h, r, value);
    return;
  }
  uint64_t t = device_.Now();
  if (!r.pending) r.firstChange = t;
  r.pending = true;
  r.pendingValue = value;
  r.deadline = t + r.idle;
  if (r.max != INFINITE) r.deadline = std::min(r.deadline, r.firstChange + r.max);
  device_.At(r.deadline, [this, h] { Flush(h); });
}

bool RegistryNotifier::Passes(const Registration& r, const std::optional<RegValue>& old,
                              const std::optional<RegValue>& now) const {
  if (!r.condition) return true;
  const Condition& c = *r.condition;
  if (c.mask) {
    // A deleted DWORD counts as 0; a value of another type is not compared at all.
    std::optional<DWORD> value = now ? AsDword(*now) : DWORD{0};
    if (!value) return false;
    DWORD masked = *value & c.mask;
    if (c.type == REG_CT_ANYCHANGE) {
      std::optional<DWORD> before = old ? AsDword(*old) : DWORD{0};
      return (before.value_or(0) & c.mask) != masked;
    }
    return Compare(c.type, masked, c.dw & c.mask);
  }
  if (!now) return false;
  std::optional<std::u16string> text = AsText(*now);
  if (!text) return false;
  switch (c.type) {
    case REG_CT_ANYCHANGE:
      return true;
    case REG_CT_CONTAINS:
      return text->find(c.text) != std::u16string::npos;
    case REG_CT_STARTS_WITH:
      return text->starts_with(c.text);
    case REG_CT_ENDS_WITH:
      return text->ends_with(c.text);
    default:
      return Compare(c.type, *text, c.text);
  }
}

void RegistryNotifier::Deliver(HREGNOTIFY h, Registration& r, WPARAM value) {
  // The shell drops a registration whose window is gone or will not take the post.
  if (!IsWindow(r.hwnd) || !PostMessageW(r.hwnd, r.msg, value, static_cast<LPARAM>(r.userData)))
    if (auto it = regs_.find(h); it != regs_.end()) Drop(it);
}

void RegistryNotifier::Flush(HREGNOTIFY h) {
  auto it = regs_.find(h);
  if (it == regs_.end()) return;
  Registration& r = it->second;
  // Earlier events of a batch whose deadline moved on find it not yet due.
  if (!r.pending || device_.Now() < r.deadline) return;
  r.pending = false;
  Deliver(h, r, r.pendingValue);
}

}  // namespace sim

HRESULT RegistryNotifyWindow(HKEY root, LPCWSTR subKey, LPCWSTR valueName, HWND hwnd, UINT msg,
                             DWORD userData, const NOTIFICATIONCONDITION* condition,
                             HREGNOTIFY* notify) {
  if (auto struck = sim::Strike("RegistryNotifyWindow")) return static_cast<HRESULT>(*struck);
  if (!sim::Device::Exists()) return E_FAIL;
  return sim::RegistryNotifier::Of(sim::Device::Current())
      .Add(root, platform::WView(subKey), platform::WView(valueName), hwnd, msg, userData,
           condition, notify);
}

HRESULT RegistryBatchNotification(HREGNOTIFY notify, DWORD idleMs, DWORD maxMs) {
  if (auto struck = sim::Strike("RegistryBatchNotification")) return static_cast<HRESULT>(*struck);
  if (!sim::Device::Exists()) return E_FAIL;
  return sim::RegistryNotifier::Of(sim::Device::Current()).Batch(notify, idleMs, maxMs);
}

HRESULT RegistryCloseNotification(HREGNOTIFY notify) {
  if (auto struck = sim::Strike("RegistryCloseNotification")) return static_cast<HRESULT>(*struck);
  if (!sim::Device::Exists()) return E_FAIL;
  return sim::RegistryNotifier::Of(sim::Device::Current()).Close(notify);
}
