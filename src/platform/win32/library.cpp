// Libraries: straight to kernel32. A module handle is the module's base address, which on a
// 64-bit host lies above 4 GB and does not survive the device's 32-bit handles, so the device
// gets a small number standing for it instead. A module loaded again gets its number again;
// the table holds one row per base address ever loaded, a handful.
#include "platform/library.h"

#include <vector>

#include "platform/win32/convert.h"

namespace win32 {
namespace {

// Far from 0 and from the small numbers of kernel handles; spaced as module bases are.
constexpr uint32_t kFirstModule = 0x10000;

struct Modules {
  real::SRWLOCK lock{};
  std::vector<real::HANDLE> bases;
};

Modules& M() {
  static Modules m;
  return m;
}

class Locked {
 public:
  Locked() { real::AcquireSRWLockExclusive(&M().lock); }
  ~Locked() { real::ReleaseSRWLockExclusive(&M().lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

HMODULE DeviceModule(real::HANDLE base) {
  Locked l;
  auto& bases = M().bases;
  size_t i = 0;
  while (i < bases.size() && bases[i] != base) ++i;
  if (i == bases.size()) bases.push_back(base);
  return kFirstModule * static_cast<uint32_t>(i + 1);
}

// Exported names are ASCII; a name with anything else names no export.
bool Narrow(LPCWSTR name, std::vector<char>& out) {
  for (; *name; ++name) {
    if (*name > 0x7F) return false;
    out.push_back(static_cast<char>(*name));
  }
  out.push_back('\0');
  return true;
}

}  // namespace

real::HANDLE HostModule(HMODULE module) {
  if (module == 0 || module % kFirstModule) return Host(module);
  Locked l;
  size_t i = module / kFirstModule - 1;
  return i < M().bases.size() ? M().bases[i] : Host(module);
}

}  // namespace win32

using namespace win32;

HMODULE LoadLibraryW(LPCWSTR fileName) {
  if (!fileName) {
    real::SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  real::HANDLE base = real::LoadLibraryW(W(fileName));
  return base ? DeviceModule(base) : 0;
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  real::HANDLE base = real::GetModuleHandleW(W(moduleName));
  return base ? DeviceModule(base) : 0;
}

// The desktop's GetProcAddress takes a narrow name; an ordinal passes as it is.
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
  const char* name = reinterpret_cast<const char*>(procName);
  std::vector<char> narrow;
  if (!IS_INTRESOURCE(procName)) {
    if (!Narrow(procName, narrow)) {
      real::SetLastError(ERROR_PROC_NOT_FOUND);
      return nullptr;
    }
    name = narrow.data();
  }
  return reinterpret_cast<FARPROC>(real::GetProcAddress(HostModule(module), name));
}

BOOL FreeLibrary(HMODULE module) {
  return real::FreeLibrary(HostModule(module));
}
