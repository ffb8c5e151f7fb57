// The device's messaging system (CE MAPI): a session, its table of message stores, each store's
// receive folder and contents table, and messages whose read flag can be set. Only the methods
// the daemon calls are declared, in their real relative order; objects follow the COM reference
// rules of platform/com.h.
#pragma once

#include "platform/com.h"

using ULONG_PTR = uintptr_t;
using SCODE = int32_t;

constexpr HRESULT MAPI_E_NOT_FOUND = static_cast<HRESULT>(0x8004010Fu);
constexpr HRESULT MAPI_E_INVALID_ENTRYID = static_cast<HRESULT>(0x80040107u);
constexpr HRESULT MAPI_E_NOT_INITIALIZED = static_cast<HRESULT>(0x80040605u);
constexpr HRESULT MAPI_E_INVALID_PARAMETER = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT MAPI_E_NO_SUPPORT = static_cast<HRESULT>(0x80040102u);

constexpr ULONG MAPI_UNICODE = 0x80000000u;
constexpr ULONG MAPI_BEST_ACCESS = 0x00000010u;
constexpr ULONG MAPI_MODIFY = 0x00000001u;
constexpr ULONG MDB_NO_DIALOG = 0x00000001u;
constexpr ULONG TABLE_SORT_DESCEND = 1;

// Property tags: the identifier in the high word, the type in the low word.
constexpr ULONG PT_LONG = 0x0003;
constexpr ULONG PT_ERROR = 0x000A;
constexpr ULONG PT_UNICODE = 0x001F;
constexpr ULONG PT_SYSTIME = 0x0040;
constexpr ULONG PT_BINARY = 0x0102;
constexpr ULONG PROP_TYPE(ULONG tag) {
  return tag & 0xFFFF;
}
constexpr ULONG PROP_ID(ULONG tag) {
  return tag >> 16;
}
constexpr ULONG PROP_TAG(ULONG type, ULONG id) {
  return id << 16 | type;
}

constexpr ULONG PR_DISPLAY_NAME_W = 0x3001001F;
constexpr ULONG PR_ENTRYID = 0x0FFF0102;
constexpr ULONG PR_MESSAGE_FLAGS = 0x0E070003;
constexpr ULONG PR_MESSAGE_DELIVERY_TIME = 0x0E060040;
constexpr ULONG PR_SENDER_NAME_W = 0x0C1A001F;
constexpr ULONG PR_SUBJECT_W = 0x0037001F;
constexpr ULONG PR_SENDER_EMAIL_ADDRESS_W = 0x0C1F001F;

constexpr ULONG MSGFLAG_READ = 0x01;
constexpr ULONG MSGFLAG_UNMODIFIED = 0x02;
constexpr ULONG MSGFLAG_UNSENT = 0x08;
constexpr ULONG MSGFLAG_HASATTACH = 0x10;
constexpr ULONG MSGFLAG_FROMME = 0x20;

struct ENTRYID {
  BYTE abFlags[4];
  BYTE ab[1];
};
using LPENTRYID = ENTRYID*;

struct SBinary {
  ULONG cb;
  BYTE* lpb;
};

union PV {
  LONG l;
  SCODE err;
  FILETIME ft;
  WCHAR* lpszW;
  SBinary bin;
};

struct SPropValue {
  ULONG ulPropTag;
  ULONG dwAlignPad;
  PV Value;
};

// A tag array of a fixed size, as SizedSPropTagArray declares it.
template <ULONG N>
struct SizedSPropTagArray {
  ULONG cValues = N;
  ULONG aulPropTag[N];
};
struct SPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[1];
};

struct SSortOrder {
  ULONG ulPropTag;
  ULONG ulOrder;
};
struct SSortOrderSet {
  ULONG cSorts;
  ULONG cCategories;
  ULONG cExpanded;
  SSortOrder aSort[1];
};

struct SRow {
  ULONG ulAdrEntryPad;
  ULONG cValues;
  SPropValue* lpProps;
};
struct SRowSet {
  ULONG cRows;
  SRow aRow[1];
};

struct SPropProblemArray;

constexpr IID IID_IMAPISession{0x00020300, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IMAPITable{0x00020301, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IMAPIProp{0x00020303, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IMsgStore{0x00020306, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IMessage{0x00020307, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IMAPIContainer{0x0002030B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IMAPIFolder{0x0002030C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IMAPITable : public IUnknown {
 public:
  virtual HRESULT SetColumns(const SPropTagArray* columns, ULONG flags) = 0;
  virtual HRESULT SortTable(const SSortOrderSet* order, ULONG flags) = 0;
  // Rows in a buffer of MAPIAllocateBuffer; cRows 0 at the end. Freed with FreeProws.
  virtual HRESULT QueryRows(LONG rowCount, ULONG flags, SRowSet** rows) = 0;

 protected:
  ~IMAPITable() = default;
};

class IMAPIProp : public IUnknown {
 public:
  virtual HRESULT SaveChanges(ULONG flags) = 0;
  virtual HRESULT SetProps(ULONG count, const SPropValue* props, SPropProblemArray** problems) = 0;

 protected:
  ~IMAPIProp() = default;
};

class IMAPIContainer : public IMAPIProp {
 public:
  virtual HRESULT GetContentsTable(ULONG flags, IMAPITable** table) = 0;

 protected:
  ~IMAPIContainer() = default;
};

class IMAPIFolder : public IMAPIContainer {
 protected:
  ~IMAPIFolder() = default;
};

class IMessage : public IMAPIProp {
 protected:
  ~IMessage() = default;
};

class IMsgStore : public IMAPIProp {
 public:
  virtual HRESULT OpenEntry(ULONG entryIdSize, const ENTRYID* entryId, const IID* iid, ULONG flags,
                            ULONG* objectType, IUnknown** object) = 0;
  // The receive folder's entry id in a buffer of MAPIAllocateBuffer (MAPIFreeBuffer).
  virtual HRESULT GetReceiveFolder(const WCHAR* messageClass, ULONG flags, ULONG* entryIdSize,
                                   LPENTRYID* entryId, WCHAR** explicitClass) = 0;

 protected:
  ~IMsgStore() = default;
};

class IMAPISession : public IUnknown {
 public:
  virtual HRESULT GetMsgStoresTable(ULONG flags, IMAPITable** table) = 0;
  virtual HRESULT OpenMsgStore(ULONG_PTR uiParam, ULONG entryIdSize, const ENTRYID* entryId,
                               const IID* iid, ULONG flags, IMsgStore** store) = 0;
  virtual HRESULT Logoff(ULONG_PTR uiParam, ULONG flags, ULONG reserved) = 0;

 protected:
  ~IMAPISession() = default;
};

constexpr ULONG MAPI_STORE = 1;
constexpr ULONG MAPI_FOLDER = 3;
constexpr ULONG MAPI_MESSAGE = 5;

HRESULT MAPIInitialize(void* reserved);
void MAPIUninitialize();
HRESULT MAPILogonEx(ULONG_PTR uiParam, WCHAR* profile, WCHAR* password, ULONG flags,
                    IMAPISession** session);
SCODE MAPIAllocateBuffer(ULONG size, void** buffer);
ULONG MAPIFreeBuffer(void* buffer);
void FreeProws(SRowSet* rows);
// Shows the message in the mail viewer; returns before the viewer has opened it.
HRESULT MailDisplayMessage(LPENTRYID entryId, ULONG entryIdSize);
