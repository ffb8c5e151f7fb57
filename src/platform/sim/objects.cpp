#include "platform/sim/objects.h"

#include <algorithm>

#include "platform/sim/process.h"
#include "platform/wstr.h"

namespace sim {

bool ProcessObj::Signaled() const {
  return process->ended;
}

HANDLE HandleTable::Add(std::shared_ptr<KObject> obj, bool owned) {
  HANDLE h = next_;
  next_ += 4;
  map_[h] = std::move(obj);
  if (const void* owner = owned && currentOwner ? currentOwner() : nullptr) owners_[h] = owner;
  return h;
}

size_t HandleTable::OpenHandlesOf(const void* owner) const {
  return std::count_if(owners_.begin(), owners_.end(),
                       [owner](const auto& entry) { return entry.second == owner; });
}

void HandleTable::CloseAllOf(const void* owner) {
  if (!owner) return;
  for (auto it = owners_.begin(); it != owners_.end();) {
    if (it->second == owner) {
      map_.erase(it->first);
      it = owners_.erase(it);
    } else {
      ++it;
    }
  }
}

std::shared_ptr<KObject> HandleTable::Get(HANDLE h) const {
  auto it = map_.find(h);
  return it == map_.end() ? nullptr : it->second;
}

bool HandleTable::Close(HANDLE h) {
  owners_.erase(h);
  return map_.erase(h) > 0;
}

static std::u16string Folded(const std::u16string& name) {
  std::u16string out = name;
  for (auto& c : out) c = platform::FoldCase(c);
  return out;
}

std::shared_ptr<EventObj> HandleTable::FindNamedEvent(const std::u16string& name) const {
  auto it = named_.find(Folded(name));
  return it == named_.end() ? nullptr : it->second.lock();
}

void HandleTable::AddNamedEvent(const std::shared_ptr<EventObj>& ev) {
  named_[Folded(ev->name)] = ev;
}

}  // namespace sim
