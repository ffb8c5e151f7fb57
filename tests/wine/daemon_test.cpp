// The daemon on real windows: one story under Wine, from the first start in a fresh prefix to a
// clean exit, with the slide screen (vurl.exe) beside it and every device-only service absent.
// The test plays the phone and the settings editor: it posts the messages they would post,
// writes the registry as they would, and waits in real time, each wait bounded. Run by
// tools/wine-test from the build folder, which holds dorvane2.exe and vurl.exe.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kStore[] = L"Software\\Zeq\\Vurl";
constexpr wchar_t kStateKey[] = L"System\\State";
constexpr wchar_t kBoxClass[] = L"#32770";  // the desktop's dialog class
constexpr UINT kMsgCloseAll = 32788;
constexpr UINT kMsgRefreshSetting = 32811;
constexpr UINT kMsgStylus = 32839;
constexpr WPARAM kStylusIn = 0, kStylusOut = 1;

int failures = 0;

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

bool Check(bool ok, const std::string& what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what.c_str());
    ++failures;
  }
  return ok;
}

// Polls until `done` holds or `limitMs` passed; true when it held.
template <class F>
bool WaitFor(DWORD limitMs, F done) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start > limitMs) return false;
    Sleep(10);
  }
}

std::wstring Folder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  return p.substr(0, p.rfind(L'\\') + 1);
}
const std::wstring kDir = Folder();
const std::wstring kLog = kDir + L"Dorvane2.log";

bool FileThere(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<BYTE> ReadFileBytes(const std::wstring& path) {
  std::vector<BYTE> bytes;
  HANDLE f =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(f, nullptr));
  DWORD read = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  CloseHandle(f);
  return bytes;
}

// The messages of a log's lines ("HH:MM:SS \tmessage\r\n" in UTF-16 after the byte-order mark).
std::vector<std::wstring> LogLines(const std::vector<BYTE>& bytes) {
  std::vector<std::wstring> lines;
  if (bytes.size() < 2) return lines;
  std::wstring all(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  for (size_t at = 0, end; (end = all.find(L"\r\n", at)) != std::wstring::npos; at = end + 2) {
    size_t tab = all.find(L'\t', at);
    lines.push_back(tab < end ? all.substr(tab + 1, end - tab - 1) : all.substr(at, end - at));
  }
  return lines;
}

struct Value {
  bool there = false;
  DWORD type = 0;
  std::vector<BYTE> data;
};

Value ReadValue(HKEY root, const wchar_t* key, const wchar_t* name) {
  Value v;
  HKEY k;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return v;
  BYTE buf[1024];
  DWORD size = sizeof buf;
  // Not RegGetValue: it adds the NUL that a text written without one lacks.
  v.there = RegQueryValueExW(k, name, nullptr, &v.type, buf, &size) == ERROR_SUCCESS;
  if (v.there) v.data.assign(buf, buf + size);
  RegCloseKey(k);
  return v;
}

DWORD Dword(HKEY root, const wchar_t* key, const wchar_t* name) {
  Value v = ReadValue(root, key, name);
  return v.there && v.type == REG_DWORD ? *reinterpret_cast<DWORD*>(v.data.data()) : 0xFFFFFFFF;
}

DWORD SettingsCount() {
  HKEY k;
  DWORD count = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kStore, 0, KEY_READ, &k) != ERROR_SUCCESS) return 0;
  RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(k);
  return count;
}

HWND DaemonWindow() {
  return FindWindowW(L"Dorvane2", L"Dorvane2");
}
HWND SlideWindow() {
  return FindWindowW(L"Vurl", L"Vurl");
}

// One run of dorvane2.exe, started as a user would start it.
struct Daemon {
  PROCESS_INFORMATION pi{};

  explicit Daemon(const wchar_t* args) {
    std::wstring line = L"\"" + kDir + L"dorvane2.exe\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, kDir.c_str(),
                        &si, &pi))
      Check(false,
            "dorvane2.exe could not be started (error " + std::to_string(GetLastError()) + ")");
  }
  ~Daemon() {
    if (Running()) TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  bool Running() const {
    return pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT;
  }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
  }
  bool Owns(HWND h) const {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return h && pid == pi.dwProcessId;
  }
  // A message box of this run with the given caption, or any of its boxes.
  HWND Box(const wchar_t* caption = nullptr) const {
    HWND h = nullptr;
    while ((h = FindWindowExW(nullptr, h, kBoxClass, caption)))
      if (Owns(h)) return h;
    return nullptr;
  }
  // User and kernel time from the system's process list: under Wine, GetProcessTimes of
  // another process leaves out its user time.
  ULONGLONG CpuMs() const {
    struct ProcessHead {  // the start of SYSTEM_PROCESS_INFORMATION
      ULONG next, threads;
      LARGE_INTEGER unused[4], user, kernel;
      UNICODE_STRING image;
      LONG priority;
      HANDLE pid;
    };
    std::vector<BYTE> list(1 << 18);
    ULONG size = 0;
    const NTSTATUS kTooSmall = static_cast<NTSTATUS>(0xC0000004);
    while (NtQuerySystemInformation(SystemProcessInformation, list.data(), list.size(), &size) ==
           kTooSmall)
      list.resize(size + 4096);
    for (size_t at = 0;;) {
      auto* p = reinterpret_cast<const ProcessHead*>(list.data() + at);
      if (reinterpret_cast<uintptr_t>(p->pid) == pi.dwProcessId)
        return (p->user.QuadPart + p->kernel.QuadPart) / 10000;
      if (!p->next) return 0;
      at += p->next;
    }
  }
  bool EndsWithin(DWORD limitMs) const {
    return WaitForSingleObject(pi.hProcess, limitMs) == WAIT_OBJECT_0;
  }
};

std::wstring BoxTitle(HWND h) {
  wchar_t title[128] = {};
  GetWindowTextW(h, title, 128);
  return title;
}

// Says what of a running daemon is missing, for a failure that would otherwise only say "no".
std::string Missing(const Daemon& d) {
  std::string s;
  if (!d.Running())
    s += "; dorvane2.exe has ended (exit code " + std::to_string(d.ExitCode()) + ")";
  if (!DaemonWindow()) s += "; no window \"Dorvane2\"";
  if (!FileThere(kLog)) s += "; no Dorvane2.log beside dorvane2.exe";
  if (!FileThere(kDir + L"vurl.exe")) s += "; no vurl.exe beside dorvane2.exe";
  if (SettingsCount() == 0) s += "; no settings in HKCU\\Software\\Zeq\\Vurl";
  if (HWND box = d.Box()) s += "; a message box \"" + Narrow(BoxTitle(box)) + "\" is waiting";
  std::vector<std::wstring> lines = LogLines(ReadFileBytes(kLog));
  if (!d.Running() && !lines.empty()) s += "; its log ends with \"" + Narrow(lines.back()) + "\"";
  return s.empty() ? "" : " (" + s.substr(2) + ")";
}

// Waits for `done`; a failure says what did not happen and what of the daemon is missing.
template <class F>
bool Expect(const Daemon& d, const std::string& what, DWORD limitMs, F done) {
  bool ok = WaitFor(limitMs, done);
  return Check(ok, ok ? what : what + Missing(d));
}

bool DaemonUp(const Daemon& d, const char* when) {
  return Expect(d, std::string("the daemon window \"Dorvane2\" did not appear ") + when, 10000,
                [&] { return d.Owns(DaemonWindow()); });
}

// Presses OK on a notice the first start shows.
bool PressOk(const Daemon& d, const wchar_t* caption) {
  HWND box = nullptr;
  if (!Expect(d, "the first start showed no notice \"" + Narrow(caption) + "\"", 15000,
              [&] { return (box = d.Box(caption)) != nullptr; }))
    return false;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return Expect(d, "the notice \"" + Narrow(caption) + "\" did not close on OK", 3000,
                [&] { return !IsWindow(box); });
}

// "type 3 [01]": a value as the failure shows it.
std::string Shown(DWORD type, const std::vector<BYTE>& data) {
  const char* digits = "0123456789ABCDEF";
  std::string s = "type " + std::to_string(type) + " [";
  for (BYTE b : data) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s + "]";
}

void CheckDefaults() {
  struct Expected {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> data;
  };
  auto dword = [](DWORD v) {
    return std::vector<BYTE>{BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)};
  };
  auto text = [](const wchar_t* s) {  // written without the terminating NUL
    std::vector<BYTE> b;
    for (; *s; ++s) b.insert(b.end(), {BYTE(*s), BYTE(*s >> 8)});
    return b;
  };
  const Expected expected[] = {
      {L"AutoStart", REG_BINARY, {1}},
      {L"StylusInLock", REG_BINARY, {0}},
      {L"WakeUpDelayMS", REG_DWORD, dword(500)},
      {L"DelayUnknownCallerMS", REG_DWORD, dword(4000)},
      {L"NoKeyBoardHook", REG_BINARY, {1}},
      {L"VibrationLED", REG_BINARY, {255}},  // no LED driver: no vibrator either
      {L"Wallpaper", REG_SZ, {}},
      {L"BatteryOnTop", REG_BINARY, {0}},
      {L"OffLCD", REG_BINARY, {17}},
      {L"CurtainAlpha", REG_BINARY, {15}},
      {L"CanonicalPrefix", REG_DWORD, dword(1)},
      {L"TimeFormat", REG_SZ, text(L"H':'mm")},
      {L"ClockPath", REG_SZ, text(L"clock\\")},
  };
  for (const Expected& e : expected) {
    Value v = ReadValue(HKEY_CURRENT_USER, kStore, e.name);
    // The desktop's registry adds the NUL that the daemon leaves out when one follows the text.
    if (v.type == REG_SZ && v.data.size() == e.data.size() + 2 && !v.data.back())
      v.data.resize(e.data.size());
    Check(v.there && v.type == e.type && v.data == e.data,
          "the first start wrote " + Narrow(e.name) + " as " +
              (v.there ? Shown(v.type, v.data) : "nothing") + ", not " + Shown(e.type, e.data));
  }
  for (const wchar_t* name : {L"DebugOn", L"DialedID", L"CallerIDKeyDelay", L"IncomingText"})
    Check(!ReadValue(HKEY_CURRENT_USER, kStore, name).there,
          "the first start wrote " + Narrow(name) + ", which is read only");
  DWORD count = SettingsCount();
  Check(count == 95, "the first start wrote " + std::to_string(count) + " settings, not 95");
}

// The log of a run that ended.
void CheckLog(std::initializer_list<const wchar_t*> within) {
  std::vector<BYTE> bytes = ReadFileBytes(kLog);
  if (!Check(bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE,
             "Dorvane2.log does not start with the byte-order mark FF FE"))
    return;
  std::vector<std::wstring> lines = LogLines(bytes);
  if (!Check(!lines.empty(), "Dorvane2.log has no line")) return;
  Check(lines.front() == L"Dorvane2 v2.21", "the log's first line is not the banner");
  Check(lines.back() == L"quit", "the log does not end with \"quit\": the daemon did not close it");
  for (const wchar_t* line : within)
    Check(std::find(lines.begin(), lines.end(), line) != lines.end(),
          "the log has no line \"" + Narrow(line) + "\"");
}

void PostToDaemon(UINT msg, WPARAM wp) {
  Check(PostMessageW(DaemonWindow(), msg, wp, 0), "message " + std::to_string(msg) + " not posted");
}

// First start in a fresh prefix: the notices, the default settings, the log, the slide screen
// started hidden; then a settings reload, a lock and an unlock; a second start closes it.
void FirstRun() {
  Daemon d(L"");
  if (!PressOk(d, L"Dorvane2 v2.21") || !PressOk(d, L"DISCLAIMER") ||
      !DaemonUp(d, "at first start"))
    return;
  CheckDefaults();
  Check(FileThere(kLog), "no Dorvane2.log beside dorvane2.exe");
  HWND slide = nullptr;
  if (!Expect(d, "the daemon did not start vurl.exe", 5000,
              [&] { return (slide = SlideWindow()) != nullptr; }))
    return;
  Check(!IsWindowVisible(slide), "vurl.exe started shown, not hidden");

  // The settings editor switches on the stylus lock and the detailed log, and a value goes
  // missing: the reload takes the first two and writes the third back.
  BYTE on = 1;
  RegSetKeyValueW(HKEY_CURRENT_USER, kStore, L"StylusInLock", REG_BINARY, &on, 1);
  RegSetKeyValueW(HKEY_CURRENT_USER, kStore, L"DebugOn", REG_BINARY, &on, 1);
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kStore, L"WakeUpDelayMS");
  PostToDaemon(kMsgRefreshSetting, 0);
  Expect(d, "message 32811 did not write back the missing WakeUpDelayMS", 5000,
         [] { return Dword(HKEY_CURRENT_USER, kStore, L"WakeUpDelayMS") == 500; });
  HWND old = slide;
  Expect(d, "message 32811 did not restart vurl.exe hidden", 5000, [&] {
    slide = SlideWindow();
    return !IsWindow(old) && slide && !IsWindowVisible(slide);
  });

  PostToDaemon(kMsgStylus, kStylusIn);
  Expect(d, "the stylus put back did not bring vurl.exe to the front", 5000,
         [&] { return IsWindowVisible(slide) && GetForegroundWindow() == slide; });
  Expect(d, "the lock vurl.exe reported did not set the system lock state", 5000,
         [] { return Dword(HKEY_LOCAL_MACHINE, kStateKey, L"Lock") == 1; });
  PostToDaemon(kMsgStylus, kStylusOut);
  Expect(d, "the stylus pulled out did not have vurl.exe unlock and hide", 6000,
         [&] { return !IsWindowVisible(slide); });
  Expect(d, "the unlock vurl.exe reported did not clear the system lock state", 5000,
         [] { return Dword(HKEY_LOCAL_MACHINE, kStateKey, L"Lock") == 0; });

  // A second start hands "-show" to the running daemon, which closes with its notice.
  {
    Daemon second(L"-show");
    Check(second.EndsWithin(5000) && second.ExitCode() == 0,
          "a second dorvane2.exe -show did not end at once with exit code 0");
  }
  Expect(d, "the running daemon showed no closing notice", 5000,
         [&] { return d.Box(L"Dorvane2 Message") || !d.Running(); });
  Expect(d, "the daemon did not close with exit code 0 within 8 s of the second start", 8000,
         [&] { return !d.Running() && d.ExitCode() == 0; });
  Expect(d, "vurl.exe still runs after the daemon closed", 5000, [] { return !SlideWindow(); });
  CheckLog({L"Locked 0", L"Unlocked"});
}

// The next start: no notices; then ten idle seconds with every device service absent, and
// message 32788 ends it.
void NextRun() {
  std::vector<BYTE> firstLog = ReadFileBytes(kLog);
  Daemon d(L"");
  if (!DaemonUp(d, "at the next start") ||
      !Expect(d, "the daemon did not start vurl.exe", 5000, [] { return SlideWindow() != 0; }))
    return;
  ULONGLONG before = d.CpuMs();
  Sleep(10000);
  ULONGLONG used = d.CpuMs() - before;
  Check(used < 100, "the idle daemon used " + std::to_string(used) + " ms of CPU in 10 s");
  Check(!d.Box(), "a message box of the daemon is waiting" + Missing(d));
  PostToDaemon(kMsgCloseAll, 0);
  Expect(d, "message 32788 did not end the daemon with exit code 0", 5000,
         [&] { return !d.Running() && d.ExitCode() == 0; });
  Expect(d, "vurl.exe still runs after message 32788", 5000, [] { return !SlideWindow(); });
  CheckLog({});
  Check(ReadFileBytes(kLog + L".1") == firstLog,
        "with DebugOn the next start did not keep the previous log as Dorvane2.log.1");
}

}  // namespace

int main() {
  for (const wchar_t* stale : {L"", L".1"}) DeleteFileW((kLog + stale).c_str());
  if (SettingsCount() != 0) {
    std::printf("FAILED: the Wine prefix is not fresh: it has settings already\n");
    return 1;
  }
  // With no window manager on the virtual display, Wine waits up to 2 s for one on each hide of
  // a window it leaves to the manager: these windows it manages itself.
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Managed", REG_SZ, L"N", 4);
  // The phone's system lock state, which the daemon marks while locked.
  DWORD unlocked = 0;
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kStateKey, L"Lock", REG_DWORD, &unlocked, sizeof unlocked);
  FirstRun();
  if (failures == 0) NextRun();
  std::printf("daemon under wine: %s (%d failed)\n", failures ? "FAILED" : "passed", failures);
  return failures ? 1 : 0;
}
