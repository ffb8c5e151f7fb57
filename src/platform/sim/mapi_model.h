// The device's message stores as the messaging system keeps them: "SMS", "MMS" and one store
// per e-mail account, each with an inbox. Arrivals and reads move the unread counts the shell
// publishes in the state store, so programs subscribed to them hear of it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/mapi.h"

namespace sim {

class Device;
struct Process;

struct MapiMessage {
  uint32_t id = 0;  // unique on the device; the number inside its entry id
  std::optional<std::u16string> sender, subject, email;
  std::optional<uint64_t> time;  // delivery time, FILETIME ticks (UTC); none: no such column
  uint64_t arrival = 0;
  ULONG flags = 0;
  bool shown = false;  // opened in the mail viewer
};

struct MapiStore {
  uint32_t id = 0;
  std::u16string name;
  std::vector<MapiMessage> inbox;  // in arrival order
};

// What an entry id names; the bytes after the four flag bytes are the kind and the number.
enum class MapiEntry : uint32_t { Store = 1, Folder = 2, Message = 3 };

class Mapi {
 public:
  Mapi();

  // Driver side.
  MapiStore& AddStore(std::u16string name);
  // A message arrives in the newest store of that name (made when there is none and `create`).
  bool Arrive(Device& dev, const std::u16string& store, MapiMessage message, bool create);
  // The user reads the newest unread message of the stores of that name.
  bool ReadNewest(Device& dev, const std::u16string& store);
  // The inboxes of every store of that name, newest first.
  std::vector<const MapiMessage*> Inbox(const std::u16string& store) const;

  // Platform side.
  std::vector<MapiStore>& Stores() { return stores_; }
  MapiStore* StoreById(uint32_t id);
  MapiMessage* MessageById(uint32_t id, MapiStore** owner = nullptr);
  // Sets or clears the read flag and republishes the store's unread count.
  void SetRead(Device& dev, MapiStore& store, MapiMessage& message, bool read);

  std::map<Process*, int> initialized;  // MAPIInitialize calls not yet undone
  int liveBuffers = 0;                  // MAPIAllocateBuffer blocks not yet freed
  int sessions = 0;                     // sessions not yet logged off

 private:
  void Publish(Device& dev, const std::u16string& store);
  std::vector<MapiStore> stores_;
  uint32_t nextStore_ = 1;
  uint32_t nextMessage_ = 1;
  uint64_t arrivals_ = 0;
};

// Newest first: by delivery time, a later arrival first among equal times. A message without
// one comes first, as the store's tables sort a missing key above every value.
bool NewerMessage(const MapiMessage& a, const MapiMessage& b);

}  // namespace sim
