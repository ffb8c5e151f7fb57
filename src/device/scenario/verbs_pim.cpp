// Verbs of the PIM store and the SIM card: contacts, SIM phonebook entries, appointments and
// tasks. Each edit is a change by another program, so logged-on programs that asked for such
// notifications hear of it, and the shell's summary values follow.
#include <memory>

#include "device/scenario/expect.h"
#include "device/scenario/verb_reader.h"
#include "platform/sim/device.h"
#include "platform/wstr.h"

namespace device::parse {
namespace {

using detail::ExpectContext;
using platform::U16;
using Role = ModelStep::Role;

DATE ToDate(const SYSTEMTIME& st) {
  DATE d = 0;
  SystemTimeToVariantTime(&st, &d);
  return d;
}

// A change made on the device: every verb here is an event.
struct PimEvent : ModelStep {
  Role role() const override { return Role::Event; }
};

struct ContactAdd : PimEvent {
  sim::PimItem item;
  explicit ContactAdd(sim::PimItem i) : item(std::move(i)) {}
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.pim().Add(item);
    return std::nullopt;
  }
};

struct SimEntry : PimEvent {
  uint32_t index = 0;
  std::u16string number, name;  // no number: the entry is deleted
  int column = 0;               // of the index, for the error
  SimEntry(uint32_t i, std::u16string n, std::u16string m, int c)
      : index(i), number(std::move(n)), name(std::move(m)), column(c) {}
  std::optional<std::string> Admit(ScenarioFacts& facts) const override {
    const uint32_t total = facts.simPositionsAtMost.value_or(sim::SimCard{}.total);
    if (index <= total) return std::nullopt;
    throw Failure{column, "the SIM has positions 1 to " + std::to_string(total) + ", not " +
                              std::to_string(index)};
  }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    sim::SimCard& card = ctx.dev.simCard();
    if (!card.present) return "the phone has no SIM card (sim absent)";
    if (number.empty()) {
      if (!card.Remove(index)) return "SIM entry " + std::to_string(index) + " is empty";
    } else if (!card.Store(index, {number, name})) {
      return "the SIM has positions 1 to " + std::to_string(card.total);
    }
    return std::nullopt;
  }
};

struct ItemAdd : PimEvent {
  sim::PimItem item;
  explicit ItemAdd(sim::PimItem i) : item(std::move(i)) {}
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.pim().Add(item);
    return std::nullopt;
  }
};

// Delete or complete the first item of a folder with that subject.
struct ItemEdit : PimEvent {
  int folder = 0;
  std::u16string subject;
  bool complete = false;
  ItemEdit(int f, std::u16string s, bool c) : folder(f), subject(std::move(s)), complete(c) {}
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    sim::PimStore& store = ctx.dev.pim();
    const sim::PimItem* item = store.FindBySubject(folder, subject);
    if (!item) return "there is no item \"" + platform::U8(subject) + "\"";
    if (complete)
      store.Change(item->oid, [](sim::PimItem& i) { i.complete = true; });
    else
      store.Remove(item->oid);
    return std::nullopt;
  }
};

// The SIM as it is when the phone is set up: how many positions its phonebook has, or none
// at all.
struct SimSize : ModelStep {
  uint32_t total = 0;
  explicit SimSize(uint32_t t) : total(t) {}
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Admit(ScenarioFacts& facts) const override {
    facts.simPositionsAtMost =
        std::max(total, facts.simPositionsAtMost.value_or(sim::SimCard{}.total));
    return std::nullopt;
  }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    sim::SimCard& card = ctx.dev.simCard();
    if (!card.entries.empty() && card.entries.rbegin()->first > total)
      return "SIM position " + std::to_string(card.entries.rbegin()->first) +
             " is in use; delete it before making the phonebook smaller";
    card.total = total;
    return std::nullopt;
  }
};

struct SimAbsent : ModelStep {
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.simCard().TakeOut();
    return std::nullopt;
  }
};

// Another program edits the first appointment or task with that subject and saves it.
struct ItemChange : PimEvent {
  int folder = 0;
  std::u16string subject;
  std::optional<std::u16string> newSubject, location;
  std::optional<DATE> start, end, due;  // due: DATE_NONE for none
  std::optional<long> importance;
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    sim::PimStore& store = ctx.dev.pim();
    const sim::PimItem* found = store.FindBySubject(folder, subject);
    const char* kind = folder == olFolderCalendar ? "appointment" : "task";
    if (!found) return std::string("there is no ") + kind + " \"" + platform::U8(subject) + "\"";
    sim::PimItem item = *found;
    if (start) {
      // A new start alone moves the appointment: it keeps its length.
      if (!end) item.end = *start + (item.end - item.start);
      item.start = *start;
      item.seriesStart = *start;
    }
    if (end) item.end = *end;
    if (item.end < item.start) return "the appointment would end before it starts";
    if (newSubject) item.subject = *newSubject;
    if (location) item.location = *location;
    if (due) item.due = *due;
    if (importance) item.importance = *importance;
    store.Change(item.oid, [&item](sim::PimItem& stored) { stored = item; });
    return std::nullopt;
  }
};

// Whether the daemon is logged on to the object model now.
struct ExpectPimSession : ModelStep {
  bool open = true;
  explicit ExpectPimSession(bool o) : open(o) {}
  Role role() const override { return Role::Expectation; }
  detail::Verdict Check(ExpectContext& ctx) const override {
    int logons = ctx.dev.pim().LogonsOf(detail::ProgramExe("dorvane2", ctx.daemonPath));
    if ((logons > 0) == open) return {};
    return detail::Fail(logons > 0 ? "the daemon is logged on to the object model"
                                   : "the daemon is not logged on to the object model");
  }
};

struct PimLatency : ModelStep {
  uint32_t ms = 0;
  explicit PimLatency(uint32_t m) : ms(m) {}
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.pim().fetchLatencyMs = ms;
    return std::nullopt;
  }
};

DATE ReadMoment(Cursor& c) {
  int dateCol = c.Column();
  const Token& date = c.Next("expected a date like 2008-06-01");
  int timeCol = c.Column();
  Token time = c.Next("expected a time like 09:30");
  if (time.text.size() != 5) throw Failure{timeCol, "expected a time like 09:30"};
  time.text += ":00";
  return ToDate(ParseClock(date, dateCol, time, timeCol));
}

uint32_t ReadImportance(Cursor& c) {
  int col = c.Column();
  uint32_t importance = c.Number("expected an importance 0, 1 or 2");
  if (importance > 2) throw Failure{col, "expected an importance 0, 1 or 2"};
  return importance;
}

DATE ReadDay(Cursor& c) {
  int col = c.Column();
  const Token& date = c.Next("expected a date like 2008-06-01");
  return ToDate(ParseClock(date, col, Token{"00:00:00", 0, 0}, col));
}

// Options of an edit, each at most once; at least one must be given.
template <size_t N>
size_t EditOption(Cursor& c, const std::string_view (&options)[N], bool (&seen)[N]) {
  int col = c.Column();
  size_t option = c.Choice(options, "option");
  if (seen[option]) throw Failure{col, std::string(options[option]) + " is given twice"};
  seen[option] = true;
  return option;
}

template <size_t N>
void NeedSomeChange(Cursor& c, const std::string_view (&options)[N], const bool (&seen)[N]) {
  for (bool given : seen)
    if (given) return;
  throw Failure{c.Column(), "nothing to change: expected " + JoinOr(options)};
}

Action ParseAppointmentEdit(Cursor& c) {
  ItemChange e;
  e.folder = olFolderCalendar;
  e.subject = U16(c.Word("expected the subject of the appointment to change"));
  static constexpr std::string_view kOptions[] = {"--subject", "--start", "--end", "--location"};
  bool seen[4] = {};
  while (!c.AtEnd()) {
    int col = c.Column();
    switch (EditOption(c, kOptions, seen)) {
      case 0:
        e.newSubject = U16(c.Word("expected the new subject"));
        break;
      case 1:
        e.start = ReadMoment(c);
        break;
      case 2:
        e.end = ReadMoment(c);
        break;
      default:
        e.location = U16(c.Word("expected a location"));
    }
    if (e.start && e.end && *e.end < *e.start)
      throw Failure{col, "the appointment ends before it starts"};
  }
  NeedSomeChange(c, kOptions, seen);
  return Make<ItemChange>(e);
}

Action ParseTaskEdit(Cursor& c) {
  ItemChange e;
  e.folder = olFolderTasks;
  e.subject = U16(c.Word("expected the subject of the task to change"));
  static constexpr std::string_view kOptions[] = {"--subject", "--due", "--importance"};
  bool seen[3] = {};
  while (!c.AtEnd()) {
    switch (EditOption(c, kOptions, seen)) {
      case 0:
        e.newSubject = U16(c.Word("expected the new subject"));
        break;
      case 1:
        if (!c.AtEnd() && c.Peek().text == "none") {
          c.Next("");
          e.due = DATE_NONE;
        } else {
          e.due = ReadDay(c);
        }
        break;
      default:
        e.importance = static_cast<long>(ReadImportance(c));
    }
  }
  NeedSomeChange(c, kOptions, seen);
  return Make<ItemChange>(e);
}

Action ParseAppointment(Cursor& c) {
  sim::PimItem item;
  item.folder = olFolderCalendar;
  item.subject = U16(c.Word("expected a subject"));
  item.start = ReadMoment(c);
  item.end = ReadMoment(c);
  if (item.end < item.start) throw Failure{c.Column(), "the appointment ends before it starts"};
  while (!c.AtEnd()) {
    static constexpr std::string_view kOptions[] = {"--location", "--allday", "--yearly"};
    size_t option = c.Choice(kOptions, "option");
    if (option == 0) item.location = U16(c.Word("expected a location"));
    if (option == 1) item.allDay = true;
    if (option == 2) item.yearly = true;
  }
  item.seriesStart = item.start;
  return Make<ItemAdd>(item);
}

Action ParseTask(Cursor& c) {
  sim::PimItem item;
  item.folder = olFolderTasks;
  item.subject = U16(c.Word("expected a subject"));
  while (!c.AtEnd()) {
    static constexpr std::string_view kOptions[] = {"--due", "--importance"};
    if (c.Choice(kOptions, "option") == 0)
      item.due = ReadDay(c);
    else
      item.importance = static_cast<long>(ReadImportance(c));
  }
  return Make<ItemAdd>(item);
}

Action ParseContact(Cursor& c) {
  sim::PimItem item;
  item.folder = olFolderContacts;
  item.name = U16(c.Word("expected a display name"));
  item.numbers.push_back(U16(c.Word("expected a phone number")));
  while (!c.AtEnd()) item.numbers.push_back(U16(c.Word("")));
  return Make<ContactAdd>(item);
}

// A SIM phonebook has at most this many positions.
constexpr uint32_t kMaxSimPositions = 1000;

uint32_t ReadIndex(Cursor& c, int col) {
  uint32_t index = c.Number("expected a SIM position from 1");
  if (index == 0) throw Failure{col, "expected a SIM position from 1"};
  if (index > kMaxSimPositions)
    throw Failure{col, "a SIM has at most 1000 positions, not " + std::to_string(index)};
  return index;
}

const VerbEntry kPimVerbs[] = {
    {"contact", "add", &ParseContact},
    {"sim", "entry",
     [](Cursor& c) -> Action {
       const int col = c.Column();
       uint32_t index = ReadIndex(c, col);
       std::u16string number = U16(c.Word("expected a number"));
       std::u16string name = U16(c.Word("expected a name"));
       if (number.empty()) throw Failure{c.Column(), "expected a number"};
       return Make<SimEntry>(index, number, name, col);
     }},
    {"sim", "delete",
     [](Cursor& c) -> Action {
       const int col = c.Column();
       return Make<SimEntry>(ReadIndex(c, col), u"", u"", col);
     }},
    {"sim", "size",
     [](Cursor& c) -> Action {
       int col = c.Column();
       uint32_t total = c.Number("expected the number of SIM positions (1 to 1000)");
       if (total == 0 || total > kMaxSimPositions)
         throw Failure{col, "a SIM has 1 to 1000 positions, not " + std::to_string(total)};
       return Make<SimSize>(total);
     }},
    {"sim", "absent", [](Cursor&) -> Action { return Make<SimAbsent>(); }},
    {"appointment", "add", &ParseAppointment},
    {"appointment", "edit", &ParseAppointmentEdit},
    {"appointment", "delete",
     [](Cursor& c) -> Action {
       return Make<ItemEdit>(olFolderCalendar, U16(c.Word("expected a subject")), false);
     }},
    {"task", "add", &ParseTask},
    {"task", "edit", &ParseTaskEdit},
    {"task", "complete",
     [](Cursor& c) -> Action {
       return Make<ItemEdit>(olFolderTasks, U16(c.Word("expected a subject")), true);
     }},
    {"task", "delete",
     [](Cursor& c) -> Action {
       return Make<ItemEdit>(olFolderTasks, U16(c.Word("expected a subject")), false);
     }},
    {"expect", "pim",
     [](Cursor& c) -> Action {
       static constexpr std::string_view kSession[] = {"session"};
       static constexpr std::string_view kStates[] = {"open", "closed"};
       c.Choice(kSession, "word");
       return Make<ExpectPimSession>(c.Choice(kStates, "session state") == 0);
     }},
    {"pim", "latency",
     [](Cursor& c) -> Action { return Make<PimLatency>(static_cast<uint32_t>(c.Duration())); }},
};

}  // namespace

std::span<const VerbEntry> PimVerbs() {
  return kPimVerbs;
}

}  // namespace device::parse
