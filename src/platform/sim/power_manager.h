// The simulated power manager: message queues, the programs that asked for power
// notifications, the unattended-mode reference count, and the broadcasts the driver makes when
// the display goes off, the power button is pressed or the charger comes and goes.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/objects.h"

namespace sim {

class Device;
struct Process;

// The messages of one queue, shared by its read handle and the power manager's writer.
struct QueueCore {
  std::deque<std::vector<uint8_t>> messages;
  DWORD maxMessages = 0;  // 0 = no limit
  DWORD maxMessageBytes = 0;
  bool allowBroken = false;
  int writers = 0;
  Process* owner = nullptr;  // the queue goes with its process
};

struct MsgQueueObj : KObject {
  MsgQueueObj(std::shared_ptr<QueueCore> c, bool read)
      : KObject(ObjType::MsgQueue), core(std::move(c)), readAccess(read) {}
  bool Signaled() const override { return readAccess && !core->messages.empty(); }
  std::shared_ptr<QueueCore> core;
  bool readAccess;
};

// A line of the device trace about the power manager's doings.
void PowerNote(Device& dev, std::string text);

class PowerManager {
 public:
  // The device's power manager, made on first use.
  static PowerManager& Of(Device& dev);

  // Failure switches for tests.
  bool running = true;             // false: RequestPowerNotifications fails with 1062
  int unattendedReferences = 0;    // net PowerPolicyNotify(PPN_UNATTENDEDMODE) count
  std::u16string state = u"on";  // the last transition's name: a timed notification wakes "suspend"

  HANDLE Request(Device& dev, const std::shared_ptr<QueueCore>& queue, DWORD mask);
  bool Stop(HANDLE request);
  size_t ActiveRequests() const;

  // A transition to the state `name` with its POWER_STATE_ flags, to every queue that asked
  // for transitions.
  void Transition(Device& dev, const std::u16string& name, DWORD flags);
  // The charger or the battery changed: the device's power status answers the new values
  // from now on, and every queue that asked for power-info changes is told.
  void PowerInfo(Device& dev, BYTE acLine, BYTE batteryPercent);

 private:
  struct Registration {
    HANDLE handle;
    std::weak_ptr<QueueCore> queue;
    DWORD mask;
  };
  void Broadcast(Device& dev, DWORD type, const std::vector<uint8_t>& message);

  std::vector<Registration> registrations_;
  HANDLE next_ = 0x00A00004;
};

}  // namespace sim
