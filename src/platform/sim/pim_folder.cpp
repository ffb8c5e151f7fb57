#include "platform/sim/pim_folder.h"

#include <cmath>
#include <limits>

namespace sim {
namespace {

constexpr LONG kFirstOid = std::numeric_limits<LONG>::min();
constexpr LONG kLastOid = std::numeric_limits<LONG>::max();

// The store's own rule (undocumented on the device): two numbers match when their digits are
// equal or share an ending of at least seven digits, which is when these endings are equal:
// the last seven digits, or all of fewer, as their value and count. 0: no digits, no match.
uint32_t Ending(std::u16string_view number) {
  uint32_t value = 0, count = 0, scale = 1;
  for (auto c = number.rbegin(); c != number.rend() && count < 7; ++c) {
    if (*c < u'0' || *c > u'9') continue;
    value += static_cast<uint32_t>(*c - u'0') * scale;
    scale *= 10;
    ++count;
  }
  return count == 0 ? 0 : value * 8 + count;
}

const std::u16string& SubjectOf(const PimItem& item) {
  return item.folder == olFolderContacts ? item.name : item.subject;
}

void AppendFrom(const PimSpanTree& spans, PimSpanTree::node_const_iterator node, DATE endFrom,
                DATE startTo, bool series, std::vector<PimEntry>& out) {
  if (node == spans.node_end() || !(node.get_metadata() >= endFrom)) return;
  AppendFrom(spans, node.get_l_child(), endFrom, startTo, series, out);
  const PimSpan& s = **node;
  if (s.start > startTo) return;
  if (s.end >= endFrom && (series || !s.item->yearly)) out.push_back({s.item, s.start, s.end});
  AppendFrom(spans, node.get_r_child(), endFrom, startTo, series, out);
}

}  // namespace

PimFolder::PimFolder(const PimFolder& other) : items_(other.items_), sweptTo_(other.sweptTo_) {
  for (const auto& [oid, item] : items_) Index(item);
}

const PimItem* PimFolder::Find(LONG oid) const {
  auto it = items_.find(oid);
  return it == items_.end() ? nullptr : &it->second;
}

const PimItem& PimFolder::Put(const PimItem& item, LONG oid) {
  // Oids only grow: a new item goes last.
  PimItem& added = items_.emplace_hint(items_.end(), oid, item)->second;
  added.oid = oid;
  Index(added);
  return added;
}

const PimItem& PimFolder::Put(Node node) {
  const PimItem& item = items_.insert(std::move(node)).position->second;
  Index(item);
  return item;
}

PimFolder::Node PimFolder::Take(LONG oid) {
  Node node = items_.extract(oid);
  if (node) Unindex(node.mapped());
  return node;
}

void PimFolder::Index(const PimItem& item) {
  subjects_.Add(SubjectOf(item), item.oid);
  if (item.folder == olFolderCalendar) {
    spans_.insert(PimSpan{item.start, item.oid, item.end, &item});
    ends_.emplace(item.end, item.oid);
    if (item.yearly) series_.emplace(item.oid, &item);
    if (item.start <= sweptTo_ && item.end >= sweptTo_) underWay_.insert(item.oid);
  } else if (item.folder == olFolderTasks) {
    if (item.complete) return;
    open_.insert(PimDue{item.due, item.oid, &item});
    ++openByDay_[std::floor(item.due)];
  } else if (item.folder == olFolderContacts) {
    for (const std::u16string& number : item.numbers)
      if (uint32_t ending = Ending(number)) endings_.Add(ending, item.oid);
  }
}

void PimFolder::Unindex(const PimItem& item) {
  subjects_.Remove(SubjectOf(item), item.oid);
  if (item.folder == olFolderCalendar) {
    spans_.erase(PimSpan{item.start, item.oid, item.end, &item});
    ends_.erase({item.end, item.oid});
    series_.erase(item.oid);
    underWay_.erase(item.oid);
  } else if (item.folder == olFolderTasks) {
    if (item.complete) return;
    open_.erase(PimDue{item.due, item.oid, &item});
    auto day = openByDay_.find(std::floor(item.due));
    if (--day->second == 0) openByDay_.erase(day);
  } else if (item.folder == olFolderContacts) {
    for (const std::u16string& number : item.numbers) endings_.Remove(Ending(number), item.oid);
  }
}

const PimItem* PimFolder::FirstWithSubject(std::u16string_view subject) const {
  std::optional<LONG> oid = subjects_.First(subject);
  return oid ? Find(*oid) : nullptr;
}

const PimItem* PimFolder::FirstWithNumber(std::u16string_view number) const {
  const uint32_t ending = Ending(number);
  std::optional<LONG> oid = ending ? endings_.First(ending) : std::nullopt;
  return oid ? Find(*oid) : nullptr;
}

// The set of items under way is moved from the last moment asked to this one: only the items
// that started or ended in between are looked at, so a clock that goes its way costs each item
// twice in all.
const PimItem* PimFolder::FirstUnderWay(DATE now) {
  const DATE was = sweptTo_;
  if (now > was) {
    for (auto it = spans_.upper_bound(PimSpan{was, kLastOid, 0, nullptr});
         it != spans_.end() && it->start <= now; ++it)
      if (it->end >= now) underWay_.insert(it->oid);
    for (auto it = ends_.lower_bound({was, kFirstOid}); it != ends_.end() && it->first < now; ++it)
      underWay_.erase(it->second);
  } else if (now < was) {
    for (auto it = spans_.upper_bound(PimSpan{now, kLastOid, 0, nullptr});
         it != spans_.end() && it->start <= was; ++it)
      underWay_.erase(it->oid);
    for (auto it = ends_.lower_bound({now, kFirstOid}); it != ends_.end() && it->first < was; ++it)
      if (Find(it->second)->start <= now) underWay_.insert(it->second);
  }
  sweptTo_ = now;
  return underWay_.empty() ? nullptr : Find(*underWay_.begin());
}

const PimItem* PimFolder::EarliestNotEnded(DATE now) const {
  const auto none = spans_.node_end();
  for (auto node = spans_.node_begin(); node != none && node.get_metadata() >= now;) {
    if (auto left = node.get_l_child(); left != none && left.get_metadata() >= now) {
      node = left;
    } else if ((**node).end >= now) {
      return (**node).item;
    } else {
      node = node.get_r_child();
    }
  }
  return nullptr;
}

void PimFolder::AppendSpans(DATE endFrom, DATE startTo, bool series,
                            std::vector<PimEntry>& out) const {
  AppendFrom(spans_, spans_.node_begin(), endFrom, startTo, series, out);
}

DWORD PimFolder::OpenDueOn(DATE day) const {
  auto it = openByDay_.find(day);
  return it == openByDay_.end() ? 0 : it->second;
}

}  // namespace sim
