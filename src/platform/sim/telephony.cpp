#include "platform/sim/telephony.h"

#include <algorithm>
#include <cstdio>

#include "platform/sim/device.h"
#include "platform/wstr.h"

namespace sim {
namespace {

const char* StateName(DWORD state) {
  switch (state) {
    case LINECALLSTATE_IDLE:
      return "IDLE";
    case LINECALLSTATE_OFFERING:
      return "OFFERING";
    case LINECALLSTATE_DIALING:
      return "DIALING";
    case LINECALLSTATE_PROCEEDING:
      return "PROCEEDING";
    case LINECALLSTATE_BUSY:
      return "BUSY";
    case LINECALLSTATE_SPECIALINFO:
      return "SPECIALINFO";
    case LINECALLSTATE_CONNECTED:
      return "CONNECTED";
    case LINECALLSTATE_ONHOLD:
      return "ONHOLD";
    case LINECALLSTATE_DISCONNECTED:
      return "DISCONNECTED";
  }
  return "state";
}

bool Monitors(const LineOpen& o) {
  return (o.privileges & LINECALLPRIVILEGE_MONITOR) != 0;
}

}  // namespace

TapiCall* Telephony::Call(int number) {
  if (number < 1 || number > static_cast<int>(calls_.size())) return nullptr;
  return &calls_[number - 1];
}

bool Telephony::HasHandle(const Process* p, int call) const {
  for (const auto& h : handles_) {
    if (h.call != call) continue;
    for (const auto& o : opens_)
      if (o.handle == h.open)
        for (const auto& a : apps_)
          if (a.handle == o.app && a.process == p) return true;
  }
  return false;
}

size_t Telephony::OpenLinesOf(const Process* p) const {
  size_t n = 0;
  for (const auto& o : opens_)
    for (const auto& a : apps_)
      if (a.handle == o.app && a.process == p) ++n;
  return n;
}

int Telephony::Newest() const {
  for (size_t i = calls_.size(); i-- > 0;)
    if (calls_[i].state != LINECALLSTATE_IDLE) return static_cast<int>(i + 1);
  return 0;
}

// The server hands a new call to the highest-priority owner for its media mode: the phone
// application for voice, whenever it has the line open (also after it was started again), else
// the first application that opened the line as an owner.
HLINE Telephony::OwnerFor(DWORD media) const {
  HLINE first = 0;
  for (const auto& o : opens_) {
    if (!(o.privileges & LINECALLPRIVILEGE_OWNER) || !(o.mediaModes & media)) continue;
    const TapiApp* a = const_cast<Telephony*>(this)->App(o.app);
    if (a && a->process && platform::IEquals(a->process->exeName, u"cprog.exe")) return o.handle;
    if (!first) first = o.handle;
  }
  return first;
}

int Telephony::Offer(Device& dev, DWORD media) {
  TapiCall c;
  c.number = static_cast<int>(calls_.size() + 1);
  c.media = media;
  c.ownerOpen = OwnerFor(media);
  calls_.push_back(c);
  char buf[64];
  std::snprintf(buf, sizeof buf, "call %d offered", c.number);
  dev.Note(buf, c.number);
  Report(dev, calls_.back(), LINECALLSTATE_OFFERING, 0);
  return c.number;
}

void Telephony::DeliverCallerId(Device& dev, int number, const std::u16string& id, DWORD flags) {
  TapiCall* c = Call(number);
  if (!c || c->state == LINECALLSTATE_IDLE) return;
  c->callerId = flags & LINECALLPARTYID_ADDRESS ? id : std::u16string();
  c->callerIdFlags = flags;
  dev.Note("call " + std::to_string(number) + " caller " +
               (!c->callerId.empty()              ? platform::U8(c->callerId)
                : flags & LINECALLPARTYID_BLOCKED ? std::string("withheld")
                                                  : std::string("unknown")),
           flags);
  for (const auto& h : handles_) {
    if (h.call != number) continue;
    if (const LineOpen* o = Open(h.open))
      Queue(dev, o->app, {h.handle, LINE_CALLINFO, o->instance, LINECALLINFOSTATE_CALLERID, 0, 0});
  }
}

int Telephony::Dial(Device& dev, HLINE open, const std::u16string& number, DWORD media) {
  TapiCall c;
  c.number = static_cast<int>(calls_.size() + 1);
  c.outgoing = true;
  c.media = media;
  c.ownerOpen = open ? open : OwnerFor(media);
  calls_.push_back(c);
  char buf[64];
  std::snprintf(buf, sizeof buf, "call %d placed", c.number);
  dev.Note(number.empty() ? std::string(buf) : buf + (" to " + platform::U8(number)), c.number);
  if (open) AddHandle(open, c.number, LINECALLPRIVILEGE_OWNER);
  return c.number;
}

void Telephony::SetState(Device& dev, int number, DWORD state, DWORD mode) {
  TapiCall* c = Call(number);
  if (!c || c->state == LINECALLSTATE_IDLE) return;
  Report(dev, *c, state, mode);
}

void Telephony::End(Device& dev, int number, DWORD mode) {
  SetState(dev, number, LINECALLSTATE_DISCONNECTED, mode);
  SetState(dev, number, LINECALLSTATE_IDLE, 0);
}

// Every open that monitors the line, and the call's owner, hears of the change; an open that
// meets the call for the first time gets a handle of its own, with its privilege in param3.
void Telephony::Report(Device& dev, TapiCall& c, DWORD state, DWORD mode) {
  c.state = state;
  char buf[64];
  std::snprintf(buf, sizeof buf, "call %d %s", c.number, StateName(state));
  dev.Note(buf, state);
  std::vector<LineOpen> opens = opens_;
  for (const auto& o : opens) {
    HCALL h = HandleFor(o.handle, c.number);
    DWORD fresh = 0;
    if (!h) {
      bool owner = o.handle == c.ownerOpen;
      if (!owner && !Monitors(o)) continue;
      fresh = owner ? LINECALLPRIVILEGE_OWNER : LINECALLPRIVILEGE_MONITOR;
      h = AddHandle(o.handle, c.number, fresh);
    }
    Queue(dev, o.app, {h, LINE_CALLSTATE, o.instance, state, mode, fresh});
  }
}

TapiApp* Telephony::App(HLINEAPP h) {
  auto it =
      std::find_if(apps_.begin(), apps_.end(), [h](const TapiApp& a) { return a.handle == h; });
  return it == apps_.end() ? nullptr : &*it;
}

TapiApp* Telephony::AppOfWindow(HWND w) {
  auto it =
      std::find_if(apps_.begin(), apps_.end(), [w](const TapiApp& a) { return a.hidden == w; });
  return it == apps_.end() ? nullptr : &*it;
}

LineOpen* Telephony::Open(HLINE h) {
  auto it =
      std::find_if(opens_.begin(), opens_.end(), [h](const LineOpen& o) { return o.handle == h; });
  return it == opens_.end() ? nullptr : &*it;
}

CallHandle* Telephony::Handle(HCALL h) {
  auto it = std::find_if(handles_.begin(), handles_.end(),
                         [h](const CallHandle& c) { return c.handle == h; });
  return it == handles_.end() ? nullptr : &*it;
}

HCALL Telephony::HandleFor(HLINE open, int call) const {
  for (const auto& h : handles_)
    if (h.open == open && h.call == call) return h.handle;
  return 0;
}

HLINEAPP Telephony::AddApp(Thread* thread, Process* process, HWND hidden, LINECALLBACK cb) {
  TapiApp a;
  a.handle = NewHandle();
  a.thread = thread;
  a.process = process;
  a.hidden = hidden;
  a.callback = cb;
  apps_.push_back(std::move(a));
  return apps_.back().handle;
}

void Telephony::CloseAllOf(Device& dev, const Process* p) {
  std::vector<HLINEAPP> gone;
  for (const auto& a : apps_)
    if (a.process == p) gone.push_back(a.handle);
  for (HLINEAPP h : gone) RemoveApp(dev, h);
}

void Telephony::RemoveApp(Device& dev, HLINEAPP h) {
  std::vector<HLINE> mine;
  for (const auto& o : opens_)
    if (o.app == h) mine.push_back(o.handle);
  for (HLINE l : mine) RemoveOpen(dev, l);
  if (TapiApp* a = App(h)) dev.windows().Destroy(a->hidden, false);
  std::erase_if(apps_, [h](const TapiApp& a) { return a.handle == h; });
}

HLINE Telephony::AddOpen(const LineOpen& open) {
  opens_.push_back(open);
  opens_.back().handle = NewHandle();
  return opens_.back().handle;
}

// Closing a line drops the calls it alone owns; its handles go with it.
void Telephony::RemoveOpen(Device& dev, HLINE h) {
  DropOpens(dev, {h});
}

// All the opens go before any call ends, so that none of them hears of the ending.
void Telephony::DropOpens(Device& dev, const std::vector<HLINE>& lines) {
  auto closing = [&lines](HLINE h) {
    return std::find(lines.begin(), lines.end(), h) != lines.end();
  };
  std::vector<int> owned;
  for (const auto& c : calls_)
    if (closing(c.ownerOpen) && c.state != LINECALLSTATE_IDLE) owned.push_back(c.number);
  ForgetHandles([&](const CallHandle& c) { return closing(c.open); });
  std::erase_if(opens_, [&](const LineOpen& o) { return closing(o.handle); });
  for (int n : owned) {
    Call(n)->ownerOpen = 0;
    End(dev, n, LINEDISCONNECTMODE_NORMAL);
  }
}

std::optional<DWORD> Telephony::TakeRefusal() {
  std::optional<DWORD> r = refusal_;
  refusal_.reset();
  return r;
}

void Telephony::Abandon(Device& dev, int number, DWORD result) {
  TapiCall* c = Call(number);
  if (!c) return;
  char buf[64];
  std::snprintf(buf, sizeof buf, "call %d failed 0x%X", number, static_cast<unsigned>(result));
  dev.Note(buf, result);
  c->state = LINECALLSTATE_IDLE;
  c->ownerOpen = 0;
  ForgetHandles([number](const CallHandle& h) { return h.call == number; });
}

std::vector<HLINEAPP> Telephony::AppsOf(std::u16string_view exeName) const {
  std::vector<HLINEAPP> out;
  for (const auto& a : apps_)
    if (a.process && !a.process->ended && platform::IEquals(a.process->exeName, exeName))
      out.push_back(a.handle);
  return out;
}

int Telephony::CloseLinesOf(Device& dev, std::u16string_view exeName) {
  std::vector<HLINEAPP> apps = AppsOf(exeName);
  std::vector<HLINE> lines;
  for (const auto& o : opens_) {
    if (std::find(apps.begin(), apps.end(), o.app) == apps.end()) continue;
    lines.push_back(o.handle);
    char buf[64];
    std::snprintf(buf, sizeof buf, "line 0x%X closed by the server",
                  static_cast<unsigned>(o.handle));
    dev.Note(buf, o.handle);
    Queue(dev, o.app, {o.handle, LINE_CLOSE, o.instance, 0, 0, 0});
  }
  DropOpens(dev, lines);
  return static_cast<int>(lines.size());
}

void Telephony::RequestReinit(Device& dev, std::u16string_view exeName) {
  dev.Note("line server asks for re-initialisation");
  for (const auto& a : apps_)
    Queue(dev, a.handle, {0, LINE_LINEDEVSTATE, 0, LINEDEVSTATE_REINIT, 0, 0});
  for (HLINEAPP h : AppsOf(exeName))
    if (std::find(reinitWaitsFor_.begin(), reinitWaitsFor_.end(), h) == reinitWaitsFor_.end())
      reinitWaitsFor_.push_back(h);
}

bool Telephony::ReinitPending() {
  std::erase_if(reinitWaitsFor_, [this](HLINEAPP h) {
    const TapiApp* a = App(h);
    return !a || !a->process || a->process->ended;
  });
  return !reinitWaitsFor_.empty();
}

HCALL Telephony::AddHandle(HLINE open, int call, DWORD privilege) {
  handles_.push_back({NewHandle(), open, call, privilege});
  return handles_.back().handle;
}

void Telephony::RemoveHandle(HCALL h) {
  ForgetHandles([h](const CallHandle& c) { return c.handle == h; });
}

// A handle that was deallocated, or went with its line, names nothing to its application any
// more: the replies still pending for it are lost (as documented), and so are the call messages
// queued for it (inferred: the application has nothing left to deliver them to).
template <class Pred>
void Telephony::ForgetHandles(Pred gone) {
  std::vector<HCALL> dead;
  for (const auto& h : handles_)
    if (gone(h)) dead.push_back(h.handle);
  if (dead.empty()) return;
  std::erase_if(handles_, gone);
  auto isDead = [&dead](DWORD_PTR h) {
    return h != 0 && std::find(dead.begin(), dead.end(), h) != dead.end();
  };
  for (auto& a : apps_)
    std::erase_if(a.queue, [&](const TapiMessage& m) {
      if (m.message == LINE_REPLY) return isDead(m.about);
      return (m.message == LINE_CALLSTATE || m.message == LINE_CALLINFO) && isDead(m.device);
    });
}

void Telephony::Queue(Device& dev, HLINEAPP h, const TapiMessage& m) {
  TapiApp* a = App(h);
  if (!a) return;
  Window* w = dev.windows().Get(a->hidden);
  if (!w || !w->thread) return;
  a->queue.push_back(m);
  w->thread->posted.push_back(
      MSG{a->hidden, kTapiWakeMessage, 0, 0, static_cast<DWORD>(dev.Now()), {0, 0}});
}

}  // namespace sim
