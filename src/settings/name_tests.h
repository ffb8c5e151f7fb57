// Whether a file name ends in one of the image extensions the wallpaper rule knows. Each takes
// the last four characters: a full stop and the three letters, each letter in either case.
#pragma once

#include <string_view>

namespace settings {

bool IsBmpFile(std::u16string_view name);
bool IsJpgFile(std::u16string_view name);
bool IsPngFile(std::u16string_view name);
bool IsGifFile(std::u16string_view name);
// Any of the four, tried in the order bmp, jpg, png, gif.
bool IsImageFile(std::u16string_view name);

}  // namespace settings
