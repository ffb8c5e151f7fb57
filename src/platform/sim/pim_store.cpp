#include "platform/sim/pim_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/kernel.h"
#include "platform/sim/api.h"
#include "platform/user.h"
#include "platform/wstr.h"

namespace sim {

IUnknown* NewPoomApplication();  // pim_objects.cpp

namespace {

constexpr UINT kItemCreated = 0x8105;
constexpr UINT kItemDeleted = 0x8106;
constexpr UINT kItemChanged = 0x8107;

std::vector<uint8_t> TextBytes(std::u16string_view text) {
  std::vector<uint8_t> bytes((text.size() + 1) * 2, 0);
  std::memcpy(bytes.data(), text.data(), text.size() * 2);
  return bytes;
}

std::vector<uint8_t> DwordBytes(DWORD v) {
  std::vector<uint8_t> bytes(4);
  std::memcpy(bytes.data(), &v, 4);
  return bytes;
}

}  // namespace

DATE DeviceNowDate() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  st.wMilliseconds = 0;
  DATE d = 0;
  SystemTimeToVariantTime(&st, &d);
  return d;
}

PimStore::PimStore(ComRuntime& com) {
  com.RegisterClass(CLSID_Application, [] { return NewPoomApplication(); });
}

LONG PimStore::Add(PimItem item) {
  item.oid = nextOid_++;
  items_.push_back(std::move(item));
  Notify(kItemCreated, items_.back());
  return items_.back().oid;
}

bool PimStore::Change(LONG oid, const std::function<void(PimItem&)>& edit) {
  for (PimItem& item : items_) {
    if (item.oid != oid) continue;
    edit(item);
    Notify(kItemChanged, item);
    return true;
  }
  return false;
}

bool PimStore::Remove(LONG oid) {
  auto it = std::find_if(items_.begin(), items_.end(), [&](auto& i) { return i.oid == oid; });
  if (it == items_.end()) return false;
  PimItem gone = *it;
  items_.erase(it);
  Notify(kItemDeleted, gone);
  return true;
}

const PimItem* PimStore::FindBySubject(int folder, std::u16string_view subject) const {
  for (const PimItem& item : items_)
    if (item.folder == folder && (folder == olFolderContacts ? item.name : item.subject) == subject)
      return &item;
  return nullptr;
}

const PimItem* PimStore::Get(LONG oid) const {
  for (const PimItem& item : items_)
    if (item.oid == oid) return &item;
  return nullptr;
}

std::vector<PimItem> PimStore::ItemsOf(int folder) const {
  std::vector<PimItem> out;
  for (const PimItem& item : items_)
    if (item.folder == folder) out.push_back(item);
  return out;
}

void PimStore::Logon(const void* session, HWND window) {
  Thread* self = Self();
  sessions_[session] = Session{window, self ? self->process : nullptr, {}};
}

int PimStore::LogonsOf(std::u16string_view exeName) const {
  int n = 0;
  for (const auto& [key, s] : sessions_)
    if (s.process && !s.process->ended && platform::IEquals(s.process->exeName, exeName)) ++n;
  return n;
}

void PimStore::Logoff(const void* session) {
  sessions_.erase(session);
}

bool PimStore::LoggedOn(const void* session) const {
  return sessions_.count(session) > 0;
}

void PimStore::SetNotifications(const void* session, int folder, ULONG flags) {
  auto it = sessions_.find(session);
  if (it != sessions_.end()) it->second.notify[folder] = flags;
}

// Only programs that asked for changes by others hear of them; the shell's summary values
// follow every change, as the device's shell keeps them.
void PimStore::Notify(UINT message, const PimItem& item) {
  for (auto& [session, s] : sessions_) {
    auto it = s.notify.find(item.folder);
    if (it == s.notify.end() || !(it->second & PIMFOLDERNOTIFICATION_REMOTE)) continue;
    if (IsWindow(s.window))
      PostMessageW(s.window, message, static_cast<WPARAM>(item.oid), item.folder);
  }
  UpdateShellState(item.folder);
}

void PimStore::UpdateShellState(int folder) {
  Registry& reg = Dev().registry();
  DATE now = DeviceNowDate();
  if (folder == olFolderCalendar) {
    const PimItem* next = nullptr;
    const PimItem* current = nullptr;
    for (const PimItem& i : items_) {
      if (i.folder != olFolderCalendar || i.end < now) continue;
      if (i.start <= now && !current) current = &i;
      if (!next || i.start < next->start) next = &i;
    }
    reg.CreateKey(u"HKCU\\System\\State\\Appointments\\HomeScreen");
    reg.SetValue(u"HKCU\\System\\State\\Appointments", u"Current", REG_SZ,
                 TextBytes(current ? current->subject : u""));
    reg.SetValue(u"HKCU\\System\\State\\Appointments\\HomeScreen", u"Subject", REG_SZ,
                 TextBytes(next ? next->subject : u""));
  } else if (folder == olFolderTasks) {
    DWORD active = 0, dueToday = 0;
    for (const PimItem& i : items_) {
      if (i.folder != olFolderTasks || i.complete) continue;
      ++active;
      if (std::floor(i.due) == std::floor(now)) ++dueToday;
    }
    reg.CreateKey(u"HKCU\\System\\State\\Tasks");
    reg.SetValue(u"HKCU\\System\\State\\Tasks", u"Active", REG_DWORD, DwordBytes(active));
    reg.SetValue(u"HKCU\\System\\State\\Tasks", u"Due Today", REG_DWORD, DwordBytes(dueToday));
  }
}

}  // namespace sim
