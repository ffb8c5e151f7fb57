// Processes, the shell's ShellExecuteEx and the process snapshot: kernel32 and shell32, with
// the device's record layouts and its way of passing arguments.
#include <string>

#include "platform/files.h"
#include "platform/win32/convert.h"
#include "platform/wstr.h"

using namespace win32;

BOOL CreateProcessW(LPCWSTR imageName, LPCWSTR commandLine, LPVOID processSecurity,
                    LPVOID threadSecurity, BOOL inheritHandles, DWORD flags, LPVOID environment,
                    LPCWSTR currentDirectory, LPVOID startupInfo, PROCESS_INFORMATION* info) {
  if (!imageName || !*imageName || startupInfo) {
    real::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The device's command line holds the arguments only; the host's starts with the program.
  std::u16string line = u"\"" + std::u16string(platform::WView(imageName)) + u"\"";
  if (commandLine && *commandLine) line += u" " + std::u16string(platform::WView(commandLine));
  real::STARTUPINFOW si{};
  si.cb = sizeof si;
  real::PROCESS_INFORMATION pi{};
  BOOL ok = real::CreateProcessW(W(imageName), W(line.data()), processSecurity, threadSecurity,
                                 inheritHandles, flags, environment, W(currentDirectory), &si, &pi);
  if (ok && info) *info = {Device(pi.hProcess), Device(pi.hThread), pi.dwProcessId, pi.dwThreadId};
  return ok;
}

BOOL TerminateProcess(HANDLE process, DWORD exitCode) {
  return real::TerminateProcess(Host(process), exitCode);
}
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode) {
  return real::GetExitCodeProcess(Host(process), exitCode);
}

BOOL ShellExecuteEx(SHELLEXECUTEINFO* info) {
  if (!info) {
    real::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  real::SHELLEXECUTEINFOW r{};
  r.cbSize = sizeof r;
  r.fMask = info->fMask;
  r.hwnd = Wnd(info->hwnd);
  r.lpVerb = W(info->lpVerb);
  r.lpFile = W(info->lpFile);
  r.lpParameters = W(info->lpParameters);
  r.lpDirectory = W(info->lpDirectory);
  r.nShow = info->nShow;
  BOOL ok = real::ShellExecuteExW(&r);
  info->hInstApp = Device(r.hInstApp);
  info->hProcess = Device(r.hProcess);
  return ok;
}

namespace {
BOOL FillEntry(BOOL ok, const real::PROCESSENTRY32W& r, PROCESSENTRY32* entry) {
  if (!ok) return FALSE;
  entry->cntUsage = r.cntUsage;
  entry->th32ProcessID = r.th32ProcessID;
  entry->th32DefaultHeapID = static_cast<DWORD>(r.th32DefaultHeapID);
  entry->th32ModuleID = r.th32ModuleID;
  entry->cntThreads = r.cntThreads;
  entry->th32ParentProcessID = r.th32ParentProcessID;
  entry->pcPriClassBase = r.pcPriClassBase;
  entry->dwFlags = r.dwFlags;
  for (size_t i = 0; i < MAX_PATH; ++i) entry->szExeFile[i] = r.szExeFile[i];
  entry->th32MemoryBase = 0;
  entry->th32AccessKey = 0;
  return TRUE;
}

BOOL Walk(HANDLE snapshot, PROCESSENTRY32* entry, bool first) {
  if (!entry || entry->dwSize < sizeof(PROCESSENTRY32)) {
    real::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  real::PROCESSENTRY32W r{};
  r.dwSize = sizeof r;
  BOOL ok =
      first ? real::Process32FirstW(Host(snapshot), &r) : real::Process32NextW(Host(snapshot), &r);
  return FillEntry(ok, r, entry);
}
}  // namespace

// The device's flag that leaves out the heaps is unknown to the desktop.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
  return Device(real::CreateToolhelp32Snapshot(flags & ~TH32CS_SNAPNOHEAPS, processId));
}
BOOL Process32First(HANDLE snapshot, PROCESSENTRY32* entry) {
  return Walk(snapshot, entry, true);
}
BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32* entry) {
  return Walk(snapshot, entry, false);
}
BOOL CloseToolhelp32Snapshot(HANDLE snapshot) {
  return real::CloseHandle(Host(snapshot));
}
