// The device file system, driven through the Win32 file calls as the daemon uses them.
#include "platform/sim/filesystem.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/sim/device.h"
#include "platform/wstr.h"

namespace {

namespace hostfs = std::filesystem;
using sim::FsChange;
using Names = std::vector<std::u16string>;

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kErrorNotReady = 21;

// The last error lives on the device, so the calls run on one; its file system is current.
class DeviceFiles : public ::testing::Test {
 protected:
  static HANDLE Open(const char16_t* path, DWORD disposition, DWORD access = kReadWrite,
                     DWORD share = 0) {
    return CreateFileW(path, access, share, nullptr, disposition, 0, 0);
  }
  static bool Write(HANDLE h, std::string_view text) {
    DWORD written = 0;
    return WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
  }
  static std::string Read(HANDLE h, DWORD size) {
    std::string buffer(size, '\0');
    DWORD read = 0;
    if (!ReadFile(h, buffer.data(), size, &read, nullptr)) return "<failed>";
    buffer.resize(read);
    return buffer;
  }

  sim::Device device;
  sim::FileSystem& fs = device.files();
};

using FileSystemPaths = DeviceFiles;
using FileSystemCreate = DeviceFiles;
using FileSystemSharing = DeviceFiles;
using FileSystemCopyMoveDelete = DeviceFiles;
using FileSystemFailures = DeviceFiles;

TEST_F(FileSystemPaths, IgnoreCaseAndSeparatorsButKeepFirstCase) {
  ASSERT_TRUE(fs.AddFile(u"\\Program Files\\Vurl\\Dorvane2.log", "x"));
  EXPECT_TRUE(fs.Exists(u"/program files//VURL/dorvane2.LOG/"));
  EXPECT_TRUE(fs.Exists(u"Program Files\\Vurl"));  // CE: no current folder, paths start at root
  EXPECT_EQ(fs.List(u"\\"), Names{u"Program Files"});
  ASSERT_TRUE(fs.AddFile(u"\\PROGRAM FILES\\vurl\\b.txt"));
  ASSERT_TRUE(fs.AddFile(u"\\program files\\VURL\\a.txt"));
  EXPECT_EQ(fs.List(u"\\program files\\vurl"), (Names{u"a.txt", u"b.txt", u"Dorvane2.log"}));
  EXPECT_EQ(fs.List(u"\\"), Names{u"Program Files"});

  EXPECT_EQ(GetFileAttributesW(u"\\"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(u"\\Program Files\\Vurl\\a.txt"), FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(fs.SetAttributes(u"\\Program Files\\Vurl\\a.txt", 0));
  EXPECT_EQ(GetFileAttributesW(u"\\Program Files\\Vurl\\a.txt"), FILE_ATTRIBUTE_NORMAL);

  EXPECT_EQ(GetFileAttributesW(u"\\Program Files\\nothing.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(u"\\Nowhere\\nothing.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(u"\\Program Files\\Vurl\\a.txt\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(nullptr), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(u""), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileSystemPaths, RefuseTraversalAndNamesTheHostCannotHold) {
  EXPECT_FALSE(fs.AddFile(u"\\a\\..\\..\\evil.txt"));
  EXPECT_FALSE(fs.AddDirectory(u"\\.\\x"));
  EXPECT_FALSE(fs.AddFile(std::u16string(u"\\a\0b", 4)));
  EXPECT_FALSE(fs.AddFile(u"\\c:\\x.txt"));
  EXPECT_EQ(Open(u"\\..\\evil.txt", CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), sim::ERROR_INVALID_NAME);
  EXPECT_FALSE(CreateDirectoryW(u"\\x\\..", nullptr));
  EXPECT_EQ(GetLastError(), sim::ERROR_INVALID_NAME);
  EXPECT_TRUE(fs.List(u"\\").empty());
}

TEST_F(FileSystemCreate, DispositionsOnMissingAndExistingFiles) {
  struct Case {
    DWORD disposition;
    bool exists;
    DWORD error;  // last error after the call
    bool opens;
    const char* content;  // afterwards; the file held "old" if it existed
  };
  const Case cases[] = {
      {CREATE_NEW, false, ERROR_SUCCESS, true, ""},
      {CREATE_NEW, true, ERROR_FILE_EXISTS, false, "old"},
      {CREATE_ALWAYS, false, ERROR_SUCCESS, true, ""},
      {CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, true, ""},
      {OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, false, nullptr},
      {OPEN_EXISTING, true, ERROR_SUCCESS, true, "old"},
      {OPEN_ALWAYS, false, ERROR_SUCCESS, true, ""},
      {OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, true, "old"},
      {TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, false, nullptr},
      {TRUNCATE_EXISTING, true, ERROR_SUCCESS, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << " exists " << c.exists);
    fs.Remove(u"\\f.txt");
    if (c.exists) fs.AddFile(u"\\f.txt", "old");
    SetLastError(12345);
    HANDLE h = Open(u"\\f.txt", c.disposition);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(fs.ReadAll(u"\\f.txt"),
              c.content ? std::optional<std::string>(c.content) : std::nullopt);
    if (h != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(fs.Close(h));
    }
  }

  fs.AddFile(u"\\f.txt", "old");
  EXPECT_EQ(Open(u"\\f.txt", TRUNCATE_EXISTING, GENERIC_READ), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Open(u"\\f.txt", 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Open(u"\\Missing\\f.txt", CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  fs.AddDirectory(u"\\Folder");
  EXPECT_EQ(Open(u"\\folder", OPEN_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  fs.SetAttributes(u"\\f.txt", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Open(u"\\f.txt", OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE reader = Open(u"\\f.txt", OPEN_EXISTING, GENERIC_READ);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  fs.Close(reader);
}

TEST_F(FileSystemCreate, ReadWriteAndSeekAtTheHandlePosition) {
  HANDLE h = Open(u"\\Log.txt", CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(h, "hello world"));
  EXPECT_EQ(fs.ReadAll(u"\\log.txt"), "hello world");  // visible before the handle closes

  EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
  EXPECT_EQ(Read(h, 3), "wor");
  EXPECT_EQ(SetFilePointer(h, -2, nullptr, FILE_CURRENT), 7u);
  EXPECT_EQ(Read(h, 100), "orld");
  EXPECT_EQ(Read(h, 100), "");  // at the end: success, nothing read
  EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_END), 6u);
  ASSERT_TRUE(Write(h, "there"));
  EXPECT_EQ(fs.ReadAll(u"\\Log.txt"), "hello there");

  EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), sim::ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  LONG high = 0;
  EXPECT_EQ(SetFilePointer(h, 2, &high, FILE_END), 13u);
  EXPECT_EQ(high, 0);
  ASSERT_TRUE(Write(h, "!"));
  EXPECT_EQ(fs.ReadAll(u"\\Log.txt"), std::string("hello there\0\0!", 14));  // gap is zeros
  DWORD sizeHigh = 99;
  EXPECT_EQ(GetFileSize(h, &sizeHigh), 14u);
  EXPECT_EQ(sizeHigh, 0u);
  EXPECT_TRUE(FlushFileBuffers(h));

  DWORD written = 7;
  EXPECT_FALSE(WriteFile(h, nullptr, 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(fs.Close(h));
  EXPECT_FALSE(fs.Close(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(Write(h, "x"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetFileSize(h, nullptr), 0xFFFFFFFFu);

  HANDLE reader = Open(u"\\Log.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
  EXPECT_FALSE(Write(reader, "x"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(FlushFileBuffers(reader));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Read(reader, 5), "hello");
  fs.Close(reader);
}

TEST_F(FileSystemCreate, HandlesAreOwnedAndNeverReused) {
  HANDLE first = Open(u"\\a.txt", CREATE_ALWAYS);
  EXPECT_GE(first, sim::FileSystem::kFirstHandle);
  EXPECT_TRUE(fs.OwnsHandle(first));
  fs.Close(first);
  EXPECT_FALSE(fs.OwnsHandle(first));
  HANDLE second = Open(u"\\a.txt", OPEN_EXISTING);
  EXPECT_NE(second, first);
  fs.Close(second);
  EXPECT_EQ(fs.OpenHandleCount(), 0u);
}

TEST_F(FileSystemSharing, OpenFileRefusesConflictingUsesUntilClosed) {
  fs.AddFile(u"\\Log.txt", "data");
  fs.AddFile(u"\\Other.txt", "other");
  HANDLE h = Open(u"\\Log.txt", OPEN_EXISTING, kReadWrite, 0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);

  EXPECT_EQ(Open(u"\\LOG.TXT", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), sim::ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(DeleteFileW(u"\\Log.txt"));
  EXPECT_EQ(GetLastError(), sim::ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(MoveFileW(u"\\Log.txt", u"\\Moved.txt"));
  EXPECT_EQ(GetLastError(), sim::ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(CopyFileW(u"\\Other.txt", u"\\Log.txt", FALSE));
  EXPECT_EQ(GetLastError(), sim::ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(CopyFileW(u"\\Log.txt", u"\\Copy.txt", FALSE));
  EXPECT_EQ(GetLastError(), sim::ERROR_SHARING_VIOLATION);
  EXPECT_EQ(fs.ReadAll(u"\\Log.txt"), "data");

  fs.Close(h);
  EXPECT_TRUE(CopyFileW(u"\\Log.txt", u"\\Copy.txt", FALSE));
  EXPECT_TRUE(MoveFileW(u"\\Log.txt", u"\\Moved.txt"));
  EXPECT_TRUE(DeleteFileW(u"\\Moved.txt"));
}

TEST_F(FileSystemSharing, SharedModesAllowOnlyWhatBothSidesShare) {
  fs.AddFile(u"\\Log.txt", "data");
  HANDLE reader = Open(u"\\Log.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
  HANDLE second = Open(u"\\Log.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
  EXPECT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(u"\\Log.txt", OPEN_EXISTING, GENERIC_WRITE, FILE_SHARE_READ),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), sim::ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(CopyFileW(u"\\Log.txt", u"\\Copy.txt", TRUE));  // reading beside readers is fine
  fs.Close(reader);
  fs.Close(second);

  // The copy reads its source sharing reading and writing, so only the writer's share counts.
  HANDLE writer = Open(u"\\Log.txt", OPEN_EXISTING, GENERIC_WRITE, 0);
  EXPECT_FALSE(CopyFileW(u"\\Log.txt", u"\\Copy2.txt", TRUE));
  EXPECT_EQ(GetLastError(), sim::ERROR_SHARING_VIOLATION);
  fs.Close(writer);
  writer = Open(u"\\Log.txt", OPEN_EXISTING, GENERIC_WRITE, FILE_SHARE_READ);
  EXPECT_TRUE(CopyFileW(u"\\Log.txt", u"\\Copy2.txt", TRUE));
  fs.Close(writer);
}

TEST_F(FileSystemCopyMoveDelete, CopyErrorsAndWhatIsCopied) {
  fs.AddFile(u"\\Src.txt", "source");
  fs.SetAttributes(u"\\Src.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_FALSE(CopyFileW(u"\\Missing.txt", u"\\Dst.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CopyFileW(u"\\Src.txt", u"\\No\\Dst.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(CopyFileW(u"\\Src.txt", nullptr, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  ASSERT_TRUE(CopyFileW(u"\\Src.txt", u"\\Dst.txt", TRUE));
  EXPECT_EQ(fs.ReadAll(u"\\Dst.txt"), "source");
  EXPECT_EQ(GetFileAttributesW(u"\\Dst.txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_FALSE(CopyFileW(u"\\Src.txt", u"\\dst.TXT", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_FALSE(CopyFileW(u"\\Src.txt", u"\\Dst.txt", FALSE));  // the copy is read-only
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  fs.AddFile(u"\\Old.txt", "an older and longer text");
  ASSERT_TRUE(CopyFileW(u"\\Src.txt", u"\\Old.txt", FALSE));
  EXPECT_EQ(fs.ReadAll(u"\\Old.txt"), "source");
  EXPECT_FALSE(CopyFileW(u"\\Old.txt", u"\\OLD.txt", FALSE));
  EXPECT_EQ(GetLastError(), sim::ERROR_SHARING_VIOLATION);
  fs.AddDirectory(u"\\Folder");
  EXPECT_FALSE(CopyFileW(u"\\Src.txt", u"\\Folder", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(CopyFileW(u"\\Folder", u"\\F2", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FileSystemCopyMoveDelete, MoveAndDeleteErrors) {
  fs.AddFile(u"\\A\\one.txt", "1");
  fs.AddFile(u"\\two.txt", "2");
  EXPECT_FALSE(MoveFileW(u"\\A\\one.txt", u"\\Two.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(MoveFileW(u"\\A\\none.txt", u"\\x.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(MoveFileW(u"\\A\\one.txt", u"\\B\\one.txt"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(MoveFileW(u"\\A", u"\\a\\inner"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  ASSERT_TRUE(MoveFileW(u"\\A\\one.txt", u"\\One.txt"));
  EXPECT_EQ(fs.ReadAll(u"\\one.txt"), "1");
  EXPECT_FALSE(fs.Exists(u"\\A\\one.txt"));
  ASSERT_TRUE(MoveFileW(u"\\One.txt", u"\\ONE.TXT"));  // a case-only rename
  EXPECT_EQ(fs.List(u"\\"), (Names{u"A", u"ONE.TXT", u"two.txt"}));
  fs.AddFile(u"\\A\\deep\\file.txt", "f");
  ASSERT_TRUE(MoveFileW(u"\\A", u"\\Moved"));
  EXPECT_EQ(fs.ReadAll(u"\\Moved\\Deep\\file.txt"), "f");
  HANDLE h = Open(u"\\Moved\\deep\\file.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
  EXPECT_FALSE(MoveFileW(u"\\Moved", u"\\Again"));
  EXPECT_EQ(GetLastError(), sim::ERROR_SHARING_VIOLATION);
  fs.Close(h);

  EXPECT_FALSE(DeleteFileW(u"\\none.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(DeleteFileW(u"\\No\\none.txt"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(DeleteFileW(u"\\Moved"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  fs.SetAttributes(u"\\two.txt", FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(DeleteFileW(u"\\two.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  EXPECT_FALSE(CreateDirectoryW(u"\\Moved", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryW(u"\\No\\Sub", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(CreateDirectoryW(u"\\New", nullptr));
  EXPECT_TRUE(fs.IsDirectory(u"\\new"));
}

TEST_F(FileSystemCopyMoveDelete, ObserversSeeChangesMadeThroughTheCalls) {
  std::vector<std::string> seen;
  const int id = fs.AddObserver([&](const FsChange& c) {
    const char* kinds[] = {"created", "written", "deleted", "copied", "moved"};
    seen.push_back(std::string(kinds[static_cast<int>(c.kind)]) + " " + platform::U8(c.path) +
                   (c.from.empty() ? "" : " from " + platform::U8(c.from)));
  });
  fs.AddFile(u"\\Driver.txt");  // the driver's own changes are not reported
  HANDLE h = Open(u"\\Log.txt", CREATE_NEW);
  Write(h, "x");
  EXPECT_EQ(seen.size(), 1u);  // written is told on close
  fs.Close(h);
  CopyFileW(u"\\log.txt", u"\\Copy.txt", TRUE);
  MoveFileW(u"\\copy.txt", u"\\Moved.txt");
  DeleteFileW(u"\\moved.txt");
  CreateDirectoryW(u"\\Dir", nullptr);
  fs.RemoveObserver(id);
  DeleteFileW(u"\\Log.txt");
  EXPECT_EQ(seen,
            (std::vector<std::string>{
                "created \\Log.txt", "written \\Log.txt", "copied \\Copy.txt from \\Log.txt",
                "moved \\Moved.txt from \\Copy.txt", "deleted \\Moved.txt", "created \\Dir"}));
}

TEST_F(FileSystemFailures, InjectedErrorsCoverThePathAndEverythingUnderIt) {
  fs.AddFile(u"\\Storage Card\\Music\\song.mp3", "song");
  fs.AddFile(u"\\Local.txt", "local");
  fs.FailPath(u"\\storage card", kErrorNotReady);

  EXPECT_EQ(Open(u"\\Storage Card\\Music\\song.mp3", OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), kErrorNotReady);
  EXPECT_EQ(Open(u"\\Storage Card\\Nowhere\\new.txt", CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), kErrorNotReady);
  EXPECT_FALSE(CopyFileW(u"\\Local.txt", u"\\Storage Card\\Local.txt", FALSE));
  EXPECT_EQ(GetLastError(), kErrorNotReady);
  EXPECT_FALSE(CopyFileW(u"\\Storage Card\\Music\\song.mp3", u"\\song.mp3", FALSE));
  EXPECT_EQ(GetLastError(), kErrorNotReady);
  EXPECT_FALSE(DeleteFileW(u"\\Storage Card\\Music\\song.mp3"));
  EXPECT_EQ(GetLastError(), kErrorNotReady);
  EXPECT_NE(GetFileAttributesW(u"\\Storage Card\\Music\\song.mp3"), INVALID_FILE_ATTRIBUTES);

  // A full disk while a file is open: the write fails and nothing is written.
  HANDLE h = Open(u"\\Local.txt", OPEN_EXISTING);
  fs.FailPath(u"\\Local.txt", sim::ERROR_DISK_FULL);
  EXPECT_FALSE(Write(h, "more"));
  EXPECT_EQ(GetLastError(), sim::ERROR_DISK_FULL);
  EXPECT_EQ(fs.ReadAll(u"\\Local.txt"), "local");

  fs.ClearFailures();
  EXPECT_TRUE(Write(h, "LOCAL"));
  fs.Close(h);
  EXPECT_TRUE(CopyFileW(u"\\Local.txt", u"\\Storage Card\\Local.txt", FALSE));
}

TEST_F(FileSystemFailures, WithoutAFileSystemEveryCallFailsCleanly) {
  sim::SetCurrentFileSystem(nullptr);
  EXPECT_EQ(GetFileAttributesW(u"\\"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Open(u"\\a.txt", CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  DWORD written = 5;
  EXPECT_FALSE(WriteFile(sim::FileSystem::kFirstHandle, "x", 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(SetFilePointer(sim::FileSystem::kFirstHandle, 0, nullptr, FILE_BEGIN),
            INVALID_SET_FILE_POINTER);
  EXPECT_FALSE(CopyFileW(u"\\a", u"\\b", FALSE));
  EXPECT_FALSE(MoveFileW(u"\\a", u"\\b"));
  EXPECT_FALSE(DeleteFileW(u"\\a"));
  EXPECT_FALSE(CreateDirectoryW(u"\\a", nullptr));
}

// ---- Host persistence

class FileSystemPersistence : public ::testing::Test {
 protected:
  void SetUp() override {
    base = hostfs::path(::testing::TempDir()) /
           ("dv_fs_" + std::to_string(getpid()) + "_" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    hostfs::remove_all(base);
    hostfs::create_directories(base);
    dir = (base / "fs").string();
  }
  void TearDown() override { hostfs::remove_all(base); }

  static std::string HostFile(const hostfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Touch(const hostfs::path& p, const std::string& text = "") {
    hostfs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }

  hostfs::path base;
  std::string dir;
};

TEST_F(FileSystemPersistence, SaveAndLoadKeepNamesBytesAndEmptyFolders) {
  const std::string binary("a\0b\xff", 4);
  sim::FileSystem saved;
  saved.AddFile(u"\\Program Files\\Vurl\\Dorvane2.log", "line 1\r\n");
  saved.AddFile(u"\\Mes Données\\été ☃.txt", binary);
  saved.AddDirectory(u"\\Temp\\Empty");
  std::string error;
  ASSERT_TRUE(saved.SaveTo(dir, &error)) << error;

  EXPECT_EQ(HostFile(base / "fs/Program Files/Vurl/Dorvane2.log"), "line 1\r\n");
  EXPECT_EQ(HostFile(base / "fs/Mes Données/été ☃.txt"), binary);
  EXPECT_TRUE(hostfs::is_directory(base / "fs/Temp/Empty"));

  sim::FileSystem loaded;
  loaded.AddFile(u"\\Stale.txt");
  ASSERT_TRUE(loaded.LoadFrom(dir + "/", &error)) << error;
  EXPECT_EQ(loaded.List(u"\\"), (Names{u"Mes Données", u"Program Files", u"Temp"}));
  EXPECT_EQ(loaded.ReadAll(u"\\MES DONNÉES\\ÉTÉ ☃.TXT"), binary);
  EXPECT_EQ(loaded.ReadAll(u"\\program files\\vurl\\dorvane2.log"), "line 1\r\n");
  EXPECT_TRUE(loaded.IsDirectory(u"\\Temp\\Empty"));
  EXPECT_TRUE(loaded.List(u"\\Temp\\Empty").empty());

  // A later save replaces the tree: what the device no longer has is gone from the host.
  loaded.Remove(u"\\Mes Données");
  ASSERT_TRUE(loaded.SaveTo(dir, &error)) << error;
  EXPECT_FALSE(hostfs::exists(base / "fs/Mes Données"));
  EXPECT_EQ(std::distance(hostfs::directory_iterator(base), {}), 1);  // no temp tree left
}

TEST_F(FileSystemPersistence, FailedSaveLeavesThePreviousTreeIntact) {
  sim::FileSystem device;
  device.AddFile(u"\\Keep.txt", "kept");
  std::string error;
  ASSERT_TRUE(device.SaveTo(dir, &error)) << error;

  // Legal on the device, but 400 bytes of UTF-8 are too long for a host file name.
  device.AddFile(u"\\" + std::u16string(200, u'é'), "x");
  device.AddFile(u"\\Keep.txt", "changed");
  EXPECT_FALSE(device.SaveTo(dir, &error));
  EXPECT_NE(error, "");

  EXPECT_EQ(HostFile(base / "fs/Keep.txt"), "kept");
  sim::FileSystem reloaded;
  ASSERT_TRUE(reloaded.LoadFrom(dir, &error)) << error;
  EXPECT_EQ(reloaded.List(u"\\"), Names{u"Keep.txt"});
  EXPECT_EQ(std::distance(hostfs::directory_iterator(base), {}), 1);
}

TEST_F(FileSystemPersistence, BadHostTreesAreRefusedWithoutTouchingTheDevice) {
  const char* bad[] = {"a\\b.txt", "bad\xff.txt", "what?.txt"};
  for (const char* name : bad) {
    SCOPED_TRACE(name);
    hostfs::remove_all(dir);
    Touch(hostfs::path(dir) / "ok.txt");
    Touch(hostfs::path(dir) / "sub" / name);
    sim::FileSystem device;
    device.AddFile(u"\\Mine.txt", "mine");
    std::string error;
    EXPECT_FALSE(device.LoadFrom(dir, &error));
    EXPECT_NE(error.find("sub"), std::string::npos) << error;
    EXPECT_EQ(device.List(u"\\"), Names{u"Mine.txt"});
  }

  hostfs::remove_all(dir);
  Touch(hostfs::path(dir) / "Same.txt");
  Touch(hostfs::path(dir) / "SAME.TXT");
  sim::FileSystem device;
  std::string error;
  EXPECT_FALSE(device.LoadFrom(dir, &error));
  EXPECT_NE(error.find("ignore case"), std::string::npos) << error;
}

TEST_F(FileSystemPersistence, MissingFolderLoadsEmptyOrTheTreeASaveWasSwapping) {
  sim::FileSystem device;
  device.AddFile(u"\\Mine.txt");
  std::string error;
  ASSERT_TRUE(device.LoadFrom(dir, &error)) << error;
  EXPECT_TRUE(device.List(u"\\").empty());

  // A save stopped between its two renames leaves only the previous tree, beside the folder.
  Touch(hostfs::path(dir + ".old") / "Log.txt", "previous");
  ASSERT_TRUE(device.LoadFrom(dir, &error)) << error;
  EXPECT_EQ(device.ReadAll(u"\\Log.txt"), "previous");
  ASSERT_TRUE(device.SaveTo(dir, &error)) << error;
  EXPECT_FALSE(hostfs::exists(dir + ".old"));
  EXPECT_EQ(HostFile(hostfs::path(dir) / "Log.txt"), "previous");
}

}  // namespace
