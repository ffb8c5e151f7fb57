#include "platform/sim/host_files.h"

#include <filesystem>

namespace sim {

namespace hostfs = std::filesystem;

HostEntry HostEntryAt(const std::string& path) {
  std::error_code ec;
  auto status = hostfs::status(path, ec);
  if (ec || !hostfs::exists(status)) return HostEntry::Missing;
  if (hostfs::is_regular_file(status)) return HostEntry::File;
  if (hostfs::is_directory(status)) return HostEntry::Folder;
  return HostEntry::Other;
}

std::string HostJoin(const std::string& folder, const std::string& name) {
  return (hostfs::path(folder) / name).string();
}

bool MakeHostFolders(const std::string& path, std::string* error) {
  std::error_code ec;
  hostfs::create_directories(path, ec);
  if (ec && error) *error = "cannot create " + path + ": " + ec.message();
  return !ec;
}

}  // namespace sim
