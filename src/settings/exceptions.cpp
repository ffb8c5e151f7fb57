#include "settings/exceptions.h"

#include <array>

#include "log/debug_log.h"
#include "platform/files.h"
#include "platform/formatw.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "platform/wstr.h"
#include "settings/store_io.h"

namespace settings {

namespace {
constexpr WCHAR kExceptionKey[] = u"Software\\Zeq\\Vurl\\Exceptions";
constexpr WCHAR kLaunchKey[] = u"Software\\Zeq\\Vurl\\DolmEXE";
constexpr int kLaunchPairs = 9;
constexpr size_t kLaunchChars = 130;
constexpr DWORD kSnapshotFlags = TH32CS_SNAPPROCESS | TH32CS_SNAPNOHEAPS;

constexpr const WCHAR* kExceptionDefaults[] = {
    u"iexplore.exe", u"VoiceCommander.exe", u"AlarmPopup.exe",
    u"SDDialer.exe", u"HTCAlbum.exe",       u"wmplayer.exe",
};
constexpr const WCHAR* kMusicPlayers[] = {
    u"fenk.exe", u"wmplayer.exe", u"player.exe", u"PocketMusic.exe", u"PocketPlayer.exe",
};

std::u16string ExceptionValueName(size_t index) {
  return platform::FormatW(index < 10 ? u"ExceptionEXE0%d" : u"ExceptionEXE%d", index);
}

void SetEntry(size_t index, std::u16string_view name) {
  ExceptionName& entry = S().ExceptionList[index];
  for (size_t i = 0; i < entry.size(); ++i) entry[i] = i < name.size() ? name[i] : u'\0';
}

// A name needs room for its terminator: 49 characters at most.
bool ReadExceptionName(HKEY key, const WCHAR* name, std::u16string* text) {
  return store::ReadText(key, name, kExceptionChars, text) && text->size() < kExceptionChars;
}

bool OpenOrCreate(const WCHAR* path, HKEY* key) {
  DWORD disposition = 0;
  return RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, key, &disposition) == ERROR_SUCCESS;
}

void LogExceptionList() {
  std::array<std::u16string, kExceptionCount> names;
  for (size_t i = 0; i < kExceptionCount; ++i) names[i] = ExceptionEntry(i);
  for (size_t half = 0; half < kExceptionCount; half += 10) {
    const auto* n = &names[half];
    dlog::DebugLog(u"Check if running %s,%s,%s,%s,%s,%s,%s,%s,%s,%s", n[0], n[1], n[2], n[3], n[4],
                   n[5], n[6], n[7], n[8], n[9]);
  }
}

// The process owning the foreground window; 0 when there is none.
DWORD ForegroundProcess() {
  DWORD pid = 0;
  if (HWND fg = GetForegroundWindow()) GetWindowThreadProcessId(fg, &pid);
  return pid;
}

// Whether an entry names this process; empty entries never match.
bool IsListed(std::u16string_view exe) {
  for (size_t i = 0; i < kExceptionCount; ++i) {
    std::u16string name = ExceptionEntry(i);
    if (!name.empty() && platform::IEquals(name, exe)) return true;
  }
  return false;
}

bool IsMusicPlayer(std::u16string_view exe) {
  for (const WCHAR* player : kMusicPlayers)
    if (platform::IEquals(player, exe)) return true;
  return false;
}

// The process list at one moment; closed when it goes out of scope.
class ProcessSnapshot {
 public:
  ProcessSnapshot() : handle_(CreateToolhelp32Snapshot(kSnapshotFlags, 0)) {}
  ~ProcessSnapshot() {
    if (ok()) CloseToolhelp32Snapshot(handle_);
  }
  ProcessSnapshot(const ProcessSnapshot&) = delete;
  ProcessSnapshot& operator=(const ProcessSnapshot&) = delete;

  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(PROCESSENTRY32* entry) {
    entry->dwSize = sizeof(PROCESSENTRY32);
    bool more = first_ ? Process32First(handle_, entry) : Process32Next(handle_, entry);
    first_ = false;
    return more;
  }

 private:
  HANDLE handle_;
  bool first_ = true;
};

std::u16string_view ExeName(const PROCESSENTRY32& entry) {
  std::u16string_view all(entry.szExeFile, MAX_PATH);
  return all.substr(0, all.find(u'\0'));
}
}  // namespace

std::u16string ExceptionEntry(size_t index) {
  std::u16string name;
  if (index >= kExceptionCount) return name;
  for (const auto& c : S().ExceptionList[index]) {
    WCHAR ch = c;
    if (!ch) break;
    name.push_back(ch);
  }
  return name;
}

void LoadExceptionList() {
  HKEY key = 0;
  if (!OpenOrCreate(kExceptionKey, &key)) return;
  for (size_t i = 0; i < kExceptionCount; ++i) {
    std::u16string valueName = ExceptionValueName(i);
    std::u16string text;
    if (!ReadExceptionName(key, valueName.c_str(), &text)) {
      text = i < std::size(kExceptionDefaults) ? kExceptionDefaults[i] : u"";
      store::WriteText(key, valueName.c_str(), text);
    }
    SetEntry(i, text);
  }
  RegFlushKey(key);
  RegCloseKey(key);
}

void CreateLaunchList() {
  HKEY key = 0;
  if (!OpenOrCreate(kLaunchKey, &key)) return;
  for (int i = 0; i < kLaunchPairs; ++i) {
    for (const WCHAR* format : {u"%dFile", u"%dParameters"}) {
      std::u16string name = platform::FormatW(std::u16string_view(format), i);
      std::u16string scratch;
      if (!store::ReadText(key, name.c_str(), kLaunchChars, &scratch))
        store::WriteText(key, name.c_str(), u"");
    }
  }
  RegFlushKey(key);
  RegCloseKey(key);
}

bool IsExceptionRunning() {
  if (dlog::Detailed()) {
    dlog::DebugLog(u"ExceptionIsRunning ?");
    LogExceptionList();
  }
  ProcessSnapshot snapshot;
  if (!snapshot.ok()) return false;
  const DWORD foreground = ForegroundProcess();
  const bool foregroundOnly = S().ExceptionEXEisFG != 0;
  PROCESSENTRY32 p{};
  while (snapshot.Next(&p)) {
    std::u16string_view exe = ExeName(p);
    if (!IsListed(exe)) continue;
    if (!foregroundOnly) {
      if (dlog::Detailed()) dlog::DebugLog(u"%s is running", exe);
      return true;
    }
    if (foreground != 0 && p.th32ProcessID == foreground) {
      if (dlog::Detailed()) dlog::DebugLog(u"%s is running FG", exe);
      return true;
    }
  }
  return false;
}

bool IsMusicRunning() {
  if (dlog::Detailed()) dlog::DebugLog(u"MusicIsRunning ?");
  ProcessSnapshot snapshot;
  if (!snapshot.ok()) return false;
  PROCESSENTRY32 p{};
  while (snapshot.Next(&p)) {
    std::u16string_view exe = ExeName(p);
    if (!IsMusicPlayer(exe)) continue;
    if (dlog::Detailed()) dlog::DebugLog(u"%s is running", exe);
    return true;
  }
  if (dlog::Detailed()) dlog::DebugLog(u"No Music is running");
  return false;
}

}  // namespace settings
