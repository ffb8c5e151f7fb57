#include "device/swarm/generator.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace swarm {

uint32_t SeededChoices::Below(uint32_t n) {
  state_ += 0x9E3779B97F4A7C15ull;
  uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<uint32_t>((z >> 32) % n);
}

uint32_t ByteChoices::Below(uint32_t n) {
  if (n <= 1) return 0;
  uint32_t v = 0;
  // As many bytes as the range needs, so a fuzzer's mutation of one byte changes one choice.
  for (uint32_t range = n - 1; range > 0; range >>= 8) {
    v = (v << 8) | (pos_ < size_ ? data_[pos_] : 0);
    ++pos_;
  }
  return v % n;
}

namespace {

using Words = std::span<const std::string_view>;

constexpr std::string_view kKey = "HKCU\\Software\\Zeq\\Vurl";

constexpr std::array<std::string_view, 6> kNumbers{"5551234", "5550000",    "+15557654321",
                                                   "5559876", "0800123456", "5551111"};
constexpr std::array<std::string_view, 4> kNames{"Ann", "\"Bob Smith\"", "Carla", "Dieter"};
constexpr std::array<std::string_view, 4> kSubjects{"Standup", "Lunch", "Dentist", "\"Call back\""};
constexpr std::array<std::string_view, 3> kAccounts{"Work", "Home", "Club"};
// Keys the daemon's hook treats specially, and some it does not.
constexpr std::array<std::string_view, 10> kKeys{"200", "0x75", "0x76", "0x25", "0x27",
                                                 "223", "0x41", "0x0D", "0x72", "0x73"};
// Platform functions whose failure the daemon handles.
constexpr std::array<std::string_view, 18> kFaults{"lineInitializeEx",
                                                   "lineOpen",
                                                   "lineMakeCall",
                                                   "lineDrop",
                                                   "lineGetCallInfo",
                                                   "ShellExecuteEx",
                                                   "SetWindowsHookExW",
                                                   "RegistryNotifyWindow",
                                                   "SetForegroundWindow",
                                                   "waveOutOpen",
                                                   "CeSetUserNotificationEx",
                                                   "RegSetValueExW",
                                                   "RegQueryValueExW",
                                                   "SetWindowPos",
                                                   "CoCreateInstance",
                                                   "CreateProcessW",
                                                   "IPOutlookApp::Logon",
                                                   "MAPILogonEx"};
// Options drawn per day and changed during it (then reloaded with 32811).
constexpr std::array<std::string_view, 14> kFlags{
    "CallerID",      "NoSystemLock", "LockNotification",   "ShowAppointment", "BlankStart",
    "ACBlankStart",  "AutoStart",    "PowerButtonEndCall", "InCallLock",      "NoKeyBoardHook",
    "VolumeControl", "ShowTask",     "ShowSMSPreview",     "NoHideAfterCall"};
constexpr std::array<std::string_view, 3> kStores{"SMS", "MMS", "Work"};

struct CallModel {
  bool incoming = false;
  // Answered / Rejected: the user slid the slide screen's answer or reject control, which acts
  // only when the slide screen showed the call; the day cannot know, so the call ends within
  // the minute rather than ring on for hours. After a reject that took, that `call end` finds
  // no call and fails harmlessly, or ends a call the model still keeps; a call the model keeps
  // too long costs less than one left ringing.
  enum State { Offering, Answered, Rejected, Dialing, Connected } state = Offering;
};

// What the generator believes of the phone, so that each event makes sense where it comes.
class DayWriter {
 public:
  DayWriter(Choices& c, Day& day) : c_(c), day_(day) {}

  void Setup();
  void Events(uint32_t count);

 private:
  std::string Number() { return std::string(c_.Pick(Words(kNumbers))); }
  std::string Wait();
  void Add(std::string line) { day_.events.push_back({std::move(line), Wait()}); }
  void AddNow(std::string line) { day_.events.push_back({std::move(line), {}}); }
  bool AnyCall() const { return !calls_.empty(); }
  CallModel* Offered();
  CallModel* Acted();
  CallModel* Connected();
  void EndNewest(std::string verb);

  void Power();
  void Call();
  void Message();
  void Pim();
  void Key();
  void Settings();
  void Programs();
  void Fault();
  void Other();

  Choices& c_;
  Day& day_;
  bool displayOn_ = true;
  bool onAc_ = false;
  bool daemon_ = true;
  std::vector<CallModel> calls_;  // not ended, oldest first
  std::array<int, 3> unread_{};
  std::vector<std::string> appointments_;
  std::vector<std::string> tasks_;
  int simIndex_ = 0;
  int simSize_ = 250;
  bool simAbsent_ = false;
  int day_of_month_ = 1;
  uint32_t ringing_ = 0;  // seconds the newest offered call has rung
};

std::string DayWriter::Wait() {
  uint32_t r = c_.Below(100);
  char buf[32];
  // A caller gives up after about a minute: while a call rings, the day moves on in seconds.
  if (Offered() || Acted()) {
    uint32_t seconds = c_.Between(1, 20);
    ringing_ += seconds;
    std::snprintf(buf, sizeof buf, "wait %us", seconds);
    return buf;
  }
  if (r < 40)
    std::snprintf(buf, sizeof buf, "wait %us", c_.Between(1, 10));
  else if (r < 70)
    std::snprintf(buf, sizeof buf, "wait %us", c_.Between(11, 60));
  else if (r < 90)
    std::snprintf(buf, sizeof buf, "wait %um", c_.Between(1, 10));
  else
    std::snprintf(buf, sizeof buf, "wait %um", c_.Between(10, 120));
  return buf;
}

void DayWriter::Setup() {
  char buf[96];
  day_of_month_ = static_cast<int>(c_.Between(1, 27));
  std::snprintf(buf, sizeof buf, "clock 2008-06-%02d %02u:%02u:00", day_of_month_,
                c_.Between(6, 21), c_.Between(0, 59));
  day_.setup.push_back(buf);
  // The phone's time zone, set before it boots.
  if (c_.Percent(25))
    day_.setup.push_back(c_.Percent(50)
                             ? "device timezone +01:00 --dst 2008-03-30T02:00 2008-10-26T03:00"
                             : "device timezone -05:00");
  day_.setup.push_back("boot 120000");
  // Not the first run (the settings store exists): the first-run notices are a story of
  // their own.
  day_.setup.push_back(std::string("reg set ") + std::string(kKey) + " AutoStart binary 01");
  for (std::string_view flag : kFlags) {
    if (!c_.Percent(30)) continue;
    bool on = flag == "CallerID" ? c_.Percent(80) : c_.Percent(50);
    day_.setup.push_back("reg set " + std::string(kKey) + " " + std::string(flag) + " binary " +
                         (on ? "01" : "00"));
  }
  if (c_.Percent(40)) {
    static constexpr std::array<uint32_t, 4> kDelays{0, 500, 1000, 3000};
    day_.setup.push_back("reg set " + std::string(kKey) + " WakeUpDelayMS dword " +
                         std::to_string(c_.Pick(std::span<const uint32_t>(kDelays))));
  }
  if (c_.Percent(50)) day_.setup.push_back("reg set " + std::string(kKey) + " DebugOn binary 01");
  // The phone itself: its SIM, its volume.
  if (c_.Percent(5)) {
    simAbsent_ = true;
    day_.setup.push_back("sim absent");
  } else if (c_.Percent(10)) {
    day_.setup.push_back("sim size " + std::to_string(c_.Between(1, 1000)));
    simSize_ = 0;  // unknown to the writer: no entries are written beyond position 1
  }
  if (c_.Percent(10)) day_.setup.push_back("device volume 0x80004000");
  if (c_.Percent(20)) day_.setup.push_back("phone skin on");
  if (c_.Percent(15)) day_.setup.push_back("phone menu-delay 2s");
  if (c_.Percent(30)) {
    onAc_ = true;
    day_.setup.push_back("power ac on");
  }
  day_.setup.push_back("start dorvane2");
  day_.setup.push_back("settle");
}

CallModel* DayWriter::Offered() {
  for (auto it = calls_.rbegin(); it != calls_.rend(); ++it)
    if (it->incoming && it->state == CallModel::Offering) return &*it;
  return nullptr;
}

CallModel* DayWriter::Acted() {
  for (auto& c : calls_)
    if (c.state == CallModel::Answered || c.state == CallModel::Rejected) return &c;
  return nullptr;
}

CallModel* DayWriter::Connected() {
  for (auto it = calls_.rbegin(); it != calls_.rend(); ++it)
    if (it->state == CallModel::Connected) return &*it;
  return nullptr;
}

// `call end` and the like act on the newest call that has not ended.
void DayWriter::EndNewest(std::string verb) {
  calls_.pop_back();
  Add(std::move(verb));
}

void DayWriter::Power() {
  uint32_t r = c_.Below(100);
  if (r < 30) {
    Add(displayOn_ ? "power idle" : "power on");
    displayOn_ = !displayOn_;
  } else if (r < 45) {
    Add(displayOn_ ? "power unattended" : "power on");
    displayOn_ = !displayOn_;
  } else if (r < 52) {
    AddNow("power suspend");
    Add("power resuming");
    displayOn_ = false;
  } else if (r < 57) {
    Add("power password");
  } else if (r < 75) {
    onAc_ = !onAc_;
    Add(onAc_ ? "power ac on" : "power ac off");
  } else if (r < 85) {
    Add("power battery " + std::to_string(c_.Between(5, 100)));
  } else {
    Add("user unlock");
  }
}

void DayWriter::Call() {
  CallModel* offered = Offered();
  CallModel* connected = Connected();
  uint32_t r = c_.Below(100);
  if (offered) {
    // Something happens to the ringing call: answered on the slide screen or elsewhere,
    // rejected, or the caller gives up.
    if (r < 35) {
      offered->state = CallModel::Answered;
      Add("user answer");
    } else if (r < 55) {
      offered->state = CallModel::Connected;
      Add("call connect");
    } else if (r < 70) {
      offered->state = CallModel::Rejected;
      Add("user reject");
    } else {
      EndNewest("call end");
    }
    return;
  }
  // An answered or rejected call is the newest: nothing starts while a call rings or is being
  // answered. Its far end hangs up, which ends it whether or not the answer or reject took.
  if (Acted()) return EndNewest("call end");
  if (connected && r < 30) {
    EndNewest(c_.Percent(30) ? "user hangup" : "call end");
    return;
  }
  if (connected && r < 38) {
    // On hold and back: the generator's model keeps it connected.
    AddNow("call hold");
    Add("call unhold");
    return;
  }
  if (!calls_.empty() && calls_.back().state == CallModel::Dialing) {
    if (r < 50) {
      calls_.back().state = CallModel::Connected;
      Add("call connect");
    } else if (r < 65) {
      Add("call busy");
      AddNow("call end");
      calls_.pop_back();
    } else {
      EndNewest("call end");
    }
    return;
  }
  if (calls_.size() >= 2) return EndNewest("call end");
  if (r < 60) {
    std::string line = "call offer ";
    uint32_t kind = c_.Below(100);
    if (kind < 7)
      line += "--no-id";
    else if (kind < 10)
      line += Number() + " --withheld";
    else if (kind < 20)
      line += Number() + " --id-after " + std::to_string(c_.Between(1, 5)) + "s";
    else if (kind < 25)
      line += Number() + " --data";
    else
      line += Number();
    // A data call rings nobody; the model only keeps voice calls.
    if (kind >= 20 && kind < 25) {
      AddNow(line);
      Add("call end");
      return;
    }
    calls_.push_back({true, CallModel::Offering});
    ringing_ = 0;
    Add(line);
  } else if (r < 85) {
    calls_.push_back({false, CallModel::Dialing});
    Add("call dial " + Number());
  } else if (r < 95) {
    // The slide screen's own dial: the daemon places the call.
    calls_.push_back({false, CallModel::Dialing});
    Add("user dial " + Number());
  } else {
    // The network refuses the call the slide screen asks for: no call ever reports a state.
    AddNow("call refuse");
    Add("user dial " + Number());
  }
}

void DayWriter::Message() {
  uint32_t r = c_.Below(100);
  std::string from = Number();
  if (r < 5) {
    // Shaped messages: no sender, no time, or flags of its own (not counted as unread).
    static constexpr std::array<std::string_view, 3> kShapes{" --no-sender", " --no-time",
                                                             " --flags 0x10"};
    std::string_view shape = c_.Pick(Words(kShapes));
    if (shape != " --flags 0x10") ++unread_[0];
    Add("sms arrive " + from + " Hello" + std::string(shape));
  } else if (r < 35) {
    ++unread_[0];
    Add("sms arrive " + from + " \"Are you there?\"");
  } else if (r < 45) {
    ++unread_[1];
    Add("mms arrive " + from + " Photo");
  } else if (r < 65) {
    ++unread_[2];
    Add("email arrive Work " + std::string(c_.Pick(Words(kNames))) + " Report");
  } else {
    uint32_t store = c_.Below(3);
    if (unread_[store] == 0) return;
    --unread_[store];
    Add("message read " + std::string(kStores[store]));
  }
}

void DayWriter::Pim() {
  uint32_t r = c_.Below(100);
  char buf[160];
  if (r < 30) {
    std::string subject(c_.Pick(Words(kSubjects)));
    int d = day_of_month_ + static_cast<int>(c_.Below(2));
    uint32_t h = c_.Between(0, 22);
    std::snprintf(buf, sizeof buf, "appointment add %s 2008-06-%02d %02u:00 2008-06-%02d %02u:30",
                  subject.c_str(), d, h, d, h);
    appointments_.push_back(subject);
    Add(buf);
  } else if (r < 36 && !appointments_.empty()) {
    Add("appointment delete " + appointments_.back());
    appointments_.pop_back();
  } else if (r < 40 && !appointments_.empty()) {
    int d = day_of_month_ + static_cast<int>(c_.Below(2));
    std::snprintf(buf, sizeof buf, "appointment edit %s --start 2008-06-%02d %02u:15",
                  appointments_.back().c_str(), d, c_.Between(0, 22));
    Add(buf);
  } else if (r < 60) {
    std::string subject(c_.Pick(Words(kSubjects)));
    tasks_.push_back(subject);
    Add("task add " + subject + " --importance " + std::to_string(c_.Below(3)));
  } else if (r < 64 && !tasks_.empty()) {
    Add("task edit " + tasks_.back() + " --importance " + std::to_string(c_.Below(3)));
  } else if (r < 75 && !tasks_.empty()) {
    Add((c_.Percent(50) ? "task complete " : "task delete ") + tasks_.back());
    tasks_.pop_back();
  } else if (r < 90) {
    Add("contact add " + std::string(c_.Pick(Words(kNames))) + " " + Number());
  } else if (!simAbsent_ && simIndex_ < simSize_) {
    Add("sim entry " + std::to_string(++simIndex_) + " " + Number() + " " +
        std::string(c_.Pick(Words(kNames))));
  }
}

void DayWriter::Key() {
  Add("key press " + std::string(c_.Pick(Words(kKeys))) + (c_.Percent(10) ? " --injected" : ""));
}

void DayWriter::Settings() {
  std::string_view flag = c_.Pick(Words(kFlags));
  AddNow("reg set " + std::string(kKey) + " " + std::string(flag) + " binary " +
         (c_.Percent(50) ? "01" : "00"));
  Add("post Dorvane2 32811");
}

void DayWriter::Programs() {
  uint32_t r = c_.Below(100);
  if (r < 25) {
    Add("kill vurl.exe");
  } else if (r < 40 && calls_.empty()) {
    // The phone application dies and the shell starts it again.
    AddNow("kill cprog.exe");
    Add("start cprog.exe");
  } else if (r < 60) {
    // The daemon dies and the shell starts it again, as at the next boot.
    AddNow("kill dorvane2");
    Add("start dorvane2");
  } else if (calls_.empty()) {
    Add("start iexplore.exe");
  }
}

// The telephony server's own events, the user setting the clock, other programs.
void DayWriter::Other() {
  uint32_t r = c_.Below(100);
  char buf[96];
  if (r < 20) {
    Add("line close");
  } else if (r < 40) {
    Add("line reinit");
  } else if (r < 60) {
    std::snprintf(buf, sizeof buf, "clock set 2008-06-%02d %02u:%02u", day_of_month_,
                  c_.Between(0, 23), c_.Between(0, 59));
    Add(buf);
  } else if (r < 80) {
    Add("notification add alarm.exe Wake");
  } else if (calls_.empty()) {
    Add("activate DesktopExplorerWindow");
  }
}

void DayWriter::Fault() {
  std::string f(c_.Pick(Words(kFaults)));
  AddNow("fail " + f);
}

void DayWriter::Events(uint32_t count) {
  while (day_.events.size() < count) {
    uint32_t r = c_.Below(100);
    // No call rings for hours: after a minute it is answered, rejected or given up, and a long
    // quiet stretch of the day waits for that.
    if ((Offered() || Acted()) && (ringing_ >= 60 || r >= 97)) {
      Call();
      continue;
    }
    if (r < 28)
      Power();
    else if (r < 50)
      Call();
    else if (r < 63)
      Message();
    else if (r < 73)
      Pim();
    else if (r < 81)
      Key();
    else if (r < 87)
      Settings();
    else if (r < 94)
      Programs();
    else if (r < 96)
      Fault();
    else if (r < 97)
      Other();
    else
      Add("wait " + std::to_string(c_.Between(1, 3)) + "h");
  }
}

}  // namespace

Day GenerateDay(Choices& choices, const DayShape& shape) {
  Day day;
  DayWriter writer(choices, day);
  writer.Setup();
  writer.Events(choices.Between(shape.minEvents, shape.maxEvents));
  return day;
}

std::string DayText(const Day& day, const std::string& title) {
  std::string text = "# " + title + "\n";
  for (const auto& line : day.setup) text += line + "\n";
  for (const auto& e : day.events) {
    text += e.line + "\n";
    if (!e.wait.empty()) text += e.wait + "\n";
  }
  text += "wait 30s\nexpect promises";
  for (const auto& name : day.promises) text += " " + name;
  text += "\n";
  return text;
}

}  // namespace swarm
