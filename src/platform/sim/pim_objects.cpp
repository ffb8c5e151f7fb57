// The object model's COM objects over the device's PIM store: the application object, folders,
// item collections (sort, recurrences, restrictions), appointments, tasks, contacts and
// recurrence patterns. Items are read as they stood when their collection was taken.
#include <algorithm>
#include <cmath>

#include "platform/kernel.h"
#include "platform/sim/api.h"
#include "platform/sim/faults.h"
#include "platform/sim/pim_folder.h"

namespace sim {
namespace {

PimStore& Store() {
  return Dev().pim();
}

template <class I>
class Dispatch : public ComObject<I> {
 public:
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, DWORD, void**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPWSTR*, UINT, DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT Invoke(LONG, REFIID, DWORD, WORD, void*, void*, void*, UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  // Answers IUnknown, IDispatch and the object's own interface.
  HRESULT Answer(REFIID riid, void** out, const IID& own) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (auto struck = Strike("IUnknown::QueryInterface")) return static_cast<HRESULT>(*struck);
    if (!(riid == IID_IUnknown || riid == IID_IDispatch || riid == own)) return E_NOINTERFACE;
    this->AddRef();
    *out = static_cast<I*>(this);
    return S_OK;
  }
};

HRESULT Text(const std::u16string& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocString(text.c_str());
  return *out ? S_OK : E_OUTOFMEMORY;
}

template <class T>
HRESULT Give(T value, T* out) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

// The same for a method that the fault switch can strike, by its "INTERFACE::METHOD" name.
HRESULT Text(std::string_view method, const std::u16string& text, BSTR* out) {
  if (out) *out = nullptr;
  if (auto struck = Strike(method)) return static_cast<HRESULT>(*struck);
  return Text(text, out);
}

template <class T>
HRESULT Give(std::string_view method, T value, T* out) {
  if (auto struck = Strike(method)) return static_cast<HRESULT>(*struck);
  return Give(value, out);
}

VARIANT_BOOL Bool(bool b) {
  return b ? VARIANT_TRUE : VARIANT_FALSE;
}

class Pattern final : public Dispatch<IRecurrencePattern> {
 public:
  Pattern(long type, DATE start) : type_(type), start_(start) {}
  HRESULT QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, IID_IDispatch);
  }
  HRESULT get_RecurrenceType(long* t) override {
    return Give("IRecurrencePattern::get_RecurrenceType", type_, t);
  }
  HRESULT get_Interval(long* v) override { return Give(1L, v); }
  HRESULT get_DayOfWeekMask(long*) override { return E_NOTIMPL; }
  HRESULT get_DayOfMonth(long*) override { return E_NOTIMPL; }
  HRESULT get_MonthOfYear(long*) override { return E_NOTIMPL; }
  HRESULT get_Instance(long*) override { return E_NOTIMPL; }
  HRESULT get_PatternStartDate(DATE* d) override {
    return Give("IRecurrencePattern::get_PatternStartDate", start_, d);
  }

 private:
  long type_;
  DATE start_;
};

class Appointment final : public Dispatch<IAppointment> {
 public:
  explicit Appointment(PimItem item) : item_(std::move(item)) {}
  HRESULT QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, IID_IAppointment);
  }
  HRESULT GetRecurrencePattern(IRecurrencePattern** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (auto struck = Strike("IAppointment::GetRecurrencePattern"))
      return static_cast<HRESULT>(*struck);
    // A single appointment has a pattern too; its type says it does not recur.
    *out = new Pattern(item_.yearly ? olRecursYearly : 0, item_.seriesStart);
    return S_OK;
  }
  HRESULT get_Subject(BSTR* s) override {
    return Text("IAppointment::get_Subject", item_.subject, s);
  }
  HRESULT get_Location(BSTR* s) override {
    return Text("IAppointment::get_Location", item_.location, s);
  }
  HRESULT get_Categories(BSTR* s) override { return Text(u"", s); }
  HRESULT get_Start(DATE* d) override { return Give("IAppointment::get_Start", item_.start, d); }
  HRESULT get_Duration(long* m) override {
    return Give(std::lround((item_.end - item_.start) * 1440.0), m);
  }
  HRESULT get_DurationUnit(long* u) override { return Give(0L, u); }
  HRESULT get_End(DATE* d) override { return Give("IAppointment::get_End", item_.end, d); }
  HRESULT get_AllDayEvent(VARIANT_BOOL* b) override {
    return Give("IAppointment::get_AllDayEvent", Bool(item_.allDay), b);
  }
  HRESULT get_BusyStatus(long* s) override { return Give(2L, s); }
  HRESULT get_Sensitivity(long* s) override { return Give(0L, s); }
  HRESULT get_IsRecurring(VARIANT_BOOL* b) override {
    return Give("IAppointment::get_IsRecurring", Bool(item_.yearly), b);
  }

 private:
  PimItem item_;
};

class Task final : public Dispatch<ITask> {
 public:
  explicit Task(PimItem item) : item_(std::move(item)) {}
  HRESULT QueryInterface(REFIID riid, void** out) override { return Answer(riid, out, IID_ITask); }
  HRESULT GetRecurrencePattern(IRecurrencePattern** out) override {
    if (!out) return E_POINTER;
    *out = new Pattern(0, item_.due);
    return S_OK;
  }
  HRESULT get_IsRecurring(VARIANT_BOOL* b) override { return Give(VARIANT_FALSE, b); }
  HRESULT get_Subject(BSTR* s) override { return Text("ITask::get_Subject", item_.subject, s); }
  HRESULT get_Categories(BSTR* s) override { return Text(u"", s); }
  HRESULT get_StartDate(DATE* d) override { return Give(DATE_NONE, d); }
  HRESULT get_DueDate(DATE* d) override { return Give("ITask::get_DueDate", item_.due, d); }
  HRESULT get_DateCompleted(DATE* d) override { return Give(DATE_NONE, d); }
  HRESULT get_Importance(long* i) override {
    return Give("ITask::get_Importance", item_.importance, i);
  }
  HRESULT get_Complete(VARIANT_BOOL* b) override { return Give(Bool(item_.complete), b); }

 private:
  PimItem item_;
};

// A contact is reached as IItem (FindMatchingContact) and as IContact.
class Contact final : public Dispatch<IContact>, public IItem {
 public:
  explicit Contact(PimItem item) : item_(std::move(item)) {}
  ULONG AddRef() override { return Dispatch<IContact>::AddRef(); }
  ULONG Release() override { return Dispatch<IContact>::Release(); }
  HRESULT QueryInterface(REFIID riid, void** out) override {
    if (out && riid == IID_IItem) {
      *out = nullptr;
      if (auto struck = Strike("IUnknown::QueryInterface")) return static_cast<HRESULT>(*struck);
      AddRef();
      *out = static_cast<IItem*>(this);
      return S_OK;
    }
    return Answer(riid, out, IID_IContact);
  }
  HRESULT GetProps(const ULONG*, ULONG, WORD, CEPROPVAL**, ULONG*, void*) override {
    return E_NOTIMPL;
  }
  HRESULT SetProps(ULONG, WORD, CEPROPVAL*) override { return E_NOTIMPL; }
#define DV2_EMPTY_TEXT(name)       \
  HRESULT name(BSTR* s) override { \
    return Text(u"", s);           \
  }
  HRESULT get_Birthday(DATE*) override {
    return E_NOTIMPL;
  }
  HRESULT get_Anniversary(DATE*) override {
    return E_NOTIMPL;
  }
  DV2_EMPTY_TEXT(get_BusinessFaxNumber)
  DV2_EMPTY_TEXT(get_CompanyName)
  DV2_EMPTY_TEXT(get_Department)
  DV2_EMPTY_TEXT(get_Email1Address)
  HRESULT get_MobileTelephoneNumber(BSTR* s) override {
    return Text(Number(0), s);
  }
  DV2_EMPTY_TEXT(get_OfficeLocation)
  DV2_EMPTY_TEXT(get_PagerNumber)
  DV2_EMPTY_TEXT(get_BusinessTelephoneNumber)
  DV2_EMPTY_TEXT(get_JobTitle)
  HRESULT get_HomeTelephoneNumber(BSTR* s) override {
    return Text(Number(1), s);
  }
  DV2_EMPTY_TEXT(get_Email2Address)
  DV2_EMPTY_TEXT(get_Spouse)
  DV2_EMPTY_TEXT(get_Email3Address)
  DV2_EMPTY_TEXT(get_Home2TelephoneNumber)
  DV2_EMPTY_TEXT(get_HomeFaxNumber)
  DV2_EMPTY_TEXT(get_CarTelephoneNumber)
  DV2_EMPTY_TEXT(get_AssistantName)
  DV2_EMPTY_TEXT(get_AssistantTelephoneNumber)
  DV2_EMPTY_TEXT(get_Children)
  DV2_EMPTY_TEXT(get_Categories)
  DV2_EMPTY_TEXT(get_WebPage)
  DV2_EMPTY_TEXT(get_Business2TelephoneNumber)
  DV2_EMPTY_TEXT(get_Radio_TelephoneNumber)
#undef DV2_EMPTY_TEXT
  HRESULT get_FileAs(BSTR* s) override {
    return Text("IContact::get_FileAs", item_.name, s);
  }

 private:
  std::u16string Number(size_t i) const {
    return i < item_.numbers.size() ? item_.numbers[i] : std::u16string();
  }
  PimItem item_;
};

IDispatch* NewItemObject(const PimEntry& entry) {
  PimItem item = *entry.item;
  item.start = entry.start;
  item.end = entry.end;
  if (item.folder == olFolderCalendar) return new Appointment(std::move(item));
  if (item.folder == olFolderTasks) return new Task(std::move(item));
  return static_cast<Dispatch<IContact>*>(new Contact(std::move(item)));
}

class Collection final : public Dispatch<IPOutlookItemCollection> {
 public:
  Collection(PimView view, bool recurrences) : view_(std::move(view)), recurrences_(recurrences) {}
  HRESULT QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, IID_IDispatch);
  }
  HRESULT Add(IDispatch**) override { return E_NOTIMPL; }
  HRESULT get_Count(int* count) override {
    if (auto struck = Strike("IPOutlookItemCollection::get_Count"))
      return static_cast<HRESULT>(*struck);
    return Give(static_cast<int>(view_.Count()), count);
  }
  HRESULT Find(BSTR, IDispatch**) override { return E_NOTIMPL; }
  HRESULT FindNext(IDispatch**) override { return E_NOTIMPL; }
  HRESULT Item(int index, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (auto struck = Strike("IPOutlookItemCollection::Item")) return static_cast<HRESULT>(*struck);
    if (index < 1 || index > static_cast<int>(view_.Count())) return E_INVALIDARG;
    if (DWORD latency = Store().fetchLatencyMs; latency && Self()) ::Sleep(latency);
    *out = NewItemObject(view_.At(static_cast<size_t>(index - 1)));
    return S_OK;
  }
  HRESULT Remove(int) override { return E_NOTIMPL; }
  HRESULT Restrict(BSTR restriction, IPOutlookItemCollection** out) override {
    if (out) *out = nullptr;
    if (auto struck = Strike("IPOutlookItemCollection::Restrict"))
      return static_cast<HRESULT>(*struck);
    if (!out || !restriction) return E_POINTER;
    auto filter = ParseRestriction(restriction);
    if (!filter) return E_INVALIDARG;
    PimView kept = view_.Restricted(*filter);
    if (kept.Count() == 0) return S_OK;  // no match: success without a collection
    *out = new Collection(std::move(kept), recurrences_);
    return S_OK;
  }
  HRESULT Sort(BSTR property, VARIANT_BOOL descending) override {
    if (auto struck = Strike("IPOutlookItemCollection::Sort")) return static_cast<HRESULT>(*struck);
    if (!property) return E_POINTER;
    std::u16string_view p(property);
    if (p != u"[Start]" && p != u"[End]" && p != u"[DueDate]") return E_INVALIDARG;
    view_.Sort(p, descending != VARIANT_FALSE);
    return S_OK;
  }
  HRESULT get_IncludeRecurrences(VARIANT_BOOL* b) override { return Give(Bool(recurrences_), b); }
  HRESULT put_IncludeRecurrences(VARIANT_BOOL include) override {
    if (auto struck = Strike("IPOutlookItemCollection::put_IncludeRecurrences"))
      return static_cast<HRESULT>(*struck);
    if (include != VARIANT_FALSE && !recurrences_) view_.ExpandSeries();
    recurrences_ = include != VARIANT_FALSE;
    return S_OK;
  }

 private:
  PimView view_;
  bool recurrences_;
};

// The folder's IItem carries its notification property.
class Folder final : public Dispatch<IFolder>, public IItem {
 public:
  Folder(IPOutlookApp* app, int folder) : app_(app), folder_(folder) { app_->AddRef(); }
  ~Folder() override { app_->Release(); }
  ULONG AddRef() override { return Dispatch<IFolder>::AddRef(); }
  ULONG Release() override { return Dispatch<IFolder>::Release(); }
  HRESULT QueryInterface(REFIID riid, void** out) override {
    if (out && riid == IID_IItem) {
      *out = nullptr;
      if (auto struck = Strike("IUnknown::QueryInterface")) return static_cast<HRESULT>(*struck);
      AddRef();
      *out = static_cast<IItem*>(this);
      return S_OK;
    }
    return Answer(riid, out, IID_IDispatch);
  }
  HRESULT get_Items(IPOutlookItemCollection** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (auto struck = Strike("IFolder::get_Items")) return static_cast<HRESULT>(*struck);
    *out = new Collection(PimView(Store().Snapshot(folder_), folder_), false);
    return S_OK;
  }
  HRESULT get_DefaultItemType(int* t) override { return Give(folder_, t); }
  HRESULT get_Application(IPOutlookApp** out) override {
    if (!out) return E_POINTER;
    app_->AddRef();
    *out = app_;
    return S_OK;
  }
  HRESULT GetProps(const ULONG*, ULONG, WORD, CEPROPVAL**, ULONG*, void*) override {
    return E_NOTIMPL;
  }
  HRESULT SetProps(ULONG, WORD count, CEPROPVAL* values) override {
    if (auto struck = Strike("IItem::SetProps")) return static_cast<HRESULT>(*struck);
    if (!values || count == 0) return E_INVALIDARG;
    for (WORD i = 0; i < count; ++i) {
      if (values[i].propid != PIMPR_FOLDERNOTIFICATIONS) return E_INVALIDARG;
      Store().SetNotifications(app_, folder_, values[i].val);
    }
    return S_OK;
  }

 private:
  IPOutlookApp* app_;
  int folder_;
};

class Application final : public Dispatch<IPOutlookApp> {
 public:
  ~Application() override { Store().Logoff(this); }
  HRESULT QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, IID_IPOutlookApp2);
  }
  HRESULT Logon(long hwnd) override {
    if (auto struck = Strike("IPOutlookApp::Logon")) return static_cast<HRESULT>(*struck);
    Store().Logon(this, static_cast<HWND>(hwnd));
    return S_OK;
  }
  HRESULT Logoff() override {
    if (auto struck = Strike("IPOutlookApp::Logoff")) return static_cast<HRESULT>(*struck);
    if (!Store().LoggedOn(this)) return E_FAIL;
    Store().Logoff(this);
    return S_OK;
  }
  HRESULT get_Version(BSTR* v) override { return Text(u"5.2", v); }
  HRESULT GetDefaultFolder(int folder, IFolder** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (auto struck = Strike("IPOutlookApp::GetDefaultFolder"))
      return static_cast<HRESULT>(*struck);
    if (!Store().LoggedOn(this)) return E_FAIL;
    if (folder != olFolderCalendar && folder != olFolderContacts && folder != olFolderTasks)
      return E_INVALIDARG;
    *out = new Folder(this, folder);
    return S_OK;
  }
  HRESULT CreateItem(int, IDispatch**) override { return E_NOTIMPL; }
  HRESULT GetItemFromOid(long, IDispatch**) override { return E_NOTIMPL; }
};

}  // namespace

IUnknown* NewPoomApplication() {
  return new Application();
}

}  // namespace sim

HRESULT FindMatchingContact(IPOutlookApp* app, LPCWSTR number, ULONG, IItem** item, ULONG* propid) {
  if (item) *item = nullptr;
  if (propid) *propid = 0;
  if (auto struck = sim::Strike("FindMatchingContact")) return static_cast<HRESULT>(*struck);
  if (!app || !number || !item || !propid) return E_INVALIDARG;
  constexpr ULONG kMobileTelephoneNumber = 0x3A1C001F;
  const sim::PimItem* contact = sim::Store().FindByNumber(number);
  if (!contact) return E_FAIL;
  *item = static_cast<IItem*>(new sim::Contact(*contact));
  *propid = kMobileTelephoneNumber;
  return S_OK;
}
