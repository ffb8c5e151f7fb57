// The simulated message store as programs see it through MAPI: the order of an inbox's rows in
// the awkward cases (equal and missing delivery times, sorts one after another, messages read or
// arriving while a table is open, two stores of one name) and the unread counts it publishes.
#include <string>
#include <vector>

#include "platform/mapi.h"
#include "platform/sim/mapi_model.h"
#include "platform/wstr.h"
#include "sim_fixture.h"

namespace {

// TABLE_SORT_ASCEND, an order the daemon never asks for.
constexpr ULONG kAscend = 0;
constexpr char16_t kSmsCount[] = u"HKEY_CURRENT_USER\\System\\State\\Messages\\SMS\\Unread";

// The inbox of the nth store of the session's store table, as GetContentsTable hands it out.
IMAPITable* Contents(IMAPISession* session, int nth) {
  IMAPITable* stores = nullptr;
  EXPECT_EQ(session->GetMsgStoresTable(0, &stores), S_OK);
  SizedSPropTagArray<1> idOnly{1, {PR_ENTRYID}};
  stores->SetColumns(reinterpret_cast<const SPropTagArray*>(&idOnly), 0);
  SRowSet* rows = nullptr;
  for (int i = 0; i <= nth; ++i) {
    FreeProws(rows);
    stores->QueryRows(1, 0, &rows);
  }
  stores->Release();
  const SBinary& id = rows->aRow[0].lpProps[0].Value.bin;
  IMsgStore* store = nullptr;
  session->OpenMsgStore(0, id.cb, reinterpret_cast<const ENTRYID*>(id.lpb), nullptr, 0, &store);
  FreeProws(rows);
  ULONG size = 0;
  LPENTRYID folderId = nullptr;
  store->GetReceiveFolder(nullptr, MAPI_UNICODE, &size, &folderId, nullptr);
  IUnknown* entry = nullptr;
  ULONG type = 0;
  store->OpenEntry(size, folderId, nullptr, 0, &type, &entry);
  MAPIFreeBuffer(folderId);
  store->Release();
  IMAPIFolder* folder = nullptr;
  entry->QueryInterface(IID_IMAPIFolder, reinterpret_cast<void**>(&folder));
  entry->Release();
  IMAPITable* table = nullptr;
  EXPECT_EQ(folder->GetContentsTable(MAPI_UNICODE, &table), S_OK);
  folder->Release();
  SizedSPropTagArray<2> columns{2, {PR_SUBJECT_W, PR_MESSAGE_FLAGS}};
  table->SetColumns(reinterpret_cast<const SPropTagArray*>(&columns), 0);
  return table;
}

void Sort(IMAPITable* table, ULONG tag, ULONG order) {
  SSortOrderSet by{1, 0, 0, {{tag, order}}};
  EXPECT_EQ(table->SortTable(&by, 0), S_OK);
}

// The rows from where the table stands to its end, `batch` at a time: each subject, with "*"
// after a read one; the sizes of the batches go to `batches`.
std::string Rest(IMAPITable* table, LONG batch = 1, std::vector<ULONG>* batches = nullptr) {
  std::string out;
  for (;;) {
    SRowSet* rows = nullptr;
    EXPECT_EQ(table->QueryRows(batch, 0, &rows), S_OK);
    ULONG n = rows->cRows;
    if (batches) batches->push_back(n);
    for (ULONG i = 0; i < n; ++i) {
      const SPropValue* p = rows->aRow[i].lpProps;
      out += p[0].ulPropTag == PR_SUBJECT_W ? platform::U8(platform::WView(p[0].Value.lpszW)) : "?";
      if (p[1].Value.l & MSGFLAG_READ) out += "*";
      out += " ";
    }
    FreeProws(rows);
    if (n == 0) return out;
  }
}

std::string Names(const std::vector<const sim::MapiMessage*>& inbox) {
  std::string out;
  for (const sim::MapiMessage* m : inbox) out += platform::U8(*m->subject) + " ";
  return out;
}

class SimMapi : public SimTest {
 protected:
  void Arrive(const char16_t* subject, std::optional<uint64_t> time, ULONG flags = 0) {
    sim::MapiMessage m;
    m.subject = subject;
    m.time = time;
    m.flags = flags;
    ASSERT_TRUE(dev.mapi().Arrive(dev, u"SMS", std::move(m), false));
  }
  void SetRead(uint32_t id, bool read) {
    sim::MapiStore* store = nullptr;
    sim::MapiMessage* m = dev.mapi().MessageById(id, &store);
    ASSERT_NE(m, nullptr);
    dev.mapi().SetRead(dev, *store, *m, read);
  }
  uint32_t Count() {
    auto v = dev.registry().GetValue(kSmsCount, u"Count");
    return v && v->bytes.size() == 4 ? v->bytes[0] : 99;
  }
};

TEST_F(SimMapi, InboxOrderAndCounts) {
  // Messages 1-6: equal times, no time at all, one already read.
  Arrive(u"a", 20);
  Arrive(u"b", 10);
  Arrive(u"c", std::nullopt);
  Arrive(u"d", 20);
  Arrive(u"e", 10, MSGFLAG_READ);
  Arrive(u"f", std::nullopt);
  EXPECT_EQ(Count(), 5u);
  Run(u"reader.exe", [&] {
    MAPIInitialize(nullptr);
    IMAPISession* session = nullptr;
    MAPILogonEx(0, nullptr, nullptr, 0, &session);

    IMAPITable* t = Contents(session, 0);
    EXPECT_EQ(Rest(t), "a b c d e* f ");  // unsorted: as they arrived
    // Newest first, as the daemon asks: no time above every time, later arrivals first.
    Sort(t, PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_DESCEND);
    std::vector<ULONG> batches;
    EXPECT_EQ(Rest(t, 4, &batches), "f c d a e* b ");
    EXPECT_EQ(batches, (std::vector<ULONG>{4, 2, 0}));
    // A second sort starts from the first one's order, so equal keys turn round.
    Sort(t, PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_DESCEND);
    EXPECT_EQ(Rest(t), "c f a d b e* ");
    t->Release();

    t = Contents(session, 0);
    Sort(t, PR_MESSAGE_DELIVERY_TIME, kAscend);
    EXPECT_EQ(Rest(t), "b e* a d c f ");
    Sort(t, PR_SUBJECT_W, TABLE_SORT_DESCEND);
    EXPECT_EQ(Rest(t), "f e* d c b a ");
    t->Release();

    // A table shows the inbox as it was when opened: what is read or arrives later is not in it.
    t = Contents(session, 0);
    Sort(t, PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_DESCEND);
    SRowSet* first = nullptr;
    t->QueryRows(2, 0, &first);
    FreeProws(first);
    SetRead(4, true);
    SetRead(5, false);
    SetRead(4, false);
    SetRead(4, true);
    Arrive(u"i", 30);
    EXPECT_EQ(Rest(t), "d a e* b ");
    t->Release();
    t = Contents(session, 0);
    Sort(t, PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_DESCEND);
    EXPECT_EQ(Rest(t), "f c i d* a e b ");
    t->Release();
    EXPECT_EQ(Count(), 6u);

    // A second store of the same name takes the arrivals from now on; each table holds its own
    // store, the model's inbox and the count both, and a message opens only from its own store.
    dev.mapi().AddStore(u"SMS");
    Arrive(u"g", 20);
    Arrive(u"h", std::nullopt, MSGFLAG_READ);
    EXPECT_EQ(Count(), 7u);
    t = Contents(session, 2);
    Sort(t, PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_DESCEND);
    EXPECT_EQ(Rest(t), "h* g ");
    t->Release();
    EXPECT_EQ(Names(dev.mapi().Inbox(u"SMS")), "h f c i g d a e b ");
    EXPECT_TRUE(dev.mapi().ReadNewest(dev, u"SMS"));  // f: h is read already
    EXPECT_TRUE(dev.mapi().ReadNewest(dev, u"SMS"));  // c
    EXPECT_TRUE(dev.mapi().ReadNewest(dev, u"SMS"));  // i
    EXPECT_TRUE(dev.mapi().ReadNewest(dev, u"SMS"));  // g, in the second store
    EXPECT_EQ(Count(), 3u);
    t = Contents(session, 0);
    Sort(t, PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_DESCEND);
    EXPECT_EQ(Rest(t), "f* c* i* d* a e b ");
    t->Release();

    IMAPITable* stores = nullptr;
    session->GetMsgStoresTable(0, &stores);
    SizedSPropTagArray<1> idOnly{1, {PR_ENTRYID}};
    stores->SetColumns(reinterpret_cast<const SPropTagArray*>(&idOnly), 0);
    SRowSet* row = nullptr;
    stores->QueryRows(1, 0, &row);
    const SBinary& id = row->aRow[0].lpProps[0].Value.bin;
    IMsgStore* store = nullptr;
    session->OpenMsgStore(0, id.cb, reinterpret_cast<const ENTRYID*>(id.lpb), nullptr, 0, &store);
    FreeProws(row);
    stores->Release();
    std::vector<BYTE> gId{0, 0, 0, 0, 3, 0, 0, 0, 8, 0, 0, 0};  // message 8: g
    IUnknown* entry = nullptr;
    ULONG type = 0;
    EXPECT_EQ(store->OpenEntry(12, reinterpret_cast<const ENTRYID*>(gId.data()), nullptr, 0, &type,
                               &entry),
              MAPI_E_NOT_FOUND);
    gId[8] = 4;  // message 4: d, in this store
    EXPECT_EQ(store->OpenEntry(12, reinterpret_cast<const ENTRYID*>(gId.data()), nullptr, 0, &type,
                               &entry),
              S_OK);
    entry->Release();
    store->Release();

    session->Logoff(0, 0, 0);
    session->Release();
    MAPIUninitialize();
    return 0;
  });
  ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
  EXPECT_EQ(dev.mapi().liveBuffers, 0);
  EXPECT_EQ(Count(), 3u);
  // A count someone else wrote is put right by the next arrival, even one that changes nothing.
  dev.registry().SetValue(kSmsCount, u"Count", REG_DWORD, {9, 0, 0, 0});
  Arrive(u"j", 5, MSGFLAG_READ);
  EXPECT_EQ(Count(), 3u);
}

}  // namespace
