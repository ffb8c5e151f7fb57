// The appointment export thread: woken by a pulse of its refresh event, it writes the coming
// appointments under "Software\Zeq\Vurl\Appointments" and tells the slide screen (32838).
#pragma once

#include <cstdint>

#include "platform/poom.h"

namespace pim {

// The thread's procedure; its argument is the stop event.
DWORD AppointmentExportThread(LPVOID stopEvent);
// Asks a running export to stop after the current item.
void AbortAppointmentExport();
bool IsAppointmentExportBusy();
// Wakes the export thread to export again (lost when it is not waiting).
void RefreshAppointments();
void ExportAppointments(int maxItems, int days, bool includeAllDay);
// For an all-day yearly series: the occurrence's year minus the series' first year, else 0.
int32_t YearsSinceFirstOccurrence(IAppointment* appointment, DATE occurrenceStart);

// Exports the open tasks for the slide screen (ShowTask 1 all, 2 due today), at most five.
void ExportTasks(uint8_t showTask);
void ExportTaskList(int maxItems, int mode);

}  // namespace pim
