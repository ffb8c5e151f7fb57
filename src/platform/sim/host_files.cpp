#include "platform/sim/host_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace sim {

namespace hostfs = std::filesystem;

namespace {

HostCallHook& Hook() {
  static HostCallHook hook;
  return hook;
}

bool g_flushing = true;

// The error a test makes this call fail with, or 0 to go on.
int Injected(std::string_view call, const std::string& path) {
  return Hook() ? Hook()(call, path) : 0;
}

// `err` is taken before any clean-up, so the reason is the failing call's own.
bool Fail(std::string* error, std::string_view what, const std::string& path, int err) {
  if (error) *error = "cannot " + std::string(what) + " " + path + ": " + std::strerror(err);
  return false;
}

// Runs `call` unless the hook fails it; false leaves the error number in *err.
template <typename Call>
bool Do(std::string_view name, const std::string& path, int* err, Call call) {
  if ((*err = Injected(name, path)) != 0) return false;
  while (call() < 0) {
    if (errno != EINTR) {
      *err = errno;
      return false;
    }
  }
  return true;
}

bool WriteAll(int fd, std::string_view bytes, int* err) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *err = n < 0 ? errno : EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string ParentOf(const std::string& path) {
  hostfs::path parent = hostfs::path(path).parent_path();
  return parent.empty() ? "." : parent.string();
}

// Where a path leads after its symbolic links, the last name's included; a link to nothing
// leads to the file that writing through it would create.
bool FollowLinks(const std::string& path, std::string* target, std::string* error) {
  constexpr int kMaxLinks = 40;  // as the host's own path walk allows
  std::string at = path;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat st;
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = at;
      return true;
    }
    std::error_code ec;
    hostfs::path to = hostfs::read_symlink(at, ec);
    if (ec) return Fail(error, "follow the link", at, ec.value());
    at = to.is_absolute() ? to.string() : (hostfs::path(ParentOf(at)) / to).string();
  }
  return Fail(error, "follow the link", path, ELOOP);
}

// The standard output or error descriptor when `st` is the very file it writes, else -1.
int OwnOutputOf(const struct stat& st) {
  for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    struct stat own;
    if (::fstat(fd, &own) == 0 && own.st_dev == st.st_dev && own.st_ino == st.st_ino) return fd;
  }
  return -1;
}

HostEntry EntryOf(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return HostEntry::File;
  if (S_ISDIR(st.st_mode)) return HostEntry::Folder;
  return HostEntry::Other;
}

}  // namespace

void SetHostCallHook(HostCallHook hook) {
  Hook() = std::move(hook);
}

void SetHostFlushing(bool on) {
  g_flushing = on;
}

HostEntry HostEntryAt(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return HostEntry::Missing;
  return EntryOf(st);
}

bool IsHostLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string HostJoin(const std::string& folder, const std::string& name) {
  return (hostfs::path(folder) / name).string();
}

bool MakeHostFolders(const std::string& path, std::string* error) {
  if (int err = Injected("mkdir", path)) return Fail(error, "create", path, err);
  std::error_code ec;
  hostfs::create_directories(path, ec);
  if (ec) return Fail(error, "create", path, ec.value());
  return true;
}

bool ReadHostFile(const std::string& hostPath, std::string* bytes, std::string* error,
                  uint64_t limit) {
  // Reading a folder as a stream fails oddly on some systems; it is simply not a file.
  if (HostEntryAt(hostPath) == HostEntry::Folder) {
    if (error) *error = "cannot read " + hostPath + ": it is a folder";
    return false;
  }
  int err = 0, fd = -1;
  if (!Do("read", hostPath, &err,
          [&] { return fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC); }))
    return Fail(error, "open", hostPath, err);
  struct stat st;
  if (::fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) > limit) {
    ::close(fd);
    if (error) *error = hostPath + ": too large (" + std::to_string(st.st_size) + " bytes)";
    return false;
  }
  bytes->clear();
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) err = errno;
    if (n <= 0) break;
    if (bytes->size() + static_cast<size_t>(n) > limit) err = EFBIG;
    if (err) break;
    bytes->append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return err ? Fail(error, "read", hostPath, err) : true;
}

bool WriteHostFile(const std::string& hostPath, std::string_view bytes, bool flush,
                   std::string* error) {
  int err = 0, fd = -1;
  if (!Do("open", hostPath, &err, [&] {
        return fd = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      }))
    return Fail(error, "create", hostPath, err);
  bool ok = (err = Injected("write", hostPath)) == 0 && WriteAll(fd, bytes, &err);
  const char* step = "write";
  if (ok && flush) {
    step = "flush";
    ok = Do("flush", hostPath, &err, [&] { return g_flushing ? ::fsync(fd) : 0; });
  }
  // A full disk may only show when the file is closed (network file systems).
  if (::close(fd) != 0 && ok && errno != EINTR) {
    err = errno;
    ok = false;
  }
  return ok ? true : Fail(error, step, hostPath, err);
}

bool WriteHostFileAtomic(const std::string& hostPath, std::string_view bytes, std::string* error) {
  struct stat st;
  if (::stat(hostPath.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Fail(error, "write", hostPath, EISDIR);
    // A FIFO or a device cannot be replaced, only written: a rename would put a plain file in
    // its place.
    if (!S_ISREG(st.st_mode)) return WriteHostFile(hostPath, bytes, false, error);
    if (int fd = OwnOutputOf(st); fd >= 0) {
      int err = 0;
      if ((err = Injected("write", hostPath)) != 0 || !WriteAll(fd, bytes, &err))
        return Fail(error, "write", hostPath, err);
      return true;
    }
  }
  std::string target;
  if (!FollowLinks(hostPath, &target, error)) return false;
  const std::string temp = target + ".tmp";
  if (!WriteHostFile(temp, bytes, true, error) || !RenameHost(temp, target, error)) {
    RemoveHostTree(temp, nullptr);
    return false;
  }
  return FlushHostFolder(ParentOf(target), error);
}

bool RemoveHostFile(const std::string& hostPath) {
  return RemoveHostTree(hostPath, nullptr);
}

bool MakeHostFolder(const std::string& path, std::string* error) {
  int err = 0;
  if (!Do("mkdir", path, &err, [&] { return ::mkdir(path.c_str(), 0777); }))
    return Fail(error, "create the folder", path, err);
  return true;
}

bool RenameHost(const std::string& from, const std::string& to, std::string* error) {
  int err = 0;
  if (!Do("rename", from, &err, [&] { return ::rename(from.c_str(), to.c_str()); }))
    return Fail(error, "rename " + from + " to", to, err);
  return true;
}

bool RemoveHostTree(const std::string& path, std::string* error) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0)
    return errno == ENOENT ? true : Fail(error, "remove", path, errno);
  if (S_ISDIR(st.st_mode)) {
    std::vector<HostListing> entries;
    if (!ListHostFolder(path, &entries, error)) return false;
    for (const HostListing& e : entries)
      if (!RemoveHostTree(HostJoin(path, e.name), error)) return false;
  }
  int err = 0;
  const bool folder = S_ISDIR(st.st_mode);
  if (!Do("remove", path, &err,
          [&] { return folder ? ::rmdir(path.c_str()) : ::unlink(path.c_str()); }))
    return err == ENOENT ? true : Fail(error, "remove", path, err);
  return true;
}

bool FlushHostFolder(const std::string& path, std::string* error) {
  int err = 0, fd = -1;
  if (!Do("flush", path, &err,
          [&] { return fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }))
    return Fail(error, "flush", path, err);
  bool ok = !g_flushing || ::fsync(fd) == 0 ||
            errno == EINVAL;  // some file systems keep folders in order anyway
  err = errno;
  ::close(fd);
  return ok ? true : Fail(error, "flush", path, err);
}

bool FlushHostFileSystem(const std::string& path, std::string* error) {
  int err = 0, fd = -1;
  if (!Do("flush", path, &err, [&] { return fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }))
    return Fail(error, "flush", path, err);
#ifdef __linux__
  const bool ok = !g_flushing || ::syncfs(fd) == 0;
  err = errno;
#else
  if (g_flushing) ::sync();
  const bool ok = true;
#endif
  ::close(fd);
  return ok ? true : Fail(error, "flush", path, err);
}

bool ListHostFolder(const std::string& path, std::vector<HostListing>* entries,
                    std::string* error) {
  entries->clear();
  if (int err = Injected("list", path)) return Fail(error, "list", path, err);
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return Fail(error, "list", path, errno);
  errno = 0;
  while (const dirent* d = ::readdir(dir)) {
    std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    HostEntry type =
        ::lstat(HostJoin(path, name).c_str(), &st) == 0 ? EntryOf(st) : HostEntry::Missing;
    if (type != HostEntry::Missing) entries->push_back({std::move(name), type});
    errno = 0;
  }
  int err = errno;
  ::closedir(dir);
  if (err) return Fail(error, "list", path, err);
  std::sort(entries->begin(), entries->end(),
            [](const HostListing& a, const HostListing& b) { return a.name < b.name; });
  return true;
}

// ---- The folder lock

HostFolderLock::~HostFolderLock() {
  Release();
}

HostFolderLock::HostFolderLock(HostFolderLock&& other) noexcept : fd_(other.fd_) {
  other.fd_ = -1;
}

HostFolderLock& HostFolderLock::operator=(HostFolderLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool HostFolderLock::Acquire(const std::string& folder, bool* busy, std::string* error) {
  Release();
  *busy = false;
  int err = 0, fd = -1;
  if (!Do("lock", folder, &err,
          [&] { return fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }))
    return Fail(error, "open", folder, err);
  // The lock goes with the open folder, so a run that is killed lets go of it at once.
  if (!Do("lock", folder, &err, [&] { return ::flock(fd, LOCK_EX | LOCK_NB); })) {
    ::close(fd);
    *busy = err == EWOULDBLOCK;
    return Fail(error, "lock", folder, err);
  }
  fd_ = fd;
  return true;
}

void HostFolderLock::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace sim
