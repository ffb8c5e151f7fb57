// Files: straight to kernel32.
#include "platform/files.h"

#include "platform/win32/convert.h"

using namespace win32;

DWORD GetFileAttributesW(LPCWSTR path) {
  return real::GetFileAttributesW(W(path));
}
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPVOID security, DWORD disposition,
                   DWORD flags, HANDLE templateFile) {
  return Device(real::CreateFileW(W(path), access, shareMode, security, disposition, flags,
                                  Host(templateFile)));
}
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, DWORD* written, LPVOID overlapped) {
  return real::WriteFile(Host(file), buffer, bytes, written, overlapped);
}
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, DWORD* read, LPVOID overlapped) {
  return real::ReadFile(Host(file), buffer, bytes, read, overlapped);
}
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  return real::SetFilePointer(Host(file), distance, distanceHigh, method);
}
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh) {
  return real::GetFileSize(Host(file), sizeHigh);
}
BOOL FlushFileBuffers(HANDLE file) {
  return real::FlushFileBuffers(Host(file));
}
BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
  return real::CopyFileW(W(from), W(to), failIfExists);
}
BOOL MoveFileW(LPCWSTR from, LPCWSTR to) {
  return real::MoveFileW(W(from), W(to));
}
BOOL DeleteFileW(LPCWSTR path) {
  return real::DeleteFileW(W(path));
}
BOOL CreateDirectoryW(LPCWSTR path, LPVOID security) {
  return real::CreateDirectoryW(W(path), security);
}
