#include "pim/sim_phonebook.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/kernel.h"
#include "platform/process_local.h"
#include "platform/relaxed.h"
#include "platform/sim_manager.h"

namespace pim {
namespace {

// Only the first `count` entries are ever read, each written whole with its terminator: the
// rest is left as it is, so that a refill does not clear 30 KB first.
struct SimCache {
  DWORD count = 0;
  WCHAR names[kSimMaxEntries][kSimFieldChars];
  WCHAR numbers[kSimMaxEntries][kSimFieldChars];
};

std::shared_ptr<SimCache> NewCache() {
  return std::make_shared_for_overwrite<SimCache>();
}

// A refill builds a new cache aside and then publishes it whole, so a lookup on another thread
// sees the old or the new one, never half of each, and never waits for the radio.
struct SimState {
  platform::Relaxed<HSIM> handle{0};
  platform::Relaxed<HANDLE> loader{0};     // the thread of the first fill, until shutdown
  platform::Relaxed<uint8_t> stopping{0};  // shutdown: refills stop after the current read
  std::atomic<std::shared_ptr<const SimCache>> cache{NewCache()};
  std::atomic<uint32_t> nextTicket{0};
  std::atomic<uint32_t> publishedTicket{0};
};

SimState& Sim() {
  return platform::ProcessGlobal<SimState>();
}

// Only a refill that began later than the published one may replace it.
void Publish(std::shared_ptr<const SimCache> cache, uint32_t ticket) {
  SimState& s = Sim();
  uint32_t seen = s.publishedTicket.load();
  while (ticket > seen)
    if (s.publishedTicket.compare_exchange_weak(seen, ticket)) {
      s.cache.store(std::move(cache));
      return;
    }
}

constexpr DWORD kLoaderStopMs = 300;

void CopyField(WCHAR* out, const WCHAR* in, size_t inCapacity) {
  size_t n = 0;
  while (n < inCapacity && n + 1 < kSimFieldChars && in[n]) ++n;
  std::copy_n(in, n, out);
  out[n] = 0;
}

void Refill(bool fromCallback);

void OnSimNotify(DWORD code, const void*, DWORD, DWORD) {
  if (code == SIM_NOTIFY_PBE_STORED || code == SIM_NOTIFY_PBE_DELETED) Refill(true);
}

// Entries may sit anywhere in 1..total: reading goes on until `used` of them were accounted
// for. An entry that cannot be read counts as one of them, so a single bad entry does not cost
// a radio round trip for every position of the card.
// A notification empties the cache when the phonebook cannot be read; one that arrives after
// shutdown released the SIM does not open it again.
void Refill(bool fromCallback) {
  SimState& s = Sim();
  uint32_t ticket = ++s.nextTicket;
  if (!s.handle) {
    if (fromCallback || s.stopping) return;
    HSIM h = 0;
    if (FAILED(SimInitialize(SIM_INIT_SIMCARD_NOTIFICATIONS, &OnSimNotify, 0, &h))) return;
    s.handle = h;
  }
  auto cache = NewCache();
  DWORD used = 0, total = 0;
  if (FAILED(SimGetPhonebookStatus(s.handle, SIM_PBSTORAGE_SIM, &used, &total))) {
    if (fromCallback) Publish(cache, ticket);
    return;
  }
  DWORD wanted = std::min<DWORD>(used, kSimMaxEntries);
  DWORD accounted = 0;
  for (DWORD index = 1; index <= total && cache->count < wanted && accounted < used; ++index) {
    if (s.stopping) return;
    SIMPHONEBOOKENTRY entry{};
    entry.cbSize = sizeof entry;
    HRESULT hr = SimReadPhonebookEntry(s.handle, SIM_PBSTORAGE_SIM, index, &entry);
    if (hr == SIM_E_EMPTYINDEX) continue;
    ++accounted;
    if (FAILED(hr)) continue;
    CopyField(cache->names[cache->count], entry.lpszText, MAX_LENGTH_PHONEBOOKENTRYTEXT);
    CopyField(cache->numbers[cache->count], entry.lpszAddress, MAX_LENGTH_ADDRESS);
    ++cache->count;
  }
  Publish(std::move(cache), ticket);
}

DWORD FirstFill(LPVOID) {
  Refill(false);
  return 0;
}

}  // namespace

void LoadSimPhonebook() {
  SimState& s = Sim();
  if (s.loader) return;
  s.loader = CreateThread(nullptr, 0, &FirstFill, nullptr, 0, nullptr);
  // Without a thread of its own the card is read here, late rather than never.
  if (!s.loader) Refill(false);
}

void ReleaseSim() {
  SimState& s = Sim();
  s.stopping = 1;
  if (HANDLE loader = s.loader) {
    s.loader = 0;
    // A read is one radio round trip; the fill stops after it.
    if (WaitForSingleObject(loader, kLoaderStopMs) != WAIT_OBJECT_0) TerminateThread(loader, 0);
    CloseHandle(loader);
  }
  if (HSIM h = s.handle) {
    s.handle = 0;
    SimDeinitialize(h);
  }
}

bool SimNumbersMatch(std::u16string_view stored, std::u16string_view caller) {
  if (stored == caller) return true;
  size_t l = stored.size(), r = caller.size();
  if (l < 2 || r < 2 || l >= r || l + 3 < r) return false;
  return caller.substr(r - l) == stored;
}

std::u16string FindSimName(std::u16string_view caller) {
  std::shared_ptr<const SimCache> cache = Sim().cache.load();
  for (DWORD i = 0; i < cache->count; ++i)
    if (SimNumbersMatch(cache->numbers[i], caller)) return cache->names[i];
  return {};
}

int SimCachedEntries() {
  return static_cast<int>(Sim().cache.load()->count);
}

}  // namespace pim
