// The host's own files, for the runner at the edge of the simulator: scenario files and the
// folder that keeps a device between runs. Nothing inside the device uses these, and nothing
// else in the program touches the host's file system.
//
// Every function that fails says which step failed and why: "cannot write PATH: No space left
// on device", with the error the host reported, never one left over from a clean-up.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class HostEntry { Missing, File, Folder, Other };

HostEntry HostEntryAt(const std::string& path);  // a symbolic link: what it leads to
bool IsHostLink(const std::string& path);
std::string HostJoin(const std::string& folder, const std::string& name);
bool MakeHostFolders(const std::string& path, std::string* error);

// Reads a whole file; a folder, a missing file or one larger than `limit` is an error.
bool ReadHostFile(const std::string& hostPath, std::string* bytes, std::string* error,
                  uint64_t limit = std::numeric_limits<uint64_t>::max());
// Creates or truncates hostPath and writes `bytes`; with `flush` the bytes are on the disk
// when it returns. A failure may leave a partial file behind.
bool WriteHostFile(const std::string& hostPath, std::string_view bytes, bool flush,
                   std::string* error);
// An output a user named. A regular file (or a new name) is written and flushed to a temporary
// file beside it, then renamed over it: a reader sees the old file or the new one, whatever
// happens in between. A symbolic link is followed, so its target is the file replaced and the
// link stays. What is not a regular file (a FIFO, a terminal, /dev/null) is written as it is,
// and so is a file this program already writes as its standard output or error
// (`/dev/stdout` sent to a file): after what that holds, which callers flush first.
bool WriteHostFileAtomic(const std::string& hostPath, std::string_view bytes, std::string* error);
bool RemoveHostFile(const std::string& hostPath);

// One new folder; its parent must exist and the name must be free.
bool MakeHostFolder(const std::string& path, std::string* error);
// Replaces `to` if it is a file or an empty folder.
bool RenameHost(const std::string& from, const std::string& to, std::string* error);
// A file or a whole tree, depth first, so the top name goes last; a missing one is fine.
bool RemoveHostTree(const std::string& path, std::string* error);
// Makes a folder's entries (names added, renamed or removed in it) durable.
bool FlushHostFolder(const std::string& path, std::string* error);
// Everything written so far on the file system that holds `path` reaches the disk: one wait
// for a whole tree of files rather than one per file.
bool FlushHostFileSystem(const std::string& path, std::string* error);

struct HostListing {
  std::string name;
  HostEntry type;  // a link counts as Other: it is never followed
};
bool ListHostFolder(const std::string& path, std::vector<HostListing>* entries, std::string* error);

// Holds a folder for one run: a second holder, in this process or another, is refused until
// the first lets go or ends (a killed run lets go with its process).
class HostFolderLock {
 public:
  HostFolderLock() = default;
  ~HostFolderLock();
  HostFolderLock(HostFolderLock&& other) noexcept;
  HostFolderLock& operator=(HostFolderLock&& other) noexcept;

  // False with the reason; *busy tells that another holder has it.
  bool Acquire(const std::string& folder, bool* busy, std::string* error);
  void Release();
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// For tests: called before each host call the functions above make ("open", "write",
// "flush", "rename", "mkdir", "remove", "list", "read", "lock") with the path it is about to
// touch. A nonzero result is the error number that call fails with, and the host is not
// touched; so failing every call from the Nth on is a run killed at that point. Empty: none.
using HostCallHook = std::function<int(std::string_view call, const std::string& path)>;
void SetHostCallHook(HostCallHook hook);
// For tests: flushes still go through the hook but do not wait for the disk.
void SetHostFlushing(bool on);

}  // namespace sim
