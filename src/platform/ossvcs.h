// The shell's notification list as the shell-services library ("ossvcs.dll") hands it out
// through three functions exported by ordinal only. The library owns the records; a caller
// reads the kind and the link to the next record and nothing else.
#pragma once

#include "platform/win_types.h"

// On the device the kind is the fifth 32-bit word and the link the sixth; on the host the
// record is typed, since a pointer does not fit 32 bits there.
struct SHELL_LIST_ENTRY {
  DWORD reserved[4];  // the library's own; the first holds the entry's id
  DWORD kind;
  SHELL_LIST_ENTRY* next;
};

// Ordinal 276: fetch a copy of the list (head null when empty); 0 on success.
using PFN_SHELL_GET_LIST = HRESULT (*)(SHELL_LIST_ENTRY** head, DWORD, DWORD);
// Ordinal 273: act on one entry (dismiss it); 0 on success.
using PFN_SHELL_ACT_ON = HRESULT (*)(SHELL_LIST_ENTRY* entry, DWORD argument, DWORD mode,
                                     DWORD kind);
// Ordinal 280: free a list fetched by 276.
using PFN_SHELL_FREE_LIST = void (*)(SHELL_LIST_ENTRY* head);
