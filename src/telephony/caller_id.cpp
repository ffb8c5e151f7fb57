#include "telephony/caller_id.h"

#include "log/debug_log.h"
#include "pim/com_ref.h"
#include "pim/poom.h"
#include "pim/sim_phonebook.h"
#include "platform/registry.h"
#include "settings/settings.h"

namespace telephony {
namespace {

void WriteName(const WCHAR* name) {
  RegistrySetString(HKEY_CURRENT_USER, settings::kStoreKey, u"IncomingName", name);
}

}  // namespace

bool IsNumericNumber(const WCHAR* number) {
  for (int i = 0; number && number[i]; ++i) {
    if (number[i] <= 126) continue;
    if (dlog::Detailed()) dlog::DebugLog(u"Non Numeric %d(%d)", i, number[i]);
    return false;
  }
  return true;
}

void LookupCallerName(HWND window, const WCHAR* number) {
  if (!number || FAILED(pim::OpenPoomSession(window))) return;
  IPOutlookApp* app = pim::PoomSession();
  if (!app) return;
  pim::ComRef<IItem> item;
  ULONG propid = 0;
  // The outputs count only when the search itself succeeded.
  if (FAILED(FindMatchingContact(app, number, FMCF_FINDPHONE, item.Out(), &propid))) propid = 0;
  if (propid != 0) {
    pim::ComRef<IContact> contact;
    pim::Text name;
    if (item && SUCCEEDED(item->QueryInterface(IID_IContact, contact.OutVoid())) && contact &&
        SUCCEEDED(contact->get_FileAs(name.Out())))
      WriteName(name.c_str());
    return;
  }
  std::u16string simName = pim::FindSimName(number);
  if (!simName.empty()) WriteName(simName.c_str());
}

}  // namespace telephony
