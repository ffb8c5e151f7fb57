// Every value of the settings store the daemon creates or reads: its name, type, read size,
// default, and for the daemon's own options the member of Settings that holds it.
#pragma once

#include <span>

#include "settings/settings.h"

namespace settings {

enum class Kind : uint8_t { Byte, Dword, Text };

// An option the daemon acts on. Its default is the member's built-in value.
struct DaemonValue {
  const WCHAR* name;
  Kind kind;
  Byte Settings::*byte = nullptr;
  Word Settings::*word = nullptr;
  Text Settings::*text = nullptr;
  bool created = true;  // false: only read, never written to the store
};

// A value only the slide screen uses: the daemon creates it but keeps nothing.
struct SlideValue {
  const WCHAR* name;
  Kind kind;
  uint32_t firstNumber = 0;  // written when the store is created
  uint32_t laterNumber = 0;  // written when the value is found missing later
  const WCHAR* text = u"";
  size_t chars = 0;        // read size of a text, in characters
  bool firstOnly = false;  // written when the store is created, then left to the slide screen
};

std::span<const DaemonValue> DaemonValues();
std::span<const SlideValue> SlideValues();

}  // namespace settings
