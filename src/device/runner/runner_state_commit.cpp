// How a save of the state folder becomes the kept state all at once. The parts of a run (the
// registry, the files, the clock, the notifications) are written and flushed into DIR/.saving;
// renaming that to DIR/.saved is the one commit point. Then each part moves into place (the part it
// replaces goes to DIR/.replaced first) and both helpers are removed. While DIR/.saved exists, a
// part still in it is newer than the one in DIR, and one no longer in it is already in place; so a
// run stopped anywhere is finished by the next start, and a save stopped before the commit point is
// simply dropped. The folder lock keeps a second run from seeing any of it half done.
#include <string_view>

#include "device/runner/runner_internal.h"
#include "platform/sim/host_files.h"

namespace device::detail {

namespace {

constexpr const char* kSaving = ".saving";      // being written; dropped when found at start
constexpr const char* kSaved = ".saved";        // committed, being moved into place
constexpr const char* kReplaced = ".replaced";  // the parts the committed save replaces

bool Exists(const std::string& path) {
  return sim::HostEntryAt(path) != sim::HostEntry::Missing;
}

// Idempotent, so a start after a run killed half way through it simply does the rest.
bool PutSavedInPlace(const std::string& dir, std::string* error) {
  const std::string saved = sim::HostJoin(dir, kSaved);
  const std::string replaced = sim::HostJoin(dir, kReplaced);
  if (!sim::FlushHostFolder(dir, error)) return false;  // the commit itself first
  for (std::string_view part : kStateParts) {
    const std::string name(part), from = sim::HostJoin(saved, name), to = sim::HostJoin(dir, name);
    if (!Exists(from)) continue;
    if (Exists(to)) {
      const std::string aside = sim::HostJoin(replaced, name);
      if ((!Exists(replaced) && !sim::MakeHostFolder(replaced, error)) ||
          !sim::RemoveHostTree(aside, error) || !sim::RenameHost(to, aside, error))
        return false;
    }
    if (!sim::RenameHost(from, to, error)) return false;
  }
  return sim::FlushHostFolder(dir, error) && sim::RemoveHostTree(saved, error) &&
         sim::RemoveHostTree(replaced, error) && sim::FlushHostFolder(dir, error);
}

// Leftovers of the save of earlier versions, which replaced the parts one by one: a run
// stopped between its two renames of fs left only fs.old.
bool RecoverOlderSave(const std::string& dir, std::string* notes, std::string* error) {
  const std::string files = sim::HostJoin(dir, kStateFiles);
  const std::string old = files + ".old";
  if (!Exists(files) && sim::HostEntryAt(old) == sim::HostEntry::Folder) {
    if (!sim::RenameHost(old, files, error)) return false;
    *notes += dir + ": restored the device's files from fs.old, left by an interrupted save\n";
  }
  for (const std::string& leftover :
       {old, files + ".saving", sim::HostJoin(dir, "registry.reg.tmp"),
        sim::HostJoin(dir, "clock.tmp")})
    if (!sim::RemoveHostTree(leftover, error)) return false;
  return true;
}

bool Recover(const std::string& dir, std::string* notes, std::string* error) {
  if (sim::HostEntryAt(sim::HostJoin(dir, kSaved)) == sim::HostEntry::Folder) {
    if (!PutSavedInPlace(dir, error)) return false;
    *notes += dir + ": finished putting in place the state an interrupted run had saved\n";
  }
  const std::string saving = sim::HostJoin(dir, kSaving);
  if (Exists(saving)) {
    if (!sim::RemoveHostTree(saving, error)) return false;
    *notes += dir +
              ": dropped the unfinished save of an interrupted run; the state before it "
              "is kept\n";
  }
  return sim::RemoveHostTree(sim::HostJoin(dir, kReplaced), error) &&
         RecoverOlderSave(dir, notes, error);
}

}  // namespace

bool OpenStateFolder(const std::string& dir, sim::HostFolderLock* lock, std::string* notes,
                     std::string* error) {
  const sim::HostEntry entry = sim::HostEntryAt(dir);
  if (entry != sim::HostEntry::Missing && entry != sim::HostEntry::Folder) {
    *error = "cannot use the state folder " + dir + ": not a folder";
    return false;
  }
  std::string why;
  if (entry == sim::HostEntry::Missing && !sim::MakeHostFolders(dir, &why)) {
    *error = "cannot make the state folder: " + why;
    return false;
  }
  bool busy = false;
  if (!lock->Acquire(dir, &busy, &why)) {
    *error = busy ? "the state folder " + dir +
                        " is in use by another run of dorvane2-sim; nothing in it was touched"
                  : "cannot use the state folder: " + why;
    return false;
  }
  if (!Recover(dir, notes, &why)) {
    *error = "cannot recover the state folder after an interrupted save: " + why;
    return false;
  }
  return true;
}

bool SaveState(sim::Device& dev, const std::string& dir, std::string* error) {
  const std::string saving = sim::HostJoin(dir, kSaving);
  const std::string saved = sim::HostJoin(dir, kSaved);
  if (!sim::RemoveHostTree(saving, error) || !WriteStateTo(dev, saving, error) ||
      !sim::RenameHost(saving, saved, error)) {
    sim::RemoveHostTree(saving, nullptr);  // the state before this run stays as it was
    return false;
  }
  // Committed: whatever fails from here on, the next start finishes it.
  std::string why;
  if (!PutSavedInPlace(dir, &why)) {
    *error = why + " (the state of this run is kept; the next run puts it in place)";
    return false;
  }
  return true;
}

}  // namespace device::detail
