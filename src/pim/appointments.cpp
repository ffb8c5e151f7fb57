#include "pim/appointments.h"

#include "platform/kernel.h"

namespace pim {

// Exporting is not built yet: the thread only waits to be stopped.
DWORD AppointmentExportThread(LPVOID stopEvent) {
  WaitForSingleObject(static_cast<HANDLE>(reinterpret_cast<uintptr_t>(stopEvent)), INFINITE);
  return 0;
}

void AbortAppointmentExport() {}
bool IsAppointmentExportBusy() {
  return false;
}
void RefreshAppointments() {}
void ExportTasks(uint8_t) {}

}  // namespace pim
