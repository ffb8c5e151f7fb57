// The appointment export thread.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace pim {

// The thread's procedure; its argument is the stop event.
DWORD AppointmentExportThread(LPVOID stopEvent);
void AbortAppointmentExport();
bool IsAppointmentExportBusy();
// Wakes the export thread to export again.
void RefreshAppointments();
// Exports the open tasks for the slide screen (ShowTask 1 or 2).
void ExportTasks(uint8_t showTask);

}  // namespace pim
