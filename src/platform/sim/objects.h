// Kernel objects behind HANDLE values: events, threads, processes, snapshots.
#pragma once

#include <map>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/files.h"
#include "platform/sim/scheduler.h"

namespace sim {

enum class ObjType { Event, Thread, Process, Snapshot, MsgQueue };

struct KObject {
  explicit KObject(ObjType t) : type(t) {}
  virtual ~KObject() = default;
  // Whether a wait on it is satisfied now.
  virtual bool Signaled() const { return false; }
  // A satisfied wait consumes the signal (auto-reset events).
  virtual void Acquire() {}
  ObjType type;
};

struct EventObj : KObject {
  EventObj(bool manualReset, bool initial, std::u16string n)
      : KObject(ObjType::Event), manual(manualReset), signaled(initial), name(std::move(n)) {}
  bool Signaled() const override { return signaled; }
  void Acquire() override {
    if (!manual) signaled = false;
  }
  bool manual;
  bool signaled;
  std::u16string name;
};

struct ThreadObj : KObject {
  explicit ThreadObj(Thread* t) : KObject(ObjType::Thread), thread(t) {}
  bool Signaled() const override {
    return thread->state == ThreadState::Finished || thread->killed;
  }
  Thread* thread;
};

struct Process;
struct ProcessObj : KObject {
  explicit ProcessObj(Process* p) : KObject(ObjType::Process), process(p) {}
  bool Signaled() const override;
  Process* process;
};

struct SnapshotObj : KObject {
  SnapshotObj() : KObject(ObjType::Snapshot) {}
  std::vector<PROCESSENTRY32> entries;
  size_t next = 0;
};

class HandleTable {
 public:
  // A handle the calling process holds; or, not owned, one the system keeps for itself.
  HANDLE Add(std::shared_ptr<KObject> obj, bool owned = true);
  std::shared_ptr<KObject> Get(HANDLE h) const;
  template <class T>
  T* GetAs(HANDLE h, ObjType type) const {
    auto it = map_.find(h);
    if (it == map_.end() || it->second->type != type) return nullptr;
    return static_cast<T*>(it->second.get());
  }
  bool Close(HANDLE h);
  // Closes every handle `owner` holds (a process that ended), as the system does.
  void CloseAllOf(const void* owner);
  size_t OpenHandlesOf(const void* owner) const;
  // Who takes a handle now; the device answers with the calling process.
  std::function<const void*()> currentOwner;
  // Named events are shared by every process of the device; names compare case-insensitively.
  std::shared_ptr<EventObj> FindNamedEvent(const std::u16string& name) const;
  void AddNamedEvent(const std::shared_ptr<EventObj>& ev);

 private:
  std::unordered_map<HANDLE, std::shared_ptr<KObject>> map_;
  std::unordered_map<HANDLE, const void*> owners_;
  std::map<std::u16string, std::weak_ptr<EventObj>> named_;
  HANDLE next_ = 0x00001004;
};

}  // namespace sim
