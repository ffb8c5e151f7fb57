// The operating system version and the display driver's escapes on the simulated device.
#include <cstring>

#include "platform/kernel.h"
#include "platform/sim/device.h"
#include "platform/sim/faults.h"
#include "platform/sim/sysinfo_config.h"
#include "platform/sysinfo.h"
#include "platform/wstr.h"

using sim::Device;

namespace sim {

// Part of the device configuration, so every new device starts with the defaults.
SysInfoConfig& SysInfo() {
  return Device::Current().config().sysInfo;
}

}  // namespace sim

namespace {
constexpr HDC kFirstDC = 0x0DC00001u;

void TraceDisplay(ULONG state) {
  Device::Current().Note("display power " + std::to_string(state), state);
}

bool Supported(int escape) {
  if (escape == QUERYESCSUPPORT) return true;
  if (escape == SETPOWERMANAGEMENT || escape == GETPOWERMANAGEMENT)
    return sim::SysInfo().displayEscape;
  return false;
}

int SetPowerManagement(int inputSize, LPCSTR input) {
  VIDEO_POWER_MANAGEMENT vpm{};
  if (!input || inputSize < static_cast<int>(sizeof vpm)) return -1;
  std::memcpy(&vpm, input, sizeof vpm);
  if (vpm.Length != sizeof vpm || vpm.PowerState < VideoPowerOn || vpm.PowerState > VideoPowerOff)
    return -1;
  sim::SysInfo().displayPowerState = vpm.PowerState;
  TraceDisplay(vpm.PowerState);
  return 1;
}

int GetPowerManagement(int outputSize, LPSTR output) {
  if (!output || outputSize < static_cast<int>(sizeof(VIDEO_POWER_MANAGEMENT))) return -1;
  VIDEO_POWER_MANAGEMENT vpm{sizeof vpm, 1, sim::SysInfo().displayPowerState};
  std::memcpy(output, &vpm, sizeof vpm);
  return 1;
}
}  // namespace

BOOL GetVersionExW(OSVERSIONINFOW* info) {
  if (sim::StruckWithLastError("GetVersionExW")) return FALSE;
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto& config = Device::Current().config();
  info->dwMajorVersion = config.osMajor;
  info->dwMinorVersion = config.osMinor;
  info->dwBuildNumber = sim::SysInfo().buildNumber;
  info->dwPlatformId = VER_PLATFORM_WIN32_CE;
  platform::WCopy(info->szCSDVersion, 128, u"");
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (sim::StruckWithLastError("GetDC")) return 0;
  auto& info = sim::SysInfo();
  if ((hwnd && !Device::Current().windows().Get(hwnd))) {
    SetLastError(hwnd ? ERROR_INVALID_WINDOW_HANDLE : ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  HDC dc = kFirstDC;
  while (info.openDCs.count(dc)) ++dc;
  info.openDCs.insert(dc);
  return dc;
}

int ReleaseDC(HWND, HDC hdc) {
  return sim::SysInfo().openDCs.erase(hdc) ? 1 : 0;
}

int ExtEscape(HDC hdc, int escape, int inputSize, LPCSTR input, int outputSize, LPSTR output) {
  if (auto struck = sim::Strike("ExtEscape")) return static_cast<int>(*struck);
  if (!sim::SysInfo().openDCs.count(hdc)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  if (escape == QUERYESCSUPPORT) {
    if (!input || inputSize < static_cast<int>(sizeof(DWORD))) return -1;
    DWORD code = 0;
    std::memcpy(&code, input, sizeof code);
    return Supported(static_cast<int>(code)) ? 1 : 0;
  }
  if (!Supported(escape)) return 0;
  if (escape == SETPOWERMANAGEMENT) return SetPowerManagement(inputSize, input);
  return GetPowerManagement(outputSize, output);
}
