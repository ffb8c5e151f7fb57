// Contacts live in the device's object store: the application object cannot be created on the
// desktop (CoCreateInstance fails), so no phone number ever matches a contact.
#include "platform/poom.h"

HRESULT FindMatchingContact(IPOutlookApp*, LPCWSTR, ULONG, IItem** item, ULONG* propid) {
  if (item) *item = nullptr;
  if (propid) *propid = 0;
  return E_FAIL;
}
