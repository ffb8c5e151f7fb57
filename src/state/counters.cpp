#include "state/counters.h"

#include "app/messages.h"
#include "app/state.h"
#include "lock/slide_screen.h"
#include "platform/registry.h"
#include "platform/user.h"

namespace state {

// Reading the counters from the state store is not built yet.
void ReadAllCounters() {}
int32_t SumMailStorageUnread() {
  return 0;
}
int32_t CountReminders() {
  return 0;
}
uint32_t NetworkLevelFromFlags(uint32_t) {
  return 0;
}
void PreviewLastEmailAccount() {}

void ResetUnreadCounters() {
  struct Counter {
    HKEY root;
    const WCHAR* key;
  };
  static constexpr Counter kCounters[] = {
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\VMail\\Total\\Unread"},
      {HKEY_LOCAL_MACHINE, u"System\\State\\Messages\\SMS\\Unread"},
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\SMS\\Unread"},
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\MMS\\Unread"},
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\TotalEmail\\Unread"},
  };
  for (const Counter& c : kCounters) RegistrySetDWORD(c.root, c.key, u"Count", 0);
}

}  // namespace state

namespace state {

void SendAllCounters() {
  using lock::PostToSlideScreen;
  app::State& g = app::G();
  auto post = [](UINT msg, int32_t value) { PostToSlideScreen(msg, static_cast<WPARAM>(value)); };
  post(app::kMsgTaskCount, g.TaskCount);
  post(app::kMsgMissedCalls, g.MissedCalls);
  post(app::kMsgUnreadSms, g.UnreadSMS);
  // A negative count means "not known" and is not passed on.
  if (g.UnreadMMS >= 0) post(app::kMsgUnreadMms, g.UnreadMMS);
  if (g.VoiceMail >= 0) post(app::kMsgVoiceMail, g.VoiceMail);
  if (g.UnreadEmail >= 0) post(app::kMsgUnreadEmail, g.UnreadEmail);
  post(app::kMsgMailStorage, g.MailStorageUnread);
  post(app::kMsgMessengerUnread, g.MessengerUnread);
  post(app::kMsgReminders, g.ReminderCount);
  post(app::kMsgSyncing, g.Synchronizing);
  if (FindWindowW(app::kMusicPanelClass, app::kMusicPanelClass)) {
    post(app::kMsgMusicTitle, 0);
    post(app::kMsgMusicAlbum, 0);
    post(app::kMsgMusicStatus, g.MusicStatus);
  }
  post(app::kMsgMusicVolume, g.MusicVolume);
}

}  // namespace state
