// The device's in-memory file system. The Win32 file calls (files_api.cpp) act on the current
// one; tests and the scenario runner drive it directly (create files, read what the daemon
// wrote, make paths fail) and the runner keeps it in a host folder between runs.
//
// Paths are device paths: `\Program Files\Vurl\dorvane2.exe`, case-insensitive, keeping the
// case a name was first given in; `/` counts as `\`, repeated and trailing separators are
// ignored, and a path without a leading separator starts at the root as on CE (there is no
// current folder). `.` and `..` are not names the device accepts.
//
// Simulated threads run one at a time on the driver's host thread, so no locking is needed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace sim {

// Error codes of the file calls that the shared constants do not list yet.
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;

// A change made through the Win32 calls; the driver's own helpers report nothing.
struct FsChange {
  enum class Kind { Created, Written, Deleted, Copied, Moved };
  Kind kind;
  std::u16string path;  // the file (or folder) changed, as stored
  std::u16string from;  // Copied and Moved: the source
  bool directory = false;
};

class FileSystem {
 public:
  FileSystem();
  ~FileSystem();
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;

  // ---- Driver helpers (tests, scenario runner). Never blocked by sharing or failures.
  // Creates the file and its missing parent folders, or replaces an existing file's bytes.
  bool AddFile(std::u16string_view path, std::string_view bytes = {});
  bool AddDirectory(std::u16string_view path);
  // A file, or a folder with everything under it. Open handles keep their detached data.
  bool Remove(std::u16string_view path);
  bool Exists(std::u16string_view path) const;
  bool IsDirectory(std::u16string_view path) const;
  std::optional<std::string> ReadAll(std::u16string_view path) const;
  // Names in a folder, ordered case-insensitively; empty for a file or a missing folder.
  std::vector<std::u16string> List(std::u16string_view folder) const;
  bool SetAttributes(std::u16string_view path, DWORD attributes);
  // Every call that opens, creates, writes, copies, moves or deletes `path`, or anything
  // under it, fails with `error` (ERROR_DISK_FULL, a missing volume ...). Looking a path up
  // (GetFileAttributesW) still works.
  void FailPath(std::u16string_view path, DWORD error);
  void ClearFailures();

  int AddObserver(std::function<void(const FsChange&)> observer);
  void RemoveObserver(int id);

  // ---- Host persistence. Device `\a\b.txt` is hostDir/a/b.txt, names in UTF-8.
  // Replaces hostDir as a whole: the tree is written next to it and swapped in, so a failure
  // leaves the previous save intact.
  bool SaveTo(const std::string& hostDir, std::string* error) const;
  // Writes the tree into hostDir, a folder made for it (its parent must exist), without
  // waiting for the disk. A failure may leave part of it behind.
  bool WriteTo(const std::string& hostDir, std::string* error) const;
  // Replaces the whole tree with hostDir's (an empty device if hostDir does not exist). On
  // an error nothing changes.
  bool LoadFrom(const std::string& hostDir, std::string* error);

  // ---- The Win32 calls. Each returns ERROR_SUCCESS or the error the call reports.
  DWORD GetAttributes(std::u16string_view path, DWORD* attributes) const;
  // `*existed` tells whether the file was there before (CREATE_ALWAYS / OPEN_ALWAYS).
  DWORD Open(std::u16string_view path, DWORD access, DWORD share, DWORD disposition,
             DWORD attributes, HANDLE* handle, bool* existed);
  DWORD Write(HANDLE h, const void* data, DWORD size, DWORD* written);
  DWORD Read(HANDLE h, void* data, DWORD size, DWORD* read);
  DWORD Seek(HANDLE h, int64_t distance, DWORD method, uint64_t* position);
  DWORD Size(HANDLE h, uint64_t* size) const;
  DWORD Flush(HANDLE h) const;
  DWORD Copy(std::u16string_view from, std::u16string_view to, bool failIfExists);
  DWORD Move(std::u16string_view from, std::u16string_view to);
  DWORD Delete(std::u16string_view path);
  DWORD MakeDirectory(std::u16string_view path);

  // Handles are this file system's own range, never reused; CloseHandle routes them here.
  bool OwnsHandle(HANDLE h) const;
  BOOL Close(HANDLE h);
  size_t OpenHandleCount() const { return handles_.size(); }
  size_t OpenHandlesOf(const void* owner) const;
  // Closes every handle `owner` opened (a process that ended), as the system does.
  void CloseAllOf(const void* owner);
  // Who opens a handle now; the device answers with the calling process.
  std::function<const void*()> currentOwner;

  static constexpr HANDLE kFirstHandle = 0x00F00000u;
  static constexpr HANDLE kLastHandle = 0x00FFFFFCu;
  // Writes that would make a file larger than this fail with ERROR_DISK_FULL.
  static constexpr uint64_t kMaxFileSize = 64u << 20;

  // Internal; defined in filesystem.cpp.
  struct Node;
  struct FileData;

 private:
  struct OpenFile;
  struct Place;

  // Splits and follows a path; `injected` applies the failures set with FailPath.
  DWORD Locate(std::u16string_view path, Place* place, bool injected) const;
  Node* Find(std::u16string_view path) const;  // for the driver: no failures, null if missing
  DWORD Failure(const std::u16string& key) const;
  bool IsOpen(const FileData* data) const;
  bool AnyOpenUnder(const Node& node) const;
  bool SharingAllows(const FileData* data, DWORD access, DWORD share) const;
  OpenFile* Handle(HANDLE h) const;
  Node* MakeParents(std::u16string_view path, std::u16string* leaf);
  void Notify(const FsChange& change);

  std::unique_ptr<Node> root_;
  std::map<HANDLE, std::unique_ptr<OpenFile>> handles_;
  HANDLE nextHandle_ = kFirstHandle;
  std::vector<std::pair<std::u16string, DWORD>> failures_;  // folded path key, error
  std::map<int, std::function<void(const FsChange&)>> observers_;
  int nextObserver_ = 1;
};

// The file system the Win32 calls act on; null means none (every call fails cleanly).
FileSystem* CurrentFileSystem();
void SetCurrentFileSystem(FileSystem* fs);

}  // namespace sim
