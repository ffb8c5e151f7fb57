// Files: attributes, create dispositions, reading and writing, copies, moves and deletes.
#include "platform/files.h"

#include <string>

#include "conformance.h"

namespace {

const std::u16string kDir = u"\\DvConformance";

std::u16string PathOf(const char16_t* name) {
  CreateDirectoryW(kDir.c_str(), nullptr);
  std::u16string p = kDir + u"\\" + name;
  DeleteFileW(p.c_str());
  return p;
}

bool WriteText(const std::u16string& path, const char* text, DWORD disposition = CREATE_ALWAYS) {
  HANDLE f =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, 0);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(f, text, static_cast<DWORD>(std::string(text).size()), &written, nullptr);
  CloseHandle(f);
  return ok;
}

std::string ReadText(const std::u16string& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
  if (f == INVALID_HANDLE_VALUE) return "<none>";
  char buf[64];
  DWORD got = 0;
  ReadFile(f, buf, sizeof buf, &got, nullptr);
  CloseHandle(f);
  return std::string(buf, got);
}

}  // namespace

CONFORMANCE_TEST(Files, AttributesOfFilesFoldersAndMissingPaths) {
  std::u16string file = PathOf(u"attr.txt");
  EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW((kDir + u"\\nowhere\\x.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  ASSERT_TRUE(WriteText(file, "x"));
  DWORD a = GetFileAttributesW(file.c_str());
  EXPECT_NE(a, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(a & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(GetFileAttributesW(kDir.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_FALSE(CreateDirectoryW(kDir.c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  DeleteFileW(file.c_str());
}

CONFORMANCE_TEST(Files, CreateDispositionsReportWhatTheyFound) {
  std::u16string file = PathOf(u"create.txt");
  EXPECT_EQ(CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(WriteText(file, "first", CREATE_NEW));
  EXPECT_FALSE(WriteText(file, "again", CREATE_NEW));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  HANDLE f = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, 0);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  CloseHandle(f);
  ASSERT_TRUE(WriteText(file, "2nd"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS) << "CREATE_ALWAYS over a file";
  EXPECT_EQ(ReadText(file), "2nd") << "and truncates it";
  DeleteFileW(file.c_str());
}

CONFORMANCE_TEST(Files, PointerSizeAndReadingPastTheEnd) {
  std::u16string file = PathOf(u"seek.txt");
  ASSERT_TRUE(WriteText(file, "hello"));
  HANDLE f =
      CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, 0);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(f, nullptr), 5u);
  EXPECT_EQ(SetFilePointer(f, 1, nullptr, FILE_BEGIN), 1u);
  char buf[8] = {};
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(f, buf, 8, &got, nullptr));
  EXPECT_EQ(std::string(buf, got), "ello");
  EXPECT_TRUE(ReadFile(f, buf, 8, &got, nullptr));
  EXPECT_EQ(got, 0u) << "at the end a read succeeds with nothing";
  EXPECT_EQ(SetFilePointer(f, -2, nullptr, FILE_END), 3u);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(f, "LOW", 3, &written, nullptr));
  EXPECT_EQ(GetFileSize(f, nullptr), 6u);
  EXPECT_TRUE(FlushFileBuffers(f));
  CloseHandle(f);
  EXPECT_EQ(ReadText(file), "helLOW");
  DeleteFileW(file.c_str());
}

CONFORMANCE_TEST(Files, SharingModesRefuseASecondWriter) {
  std::u16string file = PathOf(u"share.txt");
  HANDLE a = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, 0);
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, 0),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(a);
  DeleteFileW(file.c_str());
}

CONFORMANCE_TEST(Files, CopiesMovesAndDeletes) {
  std::u16string from = PathOf(u"from.txt"), to = PathOf(u"to.txt"), moved = PathOf(u"moved.txt");
  EXPECT_FALSE(CopyFileW(from.c_str(), to.c_str(), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(WriteText(from, "payload"));
  EXPECT_TRUE(CopyFileW(from.c_str(), to.c_str(), TRUE));
  EXPECT_EQ(ReadText(to), "payload");
  EXPECT_FALSE(CopyFileW(from.c_str(), to.c_str(), TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  ASSERT_TRUE(WriteText(from, "newer"));
  EXPECT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE));
  EXPECT_EQ(ReadText(to), "newer");
  EXPECT_FALSE(MoveFileW(from.c_str(), to.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(MoveFileW(from.c_str(), moved.c_str()));
  EXPECT_EQ(GetFileAttributesW(from.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadText(moved), "newer");
  EXPECT_TRUE(DeleteFileW(moved.c_str()));
  EXPECT_FALSE(DeleteFileW(moved.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  DeleteFileW(to.c_str());
}
