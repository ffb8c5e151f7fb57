#include "platform/sim/mapi_model.h"

#include <algorithm>

#include "platform/sim/device.h"
#include "platform/wstr.h"

namespace sim {
namespace {

constexpr char16_t kMessagesKey[] = u"HKEY_CURRENT_USER\\System\\State\\Messages";

// The unread-count keys the shell keeps, by MapiKind.
constexpr std::u16string_view kCountKeys[] = {
    u"HKEY_CURRENT_USER\\System\\State\\Messages\\SMS\\Unread",
    u"HKEY_CURRENT_USER\\System\\State\\Messages\\MMS\\Unread",
    u"HKEY_CURRENT_USER\\System\\State\\Messages\\TotalEmail\\Unread"};

bool Unread(const MapiMessage& m) {
  return (m.flags & MSGFLAG_READ) == 0;
}

std::vector<uint8_t> DwordBytes(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

std::vector<uint8_t> TextBytes(const std::u16string& text) {
  std::vector<uint8_t> out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}
}  // namespace

bool NewerMessage(const MapiMessage& a, const MapiMessage& b) {
  if (a.time != b.time) return !a.time || (b.time && *a.time > *b.time);
  return a.arrival > b.arrival;
}

MapiStore::MapiStore(uint32_t i, std::u16string n)
    : id(i),
      name(std::move(n)),
      traceName(platform::U8(name)),
      kind(name == u"SMS"   ? MapiKind::Sms
           : name == u"MMS" ? MapiKind::Mms
                            : MapiKind::Email) {}

MapiInboxView::MapiInboxView(Mapi& model, const MapiStore& store)
    : model_(&model),
      store_(store),
      size_(store.inbox.size()),
      lastArrival_(store.inbox.empty() ? 0 : store.inbox.back().arrival) {
  model.views_.push_back(this);
}

MapiInboxView::~MapiInboxView() {
  if (model_) std::erase(model_->views_, this);
}

void MapiInboxView::NewestFirst() {
  newestFirst_ = true;
  newestRow_ = SIZE_MAX;
}

const MapiMessage* MapiInboxView::At(size_t row) {
  if (!newestFirst_) return &store_.inbox[row];
  if (row < newestRow_) {
    newestRow_ = 0;
    newest_ = store_.newest.begin();
    SkipLaterArrivals();
  }
  for (; newestRow_ < row; ++newestRow_) {
    ++newest_;
    SkipLaterArrivals();
  }
  return *newest_;
}

void MapiInboxView::SkipLaterArrivals() {
  while ((*newest_)->arrival > lastArrival_) ++newest_;
}

ULONG MapiInboxView::FlagsOf(const MapiMessage& m) const {
  auto kept = flagsWhenOpened_.find(m.id);
  return kept == flagsWhenOpened_.end() ? m.flags : kept->second;
}

void MapiInboxView::Keep(const MapiMessage& m) {
  if (m.arrival <= lastArrival_) flagsWhenOpened_.emplace(m.id, m.flags);
}

Mapi::Mapi() {
  AddStore(u"SMS");
  AddStore(u"MMS");
}

Mapi::~Mapi() {
  for (MapiInboxView* v : views_) v->model_ = nullptr;
}

MapiStore& Mapi::AddStore(std::u16string name) {
  return stores_.emplace_back(nextStore_++, std::move(name));
}

bool Mapi::Arrive(Device& dev, const std::u16string& store, MapiMessage message, bool create) {
  MapiStore* target = nullptr;
  for (auto& s : stores_)
    if (s.name == store) target = &s;
  if (!target) {
    if (!create) return false;
    target = &AddStore(store);
  }
  message.id = static_cast<uint32_t>(byId_.size() + 1);
  message.arrival = ++arrivals_;
  MapiMessage& m = target->inbox.emplace_back(std::move(message));
  // A message usually arrives as the newest: the hint makes that insertion cost nothing more.
  target->newest.insert(target->newest.begin(), &m);
  if (Unread(m)) target->unread.insert(target->unread.begin(), &m);
  byId_.push_back({target, &m});
  dev.Note("mapi arrive " + target->traceName);
  // The account comes first, so that whoever hears of the count finds it.
  if (target->kind == MapiKind::Email)
    dev.registry().SetValue(kMessagesKey, u"Last Received Account", REG_SZ, TextBytes(store));
  Publish(dev, target->kind);
  return true;
}

std::vector<const MapiMessage*> Mapi::Inbox(const std::u16string& store) const {
  std::vector<const MapiMessage*> out;
  for (const auto& s : stores_) {
    if (s.name != store) continue;
    auto theirs = static_cast<std::ptrdiff_t>(out.size());
    out.insert(out.end(), s.newest.begin(), s.newest.end());
    std::inplace_merge(out.begin(), out.begin() + theirs, out.end(), NewerFirst{});
  }
  return out;
}

bool Mapi::ReadNewest(Device& dev, const std::u16string& store) {
  MapiStore* owner = nullptr;
  for (auto& s : stores_)
    if (s.name == store && !s.unread.empty() &&
        (!owner || NewerMessage(**s.unread.begin(), **owner->unread.begin())))
      owner = &s;
  if (!owner) return false;
  SetRead(dev, *owner, **owner->unread.begin(), true);
  return true;
}

MapiStore* Mapi::StoreById(uint32_t id) {
  for (auto& s : stores_)
    if (s.id == id) return &s;
  return nullptr;
}

MapiMessage* Mapi::MessageById(uint32_t id, MapiStore** owner) {
  if (id == 0 || id > byId_.size()) return nullptr;
  const Placed& p = byId_[id - 1];
  if (owner) *owner = p.store;
  return p.message;
}

void Mapi::SetRead(Device& dev, MapiStore& store, MapiMessage& message, bool read) {
  if (read != Unread(message)) return;
  for (MapiInboxView* v : views_)
    if (&v->store_ == &store) v->Keep(message);
  message.flags = read ? (message.flags | MSGFLAG_READ) : (message.flags & ~MSGFLAG_READ);
  if (read)
    store.unread.erase(&message);
  else
    store.unread.insert(&message);
  dev.Note(std::string("mapi ") + (read ? "read " : "unread ") + store.traceName);
  Publish(dev, store.kind);
}

// A count that has not changed is not written again, so nobody hears of it.
void Mapi::Publish(Device& dev, MapiKind kind) {
  uint32_t unread = 0;
  for (const auto& s : stores_)
    if (s.kind == kind) unread += static_cast<uint32_t>(s.unread.size());
  Registry& reg = dev.registry();
  const auto k = static_cast<size_t>(kind);
  std::optional<Written>& written = written_[k];
  // While nothing else has changed the registry, the count is what was written last: arrivals
  // one after another need not look it up.
  if (written && written->generation == reg.Generation()) {
    if (written->count == unread) return;
  } else {
    const RegValue* now = reg.PeekValue(kCountKeys[k], u"Count");
    if (now && now->type == REG_DWORD && now->bytes == DwordBytes(unread)) return;
  }
  const uint64_t before = reg.Generation();
  reg.SetValue(kCountKeys[k], u"Count", REG_DWORD, DwordBytes(unread));
  // Not when the write made the key too, or someone who heard of it changed the registry in turn.
  written.reset();
  if (reg.Generation() == before + 1) written = Written{reg.Generation(), unread};
}

}  // namespace sim
