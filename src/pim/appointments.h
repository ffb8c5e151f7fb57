// The appointment export thread.
#pragma once

#include "platform/win_types.h"

namespace pim {

// The thread's procedure; its argument is the stop event.
DWORD AppointmentExportThread(LPVOID stopEvent);
void AbortAppointmentExport();

}  // namespace pim
