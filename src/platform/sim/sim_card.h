// The SIM card as the cellular core shows it: a phonebook of `total` positions, some used,
// and the programs that asked for its notifications. Notifications run the program's callback
// on a "cellcore" thread of that program; each phonebook read is a radio round trip.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/sim_manager.h"

namespace sim {

struct Process;

class SimCard {
 public:
  struct Entry {
    std::u16string number;
    std::u16string name;
  };

  bool present = true;
  DWORD total = 250;
  DWORD readLatencyMs = 20;
  std::map<DWORD, Entry> entries;  // by position, 1..total

  // Driver side: the entry is stored / removed and the clients are told.
  bool Store(DWORD index, Entry entry);
  bool Remove(DWORD index);
  // The card is taken out: the phonebook answers SIM_E_NOSIM from now on, and programs that
  // asked for notifications hear SIM_NOTIFY_CARD_REMOVED.
  void TakeOut();

  // API side.
  HSIM Open(Process* p, SIMCALLBACK callback, DWORD param);
  bool Close(HSIM h);
  bool IsOpen(HSIM h) const;
  int Clients() const { return static_cast<int>(clients_.size()); }

 private:
  struct Client {
    Process* process;
    SIMCALLBACK callback;
    DWORD param;
  };
  void Notify(DWORD code, DWORD index);

  std::map<HSIM, Client> clients_;
  HSIM next_ = 0x5100;
};

}  // namespace sim
