// Pieces of the scenario runner shared by its source files: the state folder and the run's
// statistics.
#pragma once

#include <iosfwd>
#include <string>

#include "device/scenario/expect.h"
#include "platform/sim/device.h"
#include "platform/sim/host_files.h"

namespace device::detail {

// --- The state folder ------------------------------------------------------------------------

// The parts of a kept device, each a name in DIR.
constexpr const char* kStateRegistry = "registry.reg";
constexpr const char* kStateFiles = "fs";
constexpr const char* kStateClock = "clock";
constexpr const char* kStateNotifications = "notifications.reg";
constexpr const char* kStateParts[] = {kStateRegistry, kStateFiles, kStateClock,
                                       kStateNotifications};

// Makes DIR when missing and locks it for this run; then finishes or drops a save an
// interrupted run left, adding a line to `notes` for each. False and the reason when the
// folder cannot be used (in use by another run: nothing in it is touched).
bool OpenStateFolder(const std::string& dir, sim::HostFolderLock* lock, std::string* notes,
                     std::string* error);
// Loads DIR/registry.reg, DIR/fs/, DIR/clock and DIR/notifications.reg, each when present.
// False and the reason (a damaged file names its line) when one cannot be used; no file is
// written.
bool LoadState(sim::Device& dev, const std::string& dir, std::string* error);
// Saves the registry, the files, the device's clock and its notification database as they are
// now, all together: on a failure the folder keeps the state before it, unless the error says
// otherwise.
bool SaveState(sim::Device& dev, const std::string& dir, std::string* error);
// The parts into `folder`, made for them, flushed to the disk.
bool WriteStateTo(sim::Device& dev, const std::string& folder, std::string* error);

// The notification database as .reg text, and back into a device whose clock is set.
std::string NotificationsText(sim::Device& dev);
bool LoadNotifications(sim::Device& dev, const std::string& path, std::string* error);

// The wake-ups and timer firings of every program since the device started (`run --stats`).
void PrintStats(const sim::Device& dev, std::ostream& out);

}  // namespace device::detail
