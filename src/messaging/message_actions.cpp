// Opening the newest unread message in the mail viewer, and marking it read.
#include "messaging/inbox.h"

namespace messaging {
namespace {

enum Column : ULONG { kFlags, kEntryId };

// The newest unread message's row with its flags and entry id; null when there is none.
SRowSet* NewestUnread(IMsgStore* store, IMAPITable** table) {
  SizedSPropTagArray<2> columns{2, {PR_MESSAGE_FLAGS, PR_ENTRYID}};
  *table = OpenInbox(store, reinterpret_cast<const SPropTagArray*>(&columns));
  if (!*table) return nullptr;
  RequiredColumn id{kEntryId, PR_ENTRYID};
  return NextUnread(*table, kFlags, &id, 1);
}
}  // namespace

void OpenNewestUnread(IMsgStore* store) {
  IMAPITable* table = nullptr;
  if (SRowSet* rows = NewestUnread(store, &table)) {
    const SBinary& id = rows->aRow[0].lpProps[kEntryId].Value.bin;
    MailDisplayMessage(reinterpret_cast<LPENTRYID>(id.lpb), id.cb);
    FreeProws(rows);
  }
  if (table) table->Release();
}

void MarkNewestUnreadRead(IMsgStore* store) {
  IMAPITable* table = nullptr;
  SRowSet* rows = NewestUnread(store, &table);
  if (rows) {
    const SPropValue* props = rows->aRow[0].lpProps;
    const SBinary& id = props[kEntryId].Value.bin;
    IUnknown* entry = nullptr;
    ULONG type = 0;
    IMessage* message = nullptr;
    if (SUCCEEDED(store->OpenEntry(id.cb, reinterpret_cast<const ENTRYID*>(id.lpb), nullptr,
                                   MAPI_BEST_ACCESS, &type, &entry)) &&
        entry) {
      entry->QueryInterface(IID_IMessage, reinterpret_cast<void**>(&message));
      entry->Release();
    }
    if (message) {
      // The other flags (an attachment, say) stay as they are; only the read flag is added.
      SPropValue read{PR_MESSAGE_FLAGS, 0, {}};
      read.Value.l = props[kFlags].Value.l | static_cast<LONG>(MSGFLAG_READ);
      message->SetProps(1, &read, nullptr);
      message->Release();
    }
    FreeProws(rows);
  }
  if (table) table->Release();
}

}  // namespace messaging
