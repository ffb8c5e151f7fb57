// Smaller promises the daemon's window, timer, registry and file code leans on.
#include <string>
#include <vector>

#include "conformance.h"
#include "platform/files.h"
#include "platform/registry.h"

using conformance::MakeWindow;

namespace {

std::vector<std::pair<UINT, WPARAM>>* g_log;

LRESULT Logger(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (g_log && (msg == WM_SHOWWINDOW || msg == WM_DESTROY))
    g_log->push_back({msg, msg == WM_DESTROY ? h : wp});
  return DefWindowProcW(h, msg, wp, lp);
}

int g_enumCount;
BOOL StopAtFirst(HWND, LONG_PTR) {
  ++g_enumCount;
  return FALSE;
}

}  // namespace

CONFORMANCE_TEST(Windows, ShowingAndHidingIsSentToTheWindowAtOnce) {
  std::vector<std::pair<UINT, WPARAM>> log;
  g_log = &log;
  HWND h = MakeWindow(u"CpShow", &Logger, WS_POPUP);
  ShowWindow(h, SW_SHOW);
  ShowWindow(h, SW_HIDE);
  g_log = nullptr;
  std::vector<std::pair<UINT, WPARAM>> want{{WM_SHOWWINDOW, 1}, {WM_SHOWWINDOW, 0}};
  EXPECT_EQ(log, want);
  DestroyWindow(h);
}

CONFORMANCE_TEST(Windows, ParentsHearDestroyBeforeTheirChildren) {
  std::vector<std::pair<UINT, WPARAM>> log;
  g_log = &log;
  HWND parent = MakeWindow(u"CpDestroyParent", &Logger, WS_POPUP);
  HWND child = MakeWindow(u"CpDestroyChild", &Logger, WS_CHILD, parent);
  DestroyWindow(parent);
  g_log = nullptr;
  std::vector<std::pair<UINT, WPARAM>> want{{WM_DESTROY, parent}, {WM_DESTROY, child}};
  EXPECT_EQ(log, want);
}

CONFORMANCE_TEST(Windows, AChildOfAHiddenParentIsNotVisible) {
  HWND parent = MakeWindow(u"CpHiddenParent", &Logger, WS_POPUP);
  HWND child = MakeWindow(u"CpVisibleChild", &Logger, WS_CHILD | WS_VISIBLE, parent);
  EXPECT_NE(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE, 0);
  EXPECT_FALSE(IsWindowVisible(child));
  ShowWindow(parent, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(child));
  DestroyWindow(parent);
}

CONFORMANCE_TEST(Windows, EnumWindowsStopsWhenTheCallbackSaysSo) {
  HWND h = MakeWindow(u"CpEnum", &Logger);
  g_enumCount = 0;
  EXPECT_FALSE(EnumWindows(&StopAtFirst, 0));
  EXPECT_EQ(g_enumCount, 1);
  DestroyWindow(h);
}

CONFORMANCE_TEST(Windows, ShowingWithoutActivatingKeepsTheForeground) {
  HWND a = MakeWindow(u"CpFgA", &Logger, WS_POPUP | WS_VISIBLE);
  HWND b = MakeWindow(u"CpFgB", &Logger, WS_POPUP);
  SetForegroundWindow(a);
  ShowWindow(b, SW_SHOWNOACTIVATE);
  EXPECT_TRUE(IsWindowVisible(b));
  EXPECT_EQ(GetForegroundWindow(), a);
  SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  EXPECT_EQ(GetForegroundWindow(), b);
  DestroyWindow(b);
  EXPECT_EQ(GetForegroundWindow(), a) << "the foreground passes on when its window dies";
  DestroyWindow(a);
}

CONFORMANCE_TEST(Timers, PeekingWithoutRemovingLeavesTheTimerDue) {
  HWND h = MakeWindow(u"CpPeekTimer", &Logger);
  SetTimer(h, 1, 20, nullptr);
  Sleep(50);
  MSG m;
  EXPECT_TRUE(PeekMessageW(&m, 0, WM_TIMER, WM_TIMER, PM_NOREMOVE));
  EXPECT_TRUE(PeekMessageW(&m, 0, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_FALSE(PeekMessageW(&m, 0, WM_TIMER, WM_TIMER, PM_REMOVE));
  KillTimer(h, 1);
  DestroyWindow(h);
}

namespace {
DWORD SetsItsOwnError(LPVOID) {
  SetLastError(1234);
  return GetLastError();
}
}  // namespace

CONFORMANCE_TEST(Threads, EachThreadHasItsOwnLastError) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  HANDLE t = CreateThread(nullptr, 0, &SetsItsOwnError, nullptr, 0, nullptr);
  WaitForSingleObject(t, 5000);
  DWORD code = 0;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(code, 1234u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  CloseHandle(t);
}

CONFORMANCE_TEST(Registry, AnOpenKeyIsDeletedOnlyOnTheDesktop) {
  const WCHAR* path = u"Software\\DvConformance\\Deleted";
  HKEY k = 0;
  RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
  if (conformance::OnSimulatedDevice()) {
    // The device refuses to delete a key while a handle to it is open (docs/platform.md R5).
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, path), ERROR_ACCESS_DENIED);
    RegCloseKey(k);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, path), ERROR_SUCCESS);
    return;
  }
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, path), ERROR_SUCCESS);
  DWORD v = 1;
  EXPECT_EQ(RegSetValueExW(k, u"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v),
            1018)
      << "ERROR_KEY_DELETED";
  EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
}

CONFORMANCE_TEST(Registry, EnumValueReportsAShortDataBuffer) {
  HKEY k = 0;
  RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\DvConformance\\EnumData", 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &k, nullptr);
  const WCHAR text[] = u"abcdef";
  RegSetValueExW(k, u"T", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  WCHAR name[8];
  DWORD chars = 8, type = 0, size = 4;
  BYTE data[4];
  EXPECT_EQ(RegEnumValueW(k, 0, name, &chars, nullptr, &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof text);
  RegCloseKey(k);
  RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\DvConformance\\EnumData");
}

CONFORMANCE_TEST(Files, NewFilesAreArchivesAndFoldersAreNotFiles) {
  std::u16string dir = u"\\DvConformance";
  CreateDirectoryW(dir.c_str(), nullptr);
  std::u16string file = dir + u"\\archive.txt";
  DeleteFileW(file.c_str());
  HANDLE f =
      CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  char byte = 0;
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(f, &byte, 1, &n, nullptr)) << "a write-only handle";
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(f);
  EXPECT_EQ(GetFileAttributesW(file.c_str()), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_FALSE(DeleteFileW(dir.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(CreateDirectoryW((dir + u"\\no\\such").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(MoveFileW((dir + u"\\missing.txt").c_str(), (dir + u"\\other.txt").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CopyFileW(file.c_str(), (dir + u"\\no\\copy.txt").c_str(), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  DeleteFileW(file.c_str());
}
