// Verbs of the telephony model and the phone application: calls offered, dialled, answered and
// ended by the network or the user, the phone's windows, and what the daemon dialled.
#include <array>

#include "device/programs/programs.h"
#include "device/scenario/expect.h"
#include "device/scenario/verb_reader.h"
#include "platform/sim/api.h"
#include "platform/user.h"
#include "platform/wstr.h"

namespace device::parse {
namespace {

using detail::ExpectContext;
using detail::Fail;
using detail::Verdict;
using platform::U16;
using platform::U8;
using Role = ModelStep::Role;

struct PhoneStep : ModelStep {
  bool needsPhone() const override { return true; }
};

// A call by number, or the newest that has not ended (0).
std::optional<std::string> Resolve(sim::Telephony& t, int asked, int* number) {
  *number = asked ? asked : t.Newest();
  if (!t.Call(*number))
    return asked ? "there is no call " + std::to_string(asked) : "there is no call going on";
  return std::nullopt;
}

// --- The network ------------------------------------------------------------------------------

struct CallOffer : PhoneStep {
  std::string number;
  bool id = true;
  bool data = false;
  uint64_t idAfter = 0;
  bool withheld = false;
  CallOffer(std::string n, bool i, bool d, uint64_t after, bool w)
      : number(std::move(n)), id(i), data(d), idAfter(after), withheld(w) {}
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    sim::Device& dev = ctx.dev;
    DWORD media = data ? LINEMEDIAMODE_DATAMODEM : LINEMEDIAMODE_INTERACTIVEVOICE;
    int n = dev.telephony().Offer(dev, media);
    if (!id) return std::nullopt;
    std::u16string caller = U16(number);
    DWORD flags = withheld ? LINECALLPARTYID_BLOCKED : LINECALLPARTYID_ADDRESS;
    dev.At(dev.Now() + idAfter,
           [&dev, n, caller, flags] { dev.telephony().DeliverCallerId(dev, n, caller, flags); });
    return std::nullopt;
  }
};

struct CallDial : PhoneStep {
  std::string number;
  bool data = false;
  CallDial(std::string n, bool d) : number(std::move(n)), data(d) {}
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    auto& t = ctx.dev.telephony();
    int n = t.Dial(ctx.dev, 0, U16(number),
                   data ? LINEMEDIAMODE_DATAMODEM : LINEMEDIAMODE_INTERACTIVEVOICE);
    t.SetState(ctx.dev, n, LINECALLSTATE_DIALING);
    return std::nullopt;
  }
};

constexpr std::array<std::string_view, 7> kStateNames{
    "offering", "dialing", "connected", "onhold", "busy", "disconnected", "idle"};
constexpr std::array<DWORD, 7> kStates{LINECALLSTATE_OFFERING,  LINECALLSTATE_DIALING,
                                       LINECALLSTATE_CONNECTED, LINECALLSTATE_ONHOLD,
                                       LINECALLSTATE_BUSY,      LINECALLSTATE_DISCONNECTED,
                                       LINECALLSTATE_IDLE};

std::string StateText(DWORD state) {
  for (size_t i = 0; i < kStates.size(); ++i)
    if (kStates[i] == state) return std::string(kStateNames[i]);
  return state == LINECALLSTATE_PROCEEDING ? "dialing (proceeding)"
                                           : "in state " + std::to_string(state);
}

// connect, busy, specialinfo, end; hold and unhold, which need the call in `from`.
struct CallChange : PhoneStep {
  DWORD state = 0;
  int number = 0;
  DWORD from = 0;  // 0: any state but ended
  CallChange(DWORD s, int n, DWORD f = 0) : state(s), number(n), from(f) {}
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    auto& t = ctx.dev.telephony();
    int n = 0;
    if (auto why = Resolve(t, number, &n)) return why;
    DWORD now = t.Call(n)->state;
    if (now == LINECALLSTATE_IDLE) return "call " + std::to_string(n) + " has ended";
    if (from && now != from)
      return "call " + std::to_string(n) + " is " + StateText(now) + ", not " + StateText(from);
    if (state == LINECALLSTATE_DISCONNECTED)
      t.End(ctx.dev, n, LINEDISCONNECTMODE_NORMAL);
    else
      t.SetState(ctx.dev, n, state);
    return std::nullopt;
  }
};

struct ExpectCall : PhoneStep {
  int number = 0;
  DWORD state = 0;
  ExpectCall(int n, DWORD s) : number(n), state(s) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    auto& t = ctx.dev.telephony();
    int n = number;
    if (!n) n = state == LINECALLSTATE_IDLE ? static_cast<int>(t.Calls().size()) : t.Newest();
    const sim::TapiCall* c = t.Call(n);
    if (!c) return Fail(number ? "there is no call " + std::to_string(number) : "there is no call");
    DWORD now = c->state == LINECALLSTATE_PROCEEDING ? LINECALLSTATE_DIALING : c->state;
    if (now == state) return {};
    return Fail("call " + std::to_string(n) + " is " + StateText(c->state));
  }
};

struct ExpectDialled : PhoneStep {
  std::string number;
  bool wanted = true;
  ExpectDialled(std::string n, bool w) : number(std::move(n)), wanted(w) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    std::string text = "lineMakeCall " + number;
    auto any = [](const sim::TraceEvent& e) {
      return e.kind == sim::TraceKind::Note && e.text.rfind("lineMakeCall ", 0) == 0;
    };
    if (!wanted) return detail::FindNone(ctx, any, "the daemon placed a call");
    return detail::FindForward(
        ctx, [&](const sim::TraceEvent& e) { return any(e) && e.text == text; }, any,
        "a call placed to " + number);
  }
};

// --- The telephony server ----------------------------------------------------------------------

struct CallRefuse : PhoneStep {
  uint32_t result = 0;
  explicit CallRefuse(uint32_t r) : result(r) {}
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.telephony().RefuseNextCall(result);
    return std::nullopt;
  }
};

// close, reinit: aimed at the daemon (whatever its executable is called here).
struct LineEvent : PhoneStep {
  bool reinit = false;
  explicit LineEvent(bool r) : reinit(r) {}
  Role role() const override { return Role::Event; }
  bool takesDaemonLines() const override { return true; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    std::u16string daemon = detail::BaseName(ctx.daemonPath);
    if (reinit)
      ctx.dev.telephony().RequestReinit(ctx.dev, daemon);
    else
      ctx.dev.telephony().CloseLinesOf(ctx.dev, daemon);
    return std::nullopt;
  }
};

// --- The phone application -------------------------------------------------------------------

struct PhoneTitle : PhoneStep {
  std::string title;
  explicit PhoneTitle(std::string t) : title(std::move(t)) {}
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    auto& phone = ctx.dev.telephony().phone();
    phone.incomingTitle = U16(title);
    if (sim::Window* w = ctx.dev.windows().Get(phone.incomingWindow))
      w->title = phone.incomingTitle;
    return std::nullopt;
  }
};

// The phone application starts before the first event and has the skinned window from its
// start or never.
constexpr const char* kSkinTooLate = "phone skin on must come before any event";

struct PhoneSkin : PhoneStep {
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Admit(ScenarioFacts& facts) const override {
    if (facts.eventSeen) return kSkinTooLate;
    return std::nullopt;
  }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    if (ctx.dev.telephony().phone().incomingWindow) return kSkinTooLate;
    ctx.dev.telephony().phone().skin = true;
    return std::nullopt;
  }
};

struct PhoneMenuDelay : PhoneStep {
  std::optional<uint64_t> delay;
  explicit PhoneMenuDelay(std::optional<uint64_t> d) : delay(d) {}
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.telephony().phone().menuDelay = delay;
    return std::nullopt;
  }
};

// --- The user on the slide screen ------------------------------------------------------------

struct UserOnSlide : PhoneStep {
  UserAction action;
  std::string number;
  UserOnSlide(UserAction a, std::string n) : action(a), number(std::move(n)) {}
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    HWND slide = FindWindowW(u"Vurl", nullptr);
    if (!slide) return "there is no top-level window of class Vurl (the slide screen)";
    if (action == kUserDial) {
      std::u16string text = U16(number);
      std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.c_str()),
                                 reinterpret_cast<const uint8_t*>(text.c_str() + text.size() + 1));
      ctx.dev.registry().SetValue(u"HKEY_CURRENT_USER\\Software\\Zeq\\Vurl", u"DialNumber", REG_SZ,
                                  std::move(bytes));
    }
    PostMessageW(slide, kUserActionMessage, action, 0);
    return std::nullopt;
  }
};

// --- Reading ---------------------------------------------------------------------------------

constexpr const char* kNumber = "expected a phone number (\"\" for an empty one)";

int OptionalCall(Cursor& c) {
  if (c.AtEnd() || !LooksNumeric(c.Peek().text)) return 0;
  int col = c.Column();
  uint32_t n = c.Number("expected a call number");
  if (n == 0) throw Failure{col, "calls are numbered from 1"};
  return static_cast<int>(n);
}

Action ParseOffer(Cursor& c) {
  bool id = true, data = false, withheld = false;
  uint64_t after = 0;
  std::string number;
  if (!c.AtEnd() && c.Peek().text == "--no-id") {
    c.Next("");
    id = false;
  } else {
    number = c.Word(kNumber);
  }
  while (!c.AtEnd()) {
    int col = c.Column();
    size_t opt = c.Choice(
        std::array<std::string_view, 4>{"--id-after", "--data", "--no-id", "--withheld"}, "option");
    if (opt == 0) after = c.Duration();
    if (opt == 1) data = true;
    if (opt == 2) id = false;
    if (opt == 3) withheld = true;
    // A withheld caller ID still arrives (without its number); no caller ID never does.
    if (withheld && !id) throw Failure{col, "--withheld and --no-id exclude each other"};
  }
  return Make<CallOffer>(number, id, data, after, withheld);
}

// RESULT of a refused call: a failing line result, by name or number.
Action ParseRefuse(Cursor& c) {
  uint32_t result = static_cast<uint32_t>(LINEERR_OPERATIONFAILED);
  if (!c.AtEnd()) {
    int col = c.Column();
    const Token& t = c.Next("");
    std::optional<uint32_t> named = sim::FaultResultByName(t.text);
    if (!named && !LooksNumeric(t.text)) {
      std::string what = "expected a result (a number or a name like LINEERR_OPERATIONFAILED)";
      throw Failure{col, what + ", not '" + Excerpt(t.text) + "'"};
    }
    result = named ? *named : ParseNumber(t, col, true);
    if (result == 0) throw Failure{col, "a refused call needs a failing result, not 0"};
  }
  return Make<CallRefuse>(result);
}

template <DWORD kState, DWORD kFrom = 0>
Action ParseChange(Cursor& c) {
  int n = OptionalCall(c);
  c.End();
  return Make<CallChange>(kState, n, kFrom);
}

Action ParseExpectCall(Cursor& c) {
  int n = OptionalCall(c);
  size_t i = c.Choice(kStateNames, "call state");
  c.End();
  return Make<ExpectCall>(n, kStates[i]);
}

Action ParseMenuDelay(Cursor& c) {
  if (!c.AtEnd() && c.Peek().text == "never") {
    c.Next("");
    return Make<PhoneMenuDelay>(std::nullopt);
  }
  return Make<PhoneMenuDelay>(std::optional<uint64_t>(c.Duration()));
}

Action ParseSkin(Cursor& c) {
  c.Choice(std::array<std::string_view, 1>{"on"}, "skin setting");
  c.End();
  return Make<PhoneSkin>();
}

template <UserAction kAction>
Action ParseUser(Cursor& c) {
  std::string number = kAction == kUserDial ? c.Word(kNumber) : "";
  c.End();
  return Make<UserOnSlide>(kAction, number);
}

// A program dials: the phone application (voice) or a modem connection (--data).
Action ParseDial(Cursor& c) {
  std::string number = c.Word(kNumber);
  bool data = false;
  if (!c.AtEnd()) data = c.Choice(std::array<std::string_view, 1>{"--data"}, "option") == 0;
  return Make<CallDial>(std::move(number), data);
}

const VerbEntry kCallVerbs[] = {
    {"call", "offer", &ParseOffer},
    {"call", "dial", &ParseDial},
    {"call", "connect", &ParseChange<LINECALLSTATE_CONNECTED>},
    {"call", "end", &ParseChange<LINECALLSTATE_DISCONNECTED>},
    {"call", "busy", &ParseChange<LINECALLSTATE_BUSY>},
    {"call", "specialinfo", &ParseChange<LINECALLSTATE_SPECIALINFO>},
    {"call", "hold", &ParseChange<LINECALLSTATE_ONHOLD, LINECALLSTATE_CONNECTED>},
    {"call", "unhold", &ParseChange<LINECALLSTATE_CONNECTED, LINECALLSTATE_ONHOLD>},
    {"call", "refuse", &ParseRefuse},
    {"line", "close", [](Cursor&) -> Action { return Make<LineEvent>(false); }},
    {"line", "reinit", [](Cursor&) -> Action { return Make<LineEvent>(true); }},
    {"expect", "call", &ParseExpectCall},
    {"expect", "dialled",
     [](Cursor& c) -> Action { return Make<ExpectDialled>(c.Word(kNumber), true); }},
    {"expect", "no-dialled", [](Cursor&) -> Action { return Make<ExpectDialled>("", false); }},
    {"phone", "title", [](Cursor& c) -> Action { return Make<PhoneTitle>(c.Word(kText)); }},
    {"phone", "skin", &ParseSkin},
    {"phone", "menu-delay", &ParseMenuDelay},
    {"user", "answer", &ParseUser<kUserAnswer>},
    {"user", "reject", &ParseUser<kUserReject>},
    {"user", "dial", &ParseUser<kUserDial>},
    {"user", "hangup", &ParseUser<kUserHangup>},
};

}  // namespace

std::span<const VerbEntry> CallVerbs() {
  return kCallVerbs;
}

}  // namespace device::parse
