// Verbs of the key path and the wave device: hardware and injected keys through the low-level
// hook, whether the hook swallowed them, whether the daemon holds a hook, the device's volume and
// the tones played.
#include <cstdio>

#include "device/scenario/expect.h"
#include "device/scenario/verb_reader.h"
#include "platform/sim/keyboard.h"

namespace device::parse {
namespace {

using detail::ExpectContext;
using detail::Fail;
using detail::Verdict;
using sim::TraceEvent;
using Role = ModelStep::Role;

std::string Hex(uint32_t vk) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%02X", vk);
  return buf;
}

enum class Press { Both, Down, Up };

struct KeyStep : ModelStep {
  BYTE vk = 0;
  Press press = Press::Both;
  bool injected = false;  // made by a program with keybd_event, not by the keypad
  KeyStep(BYTE v, Press p, bool i) : vk(v), press(p), injected(i) {}
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    auto& kb = ctx.dev.keyboard();
    const std::string how = injected ? " injected" : "";
    if (press != Press::Up) {
      ctx.dev.Note("key " + Hex(vk) + " down" + how, vk);
      kb.Deliver(ctx.dev, sim::KeyEvent{vk, 0, false, injected, 0});
    }
    if (press != Press::Down) {
      ctx.dev.Note("key " + Hex(vk) + " up" + how, vk);
      kb.Deliver(ctx.dev, sim::KeyEvent{vk, 0, true, injected, 0});
    }
    return std::nullopt;
  }
};

struct ExpectKey : ModelStep {
  BYTE vk = 0;
  bool swallowed = false;
  ExpectKey(BYTE v, bool s) : vk(v), swallowed(s) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    const auto& seen = ctx.dev.keyboard().swallowed;
    auto it = seen.find(vk);
    if (it == seen.end()) return Fail("no event of key " + Hex(vk) + " has gone through");
    if (it->second == swallowed) return {};
    return Fail("its last event was " + std::string(it->second ? "swallowed" : "passed"));
  }
};

struct ExpectHook : ModelStep {
  bool installed = true;
  explicit ExpectHook(bool i) : installed(i) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    bool now = ctx.dev.keyboard().HookInstalled();
    if (now == installed) return {};
    return Fail(now ? "a keyboard hook is installed" : "no keyboard hook is installed");
  }
};

// What waveOutGetVolume answers for device 0 from now on.
struct DeviceVolume : ModelStep {
  DWORD volume = 0xFFFFFFFFu;
  explicit DeviceVolume(DWORD v) : volume(v) {}
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.wave().volume = volume;
    return std::nullopt;
  }
};

bool IsTone(const TraceEvent& e) {
  return e.kind == sim::TraceKind::Note && e.text.rfind("tone ", 0) == 0;
}

struct ExpectTone : ModelStep {
  uint32_t low = 0, high = 0;
  ExpectTone(uint32_t l, uint32_t h) : low(l), high(h) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    std::string text = "tone " + std::to_string(low) + " " + std::to_string(high);
    return detail::FindForward(
        ctx, [&](const TraceEvent& e) { return IsTone(e) && e.text == text; }, &IsTone,
        "a " + text.substr(5) + " Hz tone");
  }
};

struct ExpectNoTone : ModelStep {
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    return detail::FindNone(ctx, &IsTone, "a tone was played");
  }
};

BYTE ReadKey(Cursor& c) {
  int col = c.Column();
  uint32_t vk = c.Number("expected a virtual-key code like 200 or 0x75");
  if (vk == 0 || vk > 0xFF) throw Failure{col, "expected a virtual-key code from 1 to 255"};
  return static_cast<BYTE>(vk);
}

Action ParseExpectKey(Cursor& c) {
  BYTE vk = ReadKey(c);
  static constexpr std::string_view kOutcomes[] = {"swallowed", "passed"};
  size_t outcome = c.Choice(kOutcomes, "outcome");
  return Make<ExpectKey>(vk, outcome == 0);
}

Action ParseExpectHook(Cursor& c) {
  static constexpr std::string_view kStates[] = {"installed", "none"};
  return Make<ExpectHook>(c.Choice(kStates, "hook state") == 0);
}

Action ParseExpectTone(Cursor& c) {
  uint32_t low = c.Number("expected the low frequency in Hz");
  return Make<ExpectTone>(low, c.Number("expected the high frequency in Hz"));
}

Action ParseKey(Cursor& c) {
  static constexpr std::string_view kPresses[] = {"press", "down", "up"};
  auto press = static_cast<Press>(c.Choice(kPresses, "key event"));
  BYTE vk = ReadKey(c);
  bool injected = false;
  if (!c.AtEnd()) {
    int col = c.Column();
    if (c.Word("") != "--injected")
      throw Failure{col, "expected --injected or the end of the line"};
    injected = true;
  }
  return Make<KeyStep>(vk, press, injected);
}

const VerbEntry kKeyVerbs[] = {
    {"key", "", &ParseKey},
    {"expect", "key", &ParseExpectKey},
    {"expect", "hook", &ParseExpectHook},
    {"expect", "tone", &ParseExpectTone},
    {"expect", "no-tone", [](Cursor&) -> Action { return Make<ExpectNoTone>(); }},
    {"device", "volume",
     [](Cursor& c) -> Action {
       return Make<DeviceVolume>(
           c.Number("expected a volume like 0xFFFFFFFF (right << 16 | left)"));
     }},
};

}  // namespace

std::span<const VerbEntry> KeyVerbs() {
  return kKeyVerbs;
}

}  // namespace device::parse
