#include "platform/sim/libraries.h"

#include "platform/kernel.h"
#include "platform/sim/api.h"
#include "platform/sim/faults.h"
#include "platform/wstr.h"

namespace sim {
namespace {
// Module handles are the library's place in the list above this base, like load addresses.
constexpr HMODULE kModuleBase = 0x01F00000u;
constexpr HMODULE kModuleStep = 0x00010000u;

std::u16string_view FilePart(std::u16string_view path) {
  size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}
}  // namespace

Library* Libraries::Named(std::u16string_view name) {
  for (auto& lib : libs_)
    if (platform::IEquals(lib.name, name)) return &lib;
  return nullptr;
}

void Libraries::Add(Library lib) {
  if (Library* known = Named(lib.name)) {
    for (auto& e : lib.exports) known->exports.push_back(e);
    known->needsFile = known->needsFile || lib.needsFile;
    return;
  }
  libs_.push_back(std::move(lib));
}

HMODULE Libraries::Load(Device& dev, std::u16string_view fileName) {
  std::u16string_view name = FilePart(fileName);
  Library* lib = Named(name);
  if (!lib || (lib->needsFile && !dev.files().Exists(u"\\Windows\\" + std::u16string(name))))
    return 0;
  HMODULE module = kModuleBase + kModuleStep * static_cast<HMODULE>(lib - libs_.data());
  ++loaded_[module];
  return module;
}

FARPROC Libraries::Find(HMODULE module, LPCWSTR procName) const {
  if (!loaded_.count(module) || !procName) return nullptr;
  size_t index = (module - kModuleBase) / kModuleStep;
  if (index >= libs_.size()) return nullptr;
  for (const auto& e : libs_[index].exports) {
    if (IS_INTRESOURCE(procName)) {
      if (e.ordinal && e.ordinal == static_cast<WORD>(reinterpret_cast<uintptr_t>(procName)))
        return e.proc;
    } else if (!e.name.empty() && e.name == platform::WView(procName)) {
      return e.proc;
    }
  }
  return nullptr;
}

bool Libraries::Free(HMODULE module) {
  auto it = loaded_.find(module);
  if (it == loaded_.end()) return false;
  if (--it->second == 0) loaded_.erase(it);
  return true;
}

HMODULE Libraries::Loaded(std::u16string_view fileName) const {
  std::u16string_view name = FilePart(fileName);
  for (size_t i = 0; i < libs_.size(); ++i) {
    HMODULE module = kModuleBase + kModuleStep * static_cast<HMODULE>(i);
    if (platform::IEquals(libs_[i].name, name) && loaded_.count(module)) return module;
  }
  return 0;
}

int Libraries::LoadCount(std::u16string_view name) const {
  auto it = loaded_.find(Loaded(name));
  return it == loaded_.end() ? 0 : it->second;
}

namespace {
// Switching the device off is only traced: the scenario sees that it was asked.
void HtcDeviceOff() {
  Dev().Note("HTCUtilDeviceOff");
}
}  // namespace

void AddVendorLibraries(Libraries& libraries) {
  libraries.Add(Library{
      u"HtcUtil.dll", true, {{u"HTCUtilDeviceOff", 0, reinterpret_cast<FARPROC>(&HtcDeviceOff)}}});
}

}  // namespace sim

HMODULE LoadLibraryW(LPCWSTR fileName) {
  if (sim::StruckWithLastError("LoadLibraryW")) return 0;
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  HMODULE module = sim::Dev().libraries().Load(sim::Dev(), platform::WView(fileName));
  if (!module) SetLastError(ERROR_MOD_NOT_FOUND);
  return module;
}

// Every program's image sits at the same address of its own slot; the daemon passes it to the
// window calls, which take any value here.
HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  constexpr HMODULE kProgramImage = 0x00400000;
  if (!moduleName) return kProgramImage;
  HMODULE module = sim::Dev().libraries().Loaded(platform::WView(moduleName));
  if (!module) SetLastError(ERROR_MOD_NOT_FOUND);
  return module;
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
  if (sim::StruckWithLastError("GetProcAddressW")) return nullptr;
  FARPROC proc = sim::Dev().libraries().Find(module, procName);
  if (!proc) SetLastError(ERROR_PROC_NOT_FOUND);
  return proc;
}

BOOL FreeLibrary(HMODULE module) {
  if (sim::Dev().libraries().Free(module)) return TRUE;
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}
