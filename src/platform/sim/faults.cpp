#include "platform/sim/faults.h"

#include <array>

#include "platform/kernel.h"
#include "platform/sim/api.h"
#include "platform/sim/trace.h"
#include "platform/wstr.h"

namespace sim {
namespace {

constexpr uint32_t kGenFailure = 31;  // ERROR_GEN_FAILURE
constexpr uint32_t kEFail = 0x80004005u;
constexpr uint32_t kENoInterface = 0x80004002u;
constexpr uint32_t kLineOperationFailed = 0x80000048u;

using S = FailStyle;

// The platform functions the daemon calls and handles a failure of. Models add theirs here.
constexpr FaultFunction kFunctions[] = {
    // Window manager and messages.
    {"CreateWindowExW", S::LastError, kGenFailure},
    {"RegisterClassW", S::LastError, kGenFailure},
    {"FindWindowW", S::LastError, kGenFailure},
    {"PostMessageW", S::LastError, kGenFailure},
    {"SetTimer", S::LastError, kGenFailure},
    {"SetForegroundWindow", S::LastError, kGenFailure},
    {"SetFocus", S::LastError, kGenFailure},
    {"SetWindowPos", S::LastError, kGenFailure},
    {"SetWindowLongW", S::LastError, kGenFailure},
    {"SystemParametersInfoW", S::LastError, kGenFailure},
    // Kernel, processes, files.
    {"CreateEventW", S::LastError, kGenFailure},
    {"CreateThread", S::LastError, kGenFailure},
    {"CreateProcessW", S::LastError, kGenFailure},
    {"ShellExecuteEx", S::LastError, kGenFailure},
    {"CreateToolhelp32Snapshot", S::LastError, kGenFailure},
    {"CreateFileW", S::LastError, kGenFailure},
    {"WriteFile", S::LastError, kGenFailure},
    {"CopyFileW", S::LastError, kGenFailure},
    {"MoveFileW", S::LastError, kGenFailure},
    {"DeleteFileW", S::LastError, kGenFailure},
    {"GetModuleFileNameW", S::LastError, kGenFailure},
    {"GetVersionExW", S::LastError, kGenFailure},
    // Registry and the shell's state-store helpers.
    {"RegOpenKeyExW", S::ErrorCode, kGenFailure},
    {"RegCreateKeyExW", S::ErrorCode, kGenFailure},
    {"RegQueryValueExW", S::ErrorCode, kGenFailure},
    {"RegSetValueExW", S::ErrorCode, kGenFailure},
    {"RegDeleteValueW", S::ErrorCode, kGenFailure},
    {"RegDeleteKeyW", S::ErrorCode, kGenFailure},
    {"RegEnumValueW", S::ErrorCode, kGenFailure},
    {"RegFlushKey", S::ErrorCode, kGenFailure},
    {"RegistryNotifyWindow", S::Hresult, kEFail},
    {"RegistryBatchNotification", S::Hresult, kEFail},
    {"RegistryCloseNotification", S::Hresult, kEFail},
    {"RegistryGetDWORD", S::Hresult, kEFail},
    {"RegistrySetDWORD", S::Hresult, kEFail},
    {"RegistryGetString", S::Hresult, kEFail},
    {"RegistrySetString", S::Hresult, kEFail},
    // Power manager and display.
    {"CreateMsgQueue", S::LastError, kGenFailure},
    {"RequestPowerNotifications", S::LastError, kGenFailure},
    {"StopPowerNotifications", S::ErrorCode, kGenFailure},
    {"ReadMsgQueue", S::LastError, kGenFailure},
    {"SetSystemPowerState", S::ErrorCode, kGenFailure},
    {"PowerPolicyNotify", S::LastError, kGenFailure},
    {"GetSystemPowerStatusEx", S::LastError, kGenFailure},
    {"GetDC", S::LastError, kGenFailure},
    {"ExtEscape", S::Value, 0xFFFFFFFFu},
    // Libraries.
    {"LoadLibraryW", S::LastError, 126},
    {"GetProcAddressW", S::LastError, 127},
    // Keyboard hook and shell windows.
    {"SetWindowsHookExW", S::LastError, kGenFailure},
    {"UnhookWindowsHookEx", S::LastError, kGenFailure},
    {"SHFullScreen", S::LastError, kGenFailure},
    // Wave out.
    {"waveOutOpen", S::ErrorCode, 6},
    {"waveOutWrite", S::ErrorCode, 1},
    // Telephony.
    {"lineInitializeEx", S::ErrorCode, kLineOperationFailed},
    {"lineShutdown", S::ErrorCode, kLineOperationFailed},
    {"lineNegotiateAPIVersion", S::ErrorCode, kLineOperationFailed},
    {"lineGetDevCaps", S::ErrorCode, kLineOperationFailed},
    {"lineOpen", S::ErrorCode, kLineOperationFailed},
    {"lineClose", S::ErrorCode, kLineOperationFailed},
    {"lineGetCallInfo", S::ErrorCode, kLineOperationFailed},
    {"lineSetCallPrivilege", S::ErrorCode, kLineOperationFailed},
    {"lineDrop", S::ErrorCode, kLineOperationFailed},
    {"lineDeallocateCall", S::ErrorCode, kLineOperationFailed},
    {"lineTranslateAddress", S::ErrorCode, kLineOperationFailed},
    {"lineMakeCall", S::ErrorCode, kLineOperationFailed},
    // COM.
    {"CoInitializeEx", S::Hresult, kEFail},
    {"CoCreateInstance", S::Hresult, kEFail},
    // Notification database and the LED driver.
    {"CeSetUserNotificationEx", S::LastError, kGenFailure},
    {"CeGetUserNotificationHandles", S::LastError, kGenFailure},
    {"CeGetUserNotification", S::LastError, kGenFailure},
    {"CeClearUserNotification", S::LastError, kGenFailure},
    {"EventModify", S::LastError, kGenFailure},
    {"NLedGetDeviceInfo", S::LastError, kGenFailure},
    {"NLedSetDevice", S::LastError, kGenFailure},
    // Outlook object model.
    {"Logon", S::Hresult, kEFail},
    {"GetDefaultFolder", S::Hresult, kEFail},
    {"SetProps", S::Hresult, kEFail},
    {"Restrict", S::Hresult, kEFail},
    {"FindMatchingContact", S::Hresult, kEFail},
    // COM methods of the device's objects, named by the interface the program calls them
    // through. A bare method name above strikes the method through every interface.
    {"IUnknown::QueryInterface", S::Hresult, kENoInterface},
    {"IPOutlookApp::Logon", S::Hresult, kEFail},
    {"IPOutlookApp::Logoff", S::Hresult, kEFail},
    {"IPOutlookApp::GetDefaultFolder", S::Hresult, kEFail},
    {"IFolder::get_Items", S::Hresult, kEFail},
    {"IItem::SetProps", S::Hresult, kEFail},
    {"IPOutlookItemCollection::Sort", S::Hresult, kEFail},
    {"IPOutlookItemCollection::put_IncludeRecurrences", S::Hresult, kEFail},
    {"IPOutlookItemCollection::Restrict", S::Hresult, kEFail},
    {"IPOutlookItemCollection::get_Count", S::Hresult, kEFail},
    {"IPOutlookItemCollection::Item", S::Hresult, kEFail},
    {"IAppointment::GetRecurrencePattern", S::Hresult, kEFail},
    {"IAppointment::get_Subject", S::Hresult, kEFail},
    {"IAppointment::get_Location", S::Hresult, kEFail},
    {"IAppointment::get_Start", S::Hresult, kEFail},
    {"IAppointment::get_End", S::Hresult, kEFail},
    {"IAppointment::get_AllDayEvent", S::Hresult, kEFail},
    {"IAppointment::get_IsRecurring", S::Hresult, kEFail},
    {"IRecurrencePattern::get_RecurrenceType", S::Hresult, kEFail},
    {"IRecurrencePattern::get_PatternStartDate", S::Hresult, kEFail},
    {"ITask::get_Subject", S::Hresult, kEFail},
    {"ITask::get_DueDate", S::Hresult, kEFail},
    {"ITask::get_Importance", S::Hresult, kEFail},
    {"IContact::get_FileAs", S::Hresult, kEFail},
    {"IMAPISession::GetMsgStoresTable", S::Hresult, kEFail},
    {"IMAPISession::OpenMsgStore", S::Hresult, kEFail},
    {"IMAPITable::SetColumns", S::Hresult, kEFail},
    {"IMAPITable::SortTable", S::Hresult, kEFail},
    {"IMAPITable::QueryRows", S::Hresult, kEFail},
    {"IMsgStore::GetReceiveFolder", S::Hresult, kEFail},
    {"IMsgStore::OpenEntry", S::Hresult, kEFail},
    {"IMAPIFolder::GetContentsTable", S::Hresult, kEFail},
    {"IMessage::SetProps", S::Hresult, kEFail},
    // SIM manager.
    {"SimInitialize", S::Hresult, 0x88000060u},
    {"SimGetPhonebookStatus", S::Hresult, 0x88000060u},
    {"SimReadPhonebookEntry", S::Hresult, 0x88000060u},
    // Messaging (CE MAPI).
    {"MAPIInitialize", S::Hresult, kEFail},
    {"MAPILogonEx", S::Hresult, kEFail},
    {"GetMsgStoresTable", S::Hresult, kEFail},
    {"OpenMsgStore", S::Hresult, kEFail},
    {"GetReceiveFolder", S::Hresult, kEFail},
    {"OpenEntry", S::Hresult, kEFail},
    {"GetContentsTable", S::Hresult, kEFail},
    {"SetColumns", S::Hresult, kEFail},
    {"SortTable", S::Hresult, kEFail},
    {"QueryRows", S::Hresult, kEFail},
    {"SetProps", S::Hresult, kEFail},
    {"MailDisplayMessage", S::Hresult, kEFail},
    // The shell's notification list, by the ordinals of "ossvcs.dll".
    {"ossvcs#276", S::Hresult, kEFail},
    {"ossvcs#273", S::Hresult, kEFail},
};

struct NamedResult {
  std::string_view name;
  uint32_t value;
};

constexpr NamedResult kResults[] = {
    {"S_OK", 0},
    {"E_FAIL", kEFail},
    {"E_INVALIDARG", 0x80070057u},
    {"E_OUTOFMEMORY", 0x8007000Eu},
    {"E_NOINTERFACE", kENoInterface},
    {"E_ACCESSDENIED", 0x80070005u},
    {"MAPI_E_NOT_FOUND", 0x8004010Fu},
    {"MAPI_E_NOT_INITIALIZED", 0x80040605u},
    {"MAPI_E_LOGON_FAILED", 0x80040111u},
    {"ERROR_FILE_NOT_FOUND", 2},
    {"ERROR_ACCESS_DENIED", 5},
    {"ERROR_INVALID_HANDLE", 6},
    {"ERROR_NOT_ENOUGH_MEMORY", 8},
    {"ERROR_GEN_FAILURE", kGenFailure},
    {"ERROR_INVALID_PARAMETER", 87},
    {"ERROR_DISK_FULL", 112},
    {"ERROR_TIMEOUT", 1460},
    {"ERROR_SERVICE_NOT_ACTIVE", 1062},
    {"MMSYSERR_ERROR", 1},
    {"MMSYSERR_BADDEVICEID", 2},
    {"MMSYSERR_ALLOCATED", 4},
    {"MMSYSERR_NODRIVER", 6},
    {"MMSYSERR_NOMEM", 7},
    {"WAVERR_BADFORMAT", 32},
    {"LINEERR_BADDEVICEID", 0x80000002u},
    {"LINEERR_INVALCALLHANDLE", 0x80000018u},
    {"LINEERR_INVALCALLSTATE", 0x8000001Cu},
    {"LINEERR_INVALLINEHANDLE", 0x8000002Bu},
    {"LINEERR_NODEVICE", 0x80000042u},
    {"LINEERR_NOMEM", 0x80000044u},
    {"LINEERR_NOTOWNER", 0x80000046u},
    {"LINEERR_OPERATIONFAILED", kLineOperationFailed},
    {"LINEERR_STRUCTURETOOSMALL", 0x8000004Du},
    {"LINEERR_REINIT", 0x80000052u},
    {"SIM_E_NOTREADY", 0x88000060u},
    {"SIM_E_NOSIM", 0x88000064u},
    {"SIM_E_EMPTYINDEX", 0x88000345u},
};

}  // namespace

const FaultFunction* FindFaultFunction(std::string_view name) {
  for (const auto& f : kFunctions)
    if (f.name == name) return &f;
  return nullptr;
}

std::optional<uint32_t> FaultResultByName(std::string_view name) {
  for (const auto& r : kResults)
    if (r.name == name) return r.value;
  return std::nullopt;
}

void Faults::Arm(std::string_view function, std::optional<uint32_t> result, uint32_t count) {
  const FaultFunction* f = FindFaultFunction(function);
  if (!f) return;
  if (count == 0) {
    armed_.erase(std::string(function));
    return;
  }
  armed_[std::string(function)] = Armed{result.value_or(f->usualFailure), count};
}

std::optional<uint32_t> Faults::Strike(std::string_view function) {
  if (armed_.empty() || quiet_ > 0) return std::nullopt;
  auto it = armed_.find(function);
  // A method armed by its bare name fails through whichever interface it is called.
  if (size_t colons = function.rfind("::"); it == armed_.end() && colons != std::string_view::npos)
    it = armed_.find(function.substr(colons + 2));
  if (it == armed_.end()) return std::nullopt;
  Thread* self = Self();
  if (!target_.empty() &&
      (!self || !self->process || !platform::IEquals(self->process->exeName, target_)))
    return std::nullopt;
  uint32_t result = it->second.result;
  // Named as the scenario armed it, which may be the bare method name.
  Dev().Note("fault " + it->first + " fails with " + Trace::Hex(result), result);
  if (it->second.remaining != kAlways && --it->second.remaining == 0) armed_.erase(it);
  return result;
}

std::optional<uint32_t> Strike(std::string_view function) {
  if (!Device::Exists()) return std::nullopt;
  return Dev().faults().Strike(function);
}

bool StruckWithLastError(std::string_view function) {
  auto result = Strike(function);
  if (!result) return false;
  SetLastError(*result);
  return true;
}

}  // namespace sim
