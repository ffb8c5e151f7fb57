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

void WritePreview(const std::u16string& keyPath, std::u16string_view storeName, const SRow& row) {
  const SPropValue* p = row.lpProps;
  std::u16string sender = TextOf(p[kSender], PR_SENDER_NAME_W);
  std::u16string subject = TextOf(p[kSubject], PR_SUBJECT_W);
  HKEY key = 0;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
    return;
  bool email = storeName != u"SMS" && storeName != u"MMS";
  if (email) SetText(key, u"Account", std::u16string(storeName));
  SetText(key, u"Sender", sender);
  SetText(key, u"Subject", subject);
  FILETIME time = p[kTime].Value.ft;
  RegSetValueExW(key, u"Time", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&time), sizeof time);
  if (email && p[kEmail].ulPropTag == PR_SENDER_EMAIL_ADDRESS_W)
    SetText(key, u"Email", TextOf(p[kEmail], PR_SENDER_EMAIL_ADDRESS_W));
  RegFlushKey(key);
  RegCloseKey(key);
}
}  // namespace

void ExportMessagePreview(IMsgStore* store, const WCHAR* storeName) {
  SizedSPropTagArray<5> columns{5,
                                {PR_SENDER_NAME_W, PR_SUBJECT_W, PR_MESSAGE_DELIVERY_TIME,
                                 PR_MESSAGE_FLAGS, PR_SENDER_EMAIL_ADDRESS_W}};
  IMAPITable* table = OpenInbox(store, reinterpret_cast<const SPropTagArray*>(&columns));
  if (!table) return;
  std::u16string_view name = platform::WView(storeName);
  std::u16string keyPath = HandOffKey(name);
  // The key describes the newest unread message or nothing, never an older preview.
  RegDeleteKeyW(HKEY_CURRENT_USER, keyPath.c_str());
  RequiredColumn time{kTime, PR_MESSAGE_DELIVERY_TIME};
  if (SRowSet* rows = NextUnread(table, kFlags, &time, 1)) {
    WritePreview(keyPath, name, rows->aRow[0]);
    FreeProws(rows);
  }
  table->Release();
}

}  // namespace messaging
