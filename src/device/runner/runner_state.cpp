// The state folder of `--state DIR`: the registry as a .reg file, the device's files as a host
// folder tree, the device clock as one line of text and the notification database (its own
// file), so a later run continues from there.
// How a save becomes the kept state all at once is in runner_state_commit.cpp.
#include <cstdio>

#include "device/runner/runner_internal.h"
#include "platform/kernel.h"
#include "platform/sim/host_files.h"
#include "platform/sim/regfile.h"

namespace device::detail {

namespace {

bool Present(const std::string& path) {
  return sim::HostEntryAt(path) != sim::HostEntry::Missing;
}

// A save moves a new part into the part's place, so a part that is a link would stop being one
// and its target would never be written: refused before anything is read.
bool NoLinkedPart(const std::string& dir, std::string* error) {
  for (std::string_view part : kStateParts) {
    const std::string path = sim::HostJoin(dir, std::string(part));
    if (!sim::IsHostLink(path)) continue;
    *error = path + ": a symbolic link; the state folder keeps its own " +
             (part == kStateFiles ? "folder" : "file") + " there (put it in place of the link)";
    return false;
  }
  return true;
}

// A stored file that is there must be a plain file: reading a folder is not a load.
bool PlainFile(const std::string& path, std::string* error) {
  if (sim::HostEntryAt(path) == sim::HostEntry::File) return true;
  *error = path + ": not a file";
  return false;
}

// "2008-06-01 07:00:12", read with the scenario's own `clock` verb so both accept the same.
bool LoadClock(sim::Device& dev, const std::string& path, std::string* error) {
  std::string text;
  if (!sim::ReadHostFile(path, &text, error, 4096)) return false;
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);  // as an editor may save it
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  ParseResult parsed = ParseLine("clock " + text, 1, path);
  const auto* clock = parsed.ok() && parsed.steps.size() == 1
                          ? std::get_if<verb::Clock>(&parsed.steps[0].action)
                          : nullptr;
  if (!clock) {
    *error =
        path + ":1: expected a date and time like 2008-06-01 07:00:12, not '" + Excerpt(text) + "'";
    return false;
  }
  dev.SetClock(clock->time);
  return true;
}

bool SaveClock(const std::string& path, std::string* error) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  // The clock file holds four-digit years; a later one could never be read back.
  if (now.wYear > 9999) {
    *error = "the device clock is past the year 9999 and cannot be kept";
    return false;
  }
  char line[40];
  std::snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u\n", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  return sim::WriteHostFile(path, line, false, error);
}

}  // namespace

bool LoadState(sim::Device& dev, const std::string& dir, std::string* error) {
  sim::HostEntry entry = sim::HostEntryAt(dir);
  if (entry == sim::HostEntry::Missing) return true;  // nothing kept yet
  if (entry != sim::HostEntry::Folder) {
    *error = dir + ": not a folder";
    return false;
  }
  if (!NoLinkedPart(dir, error)) return false;
  if (std::string reg = sim::HostJoin(dir, kStateRegistry); Present(reg)) {
    if (!PlainFile(reg, error)) return false;
    sim::RegParseResult r = sim::LoadRegFile(dev.registry(), reg);
    if (!r.ok) {
      *error = r.message;
      return false;
    }
  }
  if (std::string files = sim::HostJoin(dir, kStateFiles);
      Present(files) && !dev.files().LoadFrom(files, error))
    return false;
  if (std::string clock = sim::HostJoin(dir, kStateClock);
      Present(clock) && (!PlainFile(clock, error) || !LoadClock(dev, clock, error)))
    return false;
  // After the clock: a timed notification falls due by the device's time.
  if (std::string notes = sim::HostJoin(dir, kStateNotifications);
      Present(notes) && (!PlainFile(notes, error) || !LoadNotifications(dev, notes, error)))
    return false;
  return true;
}

bool WriteStateTo(sim::Device& dev, const std::string& folder, std::string* error) {
  return sim::MakeHostFolder(folder, error) &&
         sim::WriteHostFile(sim::HostJoin(folder, kStateRegistry),
                            sim::ExportRegText(dev.registry()), false, error) &&
         dev.files().WriteTo(sim::HostJoin(folder, kStateFiles), error) &&
         SaveClock(sim::HostJoin(folder, kStateClock), error) &&
         sim::WriteHostFile(sim::HostJoin(folder, kStateNotifications), NotificationsText(dev),
                            false, error) &&
         sim::FlushHostFileSystem(folder, error);
}

}  // namespace device::detail
