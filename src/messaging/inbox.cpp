#include "messaging/inbox.h"

namespace messaging {

IMAPITable* OpenInbox(IMsgStore* store, const SPropTagArray* columns) {
  ULONG idSize = 0;
  LPENTRYID id = nullptr;
  if (FAILED(store->GetReceiveFolder(nullptr, MAPI_UNICODE, &idSize, &id, nullptr)) || !id)
    return nullptr;
  IUnknown* entry = nullptr;
  ULONG type = 0;
  HRESULT hr = store->OpenEntry(idSize, id, nullptr, MAPI_UNICODE, &type, &entry);
  MAPIFreeBuffer(id);
  if (FAILED(hr) || !entry) return nullptr;
  IMAPIFolder* folder = nullptr;
  hr = entry->QueryInterface(IID_IMAPIFolder, reinterpret_cast<void**>(&folder));
  entry->Release();
  if (FAILED(hr) || !folder) return nullptr;
  IMAPITable* table = nullptr;
  hr = folder->GetContentsTable(MAPI_UNICODE, &table);
  folder->Release();
  if (FAILED(hr) || !table) return nullptr;
  SSortOrderSet newestFirst{1, 0, 0, {{PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_DESCEND}}};
  if (FAILED(table->SortTable(&newestFirst, 0)) || FAILED(table->SetColumns(columns, 0))) {
    table->Release();
    return nullptr;
  }
  return table;
}

namespace {
// Unread is the read flag clear: an unread message with an attachment or another flag set is
// still unread.
bool IsUnread(const SRow& row, ULONG flagsColumn, const RequiredColumn* required, ULONG count) {
  if (row.cValues <= flagsColumn || row.lpProps[flagsColumn].ulPropTag != PR_MESSAGE_FLAGS ||
      (row.lpProps[flagsColumn].Value.l & MSGFLAG_READ) != 0)
    return false;
  for (ULONG i = 0; i < count; ++i)
    if (row.cValues <= required[i].index ||
        row.lpProps[required[i].index].ulPropTag != required[i].tag)
      return false;
  return true;
}
}  // namespace

SRowSet* NextUnread(IMAPITable* table, ULONG flagsColumn, const RequiredColumn* required,
                    ULONG requiredCount) {
  for (;;) {
    SRowSet* rows = nullptr;
    if (FAILED(table->QueryRows(1, 0, &rows)) || !rows) return nullptr;
    if (rows->cRows == 1 && IsUnread(rows->aRow[0], flagsColumn, required, requiredCount))
      return rows;
    bool end = rows->cRows == 0;
    FreeProws(rows);
    if (end) return nullptr;
  }
}

}  // namespace messaging
