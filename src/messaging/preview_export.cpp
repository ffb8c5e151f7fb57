// The hand-off keys the slide screen reads a message preview from.
#include <string>

#include "messaging/inbox.h"
#include "platform/registry.h"
#include "platform/wstr.h"
#include "settings/settings.h"

namespace messaging {
namespace {

// Texts longer than this are cut, so a preview always shows something of them.
constexpr size_t kMaxPreviewChars = 254;

enum Column : ULONG { kSender, kSubject, kTime, kFlags, kEmail };

std::u16string HandOffKey(std::u16string_view storeName) {
  std::u16string key = std::u16string(settings::kStoreKey) + u"\\";
  if (storeName == u"SMS" || storeName == u"MMS") return key + std::u16string(storeName);
  return key + u"Message";
}

std::u16string TextOf(const SPropValue& value, ULONG tag) {
  if (value.ulPropTag != tag || !value.Value.lpszW) return {};
  std::u16string_view text = platform::WView(value.Value.lpszW);
  return std::u16string(text.substr(0, kMaxPreviewChars));
}

LONG SetText(HKEY key, const WCHAR* name, const std::u16string& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

}  // namespace

void PreviewExport::Look(IMsgStore* store) {
  SizedSPropTagArray<5> columns{5,
                                {PR_SENDER_NAME_W, PR_SUBJECT_W, PR_MESSAGE_DELIVERY_TIME,
                                 PR_MESSAGE_FLAGS, PR_SENDER_EMAIL_ADDRESS_W}};
  IMAPITable* table = OpenInbox(store, reinterpret_cast<const SPropTagArray*>(&columns));
  if (!table) return;
  inboxRead_ = true;
  RequiredColumn time{kTime, PR_MESSAGE_DELIVERY_TIME};
  if (SRowSet* rows = NextUnread(table, kFlags, &time, 1)) {
    const SPropValue* p = rows->aRow[0].lpProps;
    // Stores are looked at in the session's order; on equal times the first one found stays.
    if (!newest_ ||
        platform::FileTimeTicks(p[kTime].Value.ft) > platform::FileTimeTicks(newest_->time)) {
      newest_ = Preview{TextOf(p[kSender], PR_SENDER_NAME_W), TextOf(p[kSubject], PR_SUBJECT_W),
                        TextOf(p[kEmail], PR_SENDER_EMAIL_ADDRESS_W),
                        p[kEmail].ulPropTag == PR_SENDER_EMAIL_ADDRESS_W, p[kTime].Value.ft};
    }
    FreeProws(rows);
  }
  table->Release();
}

void PreviewExport::Write(const WCHAR* storeName) const {
  // A preview that could not look into any inbox leaves the old key as it is.
  if (!inboxRead_) return;
  std::u16string_view name = platform::WView(storeName);
  std::u16string keyPath = HandOffKey(name);
  // The key describes the newest unread message or nothing, never an older preview.
  RegDeleteKeyW(HKEY_CURRENT_USER, keyPath.c_str());
  if (!newest_) return;
  HKEY key = 0;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
    return;
  bool email = name != u"SMS" && name != u"MMS";
  if (email) SetText(key, u"Account", std::u16string(name));
  SetText(key, u"Sender", newest_->sender);
  SetText(key, u"Subject", newest_->subject);
  FILETIME time = newest_->time;
  RegSetValueExW(key, u"Time", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&time), sizeof time);
  if (email && newest_->hasEmail) SetText(key, u"Email", newest_->email);
  RegFlushKey(key);
  RegCloseKey(key);
}

}  // namespace messaging
