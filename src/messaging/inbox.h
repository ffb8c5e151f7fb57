// What the three store actions share: the inbox's contents table, newest first, and the walk to
// the newest unread message.
#pragma once

#include <optional>
#include <string>

#include "platform/mapi.h"

namespace messaging {

// The store's inbox contents table sorted newest first with `columns`; null on any failure.
IMAPITable* OpenInbox(IMsgStore* store, const SPropTagArray* columns);
// The next row that is an unread message (the caller frees it with FreeProws), or null when no
// row is left or reading fails. `flagsColumn` is where PR_MESSAGE_FLAGS stands; `required`
// lists other columns the row must carry, by position and tag.
struct RequiredColumn {
  ULONG index;
  ULONG tag;
};
SRowSet* NextUnread(IMAPITable* table, ULONG flagsColumn, const RequiredColumn* required,
                    ULONG requiredCount);

// The preview of the stores of one name ("SMS", "MMS" or an account): each store is looked at
// in turn, then the hand-off key is written once with the newest unread message of them all.
class PreviewExport {
 public:
  void Look(IMsgStore* store);
  void Write(const WCHAR* storeName) const;

 private:
  struct Preview {
    std::u16string sender, subject, email;
    bool hasEmail = false;
    FILETIME time{};
  };
  bool inboxRead_ = false;  // some store's inbox could be read
  std::optional<Preview> newest_;
};

void OpenNewestUnread(IMsgStore* store);
void MarkNewestUnreadRead(IMsgStore* store);

}  // namespace messaging
