// The SIM manager belongs to the cellular core: on the desktop there is no SIM to read.
#include "platform/sim_manager.h"

HRESULT SimInitialize(DWORD, SIMCALLBACK, DWORD, HSIM* sim) {
  if (sim) *sim = HSIM{};
  return SIM_E_NOSIM;
}
HRESULT SimDeinitialize(HSIM) {
  return SIM_E_NOSIM;
}
HRESULT SimGetPhonebookStatus(HSIM, DWORD, DWORD* used, DWORD* total) {
  if (used) *used = 0;
  if (total) *total = 0;
  return SIM_E_NOSIM;
}
HRESULT SimReadPhonebookEntry(HSIM, DWORD, DWORD, SIMPHONEBOOKENTRY*) {
  return SIM_E_NOSIM;
}
