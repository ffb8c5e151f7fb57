// The daemon's promises: what must hold on the phone after every step of any day, whoever wrote
// it. A scripted scenario checks what its author thought of; the promises are checked after
// every step of every run, so a random day that breaks one is a fault found (or a promise
// stated too widely, narrowed beside its check with the reason).
//
// The monitor watches from outside wherever it can (windows, the trace, the telephony and
// power models). The lock state is the one thing read from the daemon itself: three of its
// paths change it without telling anybody, and those are the paths a promise must watch.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/scenario/scenario.h"
#include "platform/sim/device.h"

namespace settings {
struct Settings;
}

namespace device {

struct BrokenPromise {
  std::string name;
  int line = 0;           // the step after which it was found broken
  std::string source;     // that step as written
  uint64_t time = 0;      // device time then
  std::string reason;     // what was seen
  std::string traceLine;  // the trace line nearest the break, when there is one
};

class PromiseMonitor {
 public:
  // Every promise by name, in the order they are checked.
  static std::span<const std::string_view> Names();
  static bool Known(std::string_view name);

  // Looks at the device after `step` was played.
  void AfterStep(const Step& step, sim::Device& dev, std::u16string_view daemonPath);
  // The device itself failed during `step` (a thread that never blocks, a deadlock).
  void DeviceFailed(const Step& step, sim::Device& dev, const std::string& why);

  // The first break of each promise, in the order found.
  const std::vector<BrokenPromise>& Broken() const { return broken_; }
  // The first break of one of `names` (all promises when empty).
  const BrokenPromise* FirstBroken(std::span<const std::string> names) const;
  // The first trace event the monitor may still read: those it has not read yet, and the last
  // one it has, which names a break found after a step that added none.
  size_t TraceNeeded() const { return traceSeen_ > 0 ? traceSeen_ - 1 : 0; }

 private:
  struct CallWatch {
    bool lockedAtStart = false;  // the daemon was locked when the call appeared
    uint64_t seenAt = 0;
    bool handedOver = false;  // the slide screen was given the call (32801)
    bool judged = false;
    bool ended = false;
    bool rangBesideAnother = false;  // another call was being offered at the same time
    bool daemonLostIt = false;       // active while no line of the daemon's had it
    uint64_t heardAt = 0;            // the daemon's line callback took the offer (0: not yet)
    uint64_t slidOpenAt = 0;         // the user slid open the slide screen while it rang
  };
  struct Obligation {
    uint64_t deadline = 0;
    int line = 0;
  };
  struct Seen;  // what the trace told since the previous step

  void Break(std::string_view name, const Step& step, sim::Device& dev, std::string reason,
             size_t traceIndex);
  Seen ReadTrace(sim::Device& dev, std::u16string_view daemonExe);

  std::vector<BrokenPromise> broken_;
  size_t traceSeen_ = 0;
  bool expectAlive_ = false;
  std::u16string daemonPath_, daemonExe_;  // the daemon's path and its file name, read once
  bool faultSinceStart_ = false;
  DWORD daemonPid_ = 0;
  bool prevLocked_ = false;
  bool prevDisplayOff_ = false;
  bool prevCallActive_ = false;
  std::map<UINT, uint32_t> sentCounters_;  // the last value of each counter the slide screen got
  // An unlock report (or the like) the daemon has yet to act on.
  bool unlockExcused_ = false;
  bool unwatchedCounters_ = false;  // the daemon runs without some of its subscriptions
  // What the preview of one kind of message may be judged against.
  struct PreviewWatch {
    std::optional<uint32_t> lastCount;  // the shell's unread count after the previous step
    bool excused = true;  // the daemon may not have exported since the messages last changed
  };
  void CheckPreviews(const Step& step, sim::Device& dev, const settings::Settings* settings,
                     bool healthy, bool newDaemon, bool settled, size_t traceStart);
  // A DWORD of the shell's state, read after every step: the registry changes far less often,
  // so a value is read again only after it changed.
  std::optional<uint32_t> ShellDword(sim::Device& dev, const char16_t* key, const char16_t* name);
  struct ShellRead {
    const char16_t* key;
    const char16_t* name;
    std::optional<uint32_t> value;
  };
  std::vector<ShellRead> shellReads_;
  uint64_t shellReadsGeneration_ = ~uint64_t{0};

  std::map<int, CallWatch> calls_;
  // A call ended that the daemon had lost sight of: its call flags stand until its next call.
  bool staleCallFlags_ = false;
  bool slideLaunchFailed_ = false;        // no slide screen runs since a start of it failed
  bool inheritedScreen_ = false;          // a daemon started under a call, the slide screen shown
  bool daemonRan_ = false;                // a daemon has run on this phone before
  std::array<PreviewWatch, 3> previews_;  // SMS, MMS, e-mail
  std::optional<Obligation> relock_;
  std::optional<uint64_t> outgoingEndedAt_;  // device time a dialled call last ended
  uint64_t quietSince_ = 0;  // device time of the last step that was not a wait or a check
};

}  // namespace device
