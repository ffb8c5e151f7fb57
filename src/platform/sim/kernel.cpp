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
  for (sim::Thread* t : Dev().scheduler().Live()) {
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
FILETIME FileTimeOf(int64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks),
                  static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32)};
}

int64_t TicksOf(const FILETIME& ft) {
  return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}
}  // namespace

void GetLocalTime(SYSTEMTIME* st) {
  if (!st) return;
  *st = sim::SystemTimeOf(Dev().clock().LocalAt(Dev().Now()));
}

void GetSystemTime(SYSTEMTIME* st) {
  if (!st) return;
  *st = sim::SystemTimeOf(Dev().clock().UtcAt(Dev().Now()));
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
  if (!st || !ft || st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 ||
      st->wDay < 1 || st->wDay > 31 || st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59 ||
      st->wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *ft = FileTimeOf(sim::FileTicksOf(*st));
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
  if (!ft || !st) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The top half of the range is refused, as the real call refuses it.
  if (ft->dwHighDateTime & 0x80000000u) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *st = sim::SystemTimeOf(TicksOf(*ft));
  return TRUE;
}

DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* tz) {
  if (!tz) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return TIME_ZONE_ID_INVALID;
  }
  const sim::DeviceClock& clock = Dev().clock();
  bool daylight = false;
  clock.LocalAt(Dev().Now(), &daylight);
  *tz = clock.Information(clock.UtcAt(Dev().Now()));
  if (!clock.Zone().daylight) return TIME_ZONE_ID_UNKNOWN;
  return daylight ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* tz, const SYSTEMTIME* utc,
                                     SYSTEMTIME* local) {
  if (!utc || !local || !sim::IsValidSystemTime(*utc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t moment = sim::FileTicksOf(*utc);
  const sim::DeviceClock& clock = Dev().clock();
  int64_t ticks = sim::LocalOf(tz ? *tz : clock.Information(moment), moment, nullptr);
  if (ticks < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *local = sim::SystemTimeOf(ticks);
  return TRUE;
}

// The desktop documents (and Wine does) a shift by the bias in force now, daylight saving
// included, even for a moment of the other season; the device is taken to do the same.
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  if (!utc || !local) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const sim::DeviceClock& clock = Dev().clock();
  int64_t nowUtc = clock.UtcAt(Dev().Now());
  int64_t shift = clock.LocalAt(Dev().Now()) - nowUtc;
  uint64_t moment = (static_cast<uint64_t>(utc->dwHighDateTime) << 32) | utc->dwLowDateTime;
  *local = FileTimeOf(static_cast<int64_t>(moment + static_cast<uint64_t>(shift)));
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
