// The device's PIM store behind the object model: appointments, tasks and contacts, the
// programs logged on to it with their notification wishes, and the restriction grammar of
// item collections. Edits made through the driver are changes by another program.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/poom.h"

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
  bool Matches(const PimItem& item) const;
};
// The documented grammar only: [Property] op value, joined by AND / OR; nullopt otherwise.
std::optional<PimFilter> ParseRestriction(std::u16string_view text);

class PimStore {
 public:
  explicit PimStore(ComRuntime& com);

  LONG Add(PimItem item);
  bool Change(LONG oid, const std::function<void(PimItem&)>& edit);
  bool Remove(LONG oid);
  // The first item of the folder with that subject (contacts: name).
  const PimItem* FindBySubject(int folder, std::u16string_view subject) const;
  std::vector<PimItem> ItemsOf(int folder) const;
  const PimItem* Get(LONG oid) const;

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

  std::vector<PimItem> items_;
  std::map<const void*, Session> sessions_;
  LONG nextOid_ = 0x01000001;
};

// Local time of the device now as an automation date.
DATE DeviceNowDate();

}  // namespace sim
