// The titles the system's incoming-call window has in the phone's languages, in search order.
#pragma once

#include <span>
#include <string_view>

namespace shellwin {

std::span<const std::u16string_view> IncomingTitles();

}  // namespace shellwin
