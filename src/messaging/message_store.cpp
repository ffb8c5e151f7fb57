#include "messaging/message_store.h"

#include "messaging/inbox.h"
#include "platform/mapi.h"
#include "platform/wstr.h"

namespace messaging {
namespace {

// A row of the store table names the store when its display name matches exactly.
bool IsNamedStore(const SRow& row, std::u16string_view name) {
  return row.cValues >= 2 && row.lpProps[0].ulPropTag == PR_DISPLAY_NAME_W &&
         row.lpProps[1].ulPropTag == PR_ENTRYID && row.lpProps[0].Value.lpszW &&
         platform::WView(row.lpProps[0].Value.lpszW) == name;
}

// Every store of that name, not only the first: an account may show up more than once.
template <class Act>
void ForEachNamedStore(IMAPISession* session, const WCHAR* storeName, Act act) {
  IMAPITable* stores = nullptr;
  if (FAILED(session->GetMsgStoresTable(0, &stores)) || !stores) return;
  SizedSPropTagArray<2> columns{2, {PR_DISPLAY_NAME_W, PR_ENTRYID}};
  if (SUCCEEDED(stores->SetColumns(reinterpret_cast<const SPropTagArray*>(&columns), 0))) {
    SRowSet* rows = nullptr;
    while (SUCCEEDED(stores->QueryRows(1, 0, &rows)) && rows && rows->cRows == 1) {
      const SRow& row = rows->aRow[0];
      IMsgStore* store = nullptr;
      if (IsNamedStore(row, platform::WView(storeName))) {
        const SBinary& id = row.lpProps[1].Value.bin;
        if (SUCCEEDED(session->OpenMsgStore(0, id.cb, reinterpret_cast<const ENTRYID*>(id.lpb),
                                            nullptr, 0, &store)) &&
            store) {
          act(store);
          store->Release();
        }
      }
      FreeProws(rows);
      rows = nullptr;
    }
    FreeProws(rows);
  }
  stores->Release();
}

// The preview looks at every store before it writes, so that it shows the newest unread message
// of them all; opening and marking act on each store's own newest unread message.
void RunOnNamedStores(IMAPISession* session, const WCHAR* storeName, StoreAction action) {
  switch (action) {
    case StoreAction::ExportPreview: {
      PreviewExport preview;
      ForEachNamedStore(session, storeName, [&](IMsgStore* store) { preview.Look(store); });
      preview.Write(storeName);
      break;
    }
    case StoreAction::OpenNewest:
      ForEachNamedStore(session, storeName, OpenNewestUnread);
      break;
    case StoreAction::MarkRead:
      ForEachNamedStore(session, storeName, MarkNewestUnreadRead);
      break;
  }
}

}  // namespace

HRESULT RunOnMessageStore(const WCHAR* storeName, StoreAction action) {
  if (!storeName) storeName = u"";
  // The messaging system must be initialised before a logon can succeed.
  HRESULT hr = MAPIInitialize(nullptr);
  if (FAILED(hr)) return hr;
  IMAPISession* session = nullptr;
  hr = MAPILogonEx(0, nullptr, nullptr, 0, &session);
  if (SUCCEEDED(hr) && session) {
    RunOnNamedStores(session, storeName, action);
    session->Logoff(0, 0, 0);
    session->Release();
  }
  MAPIUninitialize();
  return hr;
}

}  // namespace messaging
