#include "pim/appointments.h"

#include "core/messages.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "pim/com_ref.h"
#include "pim/handoff.h"
#include "pim/poom.h"
#include "platform/kernel.h"
#include "platform/process_local.h"
#include "platform/relaxed.h"
#include "settings/settings.h"

namespace pim {
namespace {

// Shared with the window thread: single bytes and a handle, no lock.
struct Worker {
  platform::Relaxed<uint8_t> busy{0};
  platform::Relaxed<uint8_t> abort{0};
  platform::Relaxed<HANDLE> refresh{0};
};

Worker& W() {
  return platform::ProcessGlobal<Worker>();
}

struct Window {
  DATE now, end;
};

// The calendar sorted by start with its occurrences, restricted to what has not ended before
// the minute of `now`: what ended earlier would only be skipped. Later days stay in, for the
// export ends by fetching the first appointment past the window, and with a slow store that
// fetch is part of how long an export takes. A restriction that matches nothing leaves `out`
// empty and counts 0.
HRESULT QueryCalendar(IPOutlookApp* app, DATE now, ComRef<IPOutlookItemCollection>& out,
                      int* count) {
  ComRef<IFolder> folder;
  ComRef<IPOutlookItemCollection> items;
  HRESULT hr = app->GetDefaultFolder(olFolderCalendar, folder.Out());
  if (SUCCEEDED(hr) && !folder) hr = E_FAIL;
  if (SUCCEEDED(hr)) hr = folder->get_Items(items.Out());
  if (SUCCEEDED(hr) && !items) hr = E_FAIL;
  if (SUCCEEDED(hr)) hr = items->Sort(const_cast<WCHAR*>(u"[Start]"), VARIANT_FALSE);
  if (SUCCEEDED(hr)) hr = items->put_IncludeRecurrences(VARIANT_TRUE);
  if (FAILED(hr)) return hr;
  std::u16string restriction = u"[End] >= " + RestrictionDate(now);
  BSTR text = SysAllocString(restriction.c_str());
  hr = items->Restrict(text, out.Out());
  SysFreeString(text);
  *count = 0;
  if (SUCCEEDED(hr) && out) hr = out->get_Count(count);
  return hr;
}

enum class Step { Next, Stop, StopAfter };

// Writes one appointment as sub-key j when it belongs in the window.
Step ExportOne(IAppointment* a, const Window& w, bool includeAllDay, int* j) {
  DATE start = 0, end = 0;
  VARIANT_BOOL allDay = 0, recurring = 0;
  if (FAILED(a->get_Start(&start))) return Step::Stop;
  if (Seconds(start) > Seconds(w.end)) return Step::StopAfter;
  if (FAILED(a->get_End(&end))) return Step::Stop;
  if (Seconds(end) < Seconds(w.now)) return Step::Next;
  if (FAILED(a->get_AllDayEvent(&allDay))) return Step::Stop;
  if (allDay && !includeAllDay) return Step::Next;
  Text location, subject;
  if (FAILED(a->get_IsRecurring(&recurring)) || FAILED(a->get_Location(location.Out())) ||
      FAILED(a->get_Subject(subject.Out())))
    return Step::Stop;
  int32_t occurred = allDay && recurring ? YearsSinceFirstOccurrence(a, start) : 0;
  HKEY key = CreateItemKey(ListKey(u"Appointments"), *j);
  if (!key) return Step::Stop;
  WriteText(key, u"Subject", subject.c_str());
  WriteText(key, u"Location", location.c_str());
  WriteDate(key, u"StartTime", start);
  WriteDate(key, u"EndTime", end);
  WriteByte(key, u"AllDayEvent", static_cast<uint8_t>(allDay & 0xFF));
  if (occurred != 0) WriteDword(key, u"OccurredTimes", static_cast<DWORD>(occurred));
  RegCloseKey(key);
  ++*j;
  return Step::Next;
}

}  // namespace

int32_t YearsSinceFirstOccurrence(IAppointment* appointment, DATE occurrenceStart) {
  ComRef<IRecurrencePattern> pattern;
  long type = 0;
  DATE first = 0;
  SYSTEMTIME a{}, b{};
  if (FAILED(appointment->GetRecurrencePattern(pattern.Out())) || !pattern ||
      FAILED(pattern->get_RecurrenceType(&type)) || type != olRecursYearly ||
      FAILED(pattern->get_PatternStartDate(&first)) || !VariantTimeToSystemTime(first, &a) ||
      !VariantTimeToSystemTime(occurrenceStart, &b))
    return 0;
  return static_cast<int32_t>(b.wYear) - static_cast<int32_t>(a.wYear);
}

void ExportAppointments(int maxItems, int days, bool includeAllDay) {
  Worker& worker = W();
  worker.busy = 1;
  worker.abort = 0;
  IPOutlookApp* app = PoomSession();
  ComRef<IPOutlookItemCollection> items;
  int count = 0;
  DATE now = LocalNow(), today = Midnight(now);
  Window window{now, today + days};
  if (!app || FAILED(QueryCalendar(app, now, items, &count))) {
    worker.busy = 0;
    return;
  }
  RegDeleteKeyW(HKEY_CURRENT_USER, ListKey(u"Appointments").c_str());
  int j = 0;
  for (int i = 1; i <= count && j < maxItems && !worker.abort; ++i) {
    ComRef<IDispatch> item;
    ComRef<IAppointment> appointment;
    if (FAILED(items->Item(i, item.Out())) || !item ||
        FAILED(item->QueryInterface(IID_IAppointment, appointment.OutVoid())) || !appointment)
      break;
    Step step = ExportOne(appointment.get(), window, includeAllDay, &j);
    if (step != Step::Next) break;
  }
  worker.busy = 0;
}

DWORD AppointmentExportThread(LPVOID stopEvent) {
  Worker& worker = W();
  HANDLE refresh = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!refresh) return 0;
  worker.refresh = refresh;
  // The session is shared across threads: this one joins the multithreaded apartment too.
  bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  HANDLE waits[2] = {refresh, static_cast<HANDLE>(reinterpret_cast<uintptr_t>(stopEvent))};
  for (;;) {
    DWORD r = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (r == WAIT_OBJECT_0) {
      const settings::Settings& s = settings::S();
      if (dlog::Detailed()) dlog::DebugLog(u"Start Get Apt");
      ExportAppointments(s.ShowAppointment, s.AppointmentDays, s.ShowAllDay == 1);
      if (dlog::Detailed()) dlog::DebugLog(u"End Get Apt");
      lock::PostToSlideScreen(core::kMsgAppointmentsExported, 0);
    } else if (r == WAIT_OBJECT_0 + 1 || r == WAIT_FAILED) {
      break;
    }
  }
  worker.refresh = 0;
  CloseHandle(refresh);
  if (com) CoUninitialize();
  return 0;
}

void AbortAppointmentExport() {
  W().abort = 1;
}

bool IsAppointmentExportBusy() {
  return W().busy != 0;
}

void RefreshAppointments() {
  if (HANDLE refresh = W().refresh) PulseEvent(refresh);
}

}  // namespace pim
