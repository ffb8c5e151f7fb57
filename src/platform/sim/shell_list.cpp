#include "platform/sim/shell_list.h"

#include <algorithm>
#include <string>

#include "platform/sim/api.h"
#include "platform/sim/faults.h"

namespace sim {

void ShellList::Add(DWORD kind, DWORD id) {
  if (id == 0) id = nextId_;
  nextId_ = std::max(nextId_, id + 1);
  entries_.push_back(ShellEntry{kind, id});
}

bool ShellList::Remove(DWORD id) {
  return std::erase_if(entries_, [id](const ShellEntry& e) { return e.id == id; }) > 0;
}

int ShellList::Count(DWORD kind) const {
  return static_cast<int>(
      std::count_if(entries_.begin(), entries_.end(), [kind](auto& e) { return e.kind == kind; }));
}

namespace {

constexpr HRESULT kEFail = static_cast<HRESULT>(0x80004005u);

// 276: a linked copy of the list, so that acting on entries while walking it is safe.
HRESULT GetList(SHELL_LIST_ENTRY** head, DWORD, DWORD) {
  if (auto struck = Strike("ossvcs#276")) return static_cast<HRESULT>(*struck);
  if (!head) return kEFail;
  *head = nullptr;
  ShellList& list = Dev().shellList();
  SHELL_LIST_ENTRY** link = head;
  for (const auto& e : list.Entries()) {
    *link = new SHELL_LIST_ENTRY{{e.id, 0, 0, 0}, e.kind, nullptr};
    ++list.liveCopies;
    link = &(*link)->next;
  }
  return 0;
}

// 273: dismisses the entry; the mode and the caller's argument change nothing here.
HRESULT ActOn(SHELL_LIST_ENTRY* entry, DWORD, DWORD, DWORD) {
  if (auto struck = Strike("ossvcs#273")) return static_cast<HRESULT>(*struck);
  if (!entry || !Dev().shellList().Remove(entry->reserved[0])) return kEFail;
  Dev().Note("shell dismiss kind " + std::to_string(entry->kind), entry->reserved[0]);
  return 0;
}

void FreeList(SHELL_LIST_ENTRY* head) {
  while (head) {
    SHELL_LIST_ENTRY* next = head->next;
    delete head;
    --Dev().shellList().liveCopies;
    head = next;
  }
}

template <class F>
FARPROC Proc(F f) {
  return reinterpret_cast<FARPROC>(f);
}
}  // namespace

void AddShellServicesLibrary(Libraries& libraries) {
  libraries.Add(
      Library{u"ossvcs.dll",
              false,
              {{u"", 276, Proc(&GetList)}, {u"", 273, Proc(&ActOn)}, {u"", 280, Proc(&FreeList)}}});
}

}  // namespace sim
