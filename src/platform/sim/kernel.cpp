// Kernel calls on the simulated device: threads, events and waits on the virtual clock.
#include "platform/kernel.h"

#include <algorithm>
#include <vector>

#include "platform/sim/api.h"
#include "platform/sim/faults.h"
#include "platform/wstr.h"

using sim::Dev;
using sim::Device;
using sim::EventObj;
using sim::KObject;
using sim::ObjType;
using sim::Self;
using sim::Thread;

namespace {

struct MultiWait {
  std::vector<std::shared_ptr<KObject>> objects;
  bool all = false;
};

bool Satisfied(Thread* self, const MultiWait& w, size_t* index) {
  if (w.all) {
    for (auto& o : w.objects)
      if (!o->Signaled()) return false;
    *index = 0;
    return true;
  }
  for (size_t i = 0; i < w.objects.size(); ++i) {
    if (w.objects[i]->Signaled() || (self && self->pulsedBy == w.objects[i].get())) {
      *index = i;
      return true;
    }
  }
  return false;
}

bool MultiReady(Thread* self, void* ctx) {
  size_t index;
  return Satisfied(self, *static_cast<MultiWait*>(ctx), &index);
}

uint64_t DeadlineAfter(DWORD ms) {
  return ms == INFINITE ? sim::kNever : Dev().Now() + ms;
}

DWORD WaitOn(MultiWait& w, DWORD ms) {
  Thread* self = Self();
  if (!self) {
    // The driver never blocks: it can only test.
    for (size_t i = 0; i < w.objects.size(); ++i) {
      if (w.objects[i]->Signaled()) {
        w.objects[i]->Acquire();
        return WAIT_OBJECT_0 + static_cast<DWORD>(i);
      }
    }
    return WAIT_TIMEOUT;
  }
  uint64_t deadline = DeadlineAfter(ms);
  for (;;) {
    size_t index;
    if (Satisfied(self, w, &index)) {
      self->pulsedBy = nullptr;
      if (w.all) {
        for (auto& o : w.objects) o->Acquire();
      } else {
        w.objects[index]->Acquire();
      }
      return WAIT_OBJECT_0 + static_cast<DWORD>(index);
    }
    if (Dev().Now() >= deadline) return WAIT_TIMEOUT;
    if (!Dev().scheduler().Block({&MultiReady, &w, deadline, false, "WaitForObjects"}))
      return WAIT_FAILED;
  }
}
}  // namespace

DWORD GetLastError() {
  Thread* t = Device::Exists() ? Self() : nullptr;
  return t ? t->lastError : Device::Exists() ? Dev().driverLastError : 0;
}

void SetLastError(DWORD error) {
  if (!Device::Exists()) return;
  if (Thread* t = Self())
    t->lastError = error;
  else
    Dev().driverLastError = error;
}

HANDLE CreateThread(LPVOID, DWORD, LPTHREAD_START_ROUTINE start, LPVOID param, DWORD,
                    DWORD* threadId) {
  if (sim::StruckWithLastError("CreateThread")) return 0;
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Thread* self = Self();
  sim::Process* p = self ? self->process : nullptr;
  Thread* t =
      Dev().SpawnThread(p, (p ? platform::U8(p->exeName) : std::string("device")) + " worker",
                        [start, param]() -> DWORD { return start(param); });
  if (threadId) *threadId = t->id;
  return Dev().handles().Add(std::make_shared<sim::ThreadObj>(t));
}

BOOL TerminateThread(HANDLE h, DWORD exitCode) {
  auto* obj = Dev().handles().GetAs<sim::ThreadObj>(h, ObjType::Thread);
  if (!obj) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Dev().scheduler().Terminate(obj->thread, exitCode);
  return TRUE;
}

BOOL GetExitCodeThread(HANDLE h, DWORD* exitCode) {
  auto* obj = Dev().handles().GetAs<sim::ThreadObj>(h, ObjType::Thread);
  if (!obj || !exitCode) {
    SetLastError(obj ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exitCode = obj->thread->exitCode;
  return TRUE;
}

DWORD GetCurrentThreadId() {
  Thread* t = Self();
  return t ? t->id : 0;
}

DWORD GetCurrentProcessId() {
  Thread* t = Self();
  return t && t->process ? t->process->pid : 0;
}

HANDLE CreateEventW(LPVOID, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  if (sim::StruckWithLastError("CreateEventW")) return 0;
  auto& handles = Dev().handles();
  std::u16string n(platform::WView(name));
  if (!n.empty()) {
    if (auto existing = handles.FindNamedEvent(n)) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return handles.Add(existing);
    }
  }
  auto ev = std::make_shared<EventObj>(manualReset != 0, initialState != 0, n);
  if (!n.empty()) handles.AddNamedEvent(ev);
  SetLastError(ERROR_SUCCESS);
  return handles.Add(ev);
}

namespace {
EventObj* EventOf(HANDLE h) {
  auto* ev = Dev().handles().GetAs<EventObj>(h, ObjType::Event);
  if (!ev) SetLastError(ERROR_INVALID_HANDLE);
  return ev;
}
}  // namespace

BOOL SetEvent(HANDLE h) {
  EventObj* ev = EventOf(h);
  if (!ev) return FALSE;
  ev->signaled = true;
  return TRUE;
}

BOOL ResetEvent(HANDLE h) {
  EventObj* ev = EventOf(h);
  if (!ev) return FALSE;
  ev->signaled = false;
  return TRUE;
}

BOOL PulseEvent(HANDLE h) {
  EventObj* ev = EventOf(h);
  if (!ev) return FALSE;
  // Releases the threads waiting right now (one for an auto-reset event), then resets.
  for (const auto& t : Dev().scheduler().Threads()) {
    if (t->state != sim::ThreadState::Blocked || t->killed || t->wait.ready != &MultiReady)
      continue;
    auto* w = static_cast<MultiWait*>(t->wait.ctx);
    bool waitsHere = std::any_of(w->objects.begin(), w->objects.end(),
                                 [&](const auto& o) { return o.get() == ev; });
    if (!waitsHere || w->all) continue;
    t->pulsedBy = ev;
    if (!ev->manual) break;
  }
  ev->signaled = false;
  return TRUE;
}

BOOL CloseHandle(HANDLE h) {
  if (!Device::Exists()) return FALSE;
  auto& files = Dev().files();
  if (files.OwnsHandle(h)) return files.Close(h);
  if (Dev().handles().Close(h)) return TRUE;
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

DWORD WaitForSingleObject(HANDLE h, DWORD ms) {
  return WaitForMultipleObjects(1, &h, FALSE, ms);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  MultiWait w;
  w.all = waitAll != 0;
  for (DWORD i = 0; i < count; ++i) {
    auto obj = Dev().handles().Get(handles[i]);
    if (!obj || obj->type == ObjType::Snapshot) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    w.objects.push_back(std::move(obj));
  }
  return WaitOn(w, ms);
}

void Sleep(DWORD ms) {
  Thread* self = Self();
  if (!self) return;
  if (ms == 0) {
    Dev().scheduler().Yield();
    return;
  }
  uint64_t deadline = DeadlineAfter(ms);
  while (Dev().Now() < deadline) {
    if (!Dev().scheduler().Block({nullptr, nullptr, deadline, false, "Sleep"})) return;
  }
}

DWORD GetTickCount() {
  return static_cast<DWORD>(Dev().Now());
}

namespace {
// Days from 1601-01-01 for a civil date (proleptic Gregorian).
int64_t DaysFrom1601(int y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  int64_t daysFrom1970 = era * 146097 + doe - 719468;
  return daysFrom1970 + 134774;
}

constexpr uint64_t kTicksPerMs = 10000;

uint64_t ToTicks(const SYSTEMTIME& st) {
  int64_t days = DaysFrom1601(st.wYear, st.wMonth, st.wDay);
  uint64_t ms = static_cast<uint64_t>(days) * 86400000ull + st.wHour * 3600000ull +
                st.wMinute * 60000ull + st.wSecond * 1000ull + st.wMilliseconds;
  return ms * kTicksPerMs;
}

SYSTEMTIME FromTicks(uint64_t ticks) {
  uint64_t ms = ticks / kTicksPerMs;
  int64_t days = static_cast<int64_t>(ms / 86400000ull);
  uint64_t rem = ms % 86400000ull;
  int64_t z = days - 134774 + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(y + (m <= 2));
  st.wMonth = static_cast<WORD>(m);
  st.wDay = static_cast<WORD>(d);
  st.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  st.wHour = static_cast<WORD>(rem / 3600000);
  st.wMinute = static_cast<WORD>(rem / 60000 % 60);
  st.wSecond = static_cast<WORD>(rem / 1000 % 60);
  st.wMilliseconds = static_cast<WORD>(rem % 1000);
  return st;
}
}  // namespace

void GetLocalTime(SYSTEMTIME* st) {
  if (!st) return;
  *st = FromTicks(ToTicks(Dev().ClockStart()) + Dev().Now() * kTicksPerMs);
}

// The simulated phone keeps its clock in UTC+0, so system and local time agree.
void GetSystemTime(SYSTEMTIME* st) {
  GetLocalTime(st);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
  if (!st || !ft || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 || st->wDay > 31 ||
      st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59 || st->wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uint64_t ticks = ToTicks(*st);
  ft->dwLowDateTime = static_cast<DWORD>(ticks);
  ft->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
  if (!ft || !st) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *st = FromTicks((static_cast<uint64_t>(ft->dwHighDateTime) << 32) | ft->dwLowDateTime);
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR buffer, DWORD size) {
  if (sim::StruckWithLastError("GetModuleFileNameW")) return 0;
  Thread* self = Self();
  if (!self || !self->process || !buffer || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string& path = self->process->imagePath;
  size_t n = platform::WCopy(buffer, size, path);
  if (n < path.size()) SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return static_cast<DWORD>(n);
}
