// A scripted day as someone runs it from the shell: a fresh `dorvane2-sim run --quiet` process
// from its start to its exit, loading and all. Goal: under 10 ms of CPU (user and system) for
// examples/day-24h.scn, a day of about 900 device events.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <string>

extern char** environ;

namespace {

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

void BM_DayInAFreshProcess(benchmark::State& state) {
  std::string runner = DV_RUNNER, scenario = std::string(DV_SOURCE_DIR) + "/examples/day-24h.scn";
  std::string run = "run", quiet = "--quiet";
  char* argv[] = {runner.data(), run.data(), quiet.data(), scenario.data(), nullptr};
  posix_spawn_file_actions_t quietOutput;
  posix_spawn_file_actions_init(&quietOutput);
  posix_spawn_file_actions_addopen(&quietOutput, 1, "/dev/null", O_WRONLY, 0);
  double cpu = 0;
  for (auto _ : state) {
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &quietOutput, nullptr, argv, environ) != 0) {
      state.SkipWithError("the runner could not be started");
      break;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the scenario did not pass");
      break;
    }
    cpu += Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  }
  posix_spawn_file_actions_destroy(&quietOutput);
  state.counters["CPU ms/run"] = cpu * 1000 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DayInAFreshProcess)->Unit(benchmark::kMillisecond)->Iterations(100)->UseRealTime();

}  // namespace
