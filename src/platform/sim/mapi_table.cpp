#include "platform/sim/mapi_table.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/faults.h"

namespace sim {
namespace {

const MapiCell* CellOf(const MapiRow& row, ULONG tag) {
  for (const auto& c : row)
    if (c.tag == tag) return &c;
  return nullptr;
}

// Bytes a cell needs after the property array: texts with their NUL, binaries as they are.
size_t TextBytes(const MapiCell* c) {
  auto* text = c ? std::get_if<std::u16string>(&c->value) : nullptr;
  return text ? (text->size() + 1) * sizeof(WCHAR) : 0;
}
size_t BinaryBytes(const MapiCell* c) {
  auto* bin = c ? std::get_if<std::vector<BYTE>>(&c->value) : nullptr;
  return bin ? bin->size() : 0;
}

// One row's properties in one block, texts and then binaries after the array, so that
// MAPIFreeBuffer of lpProps frees all of it.
SPropValue* BuildProps(const MapiRow& row, const std::vector<ULONG>& columns) {
  std::vector<const MapiCell*> cells;
  std::vector<ULONG> tags;
  for (ULONG tag : columns) tags.push_back(tag);
  if (tags.empty())
    for (const auto& c : row) tags.push_back(c.tag);
  size_t texts = 0, binaries = 0;
  for (ULONG tag : tags) {
    cells.push_back(CellOf(row, tag));
    texts += TextBytes(cells.back());
    binaries += BinaryBytes(cells.back());
  }
  void* block = nullptr;
  size_t arrayBytes = std::max<size_t>(tags.size(), 1) * sizeof(SPropValue);
  if (MAPIAllocateBuffer(static_cast<ULONG>(arrayBytes + texts + binaries), &block) != S_OK)
    return nullptr;
  auto* props = static_cast<SPropValue*>(block);
  auto* textAt = reinterpret_cast<WCHAR*>(static_cast<BYTE*>(block) + arrayBytes);
  BYTE* binAt = static_cast<BYTE*>(block) + arrayBytes + texts;
  for (size_t i = 0; i < tags.size(); ++i) {
    SPropValue& p = props[i];
    p = SPropValue{tags[i], 0, {}};
    const MapiCell* c = cells[i];
    if (!c) {
      // A column the row lacks comes back as an error value of the same identifier.
      p.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tags[i]));
      p.Value.err = MAPI_E_NOT_FOUND;
    } else if (auto* l = std::get_if<LONG>(&c->value)) {
      p.Value.l = *l;
    } else if (auto* t = std::get_if<uint64_t>(&c->value)) {
      p.Value.ft = FILETIME{static_cast<DWORD>(*t), static_cast<DWORD>(*t >> 32)};
    } else if (auto* s = std::get_if<std::u16string>(&c->value)) {
      std::memcpy(textAt, s->c_str(), (s->size() + 1) * sizeof(WCHAR));
      p.Value.lpszW = textAt;
      textAt += s->size() + 1;
    } else if (auto* b = std::get_if<std::vector<BYTE>>(&c->value)) {
      if (!b->empty()) std::memcpy(binAt, b->data(), b->size());
      p.Value.bin = SBinary{static_cast<ULONG>(b->size()), binAt};
      binAt += b->size();
    }
  }
  return props;
}

// A message's row: entry id and flags always, the other columns when the message has them.
MapiRow MessageRow(const MapiMessage& m, ULONG flags) {
  MapiRow row{{PR_ENTRYID, MakeEntryId(static_cast<uint32_t>(MapiEntry::Message), m.id)},
              {PR_MESSAGE_FLAGS, static_cast<LONG>(flags)}};
  if (m.time) {
    MapiCell& time = row.emplace_back();
    time.tag = PR_MESSAGE_DELIVERY_TIME;
    time.value.emplace<uint64_t>(*m.time);
  }
  if (m.sender) row.push_back({PR_SENDER_NAME_W, *m.sender});
  if (m.subject) row.push_back({PR_SUBJECT_W, *m.subject});
  if (m.email) row.push_back({PR_SENDER_EMAIL_ADDRESS_W, *m.email});
  return row;
}

bool Less(const MapiCell* a, const MapiCell* b) {
  if (!a || !b) return a && !b;  // rows without the key go last
  return a->value < b->value;
}
}  // namespace

std::vector<BYTE> MakeEntryId(uint32_t kind, uint32_t number) {
  std::vector<BYTE> id(12, 0);
  std::memcpy(id.data() + 4, &kind, 4);
  std::memcpy(id.data() + 8, &number, 4);
  return id;
}

bool ReadEntryId(const ENTRYID* id, ULONG size, uint32_t* kind, uint32_t* number) {
  if (!id || size != 12) return false;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(id);
  std::memcpy(kind, bytes + 4, 4);
  std::memcpy(number, bytes + 8, 4);
  return true;
}

HRESULT MapiTable::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (auto struck = Strike("IUnknown::QueryInterface")) return static_cast<HRESULT>(*struck);
  if (!(riid == IID_IUnknown) && !(riid == IID_IMAPITable)) return E_NOINTERFACE;
  AddRef();
  *object = static_cast<IMAPITable*>(this);
  return S_OK;
}

HRESULT MapiTable::SetColumns(const SPropTagArray* columns, ULONG) {
  if (auto struck = Strike("IMAPITable::SetColumns")) return static_cast<HRESULT>(*struck);
  if (!columns || columns->cValues == 0) return MAPI_E_INVALID_PARAMETER;
  columns_.assign(columns->aulPropTag, columns->aulPropTag + columns->cValues);
  return S_OK;
}

HRESULT MapiTable::SortTable(const SSortOrderSet* order, ULONG) {
  if (auto struck = Strike("IMAPITable::SortTable")) return static_cast<HRESULT>(*struck);
  if (!order) return MAPI_E_INVALID_PARAMETER;
  // The messaging system sorts its tables by one key and keeps no categories.
  if (order->cSorts != 1 || order->cCategories != 0) return MAPI_E_NO_SUPPORT;
  ULONG tag = order->aSort[0].ulPropTag;
  bool descend = order->aSort[0].ulOrder == TABLE_SORT_DESCEND;
  next_ = 0;
  // From arrival order, newest first by delivery time is the order the store keeps: the sort
  // below would give the same rows.
  if (inbox_ && !inbox_->newestFirst() && tag == PR_MESSAGE_DELIVERY_TIME && descend) {
    inbox_->NewestFirst();
    return S_OK;
  }
  if (inbox_) MakeRows();
  // Among equal keys the later row comes first when descending, as the newest arrival does.
  if (descend) std::reverse(rows_.begin(), rows_.end());
  std::stable_sort(rows_.begin(), rows_.end(), [&](const MapiRow& a, const MapiRow& b) {
    return descend ? Less(CellOf(b, tag), CellOf(a, tag)) : Less(CellOf(a, tag), CellOf(b, tag));
  });
  return S_OK;
}

MapiRow MapiTable::InboxRow(size_t i) {
  const MapiMessage* m = inbox_->At(i);
  return MessageRow(*m, inbox_->FlagsOf(*m));
}

void MapiTable::MakeRows() {
  for (size_t i = 0; i < inbox_->size(); ++i) rows_.push_back(InboxRow(i));
  inbox_.reset();
}

HRESULT MapiTable::QueryRows(LONG rowCount, ULONG, SRowSet** rows) {
  if (auto struck = Strike("IMAPITable::QueryRows")) return static_cast<HRESULT>(*struck);
  if (!rows || rowCount < 1) return MAPI_E_INVALID_PARAMETER;
  *rows = nullptr;
  size_t n = std::min(static_cast<size_t>(rowCount), Size() - next_);
  void* block = nullptr;
  size_t bytes = sizeof(SRowSet) + (n > 1 ? n - 1 : 0) * sizeof(SRow);
  if (MAPIAllocateBuffer(static_cast<ULONG>(bytes), &block) != S_OK) return E_OUTOFMEMORY;
  auto* set = static_cast<SRowSet*>(block);
  set->cRows = 0;
  MapiRow made;
  for (size_t i = 0; i < n; ++i) {
    if (inbox_) made = InboxRow(next_);
    const MapiRow& row = inbox_ ? made : rows_[next_];
    SPropValue* props = BuildProps(row, columns_);
    if (!props) {
      FreeProws(set);
      return E_OUTOFMEMORY;
    }
    ULONG count = static_cast<ULONG>(columns_.empty() ? row.size() : columns_.size());
    set->aRow[i] = SRow{0, count, props};
    set->cRows = static_cast<ULONG>(i + 1);
    ++next_;
  }
  *rows = set;
  return S_OK;
}

}  // namespace sim
