#include "settings/paths.h"

#include <string>

#include "core/files.h"
#include "core/state.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/wstr.h"

namespace settings {

using namespace core;

namespace {
void SetPath(std::array<WCHAR, MAX_PATH>& out, std::u16string_view dir, std::u16string_view exe) {
  platform::FormatW(out.data(), out.size(), u"%s\\%s", dir, exe);
}
}  // namespace

void ResolveProgramPaths() {
  WCHAR module[MAX_PATH] = {};
  GetModuleFileNameW(0, module, MAX_PATH);
  std::u16string dir(platform::WView(module));
  size_t slash = dir.rfind(u'\\');
  if (slash != std::u16string::npos) dir.resize(slash);

  State& g = G();
  SetPath(g.VurlPath, dir, u"vurl.exe");
  if (dlog::Detailed()) dlog::DebugLog(u"%s path: %s", u"Vurl", g.VurlPath.data());
  SetPath(g.FenkPath, dir, u"fenk.exe");
  if (FileExists(g.FenkPath.data())) return;
  // The two programs are installed in sibling directories named after themselves.
  size_t word = dir.rfind(u"Vurl");
  if (word != std::u16string::npos && word + 4 == dir.size()) dir.replace(word, 4, u"Fenk");
  SetPath(g.FenkPath, dir, u"fenk.exe");
}

}  // namespace settings
