// The caller's name from the contacts and the SIM, the object model's reference counting, the
// restriction grammar of item collections, and the store's indexed answers where order and
// bounds are easy to get wrong.
#include <cstring>
#include <deque>

#include "pim/com_ref.h"
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

// A program logged on to the store, asking it what the daemon and other programs ask.
class PoomQueries : public ::testing::Test {
 protected:
  void SetUp() override {
    dev.SetClock(SYSTEMTIME{2008, 6, 0, 1, 7, 0, 0, 0});
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp2,
                               app.OutVoid()),
              S_OK);
    ASSERT_EQ(app->Logon(0), S_OK);
  }
  void TearDown() override {
    app.Reset();
    CoUninitialize();
    EXPECT_EQ(dev.com().liveObjects, 0);
  }

  static DATE At(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0) {
    SYSTEMTIME st{year, month, 0, day, hour, minute, 0, 0};
    DATE d = 0;
    SystemTimeToVariantTime(&st, &d);
    return d;
  }
  LONG Add(int folder, std::u16string subject, DATE start, DATE end, bool yearly = false) {
    sim::PimItem item;
    item.folder = folder;
    item.subject = std::move(subject);
    item.start = item.seriesStart = start;
    item.end = end;
    item.yearly = yearly;
    item.allDay = end - start == 1.0;
    return dev.pim().Add(item);
  }
  LONG Task(std::u16string subject, DATE due, bool complete = false) {
    sim::PimItem item;
    item.folder = olFolderTasks;
    item.subject = std::move(subject);
    item.due = due;
    item.complete = complete;
    return dev.pim().Add(item);
  }
  std::u16string Shell(const char16_t* key, const char16_t* name) {
    auto v = dev.registry().GetValue(key, name);
    if (!v) return u"(none)";
    if (v->type == REG_DWORD) return platform::U16(std::to_string(v->bytes[0]));
    return std::u16string(reinterpret_cast<const char16_t*>(v->bytes.data()));
  }

  // The folder's items after `steps` in turn: "sort [Start]" (" desc" after it: descending),
  // "recur", or a restriction. Subjects, a series' years as "Subject/YYYY"; "-" when a
  // restriction matched nothing.
  std::u16string Query(int folder, const std::vector<std::u16string>& steps) {
    pim::ComRef<IFolder> f;
    std::deque<pim::ComRef<IPOutlookItemCollection>> chain(1);
    EXPECT_EQ(app->GetDefaultFolder(folder, f.Out()), S_OK);
    EXPECT_EQ(f->get_Items(chain.back().Out()), S_OK);
    for (std::u16string step : steps) {
      IPOutlookItemCollection* items = chain.back().get();
      if (step.starts_with(u"sort ")) {
        const bool desc = step.ends_with(u" desc");
        step = step.substr(5, step.find(u']') - 4);
        EXPECT_EQ(items->Sort(step.data(), desc ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
      } else if (step == u"recur") {
        EXPECT_EQ(items->put_IncludeRecurrences(VARIANT_TRUE), S_OK);
      } else {
        EXPECT_EQ(items->Restrict(step.data(), chain.emplace_back().Out()), S_OK)
            << platform::U8(step);
        if (!chain.back()) return u"-";
      }
    }
    return List(chain.back().get());
  }
  std::u16string List(IPOutlookItemCollection* items) {
    int count = 0;
    EXPECT_EQ(items->get_Count(&count), S_OK);
    std::u16string out;
    for (int i = 1; i <= count; ++i) {
      pim::ComRef<IDispatch> item;
      pim::ComRef<IAppointment> appointment;
      pim::ComRef<ITask> task;
      pim::Text subject;
      EXPECT_EQ(items->Item(i, item.Out()), S_OK);
      if (SUCCEEDED(item->QueryInterface(IID_ITask, task.OutVoid()))) {
        task->get_Subject(subject.Out());
        out += (out.empty() ? u"" : u" ") + std::u16string(subject.c_str());
        continue;
      }
      EXPECT_EQ(item->QueryInterface(IID_IAppointment, appointment.OutVoid()), S_OK);
      appointment->get_Subject(subject.Out());
      out += (out.empty() ? u"" : u" ") + std::u16string(subject.c_str());
      VARIANT_BOOL recurring = 0;
      DATE start = 0;
      SYSTEMTIME st{};
      appointment->get_IsRecurring(&recurring);
      appointment->get_Start(&start);
      if (recurring && VariantTimeToSystemTime(start, &st))
        out += u"/" + platform::U16(std::to_string(st.wYear));
    }
    return out;
  }
  std::u16string Caller(const char16_t* number) {
    pim::ComRef<IItem> item;
    pim::ComRef<IContact> contact;
    ULONG propid = 0;
    if (FAILED(FindMatchingContact(app.get(), number, 1, item.Out(), &propid))) return u"";
    pim::Text name;
    item->QueryInterface(IID_IContact, contact.OutVoid());
    contact->get_FileAs(name.Out());
    return name.c_str();
  }

  sim::Device dev;
  pim::ComRef<IPOutlookApp> app;
};

// Equal starts, a yearly series beside single appointments, items that end exactly at a bound,
// edits and deletions, and a collection that outlives a change.
TEST_F(PoomQueries, TheCalendarInStoreOrderOnTiesAndAsItStoodWhenTaken) {
  const LONG late = Add(olFolderCalendar, u"Late", At(2008, 6, 1, 9), At(2008, 6, 1, 10));
  Add(olFolderCalendar, u"Early", At(2008, 6, 1, 6), At(2008, 6, 1, 7));  // ends at the clock
  Add(olFolderCalendar, u"Same", At(2008, 6, 1, 9), At(2008, 6, 1, 9, 30));
  Add(olFolderCalendar, u"Bday", At(1980, 6, 1, 9), At(1980, 6, 1, 10), true);
  const LONG holiday = Add(olFolderCalendar, u"Holiday", At(2008, 6, 1), At(2008, 6, 2));
  Add(olFolderCalendar, u"Past", At(2008, 5, 31, 10), At(2008, 5, 31, 11));
  const char16_t* kApts = u"HKCU\\System\\State\\Appointments";
  const char16_t* kHome = u"HKCU\\System\\State\\Appointments\\HomeScreen";
  EXPECT_EQ(Shell(kApts, u"Current"), u"Early");  // the first under way in store order
  EXPECT_EQ(Shell(kHome, u"Subject"), u"Holiday");

  const std::u16string today = u"[End] >= \"06/01/2008 07:00\"";
  EXPECT_EQ(Query(olFolderCalendar, {}), u"Late Early Same Bday/1980 Holiday Past");
  EXPECT_EQ(Query(olFolderCalendar, {u"sort [Start]"}), u"Bday/1980 Past Holiday Early Late Same");
  // Sorted before the years are made, a year keeps its series' place among equal starts.
  EXPECT_EQ(Query(olFolderCalendar, {u"sort [Start]", u"recur", today}),
            u"Holiday Early Bday/2008 Late Same Bday/2009");
  EXPECT_EQ(Query(olFolderCalendar, {u"recur", u"sort [Start]", today}),
            u"Holiday Early Late Same Bday/2008 Bday/2009");
  EXPECT_EQ(Query(olFolderCalendar, {u"sort [Start]", u"recur",
                                     u"[End] > \"06/01/2008 07:00\" AND [Start] <= \"06/01/2008 "
                                     u"09:00\""}),
            u"Holiday Bday/2008 Late Same");
  EXPECT_EQ(Query(olFolderCalendar, {u"sort [End] desc", u"[End] < \"06/01/2008 10:00\""}),
            u"Same Early Past Bday/1980");
  EXPECT_EQ(Query(olFolderCalendar,
                  {u"sort [Start]", u"sort [End]", u"recur", u"[Start] >= \"06/01/2008 00:00\""}),
            u"Early Same Late Bday/2008 Holiday Bday/2009");
  // Restricted before the years are made: every year of the series that matched.
  EXPECT_EQ(Query(olFolderCalendar, {u"[IsRecurring] = TRUE", u"recur"}).size(), 30 * 10 - 1u);
  EXPECT_EQ(Query(olFolderCalendar, {u"[Subject] = \"Nobody\""}), u"-");

  // A collection reads the calendar as it was; Late moves before Early, Holiday goes.
  pim::ComRef<IFolder> folder;
  pim::ComRef<IPOutlookItemCollection> before;
  ASSERT_EQ(app->GetDefaultFolder(olFolderCalendar, folder.Out()), S_OK);
  ASSERT_EQ(folder->get_Items(before.Out()), S_OK);
  ASSERT_EQ(before->Sort(const_cast<WCHAR*>(u"[Start]"), VARIANT_FALSE), S_OK);
  dev.pim().Change(late, [&](sim::PimItem& i) { i.start = At(2008, 6, 1, 5), i.end = i.start; });
  dev.pim().Remove(holiday);
  EXPECT_EQ(List(before.get()), u"Bday/1980 Past Holiday Early Late Same");
  EXPECT_EQ(Query(olFolderCalendar, {u"sort [Start]"}), u"Bday/1980 Past Late Early Same");
  EXPECT_EQ(Shell(kHome, u"Subject"), u"Early");  // Late ended at 05:00
  ASSERT_TRUE(dev.RunFor(2 * 3600 * 1000));       // 09:00
  dev.pim().Change(late, [&](sim::PimItem& i) { i.end = At(2008, 6, 1, 9); });
  EXPECT_EQ(Shell(kApts, u"Current"), u"Late");
  EXPECT_EQ(Shell(kHome, u"Subject"), u"Late");
  dev.pim().Remove(late);
  EXPECT_EQ(Shell(kApts, u"Current"), u"Same");
  ASSERT_TRUE(dev.RunFor(3600 * 1000));  // 10:00: Same is over, and so is the day
  dev.pim().Change(late + 1, [](sim::PimItem&) {});
  EXPECT_EQ(Shell(kApts, u"Current"), u"");
  EXPECT_EQ(Shell(kHome, u"Subject"), u"");
}

// Open tasks by due date with their counts, completion and due dates changed, a restriction
// the task index cannot answer; and the caller lookup where two contacts share a number's
// ending.
TEST_F(PoomQueries, OpenTasksByDueDateAndContactsByTheirNumbersEnding) {
  const DATE today = At(2008, 6, 1);
  Task(u"A", At(2008, 6, 3));
  const LONG b = Task(u"B", today);
  Task(u"C", DATE_NONE);
  const LONG d = Task(u"D", today);
  Task(u"E", today, true);
  const char16_t* kTasks = u"HKCU\\System\\State\\Tasks";
  EXPECT_EQ(Shell(kTasks, u"Active"), u"4");
  EXPECT_EQ(Shell(kTasks, u"Due Today"), u"2");
  const std::u16string open = u"[Complete] = FALSE", due = u" AND [DueDate] = \"06/01/2008\"";
  EXPECT_EQ(Query(olFolderTasks, {u"recur", open}), u"A B C D");
  EXPECT_EQ(Query(olFolderTasks, {u"recur", open, u"sort [DueDate]"}), u"B D A C");
  EXPECT_EQ(Query(olFolderTasks, {open + due, u"sort [DueDate]"}), u"B D");
  EXPECT_EQ(Query(olFolderTasks, {open + u" AND [DueDate] > \"06/01/2008\""}), u"A C");
  EXPECT_EQ(Query(olFolderTasks, {open + u" AND [DueDate] < \"06/01/2008\""}), u"-");
  EXPECT_EQ(Query(olFolderTasks, {u"[Complete] = TRUE OR [Subject] = \"a\""}), u"A E");

  dev.pim().Change(b, [](sim::PimItem& i) { i.complete = true; });
  dev.pim().Change(d, [](sim::PimItem& i) { i.due = DATE_NONE; });
  EXPECT_EQ(Shell(kTasks, u"Active"), u"3");
  EXPECT_EQ(Shell(kTasks, u"Due Today"), u"0");
  EXPECT_EQ(Query(olFolderTasks, {open, u"sort [DueDate]"}), u"A C D");
  EXPECT_EQ(Query(olFolderTasks, {open + due}), u"-");
  EXPECT_EQ(dev.pim().FindBySubject(olFolderTasks, u"B")->oid, b);  // completed, still there
  // The shell's key deleted: the next change writes it again.
  ASSERT_TRUE(dev.registry().DeleteKey(kTasks));
  dev.pim().Change(d, [&](sim::PimItem& i) { i.due = today; });
  EXPECT_EQ(Shell(kTasks, u"Active"), u"3");
  EXPECT_EQ(Shell(kTasks, u"Due Today"), u"1");

  sim::PimItem contact;
  contact.folder = olFolderContacts;
  for (auto [name, number] : {std::pair{u"Anna", u"+49 170 1234567"},
                              {u"Ben", u"0170-1234567"},
                              {u"Cy", u"555"},
                              {u"Dee", u"12345678"}}) {
    contact.name = name;
    contact.numbers = {number};
    dev.pim().Add(contact);
  }
  EXPECT_EQ(Caller(u"1234567"), u"Anna");  // seven digits in common: the first of the two
  EXPECT_EQ(Caller(u"+44 9 1234567"), u"Anna");
  EXPECT_EQ(Caller(u"234567"), u"");  // six in common, not equal
  EXPECT_EQ(Caller(u"912345678"), u"Dee");
  EXPECT_EQ(Caller(u"555"), u"Cy");
  EXPECT_EQ(Caller(u"0555"), u"");
  dev.pim().Remove(dev.pim().FindBySubject(olFolderContacts, u"Anna")->oid);
  EXPECT_EQ(Caller(u"1234567"), u"Ben");
  dev.pim().Change(dev.pim().FindBySubject(olFolderContacts, u"Cy")->oid, [](sim::PimItem& i) {
    i.numbers = {u"999", u"(0) 55"};
  });
  EXPECT_EQ(Caller(u"555"), u"");
  EXPECT_EQ(Caller(u"055"), u"Cy");
}

}  // namespace
