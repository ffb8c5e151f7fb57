#include "device/scenario/promises.h"

#include <algorithm>
#include <array>
#include <optional>

#include "core/messages.h"
#include "core/state.h"
#include "device/scenario/expect.h"
#include "platform/process_local.h"
#include "platform/sim/mapi_model.h"
#include "platform/sim/telephony.h"
#include "platform/wstr.h"
#include "settings/settings.h"

namespace device {

namespace {

using platform::IEquals;
using platform::U16;
using platform::U8;
using sim::TraceKind;

constexpr std::string_view kAlive = "alive";
constexpr std::string_view kShown = "locked-shown";
constexpr std::string_view kOnlyUnlock = "only-unlock";
constexpr std::string_view kAnswerable = "call-answerable";
constexpr std::string_view kBorrowed = "borrowed-back";
constexpr std::string_view kRelock = "lock-returns";
constexpr std::string_view kCounters = "counters-true";
constexpr std::string_view kQuiet = "quiet-when-idle";

constexpr std::array<std::string_view, 8> kNames{kAlive,    kShown,  kOnlyUnlock, kAnswerable,
                                                 kBorrowed, kRelock, kCounters,   kQuiet};

// The counters the slide screen shows, by the message that carries each, and where the shell
// keeps the true value.
struct CounterSource {
  UINT msg;
  const char16_t* key;
  const char16_t* name;
  const char* what;
};
constexpr CounterSource kCounterSources[] = {
    {core::kMsgMissedCalls, u"HKEY_CURRENT_USER\\System\\State\\Phone", u"Missed Call Count",
     "missed calls"},
    {core::kMsgUnreadSms, u"HKEY_CURRENT_USER\\System\\State\\Messages\\SMS\\Unread", u"Count",
     "unread SMS"},
    {core::kMsgUnreadMms, u"HKEY_CURRENT_USER\\System\\State\\Messages\\MMS\\Unread", u"Count",
     "unread MMS"},
    {core::kMsgUnreadEmail, u"HKEY_CURRENT_USER\\System\\State\\Messages\\TotalEmail\\Unread",
     u"Count", "unread e-mail"},
};

std::optional<uint32_t> ReadDword(sim::Device& dev, std::u16string_view key,
                                  std::u16string_view name) {
  const sim::RegValue* v = dev.registry().PeekValue(key, name);
  if (!v || v->type != REG_DWORD || v->bytes.size() != 4) return std::nullopt;
  return static_cast<uint32_t>(v->bytes[0] | v->bytes[1] << 8 | v->bytes[2] << 16 |
                               static_cast<uint32_t>(v->bytes[3]) << 24);
}

// The previews the daemon writes for the slide screen, by kind: the shell's unread count that
// sets off an export, the hand-off key, and the stores it describes (null: the e-mail account
// the shell received from last).
struct PreviewSource {
  const char16_t* countKey;
  const char16_t* handOffKey;
  const char16_t* store;
  const char* what;
  bool koreanCount;  // with KoreanSMSpatch the daemon watches a count that nothing here moves
};
constexpr char16_t kMessagesKey[] = u"HKEY_CURRENT_USER\\System\\State\\Messages";
constexpr PreviewSource kPreviewSources[] = {
    {u"HKEY_CURRENT_USER\\System\\State\\Messages\\SMS\\Unread",
     u"HKEY_CURRENT_USER\\Software\\Zeq\\Vurl\\SMS", u"SMS", "SMS", true},
    {u"HKEY_CURRENT_USER\\System\\State\\Messages\\MMS\\Unread",
     u"HKEY_CURRENT_USER\\Software\\Zeq\\Vurl\\MMS", u"MMS", "MMS", false},
    {u"HKEY_CURRENT_USER\\System\\State\\Messages\\TotalEmail\\Unread",
     u"HKEY_CURRENT_USER\\Software\\Zeq\\Vurl\\Message", nullptr, "e-mail", false},
};
// A preview cuts longer texts to this.
constexpr size_t kPreviewChars = 254;

std::optional<std::u16string> RegText(sim::Device& dev, std::u16string_view key,
                                      std::u16string_view name) {
  const sim::RegValue* v = dev.registry().PeekValue(key, name);
  if (!v || v->type != REG_SZ) return std::nullopt;
  std::u16string text;
  for (size_t i = 0; i + 1 < v->bytes.size(); i += 2) {
    char16_t c = static_cast<char16_t>(v->bytes[i] | v->bytes[i + 1] << 8);
    if (c == 0) break;
    text += c;
  }
  return text;
}

// The unread messages with a delivery time that are the newest of the stores of that name (more
// than one when several were delivered at the same moment).
std::vector<const sim::MapiMessage*> NewestUnread(sim::Device& dev, const std::u16string& store) {
  std::vector<const sim::MapiMessage*> newest;
  for (const sim::MapiMessage* m : dev.mapi().Inbox(store)) {
    if ((m->flags & MSGFLAG_READ) || !m->time) continue;
    if (!newest.empty() && *m->time != *newest.front()->time) break;
    newest.push_back(m);
  }
  return newest;
}

// Whether the hand-off key holds this message's sender, subject and time (and the account).
bool Describes(sim::Device& dev, const PreviewSource& src, const sim::MapiMessage& m,
               const std::u16string& store) {
  auto cut = [](const std::optional<std::u16string>& t) {
    return t ? t->substr(0, kPreviewChars) : std::u16string();
  };
  const sim::RegValue* time = dev.registry().PeekValue(src.handOffKey, u"Time");
  uint64_t stored = 0;
  if (!time || time->type != REG_BINARY || time->bytes.size() != 8) return false;
  for (int i = 7; i >= 0; --i) stored = stored << 8 | time->bytes[static_cast<size_t>(i)];
  return stored == *m.time && RegText(dev, src.handOffKey, u"Sender") == cut(m.sender) &&
         RegText(dev, src.handOffKey, u"Subject") == cut(m.subject) &&
         (src.store || RegText(dev, src.handOffKey, u"Account") == store);
}

// How long the phone may take to settle after the last thing that happened before a promise
// about what is on screen is judged: the daemon's own waits are at most a few seconds.
constexpr uint64_t kSettleMs = 10000;
// A call rings this long at most before the user must see something to answer it with.
constexpr uint64_t kAnswerWithinMs = 5000;
// The longest fixed wait of a daemon window handler (the incoming-call loop), during which no
// other message, the line's callbacks included, is handled.
constexpr uint64_t kLongestHandlerWaitMs = 9000;
// The lock after the display went off: the daemon's wake-up delay, plus the slide screen's
// start (its launch is retried after a second) and its lock report.
constexpr uint64_t kRelockSlackMs = 5000;
// A phone left alone this long, once settled, must not have woken the daemon.
constexpr uint64_t kQuietHourMs = 3600000;

// The daemon drops a call of its own and waits this long before it hears how the call ended;
// a display going off meanwhile finds it still in the call.
constexpr uint64_t kOwnCallDropWaitMs = 3000 + 500;

constexpr DWORD kDisplayOffFlags = 0x00100000;
constexpr DWORD kPowerButtonFlags = 0x00400000;

// A step after which time has passed with nothing new done to the phone.
bool IsQuietStep(const Action& a) {
  if (std::holds_alternative<verb::Wait>(a) || std::holds_alternative<verb::Settle>(a)) return true;
  if (detail::IsExpectation(a)) return true;
  auto* m = std::get_if<verb::Model>(&a);
  return m && m->step->role() == ModelStep::Role::Setup;
}

const core::State* DaemonState(const sim::Process* p) {
  if (!p) return nullptr;
  auto it = p->slots.find(platform::ProcessGlobalKey<core::State>());
  return it == p->slots.end() ? nullptr : static_cast<const core::State*>(it->second.first);
}

const settings::Settings* DaemonSettings(const sim::Process* p) {
  if (!p) return nullptr;
  auto it = p->slots.find(platform::ProcessGlobalKey<settings::Settings>());
  return it == p->slots.end() ? nullptr : static_cast<const settings::Settings*>(it->second.first);
}

bool CallActive(const sim::TapiCall& c) {
  return c.state != LINECALLSTATE_IDLE && c.state != LINECALLSTATE_DISCONNECTED;
}

bool AnyCallActive(sim::Device& dev) {
  return std::any_of(dev.telephony().Calls().begin(), dev.telephony().Calls().end(), CallActive);
}

bool IsForeground(sim::Device& dev, const sim::Window* w) {
  return w && w->visible && dev.windows().Foreground() == w->hwnd;
}

// Whose window is in front: the phone's own programs, or one the user brought up.
bool StrangerInFront(sim::Device& dev, std::u16string_view daemonExe) {
  const sim::Window* w = dev.windows().Get(dev.windows().Foreground());
  if (!w || !w->process) return false;
  const std::u16string& exe = w->process->exeName;
  for (std::u16string_view own : {u"vurl.exe", u"cprog.exe", u"shell32.exe", u"explorer.exe"})
    if (IEquals(exe, own)) return false;
  if (IEquals(exe, daemonExe)) return IEquals(w->cls, u"Dialog");  // its message boxes
  return true;
}

// A program of the exception list runs: the daemon then leaves the phone as it is.
bool ExceptionRunning(sim::Device& dev, const settings::Settings& s) {
  for (const auto& entry : s.ExceptionList) {
    std::u16string name;
    for (const auto& c : entry) {
      if (c == 0) break;
      name += static_cast<char16_t>(c);
    }
    if (!name.empty() && dev.FindProcess(name)) return true;
  }
  return false;
}

}  // namespace

struct PromiseMonitor::Seen {
  bool unlockReport = false;  // 32792 reached the daemon window (the slide screen unlocked)
  bool reload = false;        // 32811: the settings were reloaded
  bool hiddenLaunch = false;  // the slide screen was started hidden
  bool faultStruck = false;
  bool launchFault = false;        // a start of the slide screen was made to fail
  bool callerPosted = false;       // 32801 reached the slide screen
  bool subscriptionFault = false;  // a state-store subscription was refused
  size_t lastCallerPost = 0;
  std::optional<uint64_t> daemonHeardOffer;  // the daemon's line callback took an offered call
};

std::span<const std::string_view> PromiseMonitor::Names() {
  return kNames;
}

bool PromiseMonitor::Known(std::string_view name) {
  return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

const BrokenPromise* PromiseMonitor::FirstBroken(std::span<const std::string> names) const {
  for (const auto& b : broken_)
    if (names.empty() || std::find(names.begin(), names.end(), b.name) != names.end()) return &b;
  return nullptr;
}

void PromiseMonitor::Break(std::string_view name, const Step& step, sim::Device& dev,
                           std::string reason, size_t traceIndex) {
  for (const auto& b : broken_)
    if (b.name == name) return;  // the first break of each is the one worth reading
  BrokenPromise b{std::string(name), step.line, step.source, dev.Now(), std::move(reason), {}};
  const auto& trace = dev.trace();
  if (trace.size() > 0)
    b.traceLine = sim::Trace::Render(trace.At(std::min(traceIndex, trace.size() - 1)));
  broken_.push_back(std::move(b));
}

PromiseMonitor::Seen PromiseMonitor::ReadTrace(sim::Device& dev, std::u16string_view daemonExe) {
  Seen seen;
  auto& trace = dev.trace();
  // Looked up at the first message: many steps (a phone being filled) send none.
  uint32_t daemonClass = 0, slideClass = 0;
  bool classesKnown = false;
  std::string scratch;
  for (size_t i = traceSeen_; i < trace.size(); ++i) {
    const sim::TraceRecord& r = trace.RecordAt(i);
    switch (r.kind) {
      case TraceKind::Post:
      case TraceKind::Send:
        if (!classesKnown) {
          daemonClass = trace.Name(std::string_view("Dorvane2"));
          slideClass = trace.Name(std::string_view("Vurl"));
          classesKnown = true;
        }
        if (r.cls == daemonClass) {
          if (r.msg == core::kMsgUnlock) seen.unlockReport = true;
          if (r.msg == core::kMsgRefreshSetting) seen.reload = true;
        } else if (r.cls == slideClass && r.msg == core::kMsgCaller) {
          seen.callerPosted = true;
          seen.lastCallerPost = i;
        } else if (r.cls == slideClass) {
          for (const auto& c : kCounterSources)
            if (r.msg == c.msg) sentCounters_[c.msg] = static_cast<uint32_t>(r.wParam);
        }
        break;
      case TraceKind::Launch: {
        std::string_view text = trace.TextAt(i, &scratch);
        if (text.starts_with("vurl.exe -hide")) seen.hiddenLaunch = true;
        // A new slide screen knows no counter until it is sent them.
        if (text.starts_with("vurl.exe")) sentCounters_.clear();
        break;
      }
      case TraceKind::Note: {
        std::string_view text = trace.TextAt(i, &scratch);
        if (text.starts_with("fault ")) seen.faultStruck = true;
        if (text.starts_with("fault RegistryNotifyWindow")) seen.subscriptionFault = true;
        if (text.starts_with("fault ShellExecuteEx")) seen.launchFault = true;
        if (!seen.daemonHeardOffer && text.starts_with("tapi callback msg=2 ") &&
            text.find(" 1=0x2 ") != text.npos && IEquals(U16(trace.NameOf(r.actor)), daemonExe))
          seen.daemonHeardOffer = r.time;
        break;
      }
      default:
        break;
    }
  }
  traceSeen_ = trace.size();
  return seen;
}

void PromiseMonitor::DeviceFailed(const Step& step, sim::Device& dev, const std::string& why) {
  Break(kAlive, step, dev, "the device failed: " + why, dev.trace().size());
}

void PromiseMonitor::AfterStep(const Step& step, sim::Device& dev, std::u16string_view daemonPath) {
  if (!platform::Same(daemonPath, daemonPath_)) {  // the same at almost every step
    daemonPath_ = daemonPath;
    daemonExe_ = detail::BaseName(daemonPath);
  }
  const std::u16string& daemonExe = daemonExe_;
  const size_t traceStart = traceSeen_;
  Seen seen = ReadTrace(dev, daemonExe);
  const uint64_t now = dev.Now();
  const bool quiet = IsQuietStep(step.action);
  if (!quiet) quietSince_ = now;
  if (seen.faultStruck) faultSinceStart_ = true;

  sim::Process* daemon = dev.FindProcess(daemonExe);
  const core::State* state = DaemonState(daemon);
  const settings::Settings* settings = DaemonSettings(daemon);

  // --- alive: the daemon runs unless it was killed or told to quit. A second start is the
  // user's way of closing it; a daemon that could not even make its window ends by design.
  if (auto* s = std::get_if<verb::Start>(&step.action);
      s && IEquals(U16(s->program), u"dorvane2")) {
    expectAlive_ = daemonPid_ == 0;
    faultSinceStart_ = seen.faultStruck;
  } else if (auto* k = std::get_if<verb::Kill>(&step.action);
             k && IEquals(detail::ProgramExe(k->program, daemonPath), daemonExe)) {
    expectAlive_ = false;
  } else if (auto* p = std::get_if<verb::Post>(&step.action);
             p && p->windowClass == "Dorvane2" &&
             (p->msg.value == core::kMsgCloseAll || p->msg.value == WM_CLOSE)) {
    expectAlive_ = false;
  }
  if (expectAlive_ && !daemon && !faultSinceStart_)
    Break(kAlive, step, dev, "the daemon is not running, and nobody ended it", traceStart);
  if (!daemon) expectAlive_ = false;

  const DWORD pid = daemon ? daemon->pid : 0;
  // A daemon whose subscriptions were refused keeps running with those it has, for its life.
  // The excuse ends with it: the next daemon tells a running slide screen every counter again.
  unwatchedCounters_ = (pid == daemonPid_ && unwatchedCounters_) || seen.subscriptionFault;
  const bool samePid = pid != 0 && pid == daemonPid_;
  const bool locked = state && state->Locked;

  // --- Calls: which lock state each found, and whether the user was given it.
  const bool killedPhoneSide =
      std::holds_alternative<verb::Kill>(step.action);  // a program died under the call
  std::vector<int> endedNow;
  const auto& allCalls = dev.telephony().Calls();
  const bool twoRinging = std::count_if(allCalls.begin(), allCalls.end(), [](const auto& c) {
                            return c.state == LINECALLSTATE_OFFERING;
                          }) > 1;
  for (const sim::TapiCall& c : allCalls) {
    auto [it, added] = calls_.try_emplace(c.number);
    CallWatch& w = it->second;
    if (added) {
      w.lockedAtStart = prevLocked_;
      w.seenAt = now;
    }
    if (seen.callerPosted) w.handedOver = true;
    if (seen.daemonHeardOffer && !w.heardAt && c.state == LINECALLSTATE_OFFERING)
      w.heardAt = *seen.daemonHeardOffer;
    if (seen.unlockReport && c.state == LINECALLSTATE_OFFERING) w.slidOpenAt = now;
    // Killing the daemon or the slide screen under a ringing call takes away what would have
    // shown it; nothing can put it back until the next call.
    if (killedPhoneSide && CallActive(c)) w.judged = true;
    if (twoRinging && c.state == LINECALLSTATE_OFFERING) w.rangBesideAnother = true;
    if (CallActive(c) && daemon) {
      bool held = dev.telephony().HasHandle(daemon, c.number);
      w.daemonLostIt = w.daemonLostIt || !held;
      if (held && !c.outgoing && c.media == LINEMEDIAMODE_INTERACTIVEVOICE) staleCallFlags_ = false;
    }
    if (!CallActive(c) && !w.ended) {
      w.ended = true;
      endedNow.push_back(c.number);
      if (c.outgoing) outgoingEndedAt_ = now;
      if (w.daemonLostIt) staleCallFlags_ = true;
    }
  }
  // The server taking the daemon's lines away during a call (`line close`, `line reinit`):
  // the daemon drops and forgets what it had placed, and hears nothing of the rest.
  auto* model = std::get_if<verb::Model>(&step.action);
  if (prevCallActive_ && model && model->step->takesDaemonLines()) staleCallFlags_ = true;
  if (!samePid) staleCallFlags_ = false;
  // The slide screen's window, if it runs: nothing below changes the device.
  const sim::Window* slide = dev.windows().FrontOfClass(u"Vurl");
  // A daemon started while a call is on and the slide screen shows cannot tell a screen an
  // earlier daemon locked from one showing the call (nothing asks the slide screen which); nor
  // a hidden screen an earlier daemon locked from an unlocked one (shown again, it reports no
  // lock it holds already). It takes the phone for unlocked until the next lock or unlock it
  // hears of.
  if (pid != 0 && pid != daemonPid_)
    inheritedScreen_ = slide && (daemonRan_ || (slide->visible && prevCallActive_));
  if (samePid && prevLocked_ != locked) inheritedScreen_ = false;
  if (pid != 0) daemonRan_ = true;

  // --- only-unlock: locked to unlocked only by the slide screen's report, a reload, the slide
  // screen started hidden, or the end of a call that found the phone unlocked.
  // The daemon may act on an unlock report after a sleep of its own, in a later step than the
  // one that brought the report: the excuse holds until the lock state next changes.
  if (seen.unlockReport || seen.reload || seen.hiddenLaunch) unlockExcused_ = true;
  if (prevLocked_ && !locked && samePid) {
    // A step in which a platform call failed is excused: the hidden start of the slide screen
    // unlocks even when the start itself fails.
    bool allowed =
        seen.unlockReport || seen.reload || seen.hiddenLaunch || seen.faultStruck || unlockExcused_;
    for (int n : endedNow) allowed = allowed || !calls_[n].lockedAtStart;
    if (!allowed) {
      std::string why =
          "the daemon went from locked to unlocked with no unlock report (32792), "
          "settings reload or hidden start of the slide screen";
      if (!endedNow.empty()) why += "; the call that ended had found the phone locked";
      Break(kOnlyUnlock, step, dev, why, traceStart);
    }
  }

  // --- call-answerable: an offered voice call reaches the slide screen or leaves the phone's
  // own incoming-call window in front.
  for (const sim::TapiCall& c : dev.telephony().Calls()) {
    CallWatch& w = calls_[c.number];
    // The daemon can act on a call only once its line callback took the offer, and a handler's
    // fixed waits hold back every message of its window, the callback's included (the in-call
    // lock's timer waits up to 6 s while a waiting call may ring): the time to show the call
    // counts from then, or from the longest such wait when the offer was not taken yet.
    // The user sliding the slide screen open while it showed the call takes the call out of
    // sight; the unlock drops a call the daemon placed and waits before it reads the line, and
    // only then hands the ringing call over again: the time counts afresh from the unlock.
    uint64_t from = w.heardAt ? std::max(w.seenAt, w.heardAt) : w.seenAt + kLongestHandlerWaitMs;
    if (w.slidOpenAt) from = std::max(from, w.slidOpenAt + kOwnCallDropWaitMs);
    if (w.judged || c.outgoing || c.state != LINECALLSTATE_OFFERING ||
        c.media != LINEMEDIAMODE_INTERACTIVEVOICE || now < from + kAnswerWithinMs)
      continue;
    w.judged = true;
    // Without the phone application nothing on the phone knows the call is there.
    if (!dev.FindProcess(u"cprog.exe")) continue;
    // No line the daemon has open ever reported the call: its telephony failed to start, or
    // the server closed or re-initialised its lines while the call rang. The daemon starts
    // without telephony or opens its lines afresh, as designed, and hears of a call only at
    // its next change; until then it takes the phone for idle.
    if (daemon && !dev.telephony().HasHandle(daemon, c.number)) continue;
    // Two calls offered at once: a network offers a second call only beside a connected one
    // (a waiting call), and the daemon, like the phone, follows one offered call at a time.
    if (w.rangBesideAnother) continue;
    HWND incoming = dev.telephony().phone().incomingWindow;
    const sim::Window* iw = incoming ? dev.windows().Get(incoming) : nullptr;
    bool onScreen = (w.handedOver && slide && slide->visible) || IsForeground(dev, iw);
    if (!onScreen && !seen.faultStruck)
      Break(kAnswerable, step, dev,
            "call " + std::to_string(c.number) + " has been offered for " +
                std::to_string((now - w.seenAt) / 1000) +
                " s and neither the slide screen shows it nor is the phone's incoming-call "
                "window in front",
            traceStart);
  }

  const bool callActive = AnyCallActive(dev);
  // A slide screen that could not be started leaves no lock screen to show and nothing to
  // report an unlock: until one runs again, the lock and what it holds are not judged.
  if (seen.launchFault) slideLaunchFailed_ = true;
  if (slide) slideLaunchFailed_ = false;
  const bool settled = quiet && now >= quietSince_ + kSettleMs;

  // --- locked-shown: locked, display on, no call, nothing of the user's in front and the slide
  // screen running: the slide screen is what the user sees.
  // A call whose end no line of the daemon's reported (the server closed or re-initialised its
  // lines while the call was on) leaves the daemon's call flags, and what a ringing call
  // changed on screen, as they were: it hears of calls only through its lines, and sets them
  // right at its next call. Neither the lock screen nor the task bar is judged till then.
  if (settled && locked && state && !state->DisplayOff && !callActive && slide &&
      !staleCallFlags_ && !StrangerInFront(dev, daemonExe) && !seen.faultStruck) {
    if (!IsForeground(dev, slide))
      Break(kShown, step, dev,
            std::string("the phone is locked with the display on, but the slide screen is ") +
                (slide->visible ? "not in front" : "hidden"),
            traceStart);
  }

  // --- borrowed-back: unlocked and settled, with no call: the task bar is where it belongs.
  // A slide screen in front is a lock screen the user sees (one still locked in front of a
  // restarted daemon that never heard it lock): its unlock report gives the task bar back.
  if (settled && daemon && !locked && !callActive && !seen.faultStruck && !staleCallFlags_ &&
      !slideLaunchFailed_ && !inheritedScreen_ && !IsForeground(dev, slide)) {
    const sim::Window* bar = dev.windows().FrontOfClass(u"HHTaskBar");
    // The lock keeps the user's reminder options and key values here while it has them; an
    // unlocked phone keeps nothing there.
    auto backups = dev.registry().ListValues(u"HKEY_CURRENT_USER\\Software\\Zeq\\Vurl\\Backup");
    if (bar && bar->rect.bottom <= 0)
      Break(kBorrowed, step, dev,
            "the phone is unlocked and idle, but the task bar is still hidden", traceStart);
    else if (!backups.empty())
      Break(kBorrowed, step, dev,
            "the phone is unlocked and idle, but the lock's backup \"" +
                platform::U8(backups.front().first) + "\" is still there",
            traceStart);
  }

  // --- counters-true: settled, what the slide screen was last told of each counter is what the
  // shell counts. A counter never sent is not judged (a slide screen that asked for none).
  if (settled && daemon && slide && !seen.faultStruck && !unwatchedCounters_) {
    for (const auto& c : kCounterSources) {
      auto sent = sentCounters_.find(c.msg);
      auto truth = ShellDword(dev, c.key, c.name);
      if (sent == sentCounters_.end() || !truth || sent->second == *truth) continue;
      Break(kCounters, step, dev,
            std::string("the slide screen was last told ") + std::to_string(sent->second) + " " +
                c.what + " (" + std::to_string(c.msg) + "), the shell counts " +
                std::to_string(*truth),
            traceStart);
      break;
    }
  }

  // --- counters-true, the previews: settled, each preview describes the newest unread message
  // of its stores, or is absent when none has a delivery time.
  // A ringing call holds the daemon's window, as designed, while it looks for the phone's
  // call windows (up to about nine seconds when they do not come: a phone application killed
  // or started again): a preview due meanwhile is written after that search.
  const bool windowSearching =
      std::any_of(dev.telephony().Calls().begin(), dev.telephony().Calls().end(),
                  [](const sim::TapiCall& c) { return c.state == LINECALLSTATE_OFFERING; });
  // With no daemon there is nothing to judge, and the next one is judged afresh: the shell's
  // counts are not even read (a phone filled before its daemon starts changes them at every
  // step).
  if (!daemon) {
    for (PreviewWatch& w : previews_) w.excused = true;
  } else {
    CheckPreviews(step, dev, settings,
                  settings && settings->LockNotification && !unwatchedCounters_ &&
                      !seen.faultStruck && !windowSearching,
                  pid != 0 && pid != daemonPid_, settled, traceStart);
  }

  // --- lock-returns: unlocked with nothing to stop it, the display going off (or the power
  // button) brings the lock back.
  if (relock_) {
    // What the user must see is the lock screen: a slide screen that is still locked in front
    // of a restarted daemon counts, though the daemon never heard it lock.
    if (locked || IsForeground(dev, slide) || !quiet || seen.faultStruck || !samePid ||
        slideLaunchFailed_) {
      relock_.reset();
    } else if (now >= relock_->deadline) {
      relock_.reset();
      Break(kRelock, step, dev,
            "the display went off while unlocked with no call, and the phone did not lock",
            traceStart);
    }
  }
  if (auto* p = std::get_if<verb::Power>(&step.action); p && samePid && state && settings) {
    const bool onAc = state->OnExternalPower;
    const bool blank = onAc ? settings->ACBlankStart : settings->BlankStart;
    const bool offNow = p->flags == kDisplayOffFlags && blank;
    const bool button = p->flags == kPowerButtonFlags && settings->AutoStart && !prevDisplayOff_ &&
                        !state->VolumePanelShown && !state->SdFlag;
    // A call of the daemon's own that ended just before is still going for the daemon: it
    // drops its own call and waits before it reads the line again, and a phone busy with a
    // call does not lock.
    const bool ownCallNews = outgoingEndedAt_ && now < *outgoingEndedAt_ + kOwnCallDropWaitMs;
    if ((offNow || button) && !prevLocked_ && !locked && !prevCallActive_ && !callActive &&
        !ownCallNews && !seen.faultStruck && !ExceptionRunning(dev, *settings) &&
        !StrangerInFront(dev, daemonExe))
      relock_ = Obligation{now + settings->WakeUpDelayMS + kRelockSlackMs, step.line};
  }

  // --- quiet-when-idle: a phone left alone for an hour, past the settle time, never woke the
  // daemon. The wallpaper rotation is a wake-up the user asked for; a call keeps the phone
  // busy.
  if (auto* w = std::get_if<verb::Wait>(&step.action);
      w && samePid && settings && settings->WallpaperChangeTime == 0 && !callActive &&
      !prevCallActive_ && !seen.faultStruck) {
    // The last hour of the wait is the quiet hour: what the last event set going (a few
    // seconds of timers) has long run out by then.
    const uint64_t quietFrom = now - kQuietHourMs;
    if (now >= quietSince_ + kSettleMs + kQuietHourMs && daemon->lastWakeAt > quietFrom)
      Break(kQuiet, step, dev,
            "the phone was left alone for " + std::to_string((now - quietSince_) / 60000) +
                " min, and the daemon still woke " +
                std::to_string((daemon->lastWakeAt - quietSince_) / 1000) +
                " s after the last event",
            traceStart);
  }

  if (prevLocked_ != locked) unlockExcused_ = false;
  prevLocked_ = locked;
  prevCallActive_ = callActive;
  prevDisplayOff_ = state && state->DisplayOff;
  daemonPid_ = pid;
}

// The daemon exports a preview when the shell's count of that kind changes to a number above 0
// (and, for e-mail, once ActiveSync is done) and when it starts; between those the messages can
// only change with the count. Until the daemon has had that chance the key is not judged: it
// stays as it was while previews are off (LockNotification), while a platform call failed or
// the daemon runs without its subscriptions, and while the count is 0 (the old key stays then).
std::optional<uint32_t> PromiseMonitor::ShellDword(sim::Device& dev, const char16_t* key,
                                                   const char16_t* name) {
  const uint64_t generation = dev.registry().Generation();
  if (generation != shellReadsGeneration_) {
    shellReads_.clear();
    shellReadsGeneration_ = generation;
  }
  for (const ShellRead& r : shellReads_)
    if (r.key == key && r.name == name) return r.value;
  shellReads_.push_back({key, name, ReadDword(dev, key, name)});
  return shellReads_.back().value;
}

void PromiseMonitor::CheckPreviews(const Step& step, sim::Device& dev,
                                   const settings::Settings* settings, bool healthy, bool newDaemon,
                                   bool settled, size_t traceStart) {
  const bool syncing =
      ShellDword(dev, u"HKEY_LOCAL_MACHINE\\System\\State\\ActiveSync", u"Synchronizing") == 1u;
  for (size_t k = 0; k < previews_.size(); ++k) {
    const PreviewSource& src = kPreviewSources[k];
    PreviewWatch& w = previews_[k];
    const auto count = ShellDword(dev, src.countKey, u"Count");
    const bool watched = healthy && !(src.koreanCount && settings->KoreanSMSpatch);
    if (!watched)
      w.excused = true;
    else if (newDaemon || count != w.lastCount)
      w.excused = false;
    w.lastCount = count;
    if (!settled || !watched || w.excused || !count || *count == 0 || (!src.store && syncing))
      continue;
    std::u16string store =
        src.store ? std::u16string(src.store)
                  : RegText(dev, kMessagesKey, u"Last Received Account").value_or(std::u16string());
    auto newest = NewestUnread(dev, store);
    const bool keyThere = dev.registry().KeyExists(src.handOffKey);
    std::string why;
    if (newest.empty() && keyThere) {
      why = "no unread message of " + U8(store) + " has a delivery time, yet a preview is there";
    } else if (!newest.empty() &&
               std::none_of(newest.begin(), newest.end(), [&](const sim::MapiMessage* m) {
                 return Describes(dev, src, *m, store);
               })) {
      const sim::MapiMessage& m = *newest.front();
      why = std::string(keyThere ? "the preview does not describe" : "there is no preview of") +
            " the newest unread message of " + U8(store) + ", from " + U8(m.sender.value_or(u"")) +
            " \"" + U8(m.subject.value_or(u"")) + "\"";
    }
    if (!why.empty()) {
      Break(kCounters, step, dev, std::string("the ") + src.what + " preview is wrong: " + why,
            traceStart);
      return;
    }
  }
}

}  // namespace device
