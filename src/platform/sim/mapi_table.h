// A MAPI table of the simulated messaging system: rows of typed cells, the columns the caller
// chose, one sort key, and rows handed out in MAPIAllocateBuffer blocks. A store's contents
// table makes its rows only as they are asked for, so that looking at the newest messages of a
// full inbox costs what is looked at.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/mapi.h"
#include "platform/sim/com.h"
#include "platform/sim/mapi_model.h"

namespace sim {

struct MapiCell {
  ULONG tag = 0;
  std::variant<LONG, uint64_t, std::u16string, std::vector<BYTE>> value;
};
using MapiRow = std::vector<MapiCell>;

// An entry id of the model: four flag bytes, then what it names and that thing's number.
std::vector<BYTE> MakeEntryId(uint32_t kind, uint32_t number);
bool ReadEntryId(const ENTRYID* id, ULONG size, uint32_t* kind, uint32_t* number);

class MapiTable final : public ComObject<IMAPITable> {
 public:
  explicit MapiTable(std::vector<MapiRow> rows) : rows_(std::move(rows)) {}
  explicit MapiTable(std::unique_ptr<MapiInboxView> inbox) : inbox_(std::move(inbox)) {}
  HRESULT QueryInterface(REFIID riid, void** object) override;
  HRESULT SetColumns(const SPropTagArray* columns, ULONG flags) override;
  HRESULT SortTable(const SSortOrderSet* order, ULONG flags) override;
  HRESULT QueryRows(LONG rowCount, ULONG flags, SRowSet** rows) override;

 private:
  size_t Size() const { return inbox_ ? inbox_->size() : rows_.size(); }
  MapiRow InboxRow(size_t i);
  // For an order the inbox does not keep: the rows as they stand, to be sorted here.
  void MakeRows();

  std::vector<MapiRow> rows_;
  std::unique_ptr<MapiInboxView> inbox_;  // while the rows are not made; null for other tables
  std::vector<ULONG> columns_;            // empty: every cell of the row
  size_t next_ = 0;
};

}  // namespace sim
