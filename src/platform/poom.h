// The Pocket Outlook Object Model (pimstore.dll): the application object, folders, item
// collections, appointments, tasks and contacts. Interfaces list their methods in the real
// vtable order; trailing methods the daemon never calls are left out.
#pragma once

#include "platform/com.h"

constexpr CLSID CLSID_Application{
    0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
constexpr IID IID_IPOutlookApp2{
    0xAF7D0DC7, 0x3D35, 0x424B, {0xAA, 0x60, 0x27, 0xA3, 0x8B, 0x8B, 0x62, 0x9E}};
constexpr IID IID_IItem{
    0xFB8998D0, 0x38F0, 0x4D12, {0xAC, 0x56, 0x4E, 0xC8, 0xFC, 0xE9, 0xF3, 0xD5}};
constexpr IID IID_IAppointment{
    0x5B43F691, 0x202C, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
constexpr IID IID_ITask{
    0x37C78CE0, 0x202C, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
constexpr IID IID_IContact{
    0x7F804E40, 0x2010, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};

constexpr int olFolderCalendar = 9;
constexpr int olFolderContacts = 10;
constexpr int olFolderTasks = 13;
constexpr long olRecursYearly = 5;
constexpr long olRecursYearNth = 6;
// The due date of a task that has none: 1 January 4501.
constexpr DATE DATE_NONE = 949998.0;

// Folder notifications: changes made by other programs (REMOTE) or by this one (LOCAL).
constexpr ULONG PIMPR_FOLDERNOTIFICATIONS = 0x10010013;
constexpr ULONG PIMFOLDERNOTIFICATION_REMOTE = 1;
constexpr ULONG PIMFOLDERNOTIFICATION_LOCAL = 2;
constexpr ULONG FMCF_FINDPHONE = 1;

struct CEPROPVAL {
  ULONG propid;
  WORD wLenData;
  WORD wFlags;
  ULONG val;  // the ulVal member of the value union: all the daemon sets
};

class IPOutlookApp;
class IPOutlookItemCollection;

class IFolder : public IDispatch {
 public:
  virtual HRESULT get_Items(IPOutlookItemCollection** items) = 0;
  virtual HRESULT get_DefaultItemType(int* type) = 0;
  virtual HRESULT get_Application(IPOutlookApp** app) = 0;
};

class IPOutlookApp : public IDispatch {
 public:
  virtual HRESULT Logon(long hwnd) = 0;
  virtual HRESULT Logoff() = 0;
  virtual HRESULT get_Version(BSTR* version) = 0;
  virtual HRESULT GetDefaultFolder(int folder, IFolder** out) = 0;
  virtual HRESULT CreateItem(int type, IDispatch** item) = 0;
  virtual HRESULT GetItemFromOid(long oid, IDispatch** item) = 0;
};

class IPOutlookItemCollection : public IDispatch {
 public:
  virtual HRESULT Add(IDispatch** item) = 0;
  virtual HRESULT get_Count(int* count) = 0;
  virtual HRESULT Find(BSTR restriction, IDispatch** item) = 0;
  virtual HRESULT FindNext(IDispatch** item) = 0;
  virtual HRESULT Item(int index, IDispatch** item) = 0;  // 1-based
  virtual HRESULT Remove(int index) = 0;
  // No match is S_OK with a NULL collection.
  virtual HRESULT Restrict(BSTR restriction, IPOutlookItemCollection** out) = 0;
  virtual HRESULT Sort(BSTR property, VARIANT_BOOL descending) = 0;
  virtual HRESULT get_IncludeRecurrences(VARIANT_BOOL* include) = 0;
  virtual HRESULT put_IncludeRecurrences(VARIANT_BOOL include) = 0;
};

class IRecurrencePattern : public IDispatch {
 public:
  virtual HRESULT get_RecurrenceType(long* type) = 0;
  virtual HRESULT get_Interval(long* interval) = 0;
  virtual HRESULT get_DayOfWeekMask(long* mask) = 0;
  virtual HRESULT get_DayOfMonth(long* day) = 0;
  virtual HRESULT get_MonthOfYear(long* month) = 0;
  virtual HRESULT get_Instance(long* instance) = 0;
  virtual HRESULT get_PatternStartDate(DATE* start) = 0;
};

class IAppointment : public IDispatch {
 public:
  virtual HRESULT GetRecurrencePattern(IRecurrencePattern** pattern) = 0;
  virtual HRESULT get_Subject(BSTR* subject) = 0;
  virtual HRESULT get_Location(BSTR* location) = 0;
  virtual HRESULT get_Categories(BSTR* categories) = 0;
  virtual HRESULT get_Start(DATE* start) = 0;
  virtual HRESULT get_Duration(long* minutes) = 0;
  virtual HRESULT get_DurationUnit(long* unit) = 0;
  virtual HRESULT get_End(DATE* end) = 0;
  virtual HRESULT get_AllDayEvent(VARIANT_BOOL* allDay) = 0;
  virtual HRESULT get_BusyStatus(long* status) = 0;
  virtual HRESULT get_Sensitivity(long* sensitivity) = 0;
  virtual HRESULT get_IsRecurring(VARIANT_BOOL* recurring) = 0;
};

class ITask : public IDispatch {
 public:
  virtual HRESULT GetRecurrencePattern(IRecurrencePattern** pattern) = 0;
  virtual HRESULT get_IsRecurring(VARIANT_BOOL* recurring) = 0;
  virtual HRESULT get_Subject(BSTR* subject) = 0;
  virtual HRESULT get_Categories(BSTR* categories) = 0;
  virtual HRESULT get_StartDate(DATE* start) = 0;
  virtual HRESULT get_DueDate(DATE* due) = 0;
  virtual HRESULT get_DateCompleted(DATE* completed) = 0;
  virtual HRESULT get_Importance(long* importance) = 0;
  virtual HRESULT get_Complete(VARIANT_BOOL* complete) = 0;
};

class IContact : public IDispatch {
 public:
  virtual HRESULT get_Birthday(DATE* birthday) = 0;
  virtual HRESULT get_Anniversary(DATE* anniversary) = 0;
  virtual HRESULT get_BusinessFaxNumber(BSTR* number) = 0;
  virtual HRESULT get_CompanyName(BSTR* name) = 0;
  virtual HRESULT get_Department(BSTR* name) = 0;
  virtual HRESULT get_Email1Address(BSTR* address) = 0;
  virtual HRESULT get_MobileTelephoneNumber(BSTR* number) = 0;
  virtual HRESULT get_OfficeLocation(BSTR* location) = 0;
  virtual HRESULT get_PagerNumber(BSTR* number) = 0;
  virtual HRESULT get_BusinessTelephoneNumber(BSTR* number) = 0;
  virtual HRESULT get_JobTitle(BSTR* title) = 0;
  virtual HRESULT get_HomeTelephoneNumber(BSTR* number) = 0;
  virtual HRESULT get_Email2Address(BSTR* address) = 0;
  virtual HRESULT get_Spouse(BSTR* name) = 0;
  virtual HRESULT get_Email3Address(BSTR* address) = 0;
  virtual HRESULT get_Home2TelephoneNumber(BSTR* number) = 0;
  virtual HRESULT get_HomeFaxNumber(BSTR* number) = 0;
  virtual HRESULT get_CarTelephoneNumber(BSTR* number) = 0;
  virtual HRESULT get_AssistantName(BSTR* name) = 0;
  virtual HRESULT get_AssistantTelephoneNumber(BSTR* number) = 0;
  virtual HRESULT get_Children(BSTR* names) = 0;
  virtual HRESULT get_Categories(BSTR* categories) = 0;
  virtual HRESULT get_WebPage(BSTR* url) = 0;
  virtual HRESULT get_Business2TelephoneNumber(BSTR* number) = 0;
  virtual HRESULT get_Radio_TelephoneNumber(BSTR* number) = 0;
  virtual HRESULT get_FileAs(BSTR* name) = 0;  // the display name
};

// The folder's generic item view: properties by id.
class IItem : public IUnknown {
 public:
  virtual HRESULT GetProps(const ULONG* ids, ULONG flags, WORD count, CEPROPVAL** values,
                           ULONG* size, void* heap) = 0;
  virtual HRESULT SetProps(ULONG flags, WORD count, CEPROPVAL* values) = 0;
};

// One best match among the contacts' phone numbers; none: E_FAIL with NULL/0 outputs.
HRESULT FindMatchingContact(IPOutlookApp* app, LPCWSTR number, ULONG flags, IItem** item,
                            ULONG* propid);
