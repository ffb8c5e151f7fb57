#include "core/messages.h"

#include <cctype>

namespace core {

namespace {

struct Named {
  UINT msg;
  const char* name;
};

constexpr Named kNames[] = {
#define DV_MESSAGE_ROW(name, number) {number, #name},
    DV_PRIVATE_MESSAGES(DV_MESSAGE_ROW)
#undef DV_MESSAGE_ROW
    // The standard window messages the daemon and its companions send or handle.
    {WM_CREATE, "WM_CREATE"},
    {WM_DESTROY, "WM_DESTROY"},
    {WM_ACTIVATE, "WM_ACTIVATE"},
    {WM_SETFOCUS, "WM_SETFOCUS"},
    {WM_PAINT, "WM_PAINT"},
    {WM_CLOSE, "WM_CLOSE"},
    {WM_QUIT, "WM_QUIT"},
    {WM_ERASEBKGND, "WM_ERASEBKGND"},
    {WM_SHOWWINDOW, "WM_SHOWWINDOW"},
    {WM_SETTINGCHANGE, "WM_SETTINGCHANGE"},
    {WM_TIMECHANGE, "WM_TIMECHANGE"},
    {WM_NOTIFY, "WM_NOTIFY"},
    {WM_NCACTIVATE, "WM_NCACTIVATE"},
    {WM_KEYDOWN, "WM_KEYDOWN"},
    {WM_KEYUP, "WM_KEYUP"},
    {WM_COMMAND, "WM_COMMAND"},
    {WM_TIMER, "WM_TIMER"},
};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

const char* MessageName(UINT msg) {
  for (const Named& n : kNames)
    if (n.msg == msg) return n.name;
  return nullptr;
}

std::optional<UINT> MessageByName(std::string_view name) {
  for (const Named& n : kNames)
    if (SameName(n.name, name)) return n.msg;
  return std::nullopt;
}

}  // namespace core
