#include "platform/sim/trace_registry.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/wstr.h"

namespace sim {

namespace {

using platform::U8;

std::string DescribeRegValue(DWORD type, std::string_view data) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(data[i]); };
  char buf[16];
  if (type == REG_DWORD && data.size() == 4) {
    uint32_t v = byte(0) | byte(1) << 8 | byte(2) << 16 | static_cast<uint32_t>(byte(3)) << 24;
    std::snprintf(buf, sizeof buf, "%u", v);
    return std::string("dword ") + buf;
  }
  if (type == REG_SZ) {
    std::u16string text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
      char16_t c = static_cast<char16_t>(byte(i) | byte(i + 1) << 8);
      if (!c) break;
      text.push_back(c);
    }
    return "sz \"" + U8(text) + "\"";
  }
  std::string out = type == REG_BINARY ? "binary " : "type " + std::to_string(type) + " ";
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", byte(i));
    out += buf;
  }
  return out;
}

// The change as data: kind, type, key length, value name length (4 bytes each), the key and
// the name as UTF-16, then the value's bytes.
struct Header {
  uint32_t kind;
  uint32_t type;
  uint32_t keyChars;
  uint32_t nameChars;
};

// Copied out: the arena keeps the data at any byte offset.
std::u16string Wide(std::string_view data, size_t at, size_t chars) {
  std::u16string out(chars, u'\0');
  std::memcpy(out.data(), data.data() + at, chars * 2);
  return out;
}

void FormatChange(std::string_view data, std::string* text) {
  Header h;
  std::memcpy(&h, data.data(), sizeof h);
  size_t at = sizeof h;
  std::string key = U8(Wide(data, at, h.keyChars));
  at += h.keyChars * 2;
  std::u16string name = Wide(data, at, h.nameChars);
  at += h.nameChars * 2;
  switch (static_cast<RegChange::Kind>(h.kind)) {
    case RegChange::Kind::SetValue:
      *text = "set " + key + " \"" + U8(name) + "\" " + DescribeRegValue(h.type, data.substr(at));
      break;
    case RegChange::Kind::DeleteValue:
      *text = "delete " + key + " \"" + U8(name) + "\"";
      break;
    case RegChange::Kind::CreateKey:
      *text = "create " + key;
      break;
    case RegChange::Kind::DeleteKey:
      *text = "delete-key " + key;
      break;
  }
}

}  // namespace

void TraceRegistry(Trace& trace, uint64_t time, uint32_t actor, const RegChange& c) {
  if (!trace.enabled) return;
  Header h{static_cast<uint32_t>(c.kind), c.type, static_cast<uint32_t>(c.keyPath.size()),
           static_cast<uint32_t>(c.valueName.size())};
  auto bytes = [](const auto* p, size_t n) {
    return std::string_view(reinterpret_cast<const char*>(p), n);
  };
  TraceRecord r{time, TraceKind::Registry, actor, 0, 0, 0, 0, 0, 0, 0};
  trace.Add(r,
            {bytes(&h, sizeof h), bytes(c.keyPath.data(), h.keyChars * 2),
             bytes(c.valueName.data(), h.nameChars * 2), bytes(c.data.data(), c.data.size())},
            &FormatChange);
}

}  // namespace sim
