// The device's COM runtime: which threads initialised COM, the in-process classes programs can
// create by class id, and counts of live objects and texts so that tests see leaks.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "platform/com.h"

namespace sim {

struct Thread;

// Reference counting for a model's COM object; the concrete class answers QueryInterface.
template <class Interface>
class ComObject : public Interface {
 public:
  ComObject();
  virtual ~ComObject();
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ULONG refs_ = 1;
};

class ComRuntime {
 public:
  // A class that CoCreateInstance can make: the factory returns a new object holding one
  // reference.
  using Factory = std::function<IUnknown*()>;
  void RegisterClass(const CLSID& clsid, Factory factory);
  void UnregisterClass(const CLSID& clsid);

  HRESULT Initialize(Thread* t);
  void Uninitialize(Thread* t);
  bool Initialized(Thread* t) const;
  HRESULT Create(Thread* t, const CLSID& clsid, REFIID riid, void** object);

  int liveObjects = 0;  // model objects not yet released to a count of 0
  int liveStrings = 0;  // BSTRs not yet freed

 private:
  struct Class {
    CLSID clsid;
    Factory factory;
  };
  std::vector<Class> classes_;
  std::map<Thread*, int> initialized_;
};

ComRuntime& Com();

template <class Interface>
ComObject<Interface>::ComObject() {
  ++Com().liveObjects;
}

template <class Interface>
ComObject<Interface>::~ComObject() {
  --Com().liveObjects;
}

}  // namespace sim
