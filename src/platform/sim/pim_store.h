// The device's PIM store behind the object model: appointments, tasks and contacts, the
// programs logged on to it with their notification wishes, and the restriction grammar of
// item collections. Edits made through the driver are changes by another program.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/poom.h"
#include "platform/sim/registry_model.h"

namespace sim {

class ComRuntime;
class Registry;
struct Process;

struct PimItem {
  LONG oid = 0;
  int folder = 0;
  std::u16string subject;
  std::u16string location;
  DATE start = 0, end = 0;
  bool allDay = false;
  bool yearly = false;   // a yearly series begun at `start`
  DATE seriesStart = 0;  // for an expanded occurrence: the series' first start
  DATE due = DATE_NONE;
  long importance = 1;
  bool complete = false;
  std::u16string name;                  // contacts: the display name
  std::vector<std::u16string> numbers;  // contacts: phone numbers
};

// A parsed restriction: conditions joined by AND (within a group) and OR (between groups).
struct PimCondition {
  std::u16string property;
  enum class Op { Less, LessEq, Greater, GreaterEq, Equal, NotEqual } op;
  enum class Kind { Text, Date, Number } kind;
  std::u16string text;
  double number = 0;  // a date as an automation date, TRUE/FALSE as -1/0
};
struct PimFilter {
  std::vector<std::vector<PimCondition>> anyOf;
  bool Matches(const PimItem& item) const { return Matches(item, item.start, item.end); }
  // For one year of a yearly series: the item with that start and end.
  bool Matches(const PimItem& item, DATE start, DATE end) const;
};
// The documented grammar only: [Property] op value, joined by AND / OR; nullopt otherwise.
std::optional<PimFilter> ParseRestriction(std::u16string_view text);

// What restrictions applied one after another say about the dates and completion of the items
// they keep, so that a query reads only that part of an index. Bounds are whole seconds,
// inclusive.
struct PimBounds {
  int64_t startTo = INT64_MAX;
  int64_t endFrom = INT64_MIN;
  int64_t dueFrom = INT64_MIN, dueTo = INT64_MAX;
  bool openTasks = false;  // [Complete] = FALSE
  // Nothing but [Complete] = FALSE and due dates was asked: every open task within the due
  // bounds matches.
  bool onlyTaskBounds = true;
};
PimBounds BoundsOf(const std::vector<PimFilter>& filters);

// Dates compare to the second, as the store keeps them.
int64_t PimSeconds(DATE date);

class PimFolder;  // pim_folder.h

class PimStore {
 public:
  explicit PimStore(ComRuntime& com);
  ~PimStore();

  // A copy of the item, with an oid of its own, which it answers.
  LONG Add(const PimItem& item);
  // The edit may change anything but the oid.
  bool Change(LONG oid, const std::function<void(PimItem&)>& edit);
  bool Remove(LONG oid);
  // The first item of the folder with that subject (contacts: name).
  const PimItem* FindBySubject(int folder, std::u16string_view subject) const;
  // The first contact with a number that matches this one (see PimFolder::FirstWithNumber).
  const PimItem* FindByNumber(std::u16string_view number) const;
  const PimItem* Get(LONG oid) const;
  // The folder as it is now, for a collection to read while the store goes on changing.
  std::shared_ptr<const PimFolder> Snapshot(int folder);

  // Sessions: the window a program logged on with and its notification flags per folder. A
  // session ends with Logoff or when its application object is released.
  void Logon(const void* session, HWND window);
  void Logoff(const void* session);
  bool LoggedOn(const void* session) const;
  void SetNotifications(const void* session, int folder, ULONG flags);
  int Logons() const { return static_cast<int>(sessions_.size()); }
  // Sessions of live processes of that executable: one that ended is logged on no more.
  int LogonsOf(std::u16string_view exeName) const;

  // Each item fetched from a collection takes this long (a slow store).
  DWORD fetchLatencyMs = 0;

 private:
  struct Session {
    HWND window = 0;
    const Process* process = nullptr;  // whose thread logged on
    std::map<int, ULONG> notify;
  };
  void Notify(UINT message, const PimItem& item);
  void UpdateShellState(int folder);
  // The folder to change: a copy when a collection still reads it.
  PimFolder& Own(int folder);
  std::optional<int> FolderOf(LONG oid) const;

  std::map<int, std::shared_ptr<PimFolder>> folders_;
  std::map<const void*, Session> sessions_;
  LONG nextOid_ = 0x01000001;
  // The shell's summaries, written after each change of the calendar or the tasks.
  Registry::HeldKey appointmentsKey_{u"HKCU\\System\\State\\Appointments"};
  Registry::HeldKey homeScreenKey_{u"HKCU\\System\\State\\Appointments\\HomeScreen"};
  Registry::HeldKey tasksKey_{u"HKCU\\System\\State\\Tasks"};
  std::vector<uint8_t> textBuffer_;
};

// Local time of the device now as an automation date.
DATE DeviceNowDate();

}  // namespace sim
