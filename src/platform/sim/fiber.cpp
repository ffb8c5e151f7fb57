#include "platform/sim/fiber.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define DV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DV_ASAN 1
#endif
#endif

#ifdef DV_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

#if !defined(__x86_64__)
#include <ucontext.h>
#endif

namespace sim {

#if defined(__x86_64__)
// Saves the callee-saved registers and the FPU control words on the current stack, stores the
// stack pointer in *save, and resumes the stack `next` prepared the same way.
extern "C" void dv_switch_stack(void** save, void* next);
extern "C" void dv_fiber_trampoline();
asm(R"(
.text
.globl dv_switch_stack
.type dv_switch_stack,@function
dv_switch_stack:
  pushq %rbp
  pushq %rbx
  pushq %r12
  pushq %r13
  pushq %r14
  pushq %r15
  subq $8, %rsp
  stmxcsr (%rsp)
  fnstcw 4(%rsp)
  movq %rsp, (%rdi)
  movq %rsi, %rsp
  ldmxcsr (%rsp)
  fldcw 4(%rsp)
  addq $8, %rsp
  popq %r15
  popq %r14
  popq %r13
  popq %r12
  popq %rbx
  popq %rbp
  ret
.size dv_switch_stack,.-dv_switch_stack

.globl dv_fiber_trampoline
.type dv_fiber_trampoline,@function
dv_fiber_trampoline:
  .cfi_startproc
  .cfi_undefined rip
  movq %r12, %rdi
  andq $-16, %rsp
  callq *%r13
  ud2
  .cfi_endproc
.size dv_fiber_trampoline,.-dv_fiber_trampoline
)");
#endif

namespace {
size_t PageSize() {
  static size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

// Stacks of ended fibers, kept for the next fibers of this host thread: a run of many devices
// starts and ends thousands of simulated threads, and mapping, guarding and touching a fresh
// stack for each costs more than the thread's own work. Plain thread-local data, so that a
// fiber ending after its host thread's pool was emptied at exit still finds it (closed).
struct PooledStack {
  void* map;
  size_t size;
};
constexpr size_t kKeptStacks = 64;
constinit thread_local PooledStack t_stacks[kKeptStacks] = {};
constinit thread_local size_t t_stackCount = 0;
constinit thread_local bool t_poolClosed = false;

struct StackPoolCloser {
  ~StackPoolCloser() {
    for (size_t i = 0; i < t_stackCount; ++i) munmap(t_stacks[i].map, t_stacks[i].size);
    t_stackCount = 0;
    t_poolClosed = true;
  }
};
thread_local StackPoolCloser t_poolCloser;

void* TakeStack(size_t size) {
  for (size_t i = t_stackCount; i-- > 0;) {
    if (t_stacks[i].size != size) continue;
    void* map = t_stacks[i].map;
    t_stacks[i] = t_stacks[--t_stackCount];
    return map;
  }
  return nullptr;
}

void GiveStack(void* map, size_t size) {
  if (t_poolClosed || t_stackCount == kKeptStacks) {
    munmap(map, size);
    return;
  }
  static_cast<void>(&t_poolCloser);  // empties the pool when this host thread ends
  t_stacks[t_stackCount++] = {map, size};
}
}  // namespace

Fiber::Fiber() = default;

Fiber::Fiber(Entry entry, void* arg, size_t stackSize) : entry_(entry), arg_(arg) {
  size_t page = PageSize();
  stackSize_ = (stackSize + page - 1) / page * page;
  mapSize_ = stackSize_ + page;  // one guard page below the stack
  void* map = TakeStack(mapSize_);
  if (!map) {
    map = mmap(nullptr, mapSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) std::abort();
    mprotect(map, page, PROT_NONE);
  }
  stack_ = static_cast<char*>(map) + page;
  asanBottom_ = stack_;
  asanSize_ = stackSize_;
#ifdef DV_ASAN
  // A stack mapped where an earlier fiber's stack was may still carry that fiber's red zones.
  __asan_unpoison_memory_region(stack_, stackSize_);
#endif
#if defined(__x86_64__)
  auto* top = reinterpret_cast<uint64_t*>(static_cast<char*>(stack_) + stackSize_);
  // Layout popped by dv_switch_stack: fpu words, r15, r14, r13, r12, rbx, rbp, return address.
  *--top = 0;
  *--top = reinterpret_cast<uint64_t>(&dv_fiber_trampoline);
  *--top = 0;                                   // rbp: ends frame-pointer walks
  *--top = 0;                                   // rbx
  *--top = reinterpret_cast<uint64_t>(this);    // r12: argument
  *--top = reinterpret_cast<uint64_t>(&Start);  // r13: function
  *--top = 0;                                   // r14
  *--top = 0;                                   // r15
  *--top = 0x037F00001F80ull;                   // mxcsr, x87 control word
  sp_ = top;
#else
  auto* uc = new ucontext_t;
  getcontext(uc);
  uc->uc_stack.ss_sp = stack_;
  uc->uc_stack.ss_size = stackSize_;
  uc->uc_link = nullptr;
  makecontext(uc, reinterpret_cast<void (*)()>(&Start), 1, this);
  sp_ = uc;
#endif
}

Fiber::~Fiber() {
#if !defined(__x86_64__)
  delete static_cast<ucontext_t*>(sp_);
#endif
  if (stack_) GiveStack(static_cast<char*>(stack_) - PageSize(), mapSize_);
}

void Fiber::Start(void* self) {
  auto* fiber = static_cast<Fiber*>(self);
#ifdef DV_ASAN
  const void* bottom = nullptr;
  size_t size = 0;
  __sanitizer_finish_switch_fiber(nullptr, &bottom, &size);
  if (fiber->resumedFrom_ && !fiber->resumedFrom_->asanBottom_) {
    fiber->resumedFrom_->asanBottom_ = bottom;
    fiber->resumedFrom_->asanSize_ = size;
  }
#endif
  fiber->entry_(fiber->arg_);
  // The entry never returns: it switches away for good.
  std::abort();
}

void Fiber::Switch(Fiber& from, Fiber& to, bool fromIsFinished) {
  to.resumedFrom_ = &from;
#ifdef DV_ASAN
  __sanitizer_start_switch_fiber(fromIsFinished ? nullptr : &from.asanFakeStack_, to.asanBottom_,
                                 to.asanSize_);
#else
  (void)fromIsFinished;
#endif
#if defined(__x86_64__)
  dv_switch_stack(&from.sp_, to.sp_);
#else
  if (!from.sp_) from.sp_ = new ucontext_t;
  swapcontext(static_cast<ucontext_t*>(from.sp_), static_cast<ucontext_t*>(to.sp_));
#endif
#ifdef DV_ASAN
  const void* bottom = nullptr;
  size_t size = 0;
  __sanitizer_finish_switch_fiber(from.asanFakeStack_, &bottom, &size);
  if (from.resumedFrom_ && !from.resumedFrom_->asanBottom_) {
    from.resumedFrom_->asanBottom_ = bottom;
    from.resumedFrom_->asanSize_ = size;
  }
#endif
}

}  // namespace sim
