// Verbs about top-level windows as the user sees them: where a window is and what lies above
// it, its extended style, bringing one to the front from the task switcher, and whether a
// window's own procedure got a message that another process's replacement procedure could keep
// back.
#include <array>
#include <cstdio>

#include "device/scenario/expect.h"
#include "device/scenario/verb_reader.h"
#include "platform/wstr.h"

namespace device::parse {
namespace {

using detail::ExpectContext;
using detail::Fail;
using detail::Verdict;
using platform::U16;
using platform::U8;
using sim::TraceEvent;
using sim::TraceKind;
using Role = ModelStep::Role;

// A top-level window as a scenario names it: the frontmost of its class, or the one titled so.
struct WindowName {
  std::string cls;
  std::optional<std::string> title;

  const sim::Window* Find(const sim::WindowManager& windows) const {
    std::u16string c = U16(cls), t = title ? U16(*title) : u"";
    return windows.Get(windows.Find(c.c_str(), title ? t.c_str() : nullptr));
  }
  std::string Missing() const {
    return "there is no top-level window of class " + cls +
           (title ? " titled \"" + *title + "\"" : "");
  }
};

std::string Describe(const sim::Window& w) {
  return U8(w.cls) + " \"" + U8(w.title) + "\"";
}

std::string RectText(const RECT& r) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "(%d,%d)-(%d,%d)", r.left, r.top, r.right, r.bottom);
  return buf;
}

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

// The z-order from the front, for a failure that is about it.
std::string Stacking(const sim::WindowManager& windows) {
  std::string out = "\nthe z-order, front first:";
  for (HWND h : windows.ZOrder())
    if (const sim::Window* w = windows.Get(h))
      out += "\n  " + Describe(*w) + (w->visible ? "" : " (hidden)") +
             (w->exStyle & WS_EX_TOPMOST ? " (topmost)" : "");
  return out;
}

// --- Where a window is, its style, what lies above it ----------------------------------------

struct ExpectAt : ModelStep {
  WindowName window;
  RECT rect{};
  ExpectAt(WindowName w, RECT r) : window(std::move(w)), rect(r) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    const sim::Window* w = window.Find(ctx.dev.windows());
    if (!w) return Fail(window.Missing());
    // A top-level window's rectangle is kept in screen coordinates.
    const RECT& r = w->rect;
    if (r.left == rect.left && r.top == rect.top && r.right == rect.right &&
        r.bottom == rect.bottom)
      return {};
    return Fail("it is at " + RectText(r));
  }
};

struct ExpectTopmost : ModelStep {
  WindowName window;
  bool wanted = true;
  ExpectTopmost(WindowName w, bool t) : window(std::move(w)), wanted(t) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    const sim::Window* w = window.Find(ctx.dev.windows());
    if (!w) return Fail(window.Missing());
    bool topmost = w->exStyle & WS_EX_TOPMOST;
    if (topmost == wanted) return {};
    return Fail(std::string(topmost ? "it is topmost" : "it is not topmost") + " (extended style " +
                Hex(w->exStyle) + ")");
  }
};

struct ExpectExStyle : ModelStep {
  WindowName window;
  uint32_t exStyle = 0;
  ExpectExStyle(WindowName w, uint32_t s) : window(std::move(w)), exStyle(s) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    const sim::Window* w = window.Find(ctx.dev.windows());
    if (!w) return Fail(window.Missing());
    if (w->exStyle == exStyle) return {};
    return Fail("its extended style is " + Hex(w->exStyle));
  }
};

struct ExpectAbove : ModelStep {
  WindowName upper, lower;
  ExpectAbove(WindowName u, WindowName l) : upper(std::move(u)), lower(std::move(l)) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    const auto& windows = ctx.dev.windows();
    const sim::Window* a = upper.Find(windows);
    const sim::Window* b = lower.Find(windows);
    if (!a) return Fail(upper.Missing());
    if (!b) return Fail(lower.Missing());
    if (a == b) return Fail("both name the same window, " + Describe(*a));
    for (HWND h : windows.ZOrder()) {
      if (h == a->hwnd) return {};
      if (h == b->hwnd) break;
    }
    return Fail(Describe(*a) + " is below " + Describe(*b) + Stacking(windows));
  }
};

// --- Bringing a window to the front ------------------------------------------------------------

// The task switcher lists the visible top-level windows; picking one restores it if it was
// minimised and makes it the foreground (and so the active) window, with the activation
// messages the window manager sends for any change of the foreground.
struct Activate : ModelStep {
  WindowName window;
  explicit Activate(WindowName w) : window(std::move(w)) {}
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    auto& windows = ctx.dev.windows();
    const sim::Window* w = window.Find(windows);
    if (!w) return window.Missing();
    if (!w->visible) return Describe(*w) + " is hidden: the task switcher does not list it";
    windows.SetVisible(w->hwnd, true, true);
    return std::nullopt;
  }
};

// --- Messages that reached a window's own procedure -------------------------------------------

struct ExpectReached : ModelStep {
  verb::Message message;
  bool wanted = true;
  ExpectReached(verb::Message m, bool w) : message(std::move(m)), wanted(w) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    const auto& windows = ctx.dev.windows();
    auto reached = [this, &windows](const TraceEvent& e) {
      return e.kind == TraceKind::Reached && detail::CarriesMessage(message, e, windows);
    };
    const std::string own = "the own procedure of " + message.windowClass;
    if (!wanted) return detail::FindNone(ctx, reached, "such a message reached " + own);
    // What came close: the messages the class was sent and those its procedure got.
    const MsgParam any{MsgParam::Kind::Any, 0, {}};
    verb::Message toClass{message.windowClass, any, any, any};
    auto related = [toClass, &windows](const TraceEvent& e) {
      return (e.kind == TraceKind::Reached || e.kind == TraceKind::Post ||
              e.kind == TraceKind::Send) &&
             detail::CarriesMessage(toClass, e, windows);
    };
    return detail::FindForward(ctx, reached, related, "such message reached " + own);
  }
};

// --- Reading the verbs -----------------------------------------------------------------------

constexpr std::array<std::string_view, 9> kStates{"visible",     "hidden",  "foreground",
                                                  "absent",      "at",      "topmost",
                                                  "not-topmost", "exstyle", "above"};
enum State : size_t {
  kVisible,
  kHidden,
  kForeground,
  kAbsent,
  kAt,
  kTopmost,
  kNotTopmost,
  kExStyle,
  kAbove
};
static_assert(static_cast<size_t>(verb::WindowState::Absent) == kAbsent);

bool IsState(std::string_view word) {
  for (auto s : kStates)
    if (word == s) return true;
  return false;
}

// Whether `word`, with `left` words from it to the end of the line, reads as a state word.
bool FitsState(std::string_view word, size_t left) {
  if (word == "at") return left == 5;
  if (word == "exstyle") return left == 2;
  if (word == "above") return left == 2 || left == 3;
  return IsState(word) && left == 1;
}

// HEX: hex digits, with or without 0x, 32 bits at most.
uint32_t ReadHex(Cursor& c) {
  constexpr const char* kWhat = "expected an extended style in hex like 0x60000008";
  int col = c.Column();
  std::string_view s = c.Next(kWhat).text;
  std::string_view digits = s.starts_with("0x") || s.starts_with("0X") ? s.substr(2) : s;
  uint32_t v = 0;
  bool ok = !digits.empty() && digits.size() <= 8;
  for (char ch : digits) {
    int d = HexDigit(ch);
    ok = ok && d >= 0;
    if (ok) v = v << 4 | static_cast<uint32_t>(d);
  }
  if (!ok) throw Failure{col, std::string(kWhat) + ", not '" + Excerpt(s) + "'"};
  return v;
}

LONG Edge(Cursor& c, const char* what) {
  return static_cast<LONG>(c.Number(std::string("expected the ") + what + " edge", true));
}

}  // namespace

// `expect window CLASS [TITLE] STATE ...`. The word after the class is TITLE unless it reads as
// a state with what follows it; a title that is itself a state word is read as a title only
// when a state word follows it.
Action ReadExpectWindow(Cursor& c) {
  WindowName window{c.Word(kClass), std::nullopt};
  if (c.Left() >= 2) {
    std::string_view word = c.Peek().text;
    if (!IsState(word) || (!FitsState(word, c.Left()) && IsState(c.Peek(1).text)))
      window.title = c.Word(kText);
  }
  size_t state = c.Choice(kStates, "window state");
  switch (state) {
    case kVisible:
    case kHidden:
    case kForeground:
    case kAbsent:
      return verb::ExpectWindow{window.cls, window.title, static_cast<verb::WindowState>(state)};
    case kAt: {
      RECT r{};
      r.left = Edge(c, "left");
      r.top = Edge(c, "top");
      r.right = Edge(c, "right");
      r.bottom = Edge(c, "bottom");
      return Make<ExpectAt>(std::move(window), r);
    }
    case kTopmost:
    case kNotTopmost:
      return Make<ExpectTopmost>(std::move(window), state == kTopmost);
    case kExStyle:
      return Make<ExpectExStyle>(std::move(window), ReadHex(c));
    default: {
      WindowName lower{c.Word("expected the class of the window below it"), c.OptionalWord()};
      return Make<ExpectAbove>(std::move(window), std::move(lower));
    }
  }
}

namespace {

const VerbEntry kWindowVerbs[] = {
    {"activate", "",
     [](Cursor& c) -> Action {
       std::string cls = c.Word(kClass);
       return Make<Activate>(WindowName{cls, c.OptionalWord()});
     }},
    {"expect", "reached",
     [](Cursor& c) -> Action { return Make<ExpectReached>(ReadMessage(c, true), true); }},
    {"expect", "not-reached",
     [](Cursor& c) -> Action { return Make<ExpectReached>(ReadMessage(c, true), false); }},
};

}  // namespace

std::span<const VerbEntry> WindowVerbs() {
  return kWindowVerbs;
}

}  // namespace device::parse
