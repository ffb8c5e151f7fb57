#include "platform/sim/power_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/kernel.h"
#include "platform/power.h"
#include "platform/sim/device.h"
#include "platform/sim/faults.h"
#include "platform/wstr.h"

namespace sim {

void PowerNote(Device& dev, std::string text) {
  dev.Note(std::move(text));
}

namespace {

void PutDword(std::vector<uint8_t>& out, size_t at, DWORD v) {
  std::memcpy(out.data() + at, &v, sizeof v);
}
}  // namespace

PowerManager& PowerManager::Of(Device& dev) {
  static const char key = 0;
  auto& slots = dev.DriverProcess().slots;
  auto it = slots.find(&key);
  if (it == slots.end())
    it = slots
             .emplace(&key, std::make_pair(static_cast<void*>(new PowerManager),
                                           [](void* p) { delete static_cast<PowerManager*>(p); }))
             .first;
  return *static_cast<PowerManager*>(it->second.first);
}

HANDLE PowerManager::Request(Device& dev, const std::shared_ptr<QueueCore>& queue, DWORD mask) {
  HANDLE h = next_;
  next_ += 4;
  registrations_.push_back({h, queue, mask});
  ++queue->writers;
  char buf[80];
  std::snprintf(buf, sizeof buf, "power notifications requested mask=0x%X", mask);
  PowerNote(dev, buf);
  return h;
}

bool PowerManager::Stop(HANDLE request) {
  auto it = std::find_if(registrations_.begin(), registrations_.end(),
                         [&](const Registration& r) { return r.handle == request; });
  if (it == registrations_.end()) return false;
  if (auto q = it->queue.lock()) --q->writers;
  registrations_.erase(it);
  return true;
}

size_t PowerManager::ActiveRequests() const {
  return static_cast<size_t>(
      std::count_if(registrations_.begin(), registrations_.end(),
                    [](const Registration& r) { return !r.queue.expired(); }));
}

void PowerManager::Broadcast(Device& dev, DWORD type, const std::vector<uint8_t>& message) {
  // A queue whose process ended is gone with it, as the kernel would close it.
  std::erase_if(registrations_, [](const Registration& r) {
    auto q = r.queue.lock();
    return !q || (q->owner && q->owner->ended);
  });
  for (const Registration& r : registrations_) {
    if (!(r.mask & type)) continue;
    auto q = r.queue.lock();
    // The writer does not wait: a message too long for the queue or a full queue is lost,
    // as a zero-timeout WriteMsgQueue would lose it.
    if (message.size() > q->maxMessageBytes ||
        (q->maxMessages && q->messages.size() >= q->maxMessages)) {
      PowerNote(dev, "power broadcast lost: queue full or message longer than the queue allows");
      continue;
    }
    q->messages.push_back(message);
  }
}

void PowerManager::Transition(Device& dev, const std::u16string& name, DWORD flags) {
  size_t dataBytes = (name.size() + 1) * sizeof(WCHAR);
  std::vector<uint8_t> message(sizeof(POWER_BROADCAST) + dataBytes, 0);
  PutDword(message, 0, PBT_TRANSITION);
  PutDword(message, 4, flags);
  PutDword(message, 8, static_cast<DWORD>(dataBytes));
  std::memcpy(message.data() + sizeof(POWER_BROADCAST), name.data(), name.size() * sizeof(WCHAR));
  char buf[128];
  std::snprintf(buf, sizeof buf, "power transition %s 0x%08X", platform::U8(name).c_str(), flags);
  PowerNote(dev, buf);
  state = name;
  Broadcast(dev, PBT_TRANSITION, message);
  if (flags & POWER_STATE_SUSPEND)
    dev.EnterSuspend();
  else
    dev.LeaveSuspend();
}

void PowerManager::PowerInfo(Device& dev, BYTE acLine, BYTE batteryPercent) {
  PowerConfig& config = dev.config().power;
  config.acLine = acLine;
  config.batteryPercent = batteryPercent;
  POWER_BROADCAST_POWER_INFO info{};
  info.dwNumLevels = 1;
  info.dwBatteryLifeTime = 0xFFFFFFFFu;
  info.dwBatteryFullLifeTime = 0xFFFFFFFFu;
  info.dwBackupBatteryLifeTime = 0xFFFFFFFFu;
  info.dwBackupBatteryFullLifeTime = 0xFFFFFFFFu;
  info.bACLineStatus = acLine;
  info.bBatteryFlag = acLine == 1 ? 8 : batteryPercent < 20 ? 2 : 1;
  info.bBatteryLifePercent = batteryPercent;
  info.bBackupBatteryFlag = 1;
  info.bBackupBatteryLifePercent = 100;
  std::vector<uint8_t> message(sizeof(POWER_BROADCAST) + sizeof info, 0);
  PutDword(message, 0, PBT_POWERINFOCHANGE);
  PutDword(message, 8, sizeof info);
  std::memcpy(message.data() + sizeof(POWER_BROADCAST), &info, sizeof info);
  char buf[96];
  std::snprintf(buf, sizeof buf, "power info ac=%u battery=%u", acLine, batteryPercent);
  PowerNote(dev, buf);
  Broadcast(dev, PBT_POWERINFOCHANGE, message);
}

}  // namespace sim

// --- The platform calls ----------------------------------------------------------------------

using sim::Device;
using sim::MsgQueueObj;
using sim::PowerManager;
using sim::QueueCore;

namespace {
MsgQueueObj* QueueOf(HANDLE h) {
  return Device::Current().handles().GetAs<MsgQueueObj>(h, sim::ObjType::MsgQueue);
}
}  // namespace

HANDLE CreateMsgQueue(LPCWSTR name, const MSGQUEUEOPTIONS* o) {
  if (sim::StruckWithLastError("CreateMsgQueue")) return 0;
  Device& dev = Device::Current();
  if (!o || o->dwSize != sizeof(MSGQUEUEOPTIONS) ||
      (o->dwFlags & ~(MSGQUEUE_NOPRECOMMIT | MSGQUEUE_ALLOW_BROKEN)) || o->cbMaxMessage == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Named queues are for programs talking to each other; nothing here needs them.
  if (name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto core = std::make_shared<QueueCore>();
  core->maxMessages = o->dwMaxMessages;
  core->maxMessageBytes = o->cbMaxMessage;
  core->allowBroken = (o->dwFlags & MSGQUEUE_ALLOW_BROKEN) != 0;
  sim::Thread* t = dev.scheduler().Current();
  core->owner = t ? t->process : nullptr;
  return dev.handles().Add(std::make_shared<MsgQueueObj>(core, o->bReadAccess != 0));
}

BOOL ReadMsgQueue(HANDLE h, LPVOID buffer, DWORD size, DWORD* bytesRead, DWORD timeoutMs,
                  DWORD* flags) {
  if (sim::StruckWithLastError("ReadMsgQueue")) return FALSE;
  MsgQueueObj* q = QueueOf(h);
  if (!q || !q->readAccess || !buffer || !bytesRead) {
    SetLastError(q ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Keep the messages alive across the wait: the handle may be closed meanwhile.
  std::shared_ptr<QueueCore> core = q->core;
  if (core->messages.empty()) {
    if (core->writers == 0 && !core->allowBroken) {
      SetLastError(ERROR_PIPE_NOT_CONNECTED);
      return FALSE;
    }
    if (timeoutMs == 0 || WaitForSingleObject(h, timeoutMs) != WAIT_OBJECT_0 ||
        core->messages.empty()) {
      SetLastError(ERROR_TIMEOUT);
      return FALSE;
    }
  }
  std::vector<uint8_t> message = std::move(core->messages.front());
  core->messages.pop_front();
  DWORD n = std::min<DWORD>(size, static_cast<DWORD>(message.size()));
  std::memcpy(buffer, message.data(), n);
  *bytesRead = n;
  if (flags) *flags = 0;
  SetLastError(n < message.size() ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS);
  return TRUE;
}

BOOL CloseMsgQueue(HANDLE h) {
  if (!QueueOf(h)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return Device::Current().handles().Close(h);
}

HANDLE RequestPowerNotifications(HANDLE h, DWORD flags) {
  if (sim::StruckWithLastError("RequestPowerNotifications")) return 0;
  Device& dev = Device::Current();
  PowerManager& pm = PowerManager::Of(dev);
  if (!pm.running) {
    SetLastError(ERROR_SERVICE_NOT_ACTIVE);
    return 0;
  }
  MsgQueueObj* q = QueueOf(h);
  if (!q || flags == 0) {
    SetLastError(q ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return 0;
  }
  return pm.Request(dev, q->core, flags);
}

DWORD StopPowerNotifications(HANDLE request) {
  if (auto struck = sim::Strike("StopPowerNotifications")) return static_cast<DWORD>(*struck);
  return PowerManager::Of(Device::Current()).Stop(request) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

BOOL PowerPolicyNotify(DWORD message, DWORD data) {
  if (sim::StruckWithLastError("PowerPolicyNotify")) return FALSE;
  Device& dev = Device::Current();
  PowerManager& pm = PowerManager::Of(dev);
  if (message != PPN_UNATTENDEDMODE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The power manager's count never goes below zero: a release nobody asked for is refused.
  if (!data && pm.unattendedReferences <= 0) {
    sim::PowerNote(dev, "power unattended off refused (no request)");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  pm.unattendedReferences += data ? 1 : -1;
  char buf[80];
  std::snprintf(buf, sizeof buf, "power unattended %s (references %d)", data ? "on" : "off",
                pm.unattendedReferences);
  sim::PowerNote(dev, buf);
  return TRUE;
}
