// The telephony line monitor.
#pragma once

namespace telephony {

void TapiInitialize();
void TapiShutdown();
// Closes the daemon's own outgoing-call line if one is open.
void CurrentLineClose();

}  // namespace telephony
