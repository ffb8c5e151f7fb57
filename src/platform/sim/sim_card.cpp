#include "platform/sim/sim_card.h"

#include <algorithm>

#include "platform/kernel.h"
#include "platform/sim/api.h"
#include "platform/sim/faults.h"

namespace sim {

bool SimCard::Store(DWORD index, Entry entry) {
  if (index < 1 || index > total) return false;
  entries[index] = std::move(entry);
  Notify(SIM_NOTIFY_PBE_STORED, index);
  return true;
}

bool SimCard::Remove(DWORD index) {
  if (!entries.erase(index)) return false;
  Notify(SIM_NOTIFY_PBE_DELETED, index);
  return true;
}

void SimCard::TakeOut() {
  if (!present) return;
  present = false;
  Notify(SIM_NOTIFY_CARD_REMOVED, 0);
}

HSIM SimCard::Open(Process* p, SIMCALLBACK callback, DWORD param) {
  HSIM h = next_++;
  clients_[h] = Client{p, callback, param};
  return h;
}

bool SimCard::Close(HSIM h) {
  return clients_.erase(h) > 0;
}

bool SimCard::IsOpen(HSIM h) const {
  return clients_.count(h) > 0;
}

void SimCard::Notify(DWORD code, DWORD index) {
  Device& dev = Dev();
  for (auto& [h, c] : clients_) {
    if (!c.callback || !c.process || c.process->ended) continue;
    SIMCALLBACK callback = c.callback;
    DWORD param = c.param;
    dev.Note("sim notify " + std::to_string(code) + " " + std::to_string(index));
    dev.SpawnThread(c.process, "cellcore", [callback, param, code, index]() -> DWORD {
      // Only phonebook changes carry data.
      SIMPBECHANGE change{index, SIM_PBSTORAGE_SIM};
      if (code == SIM_NOTIFY_CARD_REMOVED)
        callback(code, nullptr, 0, param);
      else
        callback(code, &change, sizeof change, param);
      return 0;
    });
  }
}

}  // namespace sim

namespace {

sim::SimCard& Card() {
  return sim::Dev().simCard();
}

// Reading an entry is a round trip to the radio and takes time on the calling thread; the
// status comes from the SIM manager's own bookkeeping.
void RoundTrip() {
  if (DWORD ms = Card().readLatencyMs; ms && sim::Self()) Sleep(ms);
}

void CopyText(WCHAR* out, size_t capacity, const std::u16string& text) {
  size_t n = std::min(text.size(), capacity - 1);
  std::copy_n(text.data(), n, out);
  out[n] = 0;
}

}  // namespace

HRESULT SimInitialize(DWORD, SIMCALLBACK callback, DWORD param, HSIM* sim) {
  if (auto struck = sim::Strike("SimInitialize")) return static_cast<HRESULT>(*struck);
  if (!sim) return E_INVALIDARG;
  sim::Thread* self = sim::Self();
  *sim = Card().Open(self ? self->process : nullptr, callback, param);
  return S_OK;
}

HRESULT SimDeinitialize(HSIM sim) {
  return Card().Close(sim) ? S_OK : E_INVALIDARG;
}

HRESULT SimGetPhonebookStatus(HSIM sim, DWORD location, DWORD* used, DWORD* total) {
  if (auto struck = sim::Strike("SimGetPhonebookStatus")) return static_cast<HRESULT>(*struck);
  sim::SimCard& card = Card();
  if (!card.IsOpen(sim) || !used || !total) return E_INVALIDARG;
  if (location != SIM_PBSTORAGE_SIM) return E_INVALIDARG;
  if (!card.present) return SIM_E_NOSIM;
  *used = static_cast<DWORD>(card.entries.size());
  *total = card.total;
  return S_OK;
}

HRESULT SimReadPhonebookEntry(HSIM sim, DWORD location, DWORD index, SIMPHONEBOOKENTRY* entry) {
  if (auto struck = sim::Strike("SimReadPhonebookEntry")) return static_cast<HRESULT>(*struck);
  sim::SimCard& card = Card();
  if (!card.IsOpen(sim) || !entry || location != SIM_PBSTORAGE_SIM) return E_INVALIDARG;
  if (!card.present) return SIM_E_NOSIM;
  RoundTrip();
  if (index < 1 || index > card.total) return SIM_E_INVALIDINDEX;
  auto it = card.entries.find(index);
  if (it == card.entries.end()) return SIM_E_EMPTYINDEX;
  entry->cbSize = sizeof(SIMPHONEBOOKENTRY);
  entry->dwParams = SIM_PARAM_PBE_ADDRESS | SIM_PARAM_PBE_TEXT;
  CopyText(entry->lpszAddress, MAX_LENGTH_ADDRESS, it->second.number);
  CopyText(entry->lpszText, MAX_LENGTH_PHONEBOOKENTRYTEXT, it->second.name);
  return S_OK;
}
