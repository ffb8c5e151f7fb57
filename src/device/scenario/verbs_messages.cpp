// Verbs of the messaging system and the shell's notification list: messages arrive in the
// stores and are read on the phone, bubbles join the shell's list, and both can be looked at.
#include <array>
#include <span>

#include "device/scenario/expect.h"
#include "device/scenario/verb_reader.h"
#include "platform/sim/device.h"
#include "platform/wstr.h"

namespace device::parse {
namespace {

using detail::ExpectContext;
using detail::Fail;
using detail::Verdict;
using platform::U16;
using Role = ModelStep::Role;

// --- Arrivals and reading ---------------------------------------------------------------------

struct Arrive : ModelStep {
  std::u16string store;  // as the messaging system names it, ready for each arrival
  std::string sender, subject;
  std::optional<std::string> address;
  bool read = false;
  bool email = false;
  ULONG usualFlags = 0;        // what the kind of message carries besides the read flag
  std::optional<ULONG> flags;  // --flags: exactly these, read flag included
  bool noSender = false;       // no sender column at all (not an empty one); `sender` unused
  bool noTime = false;         // no delivery-time column
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    sim::MapiMessage m;
    if (!noSender) m.sender = U16(sender);
    m.subject = U16(subject);
    if (address) m.email = U16(*address);
    // The device clock as the delivery time a store records (UTC; the device keeps UTC).
    if (!noTime) m.time = static_cast<uint64_t>(ctx.dev.clock().UtcAt(ctx.dev.Now()));
    m.flags = flags ? *flags : usualFlags | (read ? MSGFLAG_READ : 0);
    if (!ctx.dev.mapi().Arrive(ctx.dev, store, std::move(m), email))
      return "there is no message store named " + platform::U8(store);
    return std::nullopt;
  }
};

// PR_MESSAGE_FLAGS as hex digits, with or without 0x.
ULONG ReadHexFlags(Cursor& c) {
  int col = c.Column();
  static constexpr char kHelp[] = "expected the message flags in hex, like 0x21";
  std::string_view s = c.Next(kHelp).text;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
  if (s.empty() || s.size() > 8) throw Failure{col, kHelp};
  ULONG v = 0;
  for (char ch : s) {
    int d = HexDigit(ch);
    if (d < 0) throw Failure{col, kHelp};
    v = v << 4 | static_cast<ULONG>(d);
  }
  return v;
}

// The options after the message's words; `--address` only for e-mail.
void ReadArrivalOptions(Cursor& c, Arrive& a) {
  static constexpr std::string_view kOptions[] = {"--read", "--flags", "--no-sender", "--no-time",
                                                  "--address"};
  std::span<const std::string_view> options(kOptions, a.email ? 5 : 4);
  bool seen[5] = {};
  while (!c.AtEnd()) {
    int col = c.Column();
    size_t option = c.Choice(options, "option");
    if (seen[option]) throw Failure{col, std::string(kOptions[option]) + " is given twice"};
    seen[option] = true;
    if (option == 0) a.read = true;
    if (option == 1) a.flags = ReadHexFlags(c);
    if (option == 2) a.noSender = true;
    if (option == 3) a.noTime = true;
    if (option == 4) a.address = c.Word("expected the sender's address after --address");
    if (a.read && a.flags)
      throw Failure{col, "--flags holds the read flag (1) itself; leave out --read"};
  }
}

Action ParseTextMessage(Cursor& c, const char16_t* store, ULONG flags) {
  Arrive a;
  a.store = store;
  a.sender = c.Word("expected the sender");
  a.subject = c.Word("expected the text");
  a.usualFlags = flags;
  ReadArrivalOptions(c, a);
  return Make<Arrive>(a);
}

Action ParseEmail(Cursor& c) {
  Arrive a;
  a.email = true;
  a.store = U16(c.Word("expected the account"));
  a.sender = c.Word("expected the sender");
  a.subject = c.Word("expected the subject");
  ReadArrivalOptions(c, a);
  return Make<Arrive>(a);
}

struct ReadNewest : ModelStep {
  std::string store;
  explicit ReadNewest(std::string s) : store(std::move(s)) {}
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    if (ctx.dev.mapi().ReadNewest(ctx.dev, U16(store))) return std::nullopt;
    return "no unread message in " + store;
  }
};

struct AddStore : ModelStep {
  std::string name;
  explicit AddStore(std::string n) : name(std::move(n)) {}
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.mapi().AddStore(U16(name));
    return std::nullopt;
  }
};

// --- Looking at messages ----------------------------------------------------------------------

constexpr std::array<std::string_view, 3> kMessageStates{"read", "unread", "shown"};

struct ExpectMessage : ModelStep {
  std::string store;
  uint32_t index = 1;
  size_t state = 0;
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    auto inbox = ctx.dev.mapi().Inbox(U16(store));
    if (index > inbox.size())
      return Fail(store + " holds " + std::to_string(inbox.size()) + " message(s)");
    const sim::MapiMessage& m = *inbox[index - 1];
    bool read = (m.flags & MSGFLAG_READ) != 0;
    bool held = state == 0 ? read : state == 1 ? !read : m.shown;
    if (held) return {};
    if (state == 2) return Fail("the message was not opened in the mail viewer");
    return Fail(std::string("the message is ") + (read ? "read" : "unread"));
  }
};

Action ParseExpectMessage(Cursor& c) {
  ExpectMessage e;
  e.store = c.Word("expected a message store like SMS");
  int col = c.Column();
  e.index = c.Number("expected the message's place, 1 for the newest");
  if (e.index == 0) throw Failure{col, "messages count from 1 (the newest)"};
  e.state = c.Choice(kMessageStates, "message state");
  c.End();
  return Make<ExpectMessage>(e);
}

// --- The shell's notification list ------------------------------------------------------------

struct AddBubble : ModelStep {
  uint32_t kind = 0, id = 0;
  AddBubble(uint32_t k, uint32_t i) : kind(k), id(i) {}
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.shellList().Add(kind, id);
    return std::nullopt;
  }
};

struct ExpectBubbles : ModelStep {
  uint32_t kind = 0, count = 0;
  ExpectBubbles(uint32_t k, uint32_t n) : kind(k), count(n) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    int have = ctx.dev.shellList().Count(kind);
    if (have == static_cast<int>(count)) return {};
    return Fail("the shell's list holds " + std::to_string(have) + " entries of kind " +
                std::to_string(kind));
  }
};

// A library the device leaves out: from now on it loads only while \Windows\NAME exists.
struct LibraryMissing : ModelStep {
  std::string name;
  explicit LibraryMissing(std::string n) : name(std::move(n)) {}
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.libraries().Add(sim::Library{U16(name), true, {}});
    return std::nullopt;
  }
};

const VerbEntry kMessageVerbs[] = {
    {"sms", "arrive", [](Cursor& c) { return ParseTextMessage(c, u"SMS", 0); }},
    // A multimedia message carries its pictures and sounds as attachments.
    {"mms", "arrive", [](Cursor& c) { return ParseTextMessage(c, u"MMS", MSGFLAG_HASATTACH); }},
    {"email", "arrive", &ParseEmail},
    {"message", "read",
     [](Cursor& c) -> Action { return Make<ReadNewest>(c.Word("expected a message store")); }},
    {"message", "store",
     [](Cursor& c) -> Action { return Make<AddStore>(c.Word("expected a store name")); }},
    {"expect", "message", &ParseExpectMessage},
    {"bubble", "add",
     [](Cursor& c) -> Action {
       uint32_t kind = c.Number("expected the entry's kind");
       uint32_t id = c.AtEnd() ? 0 : c.Number("expected the entry's id");
       return Make<AddBubble>(kind, id);
     }},
    {"library", "missing",
     [](Cursor& c) -> Action { return Make<LibraryMissing>(c.Word("expected a library name")); }},
    {"expect", "bubbles",
     [](Cursor& c) -> Action {
       uint32_t kind = c.Number("expected the entry's kind");
       return Make<ExpectBubbles>(kind, c.Number("expected a number of entries"));
     }},
};

}  // namespace

std::span<const VerbEntry> MessageVerbs() {
  return kMessageVerbs;
}

}  // namespace device::parse
