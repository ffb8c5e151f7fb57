// The simulated phone: one virtual clock, its threads and processes, windows, registry and
// files. Tests and the scenario runner drive it from outside (the driver); the daemon and the
// stand-in programs run inside it and see only the Win32-shaped platform calls.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/com.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/faults.h"
#include "platform/sim/filesystem.h"
#include "platform/sim/keyboard.h"
#include "platform/sim/led_driver.h"
#include "platform/sim/libraries.h"
#include "platform/sim/mapi_model.h"
#include "platform/sim/notification_db.h"
#include "platform/sim/objects.h"
#include "platform/sim/pim_store.h"
#include "platform/sim/process.h"
#include "platform/sim/registry_model.h"
#include "platform/sim/scheduler.h"
#include "platform/sim/shell_list.h"
#include "platform/sim/sim_card.h"
#include "platform/sim/sysinfo_config.h"
#include "platform/sim/telephony.h"
#include "platform/sim/trace.h"
#include "platform/sim/wave_out.h"
#include "platform/sim/windows.h"

namespace sim {

struct PowerConfig {
  BYTE acLine = 0;  // on battery
  BYTE batteryPercent = 80;
};

// What the device answers to system queries; tests change it to reach other branches.
struct DeviceConfig {
  PowerConfig power;
  RECT workArea{0, 26, 240, 294};
  std::u16string oemInfo = u"Dorvane Simulated Phone";
  std::u16string platformType = u"PocketPC";
  DWORD osMajor = 5;
  DWORD osMinor = 2;
  DWORD leds = 2;  // notification LEDs; the last one drives the vibration motor
  SysInfoConfig sysInfo;
};

class Device {
 public:
  Device();
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // The device the platform calls act on; exactly one exists at a time.
  static Device& Current();
  static bool Exists();

  // Clock: local time at tick 0 and the tick at which the driver starts.
  void SetClock(const SYSTEMTIME& localAtTickZero) { clock_.SetLocalStart(localAtTickZero); }
  DeviceClock& clock() { return clock_; }
  void SetBootTick(uint64_t ms) { sched_.SetNow(ms); }
  uint64_t Now() const { return sched_.Now(); }

  // Programs.
  void RegisterProgram(const std::u16string& exeName, ProgramMain main);
  // Starts the program at a device path (the file must exist); nullptr and the error when it
  // cannot. The new process runs when the driver next runs the device.
  Process* Launch(const std::u16string& path, const std::u16string& cmdLine, int show,
                  DWORD* error = nullptr);
  // Ends every process of that executable name at once; false if none ran.
  bool Kill(const std::u16string& exeName);
  void EndProcess(Process* p, DWORD exitCode);
  Process* FindProcess(std::u16string_view exeName) const;  // a live one
  // The exit code of the last process of that executable name to end, if one has.
  std::optional<DWORD> LastExitCode(const std::u16string& exeName) const;
  const std::vector<std::unique_ptr<Process>>& Processes() const { return processes_; }
  Thread* SpawnThread(Process* p, std::string name, std::function<DWORD()> body);
  // Runs `call` on the process's main thread inside its next message retrieval, then runs the
  // device until idle: tests call a program's own functions this way. False if it never ran.
  bool RunInProcess(Process* p, std::function<void()> call);

  // Running. Each returns false when the run went wrong (step budget or time limit); the
  // reason is in Failure().
  bool RunUntilIdle();
  bool RunFor(uint64_t ms);
  // Runs until nothing is due within `horizon`; gives up after `limit` of device time.
  bool Settle(uint64_t horizon = 60000, uint64_t limit = 24ull * 3600000);
  // Runs until `done` holds, at most `limit` of device time; on failure names each wait.
  bool RunUntil(const std::function<bool()>& done, uint64_t limit);
  // A device event at a virtual time, run by the driver in order of time, then of scheduling.
  void At(uint64_t time, std::function<void()> event);

  // Suspend: once what is runnable at the moment of the transition has run, no thread runs
  // and no window timer fires; the clock goes on and device events (the world outside, timed
  // notifications) still happen. Any other transition resumes; what fell due meanwhile then
  // runs once.
  void EnterSuspend() { suspendPending_ = true; }
  void LeaveSuspend();
  bool Suspended() const { return suspended_; }
  // Something from outside (a call, a message, a key) wakes a suspended device as the power
  // manager does: through "resuming".
  void WakeFromSuspend();
  const std::string& Failure() const { return failure_; }

  Scheduler& scheduler() { return sched_; }
  HandleTable& handles() { return handles_; }
  const HandleTable& handles() const { return handles_; }
  WindowManager& windows() { return windows_; }
  Registry& registry() { return registry_; }
  const Registry& registry() const { return registry_; }
  FileSystem& files() { return files_; }
  const FileSystem& files() const { return files_; }
  NotificationDatabase& notifications() { return notifications_; }
  LedDriver& leds() { return leds_; }
  Trace& trace() { return trace_; }
  // Records a model's own observable act in the trace, as done by the calling program.
  void Note(std::string text, uint32_t value = 0);
  Faults& faults() { return faults_; }
  Keyboard& keyboard() { return keyboard_; }
  Telephony& telephony() { return telephony_; }
  const Telephony& telephony() const { return telephony_; }
  ComRuntime& com() { return com_; }
  Libraries& libraries() { return libraries_; }
  WaveOut& wave() { return wave_; }
  PimStore& pim() { return pim_; }
  SimCard& simCard() { return simCard_; }
  Mapi& mapi() { return mapi_; }
  ShellList& shellList() { return shellList_; }
  DeviceConfig& config() { return config_; }
  // Holds the process-wide data of code that runs in the driver rather than in a program.
  Process& DriverProcess() { return driverProcess_; }

  // Last error of the driver itself (platform calls made from outside any thread).
  DWORD driverLastError = 0;
  // Messages sent by the driver wait for their answer this long at most.
  uint64_t driverSendLimit = 60000;

 private:
  struct Event {
    uint64_t time;
    uint64_t seq;
    std::function<void()> fn;
  };
  bool RunDueEvents();
  uint64_t NextEventTime() const;
  bool AdvanceTo(uint64_t target);
  void OnThreadExit(Thread* t);
  void TraceRegistryChange(const RegChange& c);
  void TraceFileChange(const FsChange& c);

  DeviceClock clock_;
  Trace trace_;
  Scheduler sched_;
  HandleTable handles_;
  WindowManager windows_{sched_, trace_};
  Registry registry_;
  FileSystem files_;
  NotificationDatabase notifications_;
  LedDriver leds_;
  DeviceConfig config_;
  Faults faults_;
  Keyboard keyboard_;
  Telephony telephony_;
  ComRuntime com_;
  Libraries libraries_;
  WaveOut wave_;
  PimStore pim_{com_};
  SimCard simCard_;
  Mapi mapi_;
  ShellList shellList_;
  std::vector<std::unique_ptr<Process>> processes_;
  Process driverProcess_;
  std::map<std::u16string, ProgramMain> programs_;
  std::map<std::u16string, DWORD> lastExitCodes_;  // by folded executable name
  std::vector<Event> events_;
  uint64_t eventSeq_ = 0;
  std::string failure_;
  bool suspended_ = false;
  bool suspendPending_ = false;
  uint64_t NextWake() const;
  DWORD nextThreadId_ = 0x00400004;
};

}  // namespace sim
