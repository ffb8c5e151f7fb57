// The shell's state-store notifications on the simulated device: registrations of windows for
// changes of one registry value, fed by the registry's change feed. A registry write by anyone
// (the daemon, a stand-in, the driver's "reg set") notifies the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/registry_model.h"

namespace sim {

class Device;

class RegistryNotifier {
 public:
  RegistryNotifier(Device& device, Registry& registry);
  ~RegistryNotifier();
  RegistryNotifier(const RegistryNotifier&) = delete;
  RegistryNotifier& operator=(const RegistryNotifier&) = delete;

  // The device's notifier, made on first use and released with the device.
  static RegistryNotifier& Of(Device& device);

  HRESULT Add(HKEY root, std::u16string_view subKey, std::u16string_view valueName, HWND hwnd,
              UINT msg, DWORD userData, const NOTIFICATIONCONDITION* condition, HREGNOTIFY* out);
  HRESULT Batch(HREGNOTIFY h, DWORD idleMs, DWORD maxMs);
  HRESULT Close(HREGNOTIFY h);

  // Live registrations (those of dead windows are dropped first).
  size_t Count();
  // Whether `h` is live and watches that full key path ("HKEY_...\\...") and value.
  bool Watches(HREGNOTIFY h, std::u16string_view keyPath, std::u16string_view valueName) const;

  // Fault injection: a registration for which this answers true fails with E_FAIL.
  std::function<bool(std::u16string_view keyPath, std::u16string_view valueName)> refuse;

 private:
  struct Condition {
    REG_COMPARISONTYPE type = REG_CT_ANYCHANGE;
    DWORD mask = 0;
    DWORD dw = 0;
    std::u16string text;
  };
  struct Registration {
    std::u16string keyPath;    // full root name, folded
    std::u16string valueName;  // folded
    HWND hwnd = 0;
    UINT msg = 0;
    DWORD userData = 0;
    std::optional<Condition> condition;
    std::optional<RegValue> last;  // empty while the value does not exist
    bool batched = false;
    DWORD idle = 0;
    DWORD max = 0;
    bool pending = false;
    WPARAM pendingValue = 0;
    uint64_t firstChange = 0;
    uint64_t deadline = 0;
  };

  void OnChange(const RegChange& c);
  void OnKeyDeleted(std::u16string_view folded);
  const std::vector<HREGNOTIFY>* Watchers(const RegChange& c);
  void Drop(std::map<HREGNOTIFY, Registration>::iterator it);
  void Changed(HREGNOTIFY h, Registration& r, const RegChange& c);
  bool Passes(const Registration& r, const std::optional<RegValue>& old,
              const std::optional<RegValue>& now) const;
  void Deliver(HREGNOTIFY h, Registration& r, WPARAM value);
  void Flush(HREGNOTIFY h);

  Device& device_;
  Registry& registry_;
  int observer_ = 0;
  struct ViewHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
  };
  template <class T>
  using ByName = std::unordered_map<std::u16string, T, ViewHash, std::equal_to<>>;

  std::map<HREGNOTIFY, Registration> regs_;
  // The live registrations by folded key path and value name, oldest first: a change finds its
  // watchers without looking at any other registration.
  ByName<ByName<std::vector<HREGNOTIFY>>> index_;
  // The last lookup (key as folded, value name as written): a value written again and again
  // skips folding and hashing. Any change of the index forgets it.
  bool lastValid_ = false;
  std::u16string lastKey_;
  std::u16string lastName_;
  const std::vector<HREGNOTIFY>* lastWatchers_ = nullptr;
  HREGNOTIFY next_ = 0x00C00000u;
};

}  // namespace sim
