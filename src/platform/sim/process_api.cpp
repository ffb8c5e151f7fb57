// Process creation, the process snapshot and per-process data on the simulated device.
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/process_local.h"
#include "platform/sim/api.h"
#include "platform/sim/faults.h"
#include "platform/wstr.h"

using sim::Dev;
using sim::Device;
using sim::Self;

namespace {

void FillInfo(sim::Process* p, PROCESS_INFORMATION* info) {
  if (!info) return;
  info->hProcess = Dev().handles().Add(p->object);
  info->hThread = Dev().handles().Add(std::make_shared<sim::ThreadObj>(p->mainThread));
  info->dwProcessId = p->pid;
  info->dwThreadId = p->mainThread->id;
}
}  // namespace

BOOL CreateProcessW(LPCWSTR imageName, LPCWSTR commandLine, LPVOID processSecurity,
                    LPVOID threadSecurity, BOOL inheritHandles, DWORD, LPVOID environment,
                    LPCWSTR currentDirectory, LPVOID startupInfo, PROCESS_INFORMATION* info) {
  if (sim::StruckWithLastError("CreateProcessW")) return FALSE;
  // The device takes no security attributes, environment, folder or start-up information.
  if (!imageName || !*imageName || processSecurity || threadSecurity || inheritHandles ||
      environment || currentDirectory || startupInfo) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD error = 0;
  sim::Process* p = Dev().Launch(std::u16string(platform::WView(imageName)),
                                 std::u16string(platform::WView(commandLine)), SW_SHOW, &error);
  if (!p) {
    SetLastError(error);
    return FALSE;
  }
  FillInfo(p, info);
  return TRUE;
}

BOOL TerminateProcess(HANDLE process, DWORD exitCode) {
  auto* obj = Dev().handles().GetAs<sim::ProcessObj>(process, sim::ObjType::Process);
  if (!obj) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Dev().EndProcess(obj->process, exitCode);
  return TRUE;
}

BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode) {
  auto* obj = Dev().handles().GetAs<sim::ProcessObj>(process, sim::ObjType::Process);
  if (!obj || !exitCode) {
    SetLastError(obj ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exitCode = obj->process->exitCode;
  return TRUE;
}

BOOL ShellExecuteEx(SHELLEXECUTEINFO* info) {
  if (sim::StruckWithLastError("ShellExecuteEx")) return FALSE;
  if (!info || info->cbSize != sizeof(SHELLEXECUTEINFO) || !info->lpFile || !*info->lpFile) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD error = 0;
  sim::Process* p =
      Dev().Launch(std::u16string(platform::WView(info->lpFile)),
                   std::u16string(platform::WView(info->lpParameters)), info->nShow, &error);
  if (!p) {
    info->hInstApp = 2;  // SE_ERR_FNF
    SetLastError(error);
    return FALSE;
  }
  info->hInstApp = 33;
  info->hProcess = (info->fMask & SEE_MASK_NOCLOSEPROCESS) ? Dev().handles().Add(p->object) : 0;
  return TRUE;
}

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD) {
  if (sim::StruckWithLastError("CreateToolhelp32Snapshot")) return INVALID_HANDLE_VALUE;
  // Without TH32CS_SNAPNOHEAPS the snapshot walks every heap, which fails on these devices.
  if (!(flags & TH32CS_SNAPPROCESS) || !(flags & TH32CS_SNAPNOHEAPS)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  auto snap = std::make_shared<sim::SnapshotObj>();
  auto add = [&](DWORD pid, std::u16string_view exe, DWORD threads) {
    PROCESSENTRY32 e{};
    e.dwSize = sizeof(PROCESSENTRY32);
    e.cntUsage = 1;
    e.th32ProcessID = pid;
    e.cntThreads = threads;
    platform::WCopy(e.szExeFile, MAX_PATH, exe);
    e.th32MemoryBase = 0x02000000u * (static_cast<DWORD>(snap->entries.size()) + 1);
    e.th32AccessKey = 1u << snap->entries.size();
    snap->entries.push_back(e);
  };
  add(0x00000042, u"NK.EXE", 1);
  for (const auto& p : Dev().Processes()) {
    if (p->ended) continue;
    DWORD live = 0;
    for (auto* t : p->threads) live += t->state != sim::ThreadState::Finished && !t->killed;
    add(p->pid, p->exeName, live);
  }
  return Dev().handles().Add(snap);
}

namespace {
BOOL NextEntry(HANDLE snapshot, PROCESSENTRY32* entry, bool first) {
  auto* snap = Dev().handles().GetAs<sim::SnapshotObj>(snapshot, sim::ObjType::Snapshot);
  if (!snap || !entry || entry->dwSize != sizeof(PROCESSENTRY32)) {
    SetLastError(snap ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (first) snap->next = 0;
  if (snap->next >= snap->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *entry = snap->entries[snap->next++];
  return TRUE;
}
}  // namespace

BOOL Process32First(HANDLE snapshot, PROCESSENTRY32* entry) {
  return NextEntry(snapshot, entry, true);
}

BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32* entry) {
  return NextEntry(snapshot, entry, false);
}

BOOL CloseToolhelp32Snapshot(HANDLE snapshot) {
  if (!Dev().handles().GetAs<sim::SnapshotObj>(snapshot, sim::ObjType::Snapshot)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return Dev().handles().Close(snapshot);
}

namespace platform {

void* ProcessSlot(const void* key, void* (*create)(), void (*destroy)(void*)) {
  sim::Thread* self = Dev().scheduler().Current();
  sim::Process* p = self && self->dataProcess ? self->dataProcess
                    : self && self->process   ? self->process
                                              : &Dev().DriverProcess();
  auto& recent = p->recentSlots[(reinterpret_cast<uintptr_t>(key) >> 3) % p->recentSlots.size()];
  if (recent.first == key) return recent.second;
  auto it = p->slots.find(key);
  if (it == p->slots.end()) it = p->slots.emplace(key, std::make_pair(create(), destroy)).first;
  recent = {key, it->second.first};
  return it->second.first;
}

}  // namespace platform
