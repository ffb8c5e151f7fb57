// The registry's on-disk form: the "Windows Registry Editor Version 5.00" text (.reg), so a
// device's settings outlive a run and people and other tools can read and edit them.
#pragma once

#include <string>
#include <string_view>

#include "platform/sim/host_files.h"  // the host file helpers behind the two above
#include "platform/sim/registry_model.h"

namespace sim {

struct RegParseResult {
  bool ok = true;
  int line = 0;  // 1-based line of the first error; 0 when the file could not be read
  std::string message;
};

// FF FE then UTF-16LE text with CRLF lines, every key depth-first in storage order, laid out
// as regedit writes it. Exporting what ParseRegText read gives the same bytes back.
std::string ExportRegText(const Registry& registry);

// Reads UTF-16LE (FF FE) or UTF-8 text and applies it to `into`. Stricter than regedit: any
// malformed line fails the whole file and `into` is left exactly as it was.
RegParseResult ParseRegText(std::string_view bytes, Registry& into);

// Written to a temporary file beside hostPath, then renamed over it.
bool SaveRegFile(const Registry& registry, const std::string& hostPath, std::string* error);
// A missing or damaged file leaves the registry untouched; the file is never written.
RegParseResult LoadRegFile(Registry& into, const std::string& hostPath);

}  // namespace sim
