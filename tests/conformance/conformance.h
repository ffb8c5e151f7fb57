// The platform conformance suite: what the daemon relies on in the platform calls, stated once
// and checked on both platforms. The cases use only src/platform/*.h. Each runs in a fresh
// program thread: a simulated thread of a new simulated device in the Linux suite, a new real
// thread under Windows (Wine in CI).
#pragma once

#include <gtest/gtest.h>

#include "platform/kernel.h"
#include "platform/user.h"

namespace conformance {

// Runs `body` on a fresh platform thread and waits until it has returned.
void RunOnPlatform(void (*body)());
bool OnSimulatedDevice();

// A window of a class registered for it; the class name is also its title.
HWND MakeWindow(const WCHAR* name, WNDPROC proc, DWORD style = 0, HWND parent = 0);
// Dispatches what is queued now, timers excluded.
void DrainQueue();

// A second program for the cases that need another process: it shows a "CxPeer" window and
// runs until that window is closed. The simulated device installs it as kPeerImage.
constexpr const WCHAR* kPeerImage = u"\\Windows\\conformance-peer.exe";
int PeerMain();

}  // namespace conformance

#define DV_CONFORMANCE_CASE(Suite, Name, Guard)               \
  static void Suite##_##Name##_Body();                        \
  TEST(Suite, Name) {                                         \
    Guard conformance::RunOnPlatform(&Suite##_##Name##_Body); \
  }                                                           \
  static void Suite##_##Name##_Body()

// A behaviour both platforms share.
#define CONFORMANCE_TEST(Suite, Name) DV_CONFORMANCE_CASE(Suite, Name, )

// Where the device follows Windows CE and the desktop differs on purpose: the case runs on the
// simulated device only; `rule` names the docs/platform.md rule it follows.
#define DEVICE_RULE_TEST(Suite, Name, rule) \
  DV_CONFORMANCE_CASE(                      \
      Suite, Name, if (!conformance::OnSimulatedDevice()) GTEST_SKIP() << "device rule: " rule;)
