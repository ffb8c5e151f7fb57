// The Win32 file calls over the current simulated file system: argument checks and the
// last-error convention here, the semantics in sim::FileSystem.
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/sim/faults.h"
#include "platform/sim/filesystem.h"
#include "platform/wstr.h"

using platform::WView;

namespace {

constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;

bool Succeeded(DWORD error) {
  if (error != ERROR_SUCCESS) SetLastError(error);
  return error == ERROR_SUCCESS;
}

// The file system for a call naming paths, or null with the last error set.
sim::FileSystem* ForPaths(LPCWSTR a, LPCWSTR b = u"") {
  if (!a || !b) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  sim::FileSystem* fs = sim::CurrentFileSystem();
  if (!fs) SetLastError(ERROR_PATH_NOT_FOUND);
  return fs;
}

// The file system for a call on a handle, or null with the last error set.
sim::FileSystem* ForHandle() {
  sim::FileSystem* fs = sim::CurrentFileSystem();
  if (!fs) SetLastError(ERROR_INVALID_HANDLE);
  return fs;
}

}  // namespace

DWORD GetFileAttributesW(LPCWSTR path) {
  sim::FileSystem* fs = ForPaths(path);
  DWORD attributes = 0;
  if (!fs || !Succeeded(fs->GetAttributes(WView(path), &attributes)))
    return INVALID_FILE_ATTRIBUTES;
  return attributes;
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPVOID /*security*/,
                   DWORD disposition, DWORD flags, HANDLE /*templateFile: CE ignores it*/) {
  if (sim::StruckWithLastError("CreateFileW")) return INVALID_HANDLE_VALUE;
  sim::FileSystem* fs = ForPaths(path);
  HANDLE file = INVALID_HANDLE_VALUE;
  bool existed = false;
  if (!fs ||
      !Succeeded(fs->Open(WView(path), access, shareMode, disposition, flags, &file, &existed)))
    return INVALID_HANDLE_VALUE;
  // Win32 reports a file that was already there even though the call succeeded.
  const bool replaceable = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
  SetLastError(existed && replaceable ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return file;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, DWORD* written, LPVOID overlapped) {
  if (sim::StruckWithLastError("WriteFile")) return FALSE;
  if (written) *written = 0;
  sim::FileSystem* fs = ForHandle();
  if (!fs) return FALSE;
  if (overlapped) return Succeeded(ERROR_INVALID_PARAMETER);  // CE has no overlapped I/O
  DWORD done = 0;
  if (!Succeeded(fs->Write(file, buffer, bytes, &done))) return FALSE;
  if (written) *written = done;
  return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, DWORD* read, LPVOID overlapped) {
  if (read) *read = 0;
  sim::FileSystem* fs = ForHandle();
  if (!fs) return FALSE;
  if (overlapped) return Succeeded(ERROR_INVALID_PARAMETER);
  DWORD done = 0;
  if (!Succeeded(fs->Read(file, buffer, bytes, &done))) return FALSE;
  if (read) *read = done;
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  sim::FileSystem* fs = ForHandle();
  if (!fs) return INVALID_SET_FILE_POINTER;
  const int64_t move =
      distanceHigh
          ? static_cast<int64_t>(static_cast<uint64_t>(static_cast<DWORD>(*distanceHigh)) << 32 |
                                 static_cast<DWORD>(distance))
          : distance;
  uint64_t before = 0;
  uint64_t after = 0;
  if (!Succeeded(fs->Seek(file, 0, FILE_CURRENT, &before)) ||
      !Succeeded(fs->Seek(file, move, method, &after)))
    return INVALID_SET_FILE_POINTER;
  if (!distanceHigh && after > 0xFFFFFFFFu) {
    // Without the high part the new position must fit the return value.
    fs->Seek(file, static_cast<int64_t>(before), FILE_BEGIN, &after);
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh) *distanceHigh = static_cast<LONG>(after >> 32);
  // A position whose low part is 0xFFFFFFFF is told from a failure by the last error.
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(after);
}

DWORD GetFileSize(HANDLE file, DWORD* sizeHigh) {
  sim::FileSystem* fs = ForHandle();
  uint64_t size = 0;
  if (!fs || !Succeeded(fs->Size(file, &size))) return INVALID_FILE_SIZE;
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

BOOL FlushFileBuffers(HANDLE file) {
  sim::FileSystem* fs = ForHandle();
  return fs && Succeeded(fs->Flush(file)) ? TRUE : FALSE;
}

BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
  if (sim::StruckWithLastError("CopyFileW")) return FALSE;
  sim::FileSystem* fs = ForPaths(from, to);
  return fs && Succeeded(fs->Copy(WView(from), WView(to), failIfExists != FALSE)) ? TRUE : FALSE;
}

BOOL MoveFileW(LPCWSTR from, LPCWSTR to) {
  if (sim::StruckWithLastError("MoveFileW")) return FALSE;
  sim::FileSystem* fs = ForPaths(from, to);
  return fs && Succeeded(fs->Move(WView(from), WView(to))) ? TRUE : FALSE;
}

BOOL DeleteFileW(LPCWSTR path) {
  if (sim::StruckWithLastError("DeleteFileW")) return FALSE;
  sim::FileSystem* fs = ForPaths(path);
  return fs && Succeeded(fs->Delete(WView(path))) ? TRUE : FALSE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPVOID /*security*/) {
  sim::FileSystem* fs = ForPaths(path);
  return fs && Succeeded(fs->MakeDirectory(WView(path))) ? TRUE : FALSE;
}
