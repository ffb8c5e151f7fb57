// The notification database of a kept device, DIR/notifications.reg: one key per notification
// in the registry's own text format, so that people and tools read and edit it as they do the
// registry, and a damaged file names its line.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "device/runner/runner_internal.h"
#include "platform/sim/regfile.h"
#include "platform/wstr.h"

namespace device::detail {

namespace {

using platform::U16;
using platform::U8;

constexpr char16_t kRoot[] = u"HKEY_LOCAL_MACHINE\\Notifications";

void Put(sim::Registry& out, const std::u16string& key, std::u16string_view name, DWORD type,
         const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  out.SetValue(key, name, type, std::vector<uint8_t>(bytes, bytes + size));
}

void PutText(sim::Registry& out, const std::u16string& key, std::u16string_view name,
             const std::u16string& text) {
  Put(out, key, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

void PutDword(sim::Registry& out, const std::u16string& key, std::u16string_view name, DWORD v) {
  Put(out, key, name, REG_DWORD, &v, sizeof v);
}

// Reads the values of one notification's key; the name of the first one missing or of the
// wrong type, else empty.
class Reader {
 public:
  Reader(const sim::Registry& in, std::u16string key) : in_(in), key_(std::move(key)) {}

  bool Has(std::u16string_view name) const { return in_.GetValue(key_, name).has_value(); }
  void Text(std::u16string_view name, std::u16string* out) {
    auto v = Value(name, REG_SZ);
    if (!v) return;
    std::u16string text(v->bytes.size() / 2, u'\0');
    std::memcpy(text.data(), v->bytes.data(), text.size() * 2);
    *out = text.substr(0, text.find(u'\0'));
  }
  void Dword(std::u16string_view name, DWORD* out) {
    auto v = Value(name, REG_DWORD);
    if (v && v->bytes.size() == sizeof(DWORD)) std::memcpy(out, v->bytes.data(), sizeof(DWORD));
    if (v && v->bytes.size() != sizeof(DWORD)) Wrong(name);
  }
  void Time(std::u16string_view name, SYSTEMTIME* out) {
    auto v = Value(name, REG_BINARY);
    if (v && v->bytes.size() == sizeof(SYSTEMTIME)) std::memcpy(out, v->bytes.data(), sizeof *out);
    if (v && v->bytes.size() != sizeof(SYSTEMTIME)) Wrong(name);
  }
  const std::string& wrong() const { return wrong_; }

 private:
  std::optional<sim::RegValue> Value(std::u16string_view name, DWORD type) {
    auto v = in_.GetValue(key_, name);
    if (v && v->type == type) return v;
    Wrong(name);
    return std::nullopt;
  }
  void Wrong(std::u16string_view name) {
    if (wrong_.empty()) wrong_ = U8(name);
  }

  const sim::Registry& in_;
  std::u16string key_;
  std::string wrong_;
};

}  // namespace

std::string NotificationsText(sim::Device& dev) {
  sim::Registry out;
  out.CreateKey(kRoot);
  for (const sim::UserNotification& n : dev.notifications().Entries()) {
    char name[16];
    std::snprintf(name, sizeof name, "0x%08X", n.handle);
    const std::u16string key = std::u16string(kRoot) + u"\\" + U16(name);
    PutText(out, key, u"Owner", n.owner);
    PutDword(out, key, u"Type", n.type);
    PutDword(out, key, u"Event", n.event);
    PutText(out, key, u"Application", n.application);
    PutText(out, key, u"Arguments", n.arguments);
    // As the device's own record holds them, weekday and milliseconds included.
    Put(out, key, u"Start", REG_BINARY, &n.start, sizeof n.start);
    Put(out, key, u"End", REG_BINARY, &n.end, sizeof n.end);
    if (!n.hasUser) continue;
    PutDword(out, key, u"ActionFlags", n.actionFlags);
    PutText(out, key, u"DialogTitle", n.dialogTitle);
    PutText(out, key, u"DialogText", n.dialogText);
    PutText(out, key, u"Sound", n.sound);
  }
  return sim::ExportRegText(out);
}

bool LoadNotifications(sim::Device& dev, const std::string& path, std::string* error) {
  sim::Registry in;
  sim::RegParseResult parsed = sim::LoadRegFile(in, path);
  if (!parsed.ok) {
    *error = parsed.message;
    return false;
  }
  for (const std::u16string& name : in.ListSubkeys(kRoot)) {
    const std::string what = path + ": notification " + U8(name);
    sim::UserNotification n;
    const std::string text = U8(name);
    const char* end = text.data() + text.size();
    auto [stop, ec] =
        std::from_chars(text.data() + std::min<size_t>(2, text.size()), end, n.handle, 16);
    if (!text.starts_with("0x") || ec != std::errc() || stop != end) {
      *error = what + ": the key must be a handle like 0x00B00004";
      return false;
    }
    Reader r(in, std::u16string(kRoot) + u"\\" + name);
    r.Text(u"Owner", &n.owner);
    r.Dword(u"Type", &n.type);
    r.Dword(u"Event", &n.event);
    r.Text(u"Application", &n.application);
    r.Text(u"Arguments", &n.arguments);
    r.Time(u"Start", &n.start);
    r.Time(u"End", &n.end);
    n.hasUser = r.Has(u"ActionFlags");
    if (n.hasUser) {
      r.Dword(u"ActionFlags", &n.actionFlags);
      r.Text(u"DialogTitle", &n.dialogTitle);
      r.Text(u"DialogText", &n.dialogText);
      r.Text(u"Sound", &n.sound);
    }
    if (!r.wrong().empty()) {
      *error = what + ": \"" + r.wrong() + "\" is missing or not of its type";
      return false;
    }
    if (!dev.notifications().Restore(dev, std::move(n))) {
      *error = what +
               ": not a notification the device takes (its type, application or start "
               "time, or a handle given twice)";
      return false;
    }
  }
  return true;
}

}  // namespace device::detail
