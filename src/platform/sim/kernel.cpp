// Temporary: replaced by the scheduler-backed kernel.
#include "platform/kernel.h"

static DWORD g_last_error;
DWORD GetLastError() { return g_last_error; }
void SetLastError(DWORD e) { g_last_error = e; }
