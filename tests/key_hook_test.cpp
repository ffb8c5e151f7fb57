// The keyboard hook and the daemon's own synthetic keys: a key the daemon sends for call control
// passes its own hook even when the next key is due to be swallowed, and the user's next key is
// still the one swallowed. The hook around calls is played by the keys_during_calls scenario.
#include "platform/keyboard.h"
#include "trace_match.h"

namespace {

using namespace trace_match;

class KeyHook : public TracedDaemonTest {
 protected:
  KeyHook() {
    SetFlag(u"VolumeControl", 1);
    SetFlag(u"NoKeyBoardHook", 0);
  }
  void Hardware(BYTE vk, bool up) {
    dev.keyboard().Deliver(dev, sim::KeyEvent{vk, 0, up, false, 0});
    Wait(0);
  }
  bool Swallowed(BYTE vk) { return dev.keyboard().swallowed.at(vk); }
};

TEST_F(KeyHook, OwnSyntheticKeysPassWhileTheNextKeyIsToBeSwallowed) {
  Boot();
  ASSERT_TRUE(dev.keyboard().HookInstalled());
  Hardware(200, false);
  EXPECT_TRUE(Swallowed(200));
  InDaemon([] { keybd_event(0x72, 0, 0, 0); });  // VK_F3, talk
  Wait(0);
  EXPECT_FALSE(Swallowed(0x72));
  Hardware(0x41, false);
  EXPECT_TRUE(Swallowed(0x41));
  Hardware(0x41, true);
  EXPECT_FALSE(Swallowed(0x41));
}

}  // namespace
