// The device's telephony: one voice-capable line, the applications that initialised the line
// interface (each with its hidden window on the thread that initialised it), their opens of the
// line, the calls, and each open's own handle of a call. Call-state changes become callback
// messages queued per application and delivered, oldest first, when that thread dispatches the
// hidden window's message.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tapi.h"

namespace sim {

class Device;
struct Thread;
struct Process;

struct TapiMessage {
  DWORD device = 0;
  DWORD message = 0;
  DWORD_PTR instance = 0;
  DWORD_PTR param1 = 0, param2 = 0, param3 = 0;
  // For a LINE_REPLY: the call handle whose request it answers (0: a request on no call).
  HCALL about = 0;
};

struct TapiApp {
  HLINEAPP handle = 0;
  Thread* thread = nullptr;
  Process* process = nullptr;
  HWND hidden = 0;
  LINECALLBACK callback = nullptr;
  std::deque<TapiMessage> queue;
};

struct LineOpen {
  HLINE handle = 0;
  HLINEAPP app = 0;
  DWORD device = 0;
  DWORD privileges = 0;
  DWORD mediaModes = 0;
  DWORD_PTR instance = 0;
};

struct CallHandle {
  HCALL handle = 0;
  HLINE open = 0;
  int call = 0;
  DWORD privilege = 0;
};

struct TapiCall {
  int number = 0;
  DWORD state = 0;
  DWORD media = LINEMEDIAMODE_INTERACTIVEVOICE;
  bool outgoing = false;
  HLINE ownerOpen = 0;
  std::u16string callerId;
  DWORD callerIdFlags = LINECALLPARTYID_UNAVAIL;
};

// What the phone application stand-in is like on this device (set by the `phone` verbs).
struct PhoneConfig {
  std::u16string incomingTitle = u"Phone - Incoming...";
  bool skin = false;
  std::optional<uint64_t> menuDelay = 0;  // nullopt: the soft-key window never appears
  HWND incomingWindow = 0;                // set by the phone application once it runs
};

class Telephony {
 public:
  static constexpr DWORD kLineMediaModes = 0x1C;
  static constexpr DWORD kLineCount = 1;

  // --- The network and the user, driven from outside -----------------------------------
  // A call offered to the line; an empty optional number means no caller ID for now.
  int Offer(Device& dev, DWORD media);
  // The caller ID reaches the call information; with flags other than ADDRESS (the caller
  // withheld it, say) no number comes with them.
  void DeliverCallerId(Device& dev, int call, const std::u16string& number,
                       DWORD flags = LINECALLPARTYID_ADDRESS);
  // An outgoing call placed by the application that owns `open` (0: the phone's own open).
  int Dial(Device& dev, HLINE open, const std::u16string& number,
           DWORD media = LINEMEDIAMODE_INTERACTIVEVOICE);
  void SetState(Device& dev, int call, DWORD state, DWORD mode = 0);
  // DISCONNECTED with `mode`, then IDLE.
  void End(Device& dev, int call, DWORD mode);

  // --- The telephony server's own events ---------------------------------------------------
  // The next call an application places is accepted, then fails: its LINE_REPLY carries
  // `result` and the call never reports a state.
  void RefuseNextCall(DWORD result) { refusal_ = result; }
  std::optional<DWORD> TakeRefusal();
  // A placed call whose request failed: it ends without a word to anyone.
  void Abandon(Device& dev, int call, DWORD result);
  // The server takes back every line the running programs named `exeName` have open: each open
  // hears LINE_CLOSE and its handles stop working. The number of lines closed.
  int CloseLinesOf(Device& dev, std::u16string_view exeName);
  // The server asks every application to re-initialise; initialising answers LINEERR_REINIT
  // until the applications of `exeName` initialised now have shut down (or their program ended).
  void RequestReinit(Device& dev, std::u16string_view exeName);
  bool ReinitPending();

  // A process ended: the system shuts its telephony down (its line opens and call handles go).
  void CloseAllOf(Device& dev, const Process* p);
  TapiCall* Call(int number);
  // Whether a line the process has open holds a handle of the call: whether it ever heard of the
  // call through the lines it has now.
  bool HasHandle(const Process* p, int call) const;
  // How many opens of the line the process holds now.
  size_t OpenLinesOf(const Process* p) const;
  // The newest call that has not ended; 0 when there is none.
  int Newest() const;
  const std::vector<TapiCall>& Calls() const { return calls_; }
  PhoneConfig& phone() { return phone_; }

  // --- What the platform functions use --------------------------------------------------
  TapiApp* App(HLINEAPP h);
  TapiApp* AppOfWindow(HWND h);
  LineOpen* Open(HLINE h);
  CallHandle* Handle(HCALL h);
  HCALL HandleFor(HLINE open, int call) const;
  HLINEAPP AddApp(Thread* thread, Process* process, HWND hidden, LINECALLBACK cb);
  void RemoveApp(Device& dev, HLINEAPP h);
  HLINE AddOpen(const LineOpen& open);
  void RemoveOpen(Device& dev, HLINE h);
  HCALL AddHandle(HLINE open, int call, DWORD privilege);
  // lineDeallocateCall: the handle goes, and with it what is still queued for it.
  void RemoveHandle(HCALL h);
  DWORD NextRequest() { return nextRequest_++; }
  // Queues a callback message to an application and wakes its hidden window.
  void Queue(Device& dev, HLINEAPP app, const TapiMessage& m);
  // The owner open a newly offered call of `media` goes to, 0 when none.
  HLINE OwnerFor(DWORD media) const;

 private:
  DWORD NewHandle() { return nextHandle_++; }
  void Report(Device& dev, TapiCall& call, DWORD state, DWORD mode);
  // Forgets the handles matching `gone`, and every message still queued for one of them.
  template <class Pred>
  void ForgetHandles(Pred gone);
  // Forgets these opens and their handles, then ends the calls only they owned.
  void DropOpens(Device& dev, const std::vector<HLINE>& lines);
  std::vector<HLINEAPP> AppsOf(std::u16string_view exeName) const;

  std::vector<TapiApp> apps_;
  std::vector<LineOpen> opens_;
  std::vector<CallHandle> handles_;
  std::vector<TapiCall> calls_;
  PhoneConfig phone_;
  std::optional<DWORD> refusal_;
  std::vector<HLINEAPP> reinitWaitsFor_;
  DWORD nextHandle_ = 0x00010001;
  DWORD nextRequest_ = 1;
};

// The message the hidden window of an application gets once per queued callback.
constexpr UINT kTapiWakeMessage = 0x0480;

}  // namespace sim
