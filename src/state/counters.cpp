#include "state/counters.h"

#include "platform/registry.h"

namespace state {

// Reading the counters is not built yet.
void ReadAllCounters() {}

void ResetUnreadCounters() {
  struct Counter {
    HKEY root;
    const WCHAR* key;
  };
  static constexpr Counter kCounters[] = {
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\VMail\\Total\\Unread"},
      {HKEY_LOCAL_MACHINE, u"System\\State\\Messages\\SMS\\Unread"},
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\SMS\\Unread"},
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\MMS\\Unread"},
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\TotalEmail\\Unread"},
  };
  for (const Counter& c : kCounters) RegistrySetDWORD(c.root, c.key, u"Count", 0);
}

}  // namespace state
