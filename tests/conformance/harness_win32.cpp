// The conformance cases under Windows: each runs on a new thread, so that it starts with an
// empty message queue and its windows die with it.
#include "conformance.h"

namespace conformance {
namespace {
constexpr DWORD kCaseLimitMs = 20000;

DWORD CaseThread(LPVOID body) {
  reinterpret_cast<void (*)()>(body)();
  return 0;
}
}  // namespace

bool OnSimulatedDevice() {
  return false;
}

void RunOnPlatform(void (*body)()) {
  HANDLE t = CreateThread(nullptr, 0, &CaseThread, reinterpret_cast<LPVOID>(body), 0, nullptr);
  ASSERT_NE(t, 0u);
  DWORD r = WaitForSingleObject(t, kCaseLimitMs);
  if (r != WAIT_OBJECT_0) {
    TerminateThread(t, 1);
    ADD_FAILURE() << "the case did not return within " << kCaseLimitMs << " ms";
  }
  CloseHandle(t);
}

}  // namespace conformance
