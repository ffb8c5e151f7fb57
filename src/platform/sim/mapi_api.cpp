// The messaging system's objects a program reaches from a session: the store table, stores,
// their inbox folders and messages, and the global functions of CEMAPI.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/sim/api.h"
#include "platform/sim/faults.h"
#include "platform/sim/mapi_model.h"
#include "platform/sim/mapi_table.h"

namespace sim {
namespace {

constexpr uint32_t kStore = static_cast<uint32_t>(MapiEntry::Store);
constexpr uint32_t kFolder = static_cast<uint32_t>(MapiEntry::Folder);
constexpr uint32_t kMessage = static_cast<uint32_t>(MapiEntry::Message);

Mapi& Model() {
  return Dev().mapi();
}

template <class Interface>
HRESULT Answer(Interface* self, REFIID riid, std::initializer_list<IID> known, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (auto struck = Strike("IUnknown::QueryInterface")) return static_cast<HRESULT>(*struck);
  bool found = riid == IID_IUnknown;
  for (const IID& iid : known) found = found || riid == iid;
  if (!found) return E_NOINTERFACE;
  self->AddRef();
  *object = self;
  return S_OK;
}

class Message final : public ComObject<IMessage> {
 public:
  explicit Message(uint32_t id) : id_(id) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    return Answer(this, riid, {IID_IMAPIProp, IID_IMessage}, object);
  }
  // The read flag sticks at once; a save is accepted and changes nothing more.
  HRESULT SaveChanges(ULONG) override { return S_OK; }
  HRESULT SetProps(ULONG count, const SPropValue* props, SPropProblemArray** problems) override {
    if (auto struck = Strike("IMessage::SetProps")) return static_cast<HRESULT>(*struck);
    if (problems) *problems = nullptr;
    if (!props || count == 0) return MAPI_E_INVALID_PARAMETER;
    MapiStore* store = nullptr;
    MapiMessage* m = Model().MessageById(id_, &store);
    if (!m) return MAPI_E_NOT_FOUND;
    for (ULONG i = 0; i < count; ++i)
      if (props[i].ulPropTag == PR_MESSAGE_FLAGS)
        Model().SetRead(Dev(), *store, *m, (props[i].Value.l & MSGFLAG_READ) != 0);
    return S_OK;
  }

 private:
  uint32_t id_;
};

class Folder final : public ComObject<IMAPIFolder> {
 public:
  explicit Folder(uint32_t store) : store_(store) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    return Answer(this, riid, {IID_IMAPIProp, IID_IMAPIContainer, IID_IMAPIFolder}, object);
  }
  HRESULT SaveChanges(ULONG) override { return S_OK; }
  HRESULT SetProps(ULONG, const SPropValue*, SPropProblemArray**) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT GetContentsTable(ULONG, IMAPITable** table) override {
    if (auto struck = Strike("IMAPIFolder::GetContentsTable")) return static_cast<HRESULT>(*struck);
    if (!table) return MAPI_E_INVALID_PARAMETER;
    *table = nullptr;
    MapiStore* store = Model().StoreById(store_);
    if (!store) return MAPI_E_NOT_FOUND;
    *table = new MapiTable(std::make_unique<MapiInboxView>(Model(), *store));
    return S_OK;
  }

 private:
  uint32_t store_;
};

class MsgStore final : public ComObject<IMsgStore> {
 public:
  explicit MsgStore(uint32_t id) : id_(id) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    return Answer(this, riid, {IID_IMAPIProp, IID_IMsgStore}, object);
  }
  HRESULT SaveChanges(ULONG) override { return S_OK; }
  HRESULT SetProps(ULONG, const SPropValue*, SPropProblemArray**) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT OpenEntry(ULONG size, const ENTRYID* id, const IID*, ULONG, ULONG* type,
                    IUnknown** object) override {
    if (auto struck = Strike("IMsgStore::OpenEntry")) return static_cast<HRESULT>(*struck);
    if (!object) return MAPI_E_INVALID_PARAMETER;
    *object = nullptr;
    uint32_t kind = 0, number = 0;
    if (!ReadEntryId(id, size, &kind, &number)) return MAPI_E_INVALID_ENTRYID;
    MapiStore* owner = nullptr;
    if (kind == kFolder && number == id_) {
      *object = new Folder(id_);
      if (type) *type = MAPI_FOLDER;
      return S_OK;
    }
    if (kind == kMessage && Model().MessageById(number, &owner) && owner->id == id_) {
      *object = new Message(number);
      if (type) *type = MAPI_MESSAGE;
      return S_OK;
    }
    return MAPI_E_NOT_FOUND;
  }
  // Every message class is received in the inbox.
  HRESULT GetReceiveFolder(const WCHAR*, ULONG, ULONG* size, LPENTRYID* id,
                           WCHAR** explicitClass) override {
    if (auto struck = Strike("IMsgStore::GetReceiveFolder")) return static_cast<HRESULT>(*struck);
    if (!size || !id) return MAPI_E_INVALID_PARAMETER;
    if (explicitClass) *explicitClass = nullptr;
    std::vector<BYTE> bytes = MakeEntryId(kFolder, id_);
    void* block = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(bytes.size()), &block) != S_OK) return E_OUTOFMEMORY;
    std::memcpy(block, bytes.data(), bytes.size());
    *id = static_cast<LPENTRYID>(block);
    *size = static_cast<ULONG>(bytes.size());
    return S_OK;
  }

 private:
  uint32_t id_;
};

class Session final : public ComObject<IMAPISession> {
 public:
  Session() { ++Model().sessions; }
  ~Session() override { Logoff(0, 0, 0); }
  HRESULT QueryInterface(REFIID riid, void** object) override {
    return Answer(this, riid, {IID_IMAPISession}, object);
  }
  HRESULT GetMsgStoresTable(ULONG, IMAPITable** table) override {
    if (auto struck = Strike("IMAPISession::GetMsgStoresTable"))
      return static_cast<HRESULT>(*struck);
    if (!table) return MAPI_E_INVALID_PARAMETER;
    std::vector<MapiRow> rows;
    for (const auto& s : Model().Stores())
      rows.push_back({{PR_DISPLAY_NAME_W, s.name}, {PR_ENTRYID, MakeEntryId(kStore, s.id)}});
    *table = new MapiTable(std::move(rows));
    return S_OK;
  }
  HRESULT OpenMsgStore(ULONG_PTR, ULONG size, const ENTRYID* id, const IID*, ULONG,
                       IMsgStore** store) override {
    if (auto struck = Strike("IMAPISession::OpenMsgStore")) return static_cast<HRESULT>(*struck);
    if (!store) return MAPI_E_INVALID_PARAMETER;
    *store = nullptr;
    uint32_t kind = 0, number = 0;
    if (!ReadEntryId(id, size, &kind, &number) || kind != kStore) return MAPI_E_INVALID_ENTRYID;
    if (!Model().StoreById(number)) return MAPI_E_NOT_FOUND;
    *store = new MsgStore(number);
    return S_OK;
  }
  HRESULT Logoff(ULONG_PTR, ULONG, ULONG) override {
    if (!loggedOn_) return S_OK;
    loggedOn_ = false;
    --Model().sessions;
    Dev().Note("mapi logoff");
    return S_OK;
  }

 private:
  bool loggedOn_ = true;
};

Process* Caller() {
  Thread* self = Self();
  return self ? self->process : nullptr;
}

}  // namespace
}  // namespace sim

HRESULT MAPIInitialize(void*) {
  if (auto struck = sim::Strike("MAPIInitialize")) return static_cast<HRESULT>(*struck);
  ++sim::Model().initialized[sim::Caller()];
  return S_OK;
}

void MAPIUninitialize() {
  auto& counts = sim::Model().initialized;
  auto it = counts.find(sim::Caller());
  if (it != counts.end() && --it->second == 0) counts.erase(it);
}

HRESULT MAPILogonEx(ULONG_PTR, WCHAR*, WCHAR*, ULONG, IMAPISession** session) {
  if (auto struck = sim::Strike("MAPILogonEx")) return static_cast<HRESULT>(*struck);
  if (!session) return MAPI_E_INVALID_PARAMETER;
  *session = nullptr;
  if (!sim::Model().initialized.count(sim::Caller())) return MAPI_E_NOT_INITIALIZED;
  *session = new sim::Session();
  sim::Dev().Note("mapi logon");
  return S_OK;
}

SCODE MAPIAllocateBuffer(ULONG size, void** buffer) {
  if (!buffer) return MAPI_E_INVALID_PARAMETER;
  *buffer = std::calloc(1, size ? size : 1);
  if (!*buffer) return E_OUTOFMEMORY;
  ++sim::Model().liveBuffers;
  return S_OK;
}

ULONG MAPIFreeBuffer(void* buffer) {
  if (!buffer) return S_OK;
  --sim::Model().liveBuffers;
  std::free(buffer);
  return S_OK;
}

void FreeProws(SRowSet* rows) {
  if (!rows) return;
  for (ULONG i = 0; i < rows->cRows; ++i) MAPIFreeBuffer(rows->aRow[i].lpProps);
  MAPIFreeBuffer(rows);
}

HRESULT MailDisplayMessage(LPENTRYID entryId, ULONG entryIdSize) {
  if (auto struck = sim::Strike("MailDisplayMessage")) return static_cast<HRESULT>(*struck);
  uint32_t kind = 0, number = 0;
  if (!sim::ReadEntryId(entryId, entryIdSize, &kind, &number) || kind != sim::kMessage)
    return MAPI_E_INVALID_ENTRYID;
  sim::MapiStore* store = nullptr;
  if (!sim::Model().MessageById(number, &store)) return MAPI_E_NOT_FOUND;
  std::string name = store->traceName;
  // The viewer opens the message after the call has returned and, as the device's does, marks
  // it read, which lowers the store's unread count.
  sim::Device& dev = sim::Dev();
  dev.At(dev.Now(), [&dev, number, name] {
    sim::MapiStore* owner = nullptr;
    sim::MapiMessage* m = dev.mapi().MessageById(number, &owner);
    if (!m) return;
    m->shown = true;
    dev.Note("mapi show " + name);
    dev.mapi().SetRead(dev, *owner, *m, true);
  });
  return S_OK;
}
