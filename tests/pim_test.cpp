// The caller's name from the contacts and the SIM, the object model's reference counting, and
// the restriction grammar of item collections.
#include <cstring>

#include "pim/sim_phonebook.h"
#include "platform/poom.h"
#include "telephony/caller_id.h"
#include "trace_match.h"

namespace {

using namespace trace_match;

class CallerName : public TracedDaemonTest {
 protected:
  // As the line monitor does: clear the name, then look the number up.
  std::u16string Lookup(const std::u16string& number) {
    dev.registry().SetValue(kStore, u"IncomingName", REG_SZ, {0, 0});
    HWND window = DaemonWindow();
    InDaemon([&] { telephony::LookupCallerName(window, number.c_str()); });
    auto v = dev.registry().GetValue(kStore, u"IncomingName");
    if (!v) return u"(none)";
    std::u16string text(v->bytes.size() / 2, u'\0');
    std::memcpy(text.data(), v->bytes.data(), text.size() * 2);
    return text.substr(0, text.find(u'\0'));
  }
  void AddContact(std::u16string name, std::u16string number) {
    sim::PimItem c;
    c.folder = olFolderContacts;
    c.name = std::move(name);
    c.numbers = {std::move(number)};
    dev.pim().Add(c);
  }
};

TEST_F(CallerName, ContactsFirstThenTheSimByItsMatchingRule) {
  // Entries sit anywhere on the card; the cache keeps reading until it found all used ones.
  dev.simCard().entries = {{2, {u"0123456789", u"Bob"}},
                           {9, {u"12345678", u"Eve"}},
                           {40, {u"0987654321", u"Frank on SIM"}},
                           {41, {u"7", u"Seven"}}};
  AddContact(u"Frank", u"0987654321");
  AddContact(u"Anna", u"+49 170 1234567");
  Boot();

  EXPECT_EQ(Lookup(u"+491701234567"), u"Anna");
  EXPECT_EQ(Lookup(u"0987654321"), u"Frank");                // a contact wins over the SIM
  dev.faults().Arm("FindMatchingContact", std::nullopt, 1);  // a failed search: the SIM answers
  EXPECT_EQ(Lookup(u"0987654321"), u"Frank on SIM");
  EXPECT_EQ(Lookup(u"0123456789"), u"Bob");     // equal
  EXPECT_EQ(Lookup(u"+490123456789"), u"Bob");  // three shorter, equal ending
  EXPECT_EQ(Lookup(u"+4912345678"), u"Eve");    // three shorter
  EXPECT_EQ(Lookup(u"+49012345678"), u"");      // four shorter never matches
  EXPECT_EQ(Lookup(u"7"), u"Seven");            // equal, even one character long
  EXPECT_EQ(Lookup(u"07"), u"");                // a stored number needs 2 characters
  EXPECT_EQ(Lookup(u"23456789"), u"");          // a longer stored number must be equal

  // A stored entry refills the cache on the SIM manager's thread.
  dev.simCard().Store(3, {u"5559999", u"Gus"});
  ASSERT_TRUE(dev.RunFor(2000)) << dev.Failure();
  EXPECT_EQ(Lookup(u"5559999"), u"Gus");
  dev.simCard().Remove(2);
  ASSERT_TRUE(dev.RunFor(2000)) << dev.Failure();
  EXPECT_EQ(Lookup(u"0123456789"), u"");
  EXPECT_EQ(Lookup(u"5559999"), u"Gus");

  // Shutting down releases the session and every object it handed out.
  PostMessageW(DaemonWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(dev.RunFor(3000)) << dev.Failure();
  EXPECT_EQ(dev.com().liveObjects, 0);
  EXPECT_EQ(dev.com().liveStrings, 0);
  EXPECT_EQ(dev.pim().Logons(), 0);
  EXPECT_EQ(dev.simCard().Clients(), 0);
}

TEST_F(CallerName, ALookupSeesTheOldOrTheNewSimCacheWhileARefillRuns) {
  for (DWORD i = 1; i <= 20; ++i)
    dev.simCard().entries[i] = {u"55500" + platform::U16(std::to_string(10 + i)), u"Old"};
  Boot();
  for (DWORD i = 1; i <= 20; ++i) dev.simCard().entries[i].name = u"New";
  dev.simCard().Store(21, {u"5550999", u"New"});
  // Each read takes a radio round trip: the refill is half-way when the lookup runs.
  ASSERT_TRUE(dev.RunFor(200)) << dev.Failure();
  EXPECT_EQ(Lookup(u"5550020"), u"Old");
  EXPECT_EQ(Lookup(u"5550030"), u"Old");
  ASSERT_TRUE(dev.RunFor(1000)) << dev.Failure();
  EXPECT_EQ(Lookup(u"5550020"), u"New");
  EXPECT_EQ(Lookup(u"5550999"), u"New");
}

TEST_F(CallerName, AFullSimKeeps255EntriesAndCutsLongTexts) {
  dev.simCard().total = 300;
  for (DWORD i = 1; i <= 300; ++i)
    dev.simCard().entries[i] = {platform::U16(std::to_string(100000 + i)),
                                u"N" + platform::U16(std::to_string(i))};
  dev.simCard().entries[1] = {u"1234567890123456789012345678901234", std::u16string(40, u'x')};
  Boot();
  Wait(8000);  // 255 radio round trips on the thread that fills the cache
  int cached = 0;
  InDaemon([&] { cached = pim::SimCachedEntries(); });
  EXPECT_EQ(cached, 255);
  EXPECT_EQ(Lookup(u"100255"), u"N255");
  EXPECT_EQ(Lookup(u"100256"), u"");
  EXPECT_EQ(Lookup(u"12345678901234567890123456789"), std::u16string(29, u'x'));
}

TEST(SimNumbers, MatchRule) {
  EXPECT_TRUE(pim::SimNumbersMatch(u"12", u"0012"));
  EXPECT_FALSE(pim::SimNumbersMatch(u"1", u"01"));
  EXPECT_FALSE(pim::SimNumbersMatch(u"0012", u"12"));
  EXPECT_TRUE(pim::SimNumbersMatch(u"", u""));
}

// The application object, a folder and its IItem face: counts go up and down by one and the
// objects are gone when the last reference is released.
TEST(Poom, ReferenceCountsReleaseEveryObject) {
  sim::Device dev;
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  IPOutlookApp* app = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp2,
                             reinterpret_cast<void**>(&app)),
            S_OK);
  EXPECT_EQ(dev.com().liveObjects, 1);
  IFolder* folder = nullptr;
  EXPECT_EQ(app->GetDefaultFolder(olFolderCalendar, &folder), E_FAIL);  // not logged on
  ASSERT_EQ(app->Logon(0x1234), S_OK);
  ASSERT_EQ(app->GetDefaultFolder(olFolderCalendar, &folder), S_OK);
  EXPECT_EQ(app->AddRef(), 3u);  // the caller's and the folder's
  EXPECT_EQ(app->Release(), 2u);
  IItem* item = nullptr;
  ASSERT_EQ(folder->QueryInterface(IID_IItem, reinterpret_cast<void**>(&item)), S_OK);
  void* none = &item;
  EXPECT_EQ(folder->QueryInterface(IID_ITask, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  CEPROPVAL v{PIMPR_FOLDERNOTIFICATIONS, 0, 0, PIMFOLDERNOTIFICATION_REMOTE};
  EXPECT_EQ(item->SetProps(0, 1, &v), S_OK);
  EXPECT_EQ(folder->Release(), 1u);
  EXPECT_EQ(item->Release(), 0u);
  EXPECT_EQ(dev.com().liveObjects, 1);  // the folder let go of the application
  EXPECT_EQ(app->Logoff(), S_OK);
  EXPECT_EQ(app->Release(), 0u);
  EXPECT_EQ(dev.com().liveObjects, 0);
  // Released without a logoff, the session ends with the object.
  ASSERT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp2,
                             reinterpret_cast<void**>(&app)),
            S_OK);
  ASSERT_EQ(app->Logon(0x1234), S_OK);
  EXPECT_EQ(dev.pim().Logons(), 1);
  EXPECT_EQ(app->Release(), 0u);
  EXPECT_EQ(dev.pim().Logons(), 0);
  CoUninitialize();
}

TEST(Poom, RestrictionGrammar) {
  for (const char16_t* good :
       {u"[End] > \"06/01/2008 00:00\"", u"[Complete] = FALSE AND [DueDate] = \"06/01/2008 00:00\"",
        u"[Subject] = \"Lunch\" OR [Location] <> \"Home\"", u"[Importance] >= 1",
        u"[DueDate] <= \"12/31/2008\""})
    EXPECT_TRUE(sim::ParseRestriction(good)) << platform::U8(good);
  for (const char16_t* bad :
       {u"[End] > <39600.5 ", u"[Complete] = FALSE AND [DueDate] = <39600", u"[End] > 39600.5",
        u"[Nope] = 1", u"[Subject] = Lunch", u"[Start] > \"2008-06-01 00:00\"",
        u"[Complete] = FALSE AND", u"([Importance] = 1)", u""})
    EXPECT_FALSE(sim::ParseRestriction(bad)) << platform::U8(bad);

  sim::PimItem lunch;
  lunch.folder = olFolderCalendar;
  lunch.subject = u"Lunch";
  SYSTEMTIME st{2008, 6, 0, 1, 12, 0, 0, 0};
  SystemTimeToVariantTime(&st, &lunch.start);
  lunch.end = lunch.start + 1.0 / 24;
  auto matches = [&](const char16_t* text) { return sim::ParseRestriction(text)->Matches(lunch); };
  EXPECT_TRUE(matches(u"[End] > \"06/01/2008 12:59\""));
  EXPECT_FALSE(matches(u"[End] > \"06/01/2008 13:00\""));
  EXPECT_TRUE(matches(u"[subject] = \"LUNCH\" AND [Start] = \"06/01/2008 12:00\""));
  EXPECT_FALSE(matches(u"[DueDate] <> \"06/01/2008\""));  // an appointment has no due date
  EXPECT_TRUE(matches(u"[Complete] = TRUE OR [AllDayEvent] = FALSE"));
}

}  // namespace
