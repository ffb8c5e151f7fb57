// The device's message stores as the messaging system keeps them: "SMS", "MMS" and one store
// per e-mail account, each with an inbox. Arrivals and reads move the unread counts the shell
// publishes in the state store, so programs subscribed to them hear of it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/mapi.h"

namespace sim {

class Device;
struct Process;

struct MapiMessage {
  uint32_t id = 0;  // unique on the device; the number inside its entry id
  std::optional<std::u16string> sender, subject, email;
  // Delivery time, FILETIME ticks (UTC); none: no such column. With the arrival it places the
  // message in its store's indexes, so neither changes once the message is in a store.
  std::optional<uint64_t> time;
  uint64_t arrival = 0;
  ULONG flags = 0;
  bool shown = false;  // opened in the mail viewer
};

// Newest first: by delivery time, a later arrival first among equal times. A message without
// one comes first, as the store's tables sort a missing key above every value.
bool NewerMessage(const MapiMessage& a, const MapiMessage& b);
struct NewerFirst {
  bool operator()(const MapiMessage* a, const MapiMessage* b) const { return NewerMessage(*a, *b); }
};
using MapiIndex = std::set<MapiMessage*, NewerFirst>;

// The shell counts the unread messages of the SMS stores, of the MMS stores, and of all e-mail
// accounts together.
enum class MapiKind { Sms, Mms, Email };

struct MapiStore {
  MapiStore(uint32_t i, std::u16string n);
  // The indexes point into the inbox.
  MapiStore(const MapiStore&) = delete;
  MapiStore& operator=(const MapiStore&) = delete;

  uint32_t id = 0;
  std::u16string name;
  std::string traceName;  // the name as trace lines write it
  MapiKind kind;
  std::deque<MapiMessage> inbox;  // in arrival order; a message never moves
  // Kept as messages arrive and are read, so that neither an arrival nor a look at the newest
  // costs more as the inbox grows.
  MapiIndex newest;  // the whole inbox, newest first, as the daemon sorts its tables
  MapiIndex unread;  // the messages without the read flag, newest first
};

// What an entry id names; the bytes after the four flag bytes are the kind and the number.
enum class MapiEntry : uint32_t { Store = 1, Folder = 2, Message = 3 };

class Mapi;

// A contents table's view of one store's inbox as it was when the table was opened, as the
// device makes a table's rows then: messages that arrive later are left out, and one read or
// unread since shows the flags it had. In arrival order or, once asked for, newest first.
class MapiInboxView {
 public:
  MapiInboxView(Mapi& model, const MapiStore& store);
  ~MapiInboxView();
  MapiInboxView(const MapiInboxView&) = delete;
  MapiInboxView& operator=(const MapiInboxView&) = delete;

  size_t size() const { return size_; }
  bool newestFirst() const { return newestFirst_; }
  void NewestFirst();
  // The message at `row` (below size()); the row after the last one asked for comes cheapest.
  const MapiMessage* At(size_t row);
  ULONG FlagsOf(const MapiMessage& m) const;

 private:
  friend class Mapi;
  // Before the flags of a message of the store change.
  void Keep(const MapiMessage& m);
  // From `newest_` on to the first message that was there when the view was made.
  void SkipLaterArrivals();

  Mapi* model_;  // null once the model is gone
  const MapiStore& store_;
  size_t size_;
  uint64_t lastArrival_;
  bool newestFirst_ = false;
  // Newest first: the row `newest_` stands at; none until a row is asked for.
  size_t newestRow_ = SIZE_MAX;
  MapiIndex::const_iterator newest_;
  std::map<uint32_t, ULONG> flagsWhenOpened_;  // by message id, for those changed since
};

class Mapi {
 public:
  Mapi();
  ~Mapi();
  Mapi(const Mapi&) = delete;
  Mapi& operator=(const Mapi&) = delete;

  // Driver side.
  MapiStore& AddStore(std::u16string name);
  // A message arrives in the newest store of that name (made when there is none and `create`).
  bool Arrive(Device& dev, const std::u16string& store, MapiMessage message, bool create);
  // The user reads the newest unread message of the stores of that name.
  bool ReadNewest(Device& dev, const std::u16string& store);
  // The inboxes of every store of that name, newest first.
  std::vector<const MapiMessage*> Inbox(const std::u16string& store) const;

  // Platform side.
  const std::deque<MapiStore>& Stores() const { return stores_; }
  MapiStore* StoreById(uint32_t id);
  MapiMessage* MessageById(uint32_t id, MapiStore** owner = nullptr);
  // Sets or clears the read flag and republishes the store's unread count.
  void SetRead(Device& dev, MapiStore& store, MapiMessage& message, bool read);

  std::map<Process*, int> initialized;  // MAPIInitialize calls not yet undone
  int liveBuffers = 0;                  // MAPIAllocateBuffer blocks not yet freed
  int sessions = 0;                     // sessions not yet logged off

 private:
  friend class MapiInboxView;
  // A count as written, and the registry's generation just after.
  struct Written {
    uint64_t generation;
    uint32_t count;
  };
  struct Placed {
    MapiStore* store;
    MapiMessage* message;
  };
  void Publish(Device& dev, MapiKind kind);
  std::deque<MapiStore> stores_;  // a store never moves either
  std::vector<Placed> byId_;      // message id - 1
  std::vector<MapiInboxView*> views_;
  std::array<std::optional<Written>, 3> written_;  // by MapiKind
  uint32_t nextStore_ = 1;
  uint64_t arrivals_ = 0;
};

}  // namespace sim
