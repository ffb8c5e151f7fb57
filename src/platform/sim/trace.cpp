#include "platform/sim/trace.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/wstr.h"

namespace sim {

TraceEvent TraceView::iterator::operator*() const {
  return trace_->At(i_);
}

TraceEvent TraceView::operator[](size_t i) const {
  return trace_->At(from_ + i);
}

TraceView TraceView::subspan(size_t offset) const {
  return {trace_, std::min(from_ + offset, to_), to_};
}

Trace::Trace() {
  names_.push_back(&nameStore_.emplace_back());
  ids_.emplace(std::string_view(*names_[0]), 0);
  Name(std::string_view("device"));
}

Trace::~Trace() = default;

uint32_t Trace::Name(std::string_view name) {
  auto it = ids_.find(name);
  if (it != ids_.end()) return it->second;
  const std::string& kept = nameStore_.emplace_back(name);
  auto id = static_cast<uint32_t>(names_.size());
  names_.push_back(&kept);
  ids_.emplace(std::string_view(kept), id);
  return id;
}

uint32_t Trace::Name(std::u16string_view name) {
  auto it = wideIds_.find(name);
  if (it != wideIds_.end()) return it->second;
  uint32_t id = Name(std::string_view(platform::U8(name)));
  const std::u16string& kept = wideStore_.emplace_back(name);
  wideIds_.emplace(std::u16string_view(kept), id);
  return id;
}

const char* Trace::Keep(std::string_view text) {
  if (text.empty()) return nullptr;
  if (text.size() > kTextBlock) {
    large_.push_back({count_, std::unique_ptr<char[]>(new char[text.size()])});
    char* big = large_.back().text.get();
    std::memcpy(big, text.data(), text.size());
    return big;
  }
  char* at = Reserve(text.size());
  std::memcpy(at, text.data(), text.size());
  return at;
}

char* Trace::Reserve(size_t size) {
  if (blocks_.empty() || blockUsed_ + size > kTextBlock) {
    if (!blocks_.empty()) ++block_;
    if (block_ - firstBlock_ == blocks_.size()) blocks_.emplace_back(new char[kTextBlock]);
    blockUsed_ = 0;
  }
  char* at = blocks_[block_ - firstBlock_].get() + blockUsed_;
  blockUsed_ += size;
  return at;
}

void Trace::Add(const TraceRecord& r, std::string_view text, TextFormatter format) {
  if (!enabled) return;
  Stored& s = Next();
  s.record = r;
  s.text = Keep(text);
  s.textSize = static_cast<uint32_t>(text.size());
  s.format = format;
  Added(r.kind);
}

void Trace::Add(const TraceRecord& r, std::initializer_list<std::string_view> parts,
                TextFormatter format) {
  if (!enabled) return;
  size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  if (size == 0 || size > kTextBlock) {
    std::string whole;
    for (std::string_view part : parts) whole += part;
    return Add(r, whole, format);
  }
  Stored& s = Next();
  char* at = Reserve(size);
  s.record = r;
  s.text = at;
  s.textSize = static_cast<uint32_t>(size);
  s.format = format;
  for (std::string_view part : parts) {
    if (part.empty()) continue;
    std::memcpy(at, part.data(), part.size());
    at += part.size();
  }
  Added(r.kind);
}

Trace::Stored& Trace::Next() {
  const size_t chunk = (count_ >> kChunkBits) - firstChunk_;
  if ((count_ & (kChunk - 1)) == 0) {
    if (chunk == chunks_.size()) chunks_.push_back({std::unique_ptr<Stored[]>(new Stored[kChunk])});
    chunks_[chunk].firstBlock = block_;
  }
  return chunks_[chunk].events[count_ & (kChunk - 1)];
}

void Trace::Added(TraceKind kind) {
  ++count_;
  if (live && Printed(kind)) live(At(count_ - 1));
}

void Trace::Add(TraceEvent e) {
  if (!enabled) return;
  TraceRecord r{e.time,        e.kind, Name(e.actor), e.hwnd,   Name(e.cls),
                Name(e.title), e.msg,  e.wParam,      e.lParam, e.value};
  Add(r, e.text);
}

const TraceRecord& Trace::RecordAt(size_t i) const {
  return StoredAt(i).record;
}

TraceEvent Trace::At(size_t i) const {
  const Stored& s = StoredAt(i);
  const TraceRecord& r = s.record;
  TraceEvent e{r.time,   r.kind,   NameOf(r.actor), r.hwnd, NameOf(r.cls), NameOf(r.title), r.msg,
               r.wParam, r.lParam, r.value,         {}};
  std::string_view data(s.text ? s.text : "", s.textSize);
  if (s.format)
    s.format(data, &e.text);
  else
    e.text = data;
  return e;
}

std::string_view Trace::TextAt(size_t i, std::string* scratch) const {
  const Stored& s = StoredAt(i);
  std::string_view data(s.text ? s.text : "", s.textSize);
  if (!s.format) return data;
  scratch->clear();
  s.format(data, scratch);
  return *scratch;
}

void Trace::Clear() {
  // The chunks and text blocks stay for the events to come.
  count_ = 0;
  firstChunk_ = 0;
  firstBlock_ = 0;
  block_ = 0;
  blockUsed_ = 0;
  large_.clear();
}

void Trace::ForgetBefore(size_t index) {
  const size_t first = std::min(index, count_) >> kChunkBits;
  if (first <= firstChunk_) return;
  // The blocks before the first kept chunk's are the forgotten chunks' alone; with no event in
  // that chunk yet, all but the block in use are.
  const size_t dropped = first - firstChunk_;
  const bool started = (first << kChunkBits) < count_;
  const size_t firstBlock = started ? chunks_[dropped].firstBlock : block_;
  chunks_.erase(chunks_.begin(), chunks_.begin() + static_cast<std::ptrdiff_t>(dropped));
  firstChunk_ = first;
  if (firstBlock > firstBlock_ && !blocks_.empty()) {
    blocks_.erase(blocks_.begin(),
                  blocks_.begin() + static_cast<std::ptrdiff_t>(firstBlock - firstBlock_));
    firstBlock_ = firstBlock;
  }
  while (!large_.empty() && large_.front().event < FirstKept()) large_.pop_front();
}

std::string Trace::FormatTime(uint64_t ms) {
  char buf[32];
  std::snprintf(
      buf, sizeof buf, "%02llu:%02llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 3600000),
      static_cast<unsigned long long>(ms / 60000 % 60),
      static_cast<unsigned long long>(ms / 1000 % 60), static_cast<unsigned long long>(ms % 1000));
  return buf;
}

std::string Trace::Hex(uint32_t v) {
  char buf[10] = {'0', 'x'};
  char* end = std::to_chars(buf + 2, buf + sizeof buf, v, 16).ptr;
  std::transform(buf + 2, end, buf + 2, [](char c) { return c >= 'a' ? c - 'a' + 'A' : c; });
  return std::string(buf, end);
}

namespace {
std::string Target(const TraceEvent& e) {
  std::string t = e.cls.empty() ? "?" : e.cls;
  if (e.title != e.cls) t += " \"" + e.title + "\"";
  return t;
}
}  // namespace

std::string Trace::Render(const TraceEvent& e) {
  return FormatTime(e.time) + " " + RenderBody(e);
}

std::string Trace::RenderBody(const TraceEvent& e) {
  std::string line = e.actor + " ";
  char buf[128];
  switch (e.kind) {
    case TraceKind::Post:
    case TraceKind::Send:
    case TraceKind::Reached: {
      const char* name = messageNames_ ? messageNames_(e.msg) : nullptr;
      std::snprintf(buf, sizeof buf, " %u (%s%s%s) wParam=%u (%s) lParam=%d", e.msg,
                    Hex(e.msg).c_str(), name ? " " : "", name ? name : "", e.wParam,
                    Hex(e.wParam).c_str(), e.lParam);
      line += (e.kind == TraceKind::Post   ? "post -> "
               : e.kind == TraceKind::Send ? "send -> "
                                           : "reached ") +
              Target(e) + buf;
      break;
    }
    case TraceKind::SetTimer:
      line += "timer " + Target(e) + " id=" + std::to_string(e.msg) + " " +
              std::to_string(e.value) + "ms";
      break;
    case TraceKind::KillTimer:
      line += "kill-timer " + Target(e) + " id=" + std::to_string(e.msg);
      break;
    case TraceKind::Show:
      line += "show " + Target(e) + " cmd=" + std::to_string(e.value);
      break;
    case TraceKind::Foreground:
      line += "foreground " + Target(e);
      break;
    case TraceKind::Focus:
      line += "focus " + Target(e);
      break;
    case TraceKind::Position:
      line += "position " + Target(e) + " " + e.text;
      break;
    case TraceKind::Style:
      line += "style " + Target(e) + " " + e.text;
      break;
    case TraceKind::Subclass:
      line += "subclass " + Target(e);
      break;
    case TraceKind::Create:
      line += "create-window " + Target(e);
      break;
    case TraceKind::Destroy:
      line += "destroy-window " + Target(e);
      break;
    case TraceKind::MessageBox:
      line += e.text.empty()
                  ? "message-box-closed " + Target(e) + " result=" + std::to_string(e.value)
                  : "message-box " + Target(e) + " \"" + e.text + "\"";
      break;
    case TraceKind::Launch:
      line += "launch " + e.text;
      break;
    case TraceKind::Exit:
      line += "exit code=" + std::to_string(e.value);
      break;
    case TraceKind::Registry:
      line += "reg " + e.text;
      break;
    case TraceKind::File:
      line += "file " + e.text;
      break;
    case TraceKind::Note:
      line += e.text;
      break;
  }
  return line;
}

}  // namespace sim
