// The task export: runs on the window thread inside the task-count handler, the query being
// small. Sub-keys of "Software\Zeq\Vurl\Tasks" count from 1; "TaskCount" closes a whole run.
#include "pim/appointments.h"
#include "pim/com_ref.h"
#include "pim/handoff.h"
#include "pim/poom.h"

namespace pim {
namespace {

constexpr int kMaxTasks = 5;

// Open tasks (mode 2: those due today's midnight), by due date. No match: `out` stays empty.
HRESULT QueryTasks(IPOutlookApp* app, int mode, ComRef<IPOutlookItemCollection>& out, int* count) {
  ComRef<IFolder> folder;
  ComRef<IPOutlookItemCollection> items;
  HRESULT hr = app->GetDefaultFolder(olFolderTasks, folder.Out());
  if (SUCCEEDED(hr) && !folder) hr = E_FAIL;
  if (SUCCEEDED(hr)) hr = folder->get_Items(items.Out());
  if (SUCCEEDED(hr) && !items) hr = E_FAIL;
  if (SUCCEEDED(hr)) hr = items->put_IncludeRecurrences(VARIANT_TRUE);
  if (FAILED(hr)) return hr;
  std::u16string restriction = u"[Complete] = FALSE";
  if (mode == 2) restriction += u" AND [DueDate] = " + RestrictionDate(Midnight(LocalNow()));
  BSTR text = SysAllocString(restriction.c_str());
  hr = items->Restrict(text, out.Out());
  SysFreeString(text);
  *count = 0;
  if (SUCCEEDED(hr) && out) hr = out->get_Count(count);
  if (SUCCEEDED(hr) && out) hr = out->Sort(const_cast<WCHAR*>(u"[DueDate]"), VARIANT_FALSE);
  return hr;
}

bool ExportOne(IPOutlookItemCollection* items, int i, int written) {
  ComRef<ITask> task;
  {
    ComRef<IDispatch> item;
    if (FAILED(items->Item(i, item.Out())) || !item ||
        FAILED(item->QueryInterface(IID_ITask, task.OutVoid())) || !task)
      return false;
  }
  DATE due = 0;
  long importance = 0;
  Text subject;
  if (FAILED(task->get_DueDate(&due)) || FAILED(task->get_Subject(subject.Out())) ||
      FAILED(task->get_Importance(&importance)))
    return false;
  HKEY key = CreateItemKey(ListKey(u"Tasks"), written);
  if (!key) return false;
  WriteText(key, u"Subject", subject.c_str());
  WriteDate(key, u"DueDate", due);
  WriteDword(key, u"Importance", static_cast<DWORD>(importance));
  RegCloseKey(key);
  return true;
}

}  // namespace

void ExportTasks(uint8_t showTask) {
  ExportTaskList(kMaxTasks, showTask);
}

void ExportTaskList(int maxItems, int mode) {
  IPOutlookApp* app = PoomSession();
  ComRef<IPOutlookItemCollection> items;
  int count = 0;
  if (!app || FAILED(QueryTasks(app, mode, items, &count))) return;
  std::u16string list = ListKey(u"Tasks");
  RegDeleteKeyW(HKEY_CURRENT_USER, list.c_str());
  int written = 0;
  for (int i = 1; i <= count && written < maxItems; ++i) {
    if (!ExportOne(items.get(), i, written + 1)) return;
    ++written;
  }
  HKEY key = 0;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, list.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      &disposition) == ERROR_SUCCESS)
    RegCloseKey(key);
  RegistrySetDWORD(HKEY_CURRENT_USER, list.c_str(), u"TaskCount", static_cast<DWORD>(written));
}

}  // namespace pim
