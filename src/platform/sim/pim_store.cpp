#include "platform/sim/pim_store.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "platform/kernel.h"
#include "platform/sim/api.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/pim_folder.h"
#include "platform/user.h"
#include "platform/wstr.h"

namespace sim {

IUnknown* NewPoomApplication();  // pim_objects.cpp

namespace {

constexpr UINT kItemCreated = 0x8105;
constexpr UINT kItemDeleted = 0x8106;
constexpr UINT kItemChanged = 0x8107;

// A REG_SZ value's bytes, the NUL included, in `buffer`.
std::span<const uint8_t> TextBytes(std::u16string_view text, std::vector<uint8_t>& buffer) {
  buffer.assign((text.size() + 1) * 2, 0);
  if (!text.empty()) std::memcpy(buffer.data(), text.data(), text.size() * 2);
  return buffer;
}

std::array<uint8_t, 4> DwordBytes(DWORD v) {
  std::array<uint8_t, 4> bytes;
  std::memcpy(bytes.data(), &v, 4);
  return bytes;
}

}  // namespace

DATE DeviceNowDate() {
  // Asked after every change of the calendar or the tasks, mostly within one second.
  constexpr int64_t kTicksPerSecond = 10'000'000;
  thread_local int64_t lastSecond = -1;
  thread_local DATE last = 0;
  const int64_t second = std::max<int64_t>(Dev().clock().LocalAt(Dev().Now()), 0) / kTicksPerSecond;
  if (second != lastSecond) {
    SYSTEMTIME st = SystemTimeOf(second * kTicksPerSecond);
    last = 0;
    SystemTimeToVariantTime(&st, &last);
    lastSecond = second;
  }
  return last;
}

PimStore::PimStore(ComRuntime& com) {
  com.RegisterClass(CLSID_Application, [] { return NewPoomApplication(); });
}

PimStore::~PimStore() = default;

PimFolder& PimStore::Own(int folder) {
  std::shared_ptr<PimFolder>& f = folders_[folder];
  if (!f)
    f = std::make_shared<PimFolder>();
  else if (f.use_count() > 1)
    f = std::make_shared<PimFolder>(*f);
  return *f;
}

std::shared_ptr<const PimFolder> PimStore::Snapshot(int folder) {
  std::shared_ptr<PimFolder>& f = folders_[folder];
  if (!f) f = std::make_shared<PimFolder>();
  return f;
}

std::optional<int> PimStore::FolderOf(LONG oid) const {
  for (const auto& [id, f] : folders_)
    if (f->Find(oid)) return id;
  return std::nullopt;
}

LONG PimStore::Add(const PimItem& item) {
  const PimItem& added = Own(item.folder).Put(item, nextOid_++);
  Notify(kItemCreated, added);
  return added.oid;
}

bool PimStore::Change(LONG oid, const std::function<void(PimItem&)>& edit) {
  std::optional<int> from = FolderOf(oid);
  if (!from) return false;
  PimFolder::Node node = Own(*from).Take(oid);
  edit(node.mapped());
  const int to = node.mapped().folder;
  const PimItem& changed = Own(to).Put(std::move(node));
  Notify(kItemChanged, changed);
  return true;
}

bool PimStore::Remove(LONG oid) {
  std::optional<int> from = FolderOf(oid);
  if (!from) return false;
  PimFolder::Node gone = Own(*from).Take(oid);
  Notify(kItemDeleted, gone.mapped());
  return true;
}

const PimItem* PimStore::FindBySubject(int folder, std::u16string_view subject) const {
  auto f = folders_.find(folder);
  return f == folders_.end() ? nullptr : f->second->FirstWithSubject(subject);
}

const PimItem* PimStore::FindByNumber(std::u16string_view number) const {
  auto f = folders_.find(olFolderContacts);
  return f == folders_.end() ? nullptr : f->second->FirstWithNumber(number);
}

const PimItem* PimStore::Get(LONG oid) const {
  std::optional<int> folder = FolderOf(oid);
  return folder ? folders_.at(*folder)->Find(oid) : nullptr;
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
  if (folder != olFolderCalendar && folder != olFolderTasks) return;
  Registry& reg = Dev().registry();
  const DATE now = DeviceNowDate();
  PimFolder& f = *folders_.at(folder);
  if (folder == olFolderCalendar) {
    const PimItem* current = f.FirstUnderWay(now);
    const PimItem* next = f.EarliestNotEnded(now);
    reg.CreateKey(homeScreenKey_);
    reg.SetValue(appointmentsKey_, u"Current", REG_SZ,
                 TextBytes(current ? current->subject : u"", textBuffer_));
    reg.SetValue(homeScreenKey_, u"Subject", REG_SZ,
                 TextBytes(next ? next->subject : u"", textBuffer_));
  } else {
    const DWORD active = static_cast<DWORD>(f.open().size());
    const DWORD dueToday = f.OpenDueOn(std::floor(now));
    reg.CreateKey(tasksKey_);
    reg.SetValue(tasksKey_, u"Active", REG_DWORD, DwordBytes(active));
    reg.SetValue(tasksKey_, u"Due Today", REG_DWORD, DwordBytes(dueToday));
  }
}

}  // namespace sim
