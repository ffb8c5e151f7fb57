// The shell's notification list (bubbles): entries with a kind and an id, reachable by
// programs only through the ordinals of "ossvcs.dll", which this model exports.
#pragma once

#include <vector>

#include "platform/ossvcs.h"

namespace sim {

class Libraries;

struct ShellEntry {
  DWORD kind = 0;
  DWORD id = 0;
};

class ShellList {
 public:
  // Entry ids count from 1 when the caller leaves them out (0).
  void Add(DWORD kind, DWORD id);
  bool Remove(DWORD id);
  int Count(DWORD kind) const;
  const std::vector<ShellEntry>& Entries() const { return entries_; }

  int liveCopies = 0;  // records handed out by 276 and not yet freed by 280

 private:
  std::vector<ShellEntry> entries_;
  DWORD nextId_ = 1;
};

// Registers "ossvcs.dll" with its three ordinals; part of every device.
void AddShellServicesLibrary(Libraries& libraries);

}  // namespace sim
