# Installs the build and test tools when they are missing (sourced by the other scripts).
# DV_DEPS=runner: only what the simulator needs (the demo); anything else: the tests, the
# benchmarks and the browser for the timeline page's test as well.
need=()
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v ninja >/dev/null 2>&1 || need+=(ninja-build)
command -v g++ >/dev/null 2>&1 || need+=(g++)
[ -f /usr/include/CLI/CLI.hpp ] || need+=(libcli11-dev)
ls /usr/lib/*/libjemalloc.so* >/dev/null 2>&1 || need+=(libjemalloc2)
if [ "${DV_DEPS:-all}" != runner ]; then
  [ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
  [ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
  # clang and its fuzzer runtime, for the sanitizer build that the fuzzers share.
  if [ "${CXX:-}" = clang++ ]; then
    command -v clang++ >/dev/null 2>&1 || need+=(clang)
    ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
      need+=(libclang-rt-dev)
  fi
fi
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq && $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
# The browser for the timeline page's test; without it that one test is skipped.
if [ "${DV_DEPS:-all}" != runner ] &&
  { ! command -v chromium >/dev/null 2>&1 || ! command -v tidy >/dev/null 2>&1; }; then
  echo "installing: chromium tidy"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo -n"
  { $SUDO apt-get update -qq && $SUDO apt-get install -y -qq chromium tidy; } >/dev/null 2>&1 ||
    echo "chromium could not be installed: the timeline browser test will be skipped"
fi
