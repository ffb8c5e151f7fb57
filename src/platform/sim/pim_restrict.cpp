// The restriction grammar of item collections: [Property] op value, conditions joined by AND
// and OR (AND binds closer). Texts are quoted, numbers bare, dates quoted as
// "MM/DD/YYYY HH:MM" (24 h), booleans TRUE / FALSE. Anything else is refused.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/sim/pim_store.h"
#include "platform/wstr.h"

namespace sim {
namespace {

using Op = PimCondition::Op;
using Kind = PimCondition::Kind;

enum class PropType { Text, Date, Bool, Number };

struct Property {
  std::u16string_view name;
  PropType type;
  int folder;
};

constexpr Property kProperties[] = {
    {u"Subject", PropType::Text, 0},
    {u"Location", PropType::Text, olFolderCalendar},
    {u"Start", PropType::Date, olFolderCalendar},
    {u"End", PropType::Date, olFolderCalendar},
    {u"AllDayEvent", PropType::Bool, olFolderCalendar},
    {u"IsRecurring", PropType::Bool, olFolderCalendar},
    {u"DueDate", PropType::Date, olFolderTasks},
    {u"Complete", PropType::Bool, olFolderTasks},
    {u"Importance", PropType::Number, olFolderTasks},
    {u"FileAs", PropType::Text, olFolderContacts},
};

const Property* FindProperty(std::u16string_view name) {
  for (const Property& p : kProperties)
    if (platform::IEquals(p.name, name)) return &p;
  return nullptr;
}

class Lexer {
 public:
  explicit Lexer(std::u16string_view s) : s_(s) {}
  void Blanks() {
    while (pos_ < s_.size() && s_[pos_] == u' ') ++pos_;
  }
  bool AtEnd() {
    Blanks();
    return pos_ >= s_.size();
  }
  bool Take(std::u16string_view word) {
    Blanks();
    if (s_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }
  std::optional<std::u16string> Until(char16_t end) {
    size_t stop = s_.find(end, pos_);
    if (stop == std::u16string_view::npos) return std::nullopt;
    std::u16string out(s_.substr(pos_, stop - pos_));
    pos_ = stop + 1;
    return out;
  }
  std::u16string Word() {
    Blanks();
    size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] != u' ') ++pos_;
    return std::u16string(s_.substr(start, pos_ - start));
  }

 private:
  std::u16string_view s_;
  size_t pos_ = 0;
};

std::optional<Op> ReadOp(Lexer& lx) {
  if (lx.Take(u"<=")) return Op::LessEq;
  if (lx.Take(u">=")) return Op::GreaterEq;
  if (lx.Take(u"<>")) return Op::NotEqual;
  if (lx.Take(u"<")) return Op::Less;
  if (lx.Take(u">")) return Op::Greater;
  if (lx.Take(u"=")) return Op::Equal;
  return std::nullopt;
}

int Digits(std::u16string_view s, size_t at, size_t n) {
  int v = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (i >= s.size() || s[i] < u'0' || s[i] > u'9') return -1;
    v = v * 10 + (s[i] - u'0');
  }
  return v;
}

// "MM/DD/YYYY" or "MM/DD/YYYY HH:MM".
std::optional<DATE> ParseDate(std::u16string_view s) {
  if (s.size() != 10 && s.size() != 16) return std::nullopt;
  if (s[2] != u'/' || s[5] != u'/' || (s.size() == 16 && (s[10] != u' ' || s[13] != u':')))
    return std::nullopt;
  int month = Digits(s, 0, 2), day = Digits(s, 3, 2), year = Digits(s, 6, 4);
  int hour = s.size() == 16 ? Digits(s, 11, 2) : 0, minute = s.size() == 16 ? Digits(s, 14, 2) : 0;
  if (month < 0 || day < 0 || year < 0 || hour < 0 || minute < 0) return std::nullopt;
  SYSTEMTIME st{static_cast<WORD>(year), static_cast<WORD>(month),  0, static_cast<WORD>(day),
                static_cast<WORD>(hour), static_cast<WORD>(minute), 0, 0};
  DATE d = 0;
  if (!SystemTimeToVariantTime(&st, &d)) return std::nullopt;
  return d;
}

std::optional<double> ParseNumberText(std::u16string_view s) {
  if (s.empty()) return std::nullopt;
  double v = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c - u'0');
  }
  return v;
}

std::optional<PimCondition> ReadCondition(Lexer& lx) {
  if (!lx.Take(u"[")) return std::nullopt;
  auto name = lx.Until(u']');
  const Property* prop = name ? FindProperty(*name) : nullptr;
  if (!prop) return std::nullopt;
  auto op = ReadOp(lx);
  if (!op) return std::nullopt;
  PimCondition c{std::u16string(prop->name), *op, Kind::Text, {}, 0};
  if (lx.Take(u"\"")) {
    auto text = lx.Until(u'"');
    if (!text) return std::nullopt;
    if (prop->type == PropType::Date) {
      auto date = ParseDate(*text);
      if (!date) return std::nullopt;
      c.kind = Kind::Date;
      c.number = *date;
    } else if (prop->type == PropType::Text) {
      c.text = *text;
    } else {
      return std::nullopt;
    }
    return c;
  }
  std::u16string word = lx.Word();
  c.kind = Kind::Number;
  if (prop->type == PropType::Bool && (word == u"TRUE" || word == u"FALSE")) {
    c.number = word == u"TRUE" ? -1 : 0;
  } else if (auto n = ParseNumberText(word);
             n && prop->type != PropType::Text && prop->type != PropType::Date) {
    c.number = *n;
  } else {
    return std::nullopt;
  }
  return c;
}

template <class T>
bool Compare(Op op, const T& a, const T& b) {
  switch (op) {
    case Op::Less:
      return a < b;
    case Op::LessEq:
      return a <= b;
    case Op::Greater:
      return a > b;
    case Op::GreaterEq:
      return a >= b;
    case Op::Equal:
      return a == b;
    case Op::NotEqual:
      return a != b;
  }
  return false;
}

std::u16string Folded(std::u16string_view s) {
  std::u16string out(s);
  for (auto& ch : out) ch = platform::FoldCase(ch);
  return out;
}

bool ConditionHolds(const PimCondition& c, const PimItem& item, DATE start, DATE end) {
  const Property* prop = FindProperty(c.property);
  if (!prop || (prop->folder != 0 && prop->folder != item.folder)) return false;
  if (prop->folder == 0 && item.folder == olFolderContacts) return false;
  std::u16string_view n = prop->name;
  if (c.kind == Kind::Text) {
    const std::u16string& text = n == u"Location" ? item.location
                                 : n == u"FileAs" ? item.name
                                                  : item.subject;
    return Compare(c.op, Folded(text), Folded(c.text));
  }
  double value = n == u"Start"         ? start
                 : n == u"End"         ? end
                 : n == u"DueDate"     ? item.due
                 : n == u"AllDayEvent" ? (item.allDay ? -1 : 0)
                 : n == u"IsRecurring" ? (item.yearly ? -1 : 0)
                 : n == u"Complete"    ? (item.complete ? -1 : 0)
                                       : static_cast<double>(item.importance);
  return Compare(c.op, PimSeconds(value), PimSeconds(c.number));
}

// Narrows the bounds by one condition; true when it is one of the task bounds.
bool Narrow(const PimCondition& c, PimBounds& b) {
  if (c.property == u"Complete") {
    if (c.op != Op::Equal || c.number != 0) return false;
    b.openTasks = true;
    return true;
  }
  if (c.kind != Kind::Date) return false;
  const int64_t s = PimSeconds(c.number);
  const bool atMost = c.op == Op::Less || c.op == Op::LessEq || c.op == Op::Equal;
  const bool atLeast = c.op == Op::Greater || c.op == Op::GreaterEq || c.op == Op::Equal;
  const int64_t most = c.op == Op::Less ? s - 1 : s, least = c.op == Op::Greater ? s + 1 : s;
  if (c.property == u"DueDate") {
    if (atMost) b.dueTo = std::min(b.dueTo, most);
    if (atLeast) b.dueFrom = std::max(b.dueFrom, least);
    return atMost || atLeast;
  }
  if (c.property == u"Start" && atMost) b.startTo = std::min(b.startTo, most);
  if (c.property == u"End" && atLeast) b.endFrom = std::max(b.endFrom, least);
  return false;
}

}  // namespace

int64_t PimSeconds(DATE date) {
  return std::llround(date * 86400.0);
}

PimBounds BoundsOf(const std::vector<PimFilter>& filters) {
  PimBounds b;
  for (const PimFilter& f : filters) {
    if (f.anyOf.size() != 1) {
      b.onlyTaskBounds = false;
      continue;
    }
    for (const PimCondition& c : f.anyOf.front())
      if (!Narrow(c, b)) b.onlyTaskBounds = false;
  }
  return b;
}

std::optional<PimFilter> ParseRestriction(std::u16string_view text) {
  Lexer lx(text);
  PimFilter filter;
  filter.anyOf.emplace_back();
  for (;;) {
    auto c = ReadCondition(lx);
    if (!c) return std::nullopt;
    filter.anyOf.back().push_back(*c);
    if (lx.AtEnd()) return filter;
    if (lx.Take(u"OR ")) {
      filter.anyOf.emplace_back();
    } else if (!lx.Take(u"AND ")) {
      return std::nullopt;
    }
  }
}

bool PimFilter::Matches(const PimItem& item, DATE start, DATE end) const {
  for (const auto& group : anyOf) {
    bool all = true;
    for (const PimCondition& c : group) all = all && ConditionHolds(c, item, start, end);
    if (all) return true;
  }
  return false;
}

}  // namespace sim
