#include "messaging/shell_services.h"

#include "messaging/dismissal.h"
#include "platform/library.h"
#include "platform/ossvcs.h"
#include "platform/process_local.h"

namespace messaging {
namespace {

constexpr WORD kGetListOrdinal = 276;
constexpr WORD kActOnOrdinal = 273;
constexpr WORD kFreeListOrdinal = 280;
constexpr DWORD kDismissMode = 1;

struct ShellServices {
  HMODULE library = 0;
  PFN_SHELL_GET_LIST getList = nullptr;
  PFN_SHELL_ACT_ON actOn = nullptr;
  PFN_SHELL_FREE_LIST freeList = nullptr;
};

ShellServices& Services() {
  return platform::ProcessGlobal<ShellServices>();
}

template <class Fn>
bool Bind(HMODULE library, WORD ordinal, Fn* fn) {
  *fn = reinterpret_cast<Fn>(GetProcAddressW(library, MAKEINTRESOURCEW(ordinal)));
  return *fn != nullptr;
}
}  // namespace

int LoadShellServices() {
  ShellServices& s = Services();
  s.library = LoadLibraryW(u"ossvcs.dll");
  if (!s.library) return 0;
  // All three or none: a list fetched without its free function would leak.
  if (Bind(s.library, kGetListOrdinal, &s.getList) && Bind(s.library, kActOnOrdinal, &s.actOn) &&
      Bind(s.library, kFreeListOrdinal, &s.freeList))
    return 1;
  s.getList = nullptr;
  s.actOn = nullptr;
  s.freeList = nullptr;
  return 0;
}

void UnloadShellServices() {
  ShellServices& s = Services();
  if (s.library) FreeLibrary(s.library);
  s = ShellServices{};
}

int DismissShellEntries(DWORD kind, DWORD argument) {
  ShellServices& s = Services();
  if (!s.getList || !s.actOn || !s.freeList) return -1;
  SHELL_LIST_ENTRY* head = nullptr;
  if (s.getList(&head, 0, 0) != 0) return -1;
  if (!head) return 0;
  HRESULT last = 0;
  for (SHELL_LIST_ENTRY* e = head; e; e = e->next)
    if (e->kind == kind) last = s.actOn(e, argument, kDismissMode, kind);
  s.freeList(head);
  return last != 0 ? -2 : 0;
}

}  // namespace messaging
