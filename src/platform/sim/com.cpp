#include "platform/sim/com.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/kernel.h"
#include "platform/sim/api.h"
#include "platform/sim/faults.h"

namespace sim {

ComRuntime& Com() {
  return Dev().com();
}

void ComRuntime::RegisterClass(const CLSID& clsid, Factory factory) {
  UnregisterClass(clsid);
  classes_.push_back({clsid, std::move(factory)});
}

void ComRuntime::UnregisterClass(const CLSID& clsid) {
  std::erase_if(classes_, [&](const Class& c) { return c.clsid == clsid; });
}

HRESULT ComRuntime::Initialize(Thread* t) {
  // Every call, the first included, must be matched by CoUninitialize; later ones say S_FALSE.
  return initialized_[t]++ == 0 ? S_OK : S_FALSE;
}

void ComRuntime::Uninitialize(Thread* t) {
  auto it = initialized_.find(t);
  if (it != initialized_.end() && --it->second == 0) initialized_.erase(it);
}

bool ComRuntime::Initialized(Thread* t) const {
  return initialized_.count(t) > 0;
}

HRESULT ComRuntime::Create(Thread* t, const CLSID& clsid, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!Initialized(t)) return CO_E_NOTINITIALIZED;
  for (const Class& c : classes_) {
    if (!(c.clsid == clsid)) continue;
    IUnknown* made = c.factory();
    if (!made) return E_OUTOFMEMORY;
    Faults::Quiet quiet(Dev().faults());
    HRESULT hr = made->QueryInterface(riid, object);
    made->Release();
    return hr;
  }
  return REGDB_E_CLASSNOTREG;
}

}  // namespace sim

HRESULT CoInitializeEx(void*, DWORD) {
  if (auto struck = sim::Strike("CoInitializeEx")) return static_cast<HRESULT>(*struck);
  return sim::Com().Initialize(sim::Self());
}

void CoUninitialize() {
  sim::Com().Uninitialize(sim::Self());
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown*, DWORD, REFIID riid, void** object) {
  if (auto struck = sim::Strike("CoCreateInstance")) {
    if (object) *object = nullptr;
    return static_cast<HRESULT>(*struck);
  }
  return sim::Com().Create(sim::Self(), clsid, riid, object);
}

// A BSTR points just after its byte length, and ends with a NUL that the length leaves out.
BSTR SysAllocString(const WCHAR* text) {
  if (!text) return nullptr;
  size_t n = 0;
  while (text[n]) ++n;
  auto* block = static_cast<uint8_t*>(std::malloc(sizeof(uint32_t) + (n + 1) * sizeof(WCHAR)));
  if (!block) return nullptr;
  uint32_t bytes = static_cast<uint32_t>(n * sizeof(WCHAR));
  std::memcpy(block, &bytes, sizeof bytes);
  auto* chars = reinterpret_cast<WCHAR*>(block + sizeof(uint32_t));
  std::memcpy(chars, text, (n + 1) * sizeof(WCHAR));
  ++sim::Com().liveStrings;
  return chars;
}

void SysFreeString(BSTR text) {
  if (!text) return;
  --sim::Com().liveStrings;
  std::free(reinterpret_cast<uint8_t*>(text) - sizeof(uint32_t));
}

UINT SysStringLen(BSTR text) {
  if (!text) return 0;
  uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<uint8_t*>(text) - sizeof(uint32_t), sizeof bytes);
  return bytes / sizeof(WCHAR);
}

namespace {
// Days since 1899-12-30 of a civil date, and back (proleptic Gregorian).
int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468 + 25569;  // 1970 -> 1899-12-30
}

void CivilFromDays(int64_t z, int& y, unsigned& m, unsigned& d) {
  z += 719468 - 25569;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(yoe) + static_cast<int>(era) * 400 + (m <= 2);
}
}  // namespace

// Automation dates carry whole seconds: the time of day is rounded to the nearest one.
int VariantTimeToSystemTime(DATE time, SYSTEMTIME* out) {
  if (!out || !std::isfinite(time) || time < -657434.0 || time > 2958465.999) return FALSE;
  int64_t seconds = std::llround(time * 86400.0);
  int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  int64_t rest = seconds - days * 86400;
  int y = 0;
  unsigned m = 0, d = 0;
  CivilFromDays(days, y, m, d);
  auto w = [](int64_t v) { return static_cast<WORD>(v); };
  *out = SYSTEMTIME{
      w(y),         w(m), w(((days % 7) + 7 + 6) % 7), w(d), w(rest / 3600), w(rest / 60 % 60),
      w(rest % 60), 0};
  return TRUE;
}

int SystemTimeToVariantTime(const SYSTEMTIME* time, DATE* out) {
  if (!time || !out || time->wMonth < 1 || time->wMonth > 12 || time->wDay < 1 || time->wDay > 31 ||
      time->wHour > 23 || time->wMinute > 59 || time->wSecond > 59)
    return FALSE;
  int64_t days = DaysFromCivil(time->wYear, time->wMonth, time->wDay);
  *out = static_cast<double>(days) +
         (time->wHour * 3600 + time->wMinute * 60 + time->wSecond) / 86400.0;
  return TRUE;
}
