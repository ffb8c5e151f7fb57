// Reading and writing single values of the settings store the way every reader of the store
// expects: flags as one-byte REG_BINARY, numbers as REG_DWORD, texts as REG_SZ without a NUL.
// A read fails when the value is missing or its data does not fit the reader's buffer; the
// stored type is never checked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace settings::store {

// Whether the value exists and its data fits a buffer of `bytes`.
bool Fits(HKEY key, const WCHAR* name, DWORD bytes);
bool ReadByte(HKEY key, const WCHAR* name, uint8_t* value);
// Data shorter than four bytes is taken as a little-endian number of that many bytes.
bool ReadDword(HKEY key, const WCHAR* name, uint32_t* value);
// Reads into a buffer of `chars` characters; the text ends at the first NUL or with the data.
bool ReadText(HKEY key, const WCHAR* name, size_t chars, std::u16string* text);

// Failed writes are ignored, as everywhere in the store.
void WriteByte(HKEY key, const WCHAR* name, uint8_t value);
void WriteDword(HKEY key, const WCHAR* name, uint32_t value);
void WriteText(HKEY key, const WCHAR* name, std::u16string_view text);

}  // namespace settings::store
