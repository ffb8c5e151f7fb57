#include "settings/name_tests.h"

namespace settings {

namespace {
// Only ASCII letters count: the extension is compared with its exact upper or lower form.
bool EndsWithExtension(std::u16string_view name, const char (&lower)[4]) {
  if (name.size() < 4) return false;
  std::u16string_view tail = name.substr(name.size() - 4);
  if (tail[0] != u'.') return false;
  for (size_t i = 0; i < 3; ++i) {
    char16_t c = tail[i + 1];
    char16_t l = static_cast<char16_t>(lower[i]);
    if (c != l && c != l - (u'a' - u'A')) return false;
  }
  return true;
}
}  // namespace

bool IsBmpFile(std::u16string_view name) {
  return EndsWithExtension(name, "bmp");
}
bool IsJpgFile(std::u16string_view name) {
  return EndsWithExtension(name, "jpg");
}
bool IsPngFile(std::u16string_view name) {
  return EndsWithExtension(name, "png");
}
bool IsGifFile(std::u16string_view name) {
  return EndsWithExtension(name, "gif");
}

bool IsImageFile(std::u16string_view name) {
  return IsBmpFile(name) || IsJpgFile(name) || IsPngFile(name) || IsGifFile(name);
}

}  // namespace settings
