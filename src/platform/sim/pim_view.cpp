#include <iterator>
#include <limits>

#include "platform/sim/pim_folder.h"

namespace sim {
namespace {

constexpr DATE kEver = std::numeric_limits<DATE>::infinity();

// Appends the years of a yearly series, from its start (as the entry has it) up to the horizon,
// that end at or after `endFrom` and start at or before `startTo`. Each year starts on the
// series' date and time in that year and lasts as long as the series' first.
void AppendYears(const PimEntry& series, DATE horizon, DATE endFrom, DATE startTo,
                 std::vector<PimEntry>& out) {
  SYSTEMTIME first{};
  if (!VariantTimeToSystemTime(series.start, &first)) return;
  const DATE length = series.end - series.start;
  // Years that end well before `endFrom` (two years or more) are not even made.
  int skip = 0;
  if (SYSTEMTIME early{}; endFrom > -kEver && VariantTimeToSystemTime(endFrom - length, &early))
    skip = std::max(0, early.wYear - first.wYear - 1);
  for (WORD k = static_cast<WORD>(skip);; ++k) {
    SYSTEMTIME st = first;
    st.wYear = static_cast<WORD>(first.wYear + k);
    DATE start = 0;
    if (!SystemTimeToVariantTime(&st, &start) || start > horizon || start > startTo) break;
    const DATE end = start + length;
    if (end >= endFrom) out.push_back({series.item, start, end});
  }
}

// The open tasks within the due bounds.
std::pair<PimDueSet::const_iterator, PimDueSet::const_iterator> OpenTasks(const PimDueSet& open,
                                                                          const PimBounds& b) {
  if (b.dueFrom > b.dueTo) return {open.end(), open.end()};
  return {b.dueFrom == INT64_MIN ? open.begin() : open.lower_bound(b.dueFrom),
          b.dueTo == INT64_MAX ? open.end() : open.upper_bound(b.dueTo)};
}

}  // namespace

PimView::PimView(std::shared_ptr<const PimFolder> folder, int folderId)
    : folder_(std::move(folder)), folderId_(folderId) {}

size_t PimView::Count() {
  if (!list_ && !horizon_) {
    if (filters_.empty()) return folder_->items().size();
    if (folderId_ == olFolderTasks) {
      const PimBounds b = BoundsOf(filters_);
      if (b.openTasks && b.onlyTaskBounds) {
        auto [first, last] = OpenTasks(folder_->open(), b);
        return static_cast<size_t>(std::distance(first, last));
      }
    }
  }
  return List().size();
}

const PimEntry& PimView::At(size_t index) {
  return List().at(index);
}

void PimView::Sort(std::u16string_view property, bool descending) {
  const By by = property == u"[End]" ? By::End : property == u"[DueDate]" ? By::Due : By::Start;
  // Sorted from store order, or again by the same property, the order is Before()'s; else the
  // list as it stands is sorted.
  const bool lazy =
      sort_ == By::Nothing || (sort_ == by && (descending == descending_ || !seriesTie_));
  if (!lazy) List();
  sort_ = by;
  descending_ = descending;
  if (list_) Order();
}

void PimView::ExpandSeries() {
  if (folderId_ != olFolderCalendar) return;
  const DATE horizon = DeviceNowDate() + 400.0;
  if (!list_ && !horizon_ && filters_.empty()) {
    horizon_ = horizon;
    seriesTie_ = sort_ != By::Nothing;
    return;
  }
  std::vector<PimEntry> expanded;
  for (const PimEntry& e : List()) {
    if (e.item->yearly)
      AppendYears(e, horizon, -kEver, kEver, expanded);
    else
      expanded.push_back(e);
  }
  list_ = std::move(expanded);
  Order();
}

PimView PimView::Restricted(const PimFilter& filter) const {
  PimView kept(folder_, folderId_);
  kept.sort_ = sort_;
  kept.descending_ = descending_;
  if (list_) {
    kept.list_.emplace();
    for (const PimEntry& e : *list_)
      if (filter.Matches(*e.item, e.start, e.end)) kept.list_->push_back(e);
  } else {
    kept.filters_ = filters_;
    kept.filters_.push_back(filter);
    kept.horizon_ = horizon_;
    kept.seriesTie_ = seriesTie_;
  }
  return kept;
}

// Only the part of an index the restrictions leave is read: the appointments that reach into
// their dates (and the series' years that do), or the open tasks within their due dates. Each
// part comes in the order of its index and is sorted only when the collection's order differs.
const std::vector<PimEntry>& PimView::List() {
  if (list_) return *list_;
  std::vector<PimEntry> items, years;
  const PimBounds b = BoundsOf(filters_);
  bool checked = filters_.empty();
  if (folderId_ == olFolderCalendar) {
    // Half a second wider than the bounds: those are rounded seconds.
    const DATE endFrom = b.endFrom == INT64_MIN ? -kEver : (b.endFrom - 1) / 86400.0;
    const DATE startTo = b.startTo == INT64_MAX ? kEver : (b.startTo + 1) / 86400.0;
    folder_->AppendSpans(endFrom, startTo, !horizon_, items);
    if (horizon_)
      for (const auto& [oid, series] : folder_->series())
        AppendYears({series, series->start, series->end}, *horizon_, endFrom, startTo, years);
  } else if (folderId_ == olFolderTasks && b.openTasks) {
    for (auto [it, last] = OpenTasks(folder_->open(), b); it != last; ++it)
      items.push_back({it->item, it->item->start, it->item->end});
    checked = b.onlyTaskBounds;
  } else {
    for (const auto& [oid, item] : folder_->items()) items.push_back({&item, item.start, item.end});
  }
  auto before = [this](const PimEntry& x, const PimEntry& y) { return Before(x, y); };
  for (std::vector<PimEntry>* part : {&items, &years}) {
    if (!checked)
      std::erase_if(*part, [this](const PimEntry& e) {
        for (const PimFilter& f : filters_)
          if (!f.Matches(*e.item, e.start, e.end)) return true;
        return false;
      });
    if (!std::is_sorted(part->begin(), part->end(), before))
      std::sort(part->begin(), part->end(), before);
  }
  if (years.empty()) return list_.emplace(std::move(items));
  std::vector<PimEntry>& all = list_.emplace();
  all.reserve(items.size() + years.size());
  std::merge(items.begin(), items.end(), years.begin(), years.end(), std::back_inserter(all),
             before);
  return all;
}

DATE PimView::Key(const PimEntry& e) const {
  return sort_ == By::End ? e.end : sort_ == By::Due ? e.item->due : e.start;
}

DATE PimView::Key(const PimItem& item) const {
  return Key(PimEntry{&item, item.start, item.end});
}

// The order stable sorts give: by the sorted value; when sorted before the series were
// expanded, then by the series' own value; then in store order, a series' years in turn.
bool PimView::Before(const PimEntry& a, const PimEntry& b) const {
  if (sort_ != By::Nothing) {
    if (DATE ka = Key(a), kb = Key(b); ka != kb) return descending_ ? ka > kb : ka < kb;
    if (seriesTie_)
      if (DATE ka = Key(*a.item), kb = Key(*b.item); ka != kb)
        return descending_ ? ka > kb : ka < kb;
  }
  if (a.item->oid != b.item->oid) return a.item->oid < b.item->oid;
  return a.start < b.start;
}

void PimView::Order() {
  if (sort_ == By::Nothing) return;
  std::stable_sort(list_->begin(), list_->end(), [this](const PimEntry& a, const PimEntry& b) {
    DATE ka = Key(a), kb = Key(b);
    return descending_ ? ka > kb : ka < kb;
  });
}

}  // namespace sim
