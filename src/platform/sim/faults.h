// The device's one fault switch: a driver arms "the next N calls of FUNCTION fail", and the
// platform call, on entry, asks whether it is struck and then fails the way the real function
// fails (an error code, FALSE or NULL with a last error, an HRESULT). Only calls made by the
// program under test (the daemon) are struck, so stand-in programs keep working.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace sim {

// How a function reports failure; decides what RESULT means and the default one.
enum class FailStyle {
  ErrorCode,  // returns the error code itself (LONG/DWORD/MMRESULT/LINEERR)
  Hresult,    // returns the HRESULT
  LastError,  // returns FALSE / NULL / 0 / INVALID_HANDLE_VALUE and sets the last error
  Value,      // returns RESULT as its value (ExtEscape: 0 unsupported, -1 driver error)
};

struct FaultFunction {
  std::string_view name;
  FailStyle style;
  uint32_t usualFailure;  // RESULT when the scenario leaves it out
};

// Every function that can be made to fail; nullptr for an unknown name.
const FaultFunction* FindFaultFunction(std::string_view name);
// Symbolic results a scenario may write instead of a number (E_FAIL, LINEERR_REINIT, ...).
std::optional<uint32_t> FaultResultByName(std::string_view name);

class Faults {
 public:
  static constexpr uint32_t kAlways = 0xFFFFFFFF;

  // The next `count` calls (kAlways: every call) of `function` fail with `result`.
  void Arm(std::string_view function, std::optional<uint32_t> result, uint32_t count);
  void Clear() { armed_.clear(); }
  // The executable whose calls are struck (case-insensitive); empty: every caller's.
  void SetTarget(std::u16string exeName) { target_ = std::move(exeName); }

  // Called by the platform function on entry: the result to fail with, when struck (and
  // traced), or nullopt to go on normally. A COM method is "INTERFACE::METHOD"; one armed by
  // its bare name is struck too.
  std::optional<uint32_t> Strike(std::string_view function);

  // While one is alive nothing is struck: a model calling its own objects on the program's
  // behalf (CoCreateInstance asking the new object for an interface) is not the program's call.
  class Quiet {
   public:
    explicit Quiet(Faults& f) : f_(f) { ++f_.quiet_; }
    ~Quiet() { --f_.quiet_; }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

   private:
    Faults& f_;
  };

 private:
  struct Armed {
    uint32_t result;
    uint32_t remaining;
  };
  std::map<std::string, Armed, std::less<>> armed_;
  std::u16string target_ = u"dorvane2.exe";
  int quiet_ = 0;
};

// Shorthands for platform functions of the current device.
std::optional<uint32_t> Strike(std::string_view function);
// For LastError-style functions: true when struck, with the last error set to the result.
bool StruckWithLastError(std::string_view function);

}  // namespace sim
