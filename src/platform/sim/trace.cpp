#include "platform/sim/trace.h"

#include <cstdio>

namespace sim {

void Trace::Add(TraceEvent e) {
  if (!enabled) return;
  events_.push_back(std::move(e));
  if (live) live(events_.back());
}

std::string Trace::FormatTime(uint64_t ms) {
  char buf[32];
  std::snprintf(
      buf, sizeof buf, "%02llu:%02llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 3600000),
      static_cast<unsigned long long>(ms / 60000 % 60),
      static_cast<unsigned long long>(ms / 1000 % 60), static_cast<unsigned long long>(ms % 1000));
  return buf;
}

namespace {
std::string Target(const TraceEvent& e) {
  std::string t = e.cls.empty() ? "?" : e.cls;
  if (e.title != e.cls) t += " \"" + e.title + "\"";
  return t;
}
std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
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
      std::snprintf(buf, sizeof buf, " %u (%s) wParam=%u (%s) lParam=%d", e.msg, Hex(e.msg).c_str(),
                    e.wParam, Hex(e.wParam).c_str(), e.lParam);
      line += (e.kind == TraceKind::Post ? "post -> " : "send -> ") + Target(e) + buf;
      break;
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
