#include "telephony/line.h"

namespace telephony {

// Telephony is not built yet: no line is opened.
void TapiInitialize() {}
void TapiShutdown() {}
void CurrentLineClose() {}

}  // namespace telephony
