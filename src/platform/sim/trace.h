// The device trace: every act of a program that another program or the user could observe,
// stamped with the virtual time. Tests and scenario expectations read it; the runner prints it.
//
// Every scenario runs with the trace on, so recording is on the hot path of every message. The
// trace keeps events compact (names interned once, text in a chunked arena, some text kept as
// raw data and formatted only when an event is read) and hands out whole TraceEvents on demand.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/win_types.h"

namespace sim {

enum class TraceKind : int {
  Post,        // a message posted to a window
  Send,        // a message sent to a window
  SetTimer,    // a window timer set (value = period)
  KillTimer,   // a window timer stopped
  Show,        // a window shown or hidden (value = show command)
  Foreground,  // the foreground window changed
  Focus,       // a program moved the keyboard focus within the foreground window
  Position,    // a window moved, resized or re-stacked
  Style,       // a window's style or extended style changed
  Subclass,    // a window's procedure replaced
  Create,      // a top-level window created
  Destroy,     // a top-level window destroyed
  MessageBox,  // a message box shown (text) or closed (value = result)
  Launch,      // a process started (text = command line)
  Exit,        // a process ended (value = exit code)
  Registry,    // a registry value or key written or deleted (text = what)
  File,        // a file created, written or removed (text = what)
  Note,        // anything else a device model reports
  // A message entered a top-level window's own procedure, not only a replacement another
  // process installed. Kept for expectations; never printed.
  Reached,
};

struct TraceEvent {
  uint64_t time = 0;
  TraceKind kind = TraceKind::Note;
  std::string actor;  // the acting program's executable name, or "device"
  HWND hwnd = 0;
  std::string cls;    // target window class
  std::string title;  // target window title
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  uint32_t value = 0;
  std::string text;
};

// An event as the trace stores it: the names are ids from Trace::Name.
struct TraceRecord {
  uint64_t time = 0;
  TraceKind kind = TraceKind::Note;
  uint32_t actor = 0;
  HWND hwnd = 0;
  uint32_t cls = 0;
  uint32_t title = 0;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  uint32_t value = 0;
};

class Trace;

// The recorded events, oldest first. Reading one builds the TraceEvent: bind it to a
// `const auto&` or a value, not to a non-const reference.
class TraceView {
 public:
  class iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = TraceEvent;
    using difference_type = std::ptrdiff_t;
    using reference = TraceEvent;
    using pointer = void;
    iterator() = default;
    iterator(const Trace* t, size_t i) : trace_(t), i_(i) {}
    TraceEvent operator*() const;
    TraceEvent operator[](difference_type n) const { return *(*this + n); }
    iterator& operator++() { return ++i_, *this; }
    iterator operator++(int) { return {trace_, i_++}; }
    iterator& operator--() { return --i_, *this; }
    iterator operator--(int) { return {trace_, i_--}; }
    iterator& operator+=(difference_type n) { return i_ += n, *this; }
    iterator& operator-=(difference_type n) { return i_ -= n, *this; }
    friend iterator operator+(iterator a, difference_type n) { return a += n; }
    friend iterator operator+(difference_type n, iterator a) { return a += n; }
    friend iterator operator-(iterator a, difference_type n) { return a -= n; }
    friend difference_type operator-(const iterator& a, const iterator& b) {
      return static_cast<difference_type>(a.i_) - static_cast<difference_type>(b.i_);
    }
    friend bool operator==(const iterator& a, const iterator& b) { return a.i_ == b.i_; }
    friend auto operator<=>(const iterator& a, const iterator& b) { return a.i_ <=> b.i_; }

   private:
    const Trace* trace_ = nullptr;
    size_t i_ = 0;
  };
  using const_iterator = iterator;
  using value_type = TraceEvent;

  TraceView(const Trace* trace, size_t from, size_t to) : trace_(trace), from_(from), to_(to) {}
  size_t size() const { return to_ - from_; }
  bool empty() const { return from_ == to_; }
  TraceEvent operator[](size_t i) const;
  TraceEvent front() const { return (*this)[0]; }
  TraceEvent back() const { return (*this)[size() - 1]; }
  iterator begin() const { return {trace_, from_}; }
  iterator end() const { return {trace_, to_}; }
  // The events from `offset` on (none past the end).
  TraceView subspan(size_t offset) const;
  operator std::vector<TraceEvent>() const { return {begin(), end()}; }

 private:
  const Trace* trace_;
  size_t from_;
  size_t to_;
};

class Trace {
 public:
  // Turns raw data kept with an event into its text, when the event is read.
  using TextFormatter = void (*)(std::string_view data, std::string* text);

  Trace();
  ~Trace();
  Trace(const Trace&) = delete;
  Trace& operator=(const Trace&) = delete;

  void Add(TraceEvent e);
  // The device's own models: names already interned, the text borrowed or left as data.
  void Add(const TraceRecord& r, std::string_view text = {}, TextFormatter format = nullptr);
  // The same with the text or data given in parts, kept one after another.
  void Add(const TraceRecord& r, std::initializer_list<std::string_view> parts,
           TextFormatter format);
  // The id of a name (0 is the empty name); the same name always has the same id.
  uint32_t Name(std::string_view name);
  uint32_t Name(std::u16string_view name);

  TraceView Events() const { return {this, 0, count_}; }
  size_t size() const { return count_; }
  TraceEvent At(size_t i) const;
  const TraceRecord& RecordAt(size_t i) const;
  // Only the event's text, formatted into `scratch` when it is kept as data: a reader that
  // scans every event for a few texts builds no whole events.
  std::string_view TextAt(size_t i, std::string* scratch) const;
  const std::string& NameOf(uint32_t id) const { return *names_[id]; }
  void Clear();
  // Lets go of the events before `index` that lie in whole chunks, with the text only they
  // used, so that a run's memory stays flat however long it goes on. Indices stay absolute:
  // the events kept read as before, the names stay, and reading one let go of is a fault of
  // the reader.
  void ForgetBefore(size_t index);
  // Whether ForgetBefore(index) would let go of anything.
  bool CanForgetBefore(size_t index) const {
    return (std::min(index, count_) >> kChunkBits) > firstChunk_;
  }
  // The first event still kept.
  size_t FirstKept() const { return firstChunk_ << kChunkBits; }
  // One readable line, starting with the time as HH:MM:SS.mmm.
  static std::string Render(const TraceEvent& e);
  // Names message lines show beside the number ("32801 (0x8021 Caller)"); the programs above
  // the device know them, the device does not.
  using MessageNamer = const char* (*)(uint32_t msg);
  static void SetMessageNames(MessageNamer namer) { messageNames_ = namer; }
  // The same without the time: "ACTOR WHAT".
  static std::string RenderBody(const TraceEvent& e);
  static std::string FormatTime(uint64_t ms);
  // "0x" and the upper-case hex digits, as %X writes them.
  static std::string Hex(uint32_t v);
  // Whether an event of this kind is one of the printed trace lines.
  static bool Printed(TraceKind kind) { return kind != TraceKind::Reached; }

  bool enabled = true;
  std::function<void(const TraceEvent&)> live;  // sees each printed event as it is added

 private:
  static inline MessageNamer messageNames_ = nullptr;
  struct Stored {
    TraceRecord record;
    const char* text = nullptr;
    uint32_t textSize = 0;
    TextFormatter format = nullptr;
  };
  static constexpr size_t kChunkBits = 10;  // 1024 events per chunk
  static constexpr size_t kChunk = size_t{1} << kChunkBits;
  static constexpr size_t kTextBlock = 64 * 1024;

  struct Chunk {
    std::unique_ptr<Stored[]> events;
    // The text block in use when its first event was added: texts are kept in order, so all
    // of the chunk's lie in that block or later ones.
    size_t firstBlock = 0;
  };
  struct LargeText {
    size_t event;  // the event it belongs to
    std::unique_ptr<char[]> text;
  };

  const Stored& StoredAt(size_t i) const {
    assert(i >= FirstKept() && i < count_);
    return chunks_[(i >> kChunkBits) - firstChunk_].events[i & (kChunk - 1)];
  }
  const char* Keep(std::string_view text);
  // Room for `size` bytes (1 to kTextBlock) of an event's text.
  char* Reserve(size_t size);
  // The slot of the event being added, and its count taken once it is filled.
  Stored& Next();
  void Added(TraceKind kind);

  std::vector<Chunk> chunks_;  // from chunk number firstChunk_ on; kept across Clear
  size_t firstChunk_ = 0;
  size_t count_ = 0;
  std::vector<std::unique_ptr<char[]>> blocks_;  // text arena from block number firstBlock_ on
  size_t firstBlock_ = 0;
  size_t block_ = 0;  // the number of the block in use
  size_t blockUsed_ = 0;
  std::deque<LargeText> large_;  // texts bigger than a block
  std::deque<std::string> nameStore_;
  std::vector<const std::string*> names_;
  std::unordered_map<std::string_view, uint32_t> ids_;
  std::deque<std::u16string> wideStore_;
  std::unordered_map<std::u16string_view, uint32_t> wideIds_;
};

}  // namespace sim
