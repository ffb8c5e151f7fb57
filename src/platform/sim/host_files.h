// The host's own files, for the runner at the edge of the simulator: scenario files and the
// folder that keeps a device between runs. Nothing inside the device uses these.
#pragma once

#include <string>

namespace sim {

enum class HostEntry { Missing, File, Folder, Other };

HostEntry HostEntryAt(const std::string& path);
std::string HostJoin(const std::string& folder, const std::string& name);
bool MakeHostFolders(const std::string& path, std::string* error);

}  // namespace sim
