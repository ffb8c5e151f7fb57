#include "companions/music_panel.h"

namespace companions {

// The companion programs are not driven yet.
void AwakeMusicPanel() {}
void CloseMusicPanel() {}
void BroadcastBattery() {}
void NotifyDolmBattery() {}

}  // namespace companions
