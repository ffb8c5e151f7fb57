#include "platform/sim/mapi_model.h"

#include <algorithm>

#include "platform/sim/device.h"
#include "platform/wstr.h"

namespace sim {
namespace {

constexpr char16_t kMessagesKey[] = u"HKEY_CURRENT_USER\\System\\State\\Messages";

// The unread-count key the shell keeps for a store of that name.
std::u16string CountKey(const std::u16string& store) {
  std::u16string base = kMessagesKey;
  if (store == u"SMS" || store == u"MMS") return base + u"\\" + store + u"\\Unread";
  return base + u"\\TotalEmail\\Unread";
}

bool IsEmailStore(const std::u16string& name) {
  return name != u"SMS" && name != u"MMS";
}

bool Unread(const MapiMessage& m) {
  return (m.flags & MSGFLAG_READ) == 0;
}

std::vector<uint8_t> DwordBytes(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

std::vector<uint8_t> TextBytes(const std::u16string& text) {
  std::vector<uint8_t> out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}
}  // namespace

bool NewerMessage(const MapiMessage& a, const MapiMessage& b) {
  if (a.time != b.time) return !a.time || (b.time && *a.time > *b.time);
  return a.arrival > b.arrival;
}

Mapi::Mapi() {
  AddStore(u"SMS");
  AddStore(u"MMS");
}

MapiStore& Mapi::AddStore(std::u16string name) {
  stores_.push_back(MapiStore{nextStore_++, std::move(name), {}});
  return stores_.back();
}

bool Mapi::Arrive(Device& dev, const std::u16string& store, MapiMessage message, bool create) {
  MapiStore* target = nullptr;
  for (auto& s : stores_)
    if (s.name == store) target = &s;
  if (!target) {
    if (!create) return false;
    target = &AddStore(store);
  }
  message.id = nextMessage_++;
  message.arrival = ++arrivals_;
  target->inbox.push_back(std::move(message));
  dev.Note("mapi arrive " + platform::U8(store));
  // The account comes first, so that whoever hears of the count finds it.
  if (IsEmailStore(store))
    dev.registry().SetValue(kMessagesKey, u"Last Received Account", REG_SZ, TextBytes(store));
  Publish(dev, store);
  return true;
}

std::vector<const MapiMessage*> Mapi::Inbox(const std::u16string& store) const {
  std::vector<const MapiMessage*> out;
  for (const auto& s : stores_)
    if (s.name == store)
      for (const auto& m : s.inbox) out.push_back(&m);
  std::stable_sort(out.begin(), out.end(),
                   [](const MapiMessage* a, const MapiMessage* b) { return NewerMessage(*a, *b); });
  return out;
}

bool Mapi::ReadNewest(Device& dev, const std::u16string& store) {
  MapiStore* owner = nullptr;
  MapiMessage* newest = nullptr;
  for (auto& s : stores_) {
    if (s.name != store) continue;
    for (auto& m : s.inbox) {
      if (!Unread(m) || (newest && !NewerMessage(m, *newest))) continue;
      newest = &m;
      owner = &s;
    }
  }
  if (!newest) return false;
  SetRead(dev, *owner, *newest, true);
  return true;
}

MapiStore* Mapi::StoreById(uint32_t id) {
  for (auto& s : stores_)
    if (s.id == id) return &s;
  return nullptr;
}

MapiMessage* Mapi::MessageById(uint32_t id, MapiStore** owner) {
  for (auto& s : stores_)
    for (auto& m : s.inbox)
      if (m.id == id) {
        if (owner) *owner = &s;
        return &m;
      }
  return nullptr;
}

void Mapi::SetRead(Device& dev, MapiStore& store, MapiMessage& message, bool read) {
  bool was = !Unread(message);
  message.flags = read ? (message.flags | MSGFLAG_READ) : (message.flags & ~MSGFLAG_READ);
  if (was == read) return;
  dev.Note(std::string("mapi ") + (read ? "read " : "unread ") + platform::U8(store.name));
  Publish(dev, store.name);
}

// The shell's count covers every store of the kind: all e-mail accounts share one.
void Mapi::Publish(Device& dev, const std::u16string& store) {
  bool email = IsEmailStore(store);
  uint32_t unread = 0;
  for (const auto& s : stores_) {
    if (email ? !IsEmailStore(s.name) : s.name != store) continue;
    unread += static_cast<uint32_t>(std::count_if(s.inbox.begin(), s.inbox.end(), Unread));
  }
  std::u16string key = CountKey(store);
  auto now = dev.registry().GetValue(key, u"Count");
  if (now && now->type == REG_DWORD && now->bytes == DwordBytes(unread)) return;
  dev.registry().SetValue(key, u"Count", REG_DWORD, DwordBytes(unread));
}

}  // namespace sim
