// Message previews and notification dismissal against the device's messaging system and the
// shell's list: what a preview writes for odd messages, that no messaging object or buffer
// outlives a call even when the calls fail, and the results of a dismissal.
#include "messaging/dismissal.h"
#include "messaging/message_store.h"
#include "trace_match.h"

namespace {

using namespace trace_match;

using messaging::RunOnMessageStore;
using messaging::StoreAction;

constexpr char16_t kSmsKey[] = u"HKCU\\Software\\Zeq\\Vurl\\SMS";

class Messaging : public TracedDaemonTest {
 protected:
  void Arrive(std::u16string store, std::optional<std::u16string> sender,
              std::optional<std::u16string> subject, ULONG flags = 0) {
    sim::MapiMessage m;
    m.sender = std::move(sender);
    m.subject = std::move(subject);
    m.time = 0x01C8C3D2'12345678ull;
    m.flags = flags;
    ASSERT_TRUE(dev.mapi().Arrive(dev, store, std::move(m), true));
  }
  HRESULT Run(const char16_t* store, StoreAction action) {
    HRESULT hr = E_FAIL;
    InDaemon([&] { hr = RunOnMessageStore(store, action); });
    return hr;
  }
  std::u16string Text(std::u16string_view name) {
    auto v = dev.registry().GetValue(kSmsKey, name);
    if (!v || v->type != REG_SZ) return u"<none>";
    std::u16string out;
    for (size_t i = 0; i + 1 < v->bytes.size(); i += 2)
      out.push_back(static_cast<char16_t>(v->bytes[i] | v->bytes[i + 1] << 8));
    if (out.empty() || out.back() != u'\0') return u"<not terminated>";
    out.pop_back();
    return out;
  }
  void BootCounting() {
    Boot();
    objectsBefore = dev.com().liveObjects;
  }
  int objectsBefore = 0;
  void ExpectNothingLeft() {
    EXPECT_EQ(dev.mapi().liveBuffers, 0);
    EXPECT_EQ(dev.mapi().sessions, 0);
    EXPECT_EQ(dev.com().liveObjects, objectsBefore);
    EXPECT_TRUE(dev.mapi().initialized.empty());
  }
};

TEST_F(Messaging, PreviewCutsLongTextsAndLeavesMissingOnesEmpty) {
  BootCounting();
  std::u16string longText(300, u'x');
  Arrive(u"SMS", std::nullopt, longText);
  Arrive(u"SMS", u"Older", u"older", MSGFLAG_READ);
  EXPECT_EQ(Run(u"SMS", StoreAction::ExportPreview), S_OK);
  EXPECT_EQ(Text(u"Sender"), u"");
  EXPECT_EQ(Text(u"Subject"), std::u16string(254, u'x'));
  auto time = dev.registry().GetValue(kSmsKey, u"Time");
  ASSERT_TRUE(time);
  EXPECT_EQ(time->type, REG_BINARY);
  EXPECT_EQ(time->bytes, (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12, 0xD2, 0xC3, 0xC8, 0x01}));
  ExpectNothingLeft();
}

// Each step of the walk failing once: nothing leaks, and a failure before the key is deleted
// leaves the old preview.
TEST_F(Messaging, FailuresEndTheCallCleanly) {
  BootCounting();
  Arrive(u"SMS", u"Ann", u"hello");
  ASSERT_EQ(Run(u"SMS", StoreAction::ExportPreview), S_OK);
  for (const char* fn : {"MAPIInitialize", "MAPILogonEx", "GetMsgStoresTable", "OpenMsgStore",
                         "GetReceiveFolder", "OpenEntry", "IUnknown::QueryInterface",
                         "GetContentsTable", "SortTable", "SetColumns", "QueryRows"}) {
    dev.faults().Arm(fn, std::nullopt, 1);
    Run(u"SMS", StoreAction::ExportPreview);
    EXPECT_EQ(Text(u"Sender"), u"Ann") << fn;
    ExpectNothingLeft();
  }
  dev.faults().Arm("OpenEntry", std::nullopt, 1);
  Run(u"SMS", StoreAction::MarkRead);
  dev.faults().Arm("MailDisplayMessage", std::nullopt, 1);
  Run(u"SMS", StoreAction::OpenNewest);
  EXPECT_FALSE(dev.mapi().Inbox(u"SMS")[0]->shown);
  EXPECT_EQ(dev.mapi().Inbox(u"SMS")[0]->flags, 0u);
  ExpectNothingLeft();
  dev.faults().Arm("MAPILogonEx", 0x80040111u, 1);
  EXPECT_EQ(Run(u"SMS", StoreAction::MarkRead), static_cast<HRESULT>(0x80040111u));
}

// Unread is the read flag clear, whatever else is set; marking read keeps the other flags.
TEST_F(Messaging, UnreadMessageWithAttachmentIsActedOn) {
  BootCounting();
  Arrive(u"SMS", u"Pic", u"photo", MSGFLAG_HASATTACH | MSGFLAG_UNMODIFIED);
  Run(u"SMS", StoreAction::ExportPreview);
  EXPECT_EQ(Text(u"Sender"), u"Pic");
  Run(u"SMS", StoreAction::MarkRead);
  EXPECT_EQ(dev.mapi().Inbox(u"SMS")[0]->flags,
            MSGFLAG_READ | MSGFLAG_HASATTACH | MSGFLAG_UNMODIFIED);
  // No unread message left: the key is deleted and stays so.
  Run(u"SMS", StoreAction::ExportPreview);
  EXPECT_FALSE(dev.registry().KeyExists(kSmsKey));
  ExpectNothingLeft();
}

TEST_F(Messaging, DismissalResults) {
  Boot();
  auto dismiss = [&] {
    int result = 99;
    InDaemon([&] { result = messaging::DismissShellEntries(3, 0); });
    return result;
  };
  EXPECT_EQ(dismiss(), 0);  // an empty list
  for (DWORD kind : {1u, 3u, 3u}) dev.shellList().Add(kind, 0);
  dev.faults().Arm("ossvcs#273", std::nullopt, 1);
  EXPECT_EQ(dismiss(), 0);  // the first failed, the last did not
  EXPECT_EQ(dev.shellList().Count(3), 1);
  dev.faults().Arm("ossvcs#273", std::nullopt, 1);
  EXPECT_EQ(dismiss(), -2);
  dev.faults().Arm("ossvcs#276", std::nullopt, 1);
  EXPECT_EQ(dismiss(), -1);
  EXPECT_EQ(dev.shellList().liveCopies, 0);
  EXPECT_EQ(dev.shellList().Count(1), 1);
}

}  // namespace
