// One folder of the PIM store with the indexes that keep its queries small: the shell's
// summary values, the object model's restrictions and the caller lookup each read only the
// items they answer with, so a store of thousands costs little more than one of ten.
// Collections read a folder as it stood when they were taken; the store changes a copy when one
// is still being read (PimStore::Own).
#pragma once

#include <algorithm>
#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/sim/pim_store.h"

namespace sim {

// One entry of a collection: an item, or one year of a yearly series with that year's dates.
struct PimEntry {
  const PimItem* item;
  DATE start, end;
};

// An appointment's dates, ordered by start and then store order.
struct PimSpan {
  DATE start;
  LONG oid;
  DATE end;
  const PimItem* item;
  bool operator<(const PimSpan& o) const {
    return start < o.start || (start == o.start && oid < o.oid);
  }
};

// Each subtree of the appointment tree knows the latest end in it, so the appointments that
// reach past a moment are found without walking those that ended before it (an interval tree;
// GCC's policy-based tree keeps the value as it rebalances).
template <class NodeCItr, class NodeItr, class Cmp, class Alloc>
struct PimLatestEnd {
  using metadata_type = DATE;
  void operator()(NodeItr node, NodeCItr none) const {
    DATE latest = (**node).end;
    if (NodeItr l = node.get_l_child(); l != none) latest = std::max(latest, l.get_metadata());
    if (NodeItr r = node.get_r_child(); r != none) latest = std::max(latest, r.get_metadata());
    const_cast<DATE&>(node.get_metadata()) = latest;
  }
  virtual NodeCItr node_begin() const = 0;
  virtual NodeCItr node_end() const = 0;
  virtual ~PimLatestEnd() = default;
};
using PimSpanTree = __gnu_pbds::tree<PimSpan, __gnu_pbds::null_type, std::less<PimSpan>,
                                     __gnu_pbds::rb_tree_tag, PimLatestEnd>;

// An open task, ordered by due date and then store order; looked up by the due second too.
struct PimDue {
  DATE due;
  LONG oid;
  const PimItem* item;
};
struct PimDueOrder {
  using is_transparent = void;
  bool operator()(const PimDue& a, const PimDue& b) const {
    return a.due < b.due || (a.due == b.due && a.oid < b.oid);
  }
  bool operator()(const PimDue& a, int64_t second) const { return PimSeconds(a.due) < second; }
  bool operator()(int64_t second, const PimDue& a) const { return second < PimSeconds(a.due); }
};
using PimDueSet = std::set<PimDue, PimDueOrder>;

// Items by a key that few of them share, such as a subject: the first in store order with a
// key is the one with the lowest oid.
template <class Key>
class PimFirstByKey {
 public:
  void Add(Key key, LONG oid) { oids_.emplace(std::move(key), oid); }
  void Remove(const Key& key, LONG oid) {
    for (auto [it, last] = oids_.equal_range(key); it != last; ++it)
      if (it->second == oid) {
        oids_.erase(it);
        return;
      }
  }
  std::optional<LONG> First(const Key& key) const {
    std::optional<LONG> first;
    for (auto [it, last] = oids_.equal_range(key); it != last; ++it)
      if (!first || it->second < *first) first = it->second;
    return first;
  }

 private:
  std::unordered_multimap<Key, LONG> oids_;
};

class PimFolder {
 public:
  using Node = std::map<LONG, PimItem>::node_type;

  PimFolder() = default;
  // The copy indexes its own items.
  PimFolder(const PimFolder& other);
  PimFolder& operator=(const PimFolder&) = delete;

  // In store order: the order items were added in.
  const std::map<LONG, PimItem>& items() const { return items_; }
  const PimItem* Find(LONG oid) const;
  // A copy of `item`, given the oid.
  const PimItem& Put(const PimItem& item, LONG oid);
  const PimItem& Put(Node node);
  // Taken out of the folder and its indexes, to be edited and put back or dropped.
  Node Take(LONG oid);

  // The first item with that subject (contacts: display name).
  const PimItem* FirstWithSubject(std::u16string_view subject) const;
  // Contacts: the first with a number matching `number` by the store's rule (equal digits, or
  // a common ending of at least seven digits).
  const PimItem* FirstWithNumber(std::u16string_view number) const;

  // The calendar's items as they stand, yearly series as their first year: the first in store
  // order that is under way at `now`, and the one with the earliest start that has not ended
  // (the first in store order on a tie). The first moves a sweep along with the clock.
  const PimItem* FirstUnderWay(DATE now);
  const PimItem* EarliestNotEnded(DATE now) const;
  // Appends, in start order, the items with an end at or after `endFrom` and a start at or
  // before `startTo`; without yearly series when `series` is false.
  void AppendSpans(DATE endFrom, DATE startTo, bool series, std::vector<PimEntry>& out) const;
  // The yearly series in store order.
  const std::map<LONG, const PimItem*>& series() const { return series_; }

  // Open tasks by due date, and how many are due on the day that starts at `day`.
  const PimDueSet& open() const { return open_; }
  DWORD OpenDueOn(DATE day) const;

 private:
  void Index(const PimItem& item);
  void Unindex(const PimItem& item);

  std::map<LONG, PimItem> items_;
  PimFirstByKey<std::u16string_view> subjects_;  // views of the items' own subjects
  // Calendar.
  PimSpanTree spans_;
  std::set<std::pair<DATE, LONG>> ends_;
  std::map<LONG, const PimItem*> series_;
  DATE sweptTo_ = 0;
  std::set<LONG> underWay_;  // the items under way at sweptTo_
  // Tasks.
  PimDueSet open_;
  std::map<DATE, DWORD> openByDay_;
  // Contacts: the last seven digits of each number, or all of a shorter one, with how many.
  PimFirstByKey<uint32_t> endings_;
};

// What an item collection lists: the folder as it stood when the collection was taken, its
// yearly series expanded or not, the restrictions and the sort applied so far. The list is
// worked out from the folder's indexes only when it is read, and a count that an index answers
// is not worked out at all. Steps that the lazy form cannot describe (sorting again by another
// property, expanding after a restriction or a second time) work the list out first and then
// go on with it as it is, as the device's collections do.
class PimView {
 public:
  PimView(std::shared_ptr<const PimFolder> folder, int folderId);

  size_t Count();
  const PimEntry& At(size_t index);
  // A stable sort of what is listed: equal values keep their order.
  void Sort(std::u16string_view property, bool descending);
  // Each yearly series of a calendar becomes one entry a year, from its first to 400 days from
  // now, in the series' place; the sort is then applied again.
  void ExpandSeries();
  PimView Restricted(const PimFilter& filter) const;

 private:
  enum class By { Nothing, Start, End, Due };

  const std::vector<PimEntry>& List();
  DATE Key(const PimEntry& e) const;
  DATE Key(const PimItem& item) const;
  bool Before(const PimEntry& a, const PimEntry& b) const;
  void Order();

  std::shared_ptr<const PimFolder> folder_;
  int folderId_;
  By sort_ = By::Nothing;
  bool descending_ = false;
  // Lazy: restrictions after the expansion, if any; when sorted before the expansion, entries
  // of equal value keep the order their series had.
  std::vector<PimFilter> filters_;
  std::optional<DATE> horizon_;
  bool seriesTie_ = false;
  std::optional<std::vector<PimEntry>> list_;  // worked out
};

}  // namespace sim
