// The roads of the whole system, measured end to end with real processes:
//   value road   OPC data change handed over by the simulation -> record in
//                the kernel window (latency per record, records per second)
//   idle cost    CPU share of the driver's thread with nothing changing
//                against a thread that only sleeps (median of windows)
//   write road   DLMWriteDataDrv -> the simulation's Write
//   start-up     DLMInitDeviceDrv -> every device's values in the kernel
//                (median of runs)
// Prints a table and, with --results PATH, writes it as Markdown with the
// notes on every missed target. --floor-ns N adds the floor measured by
// bench_section. Targets are reported against, never asserted.

#include "bench/roads/RoadRig.h"
#include "bench/roads/RoadStats.h"
#include "peers/kernel/KernelModel.h"
#include "platform/os/Time.h"
#include "platform/ui/Backend.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench::MonotonicNs;

constexpr uint32_t kFirstValuesPatienceMs = 60000;
constexpr uint32_t kValueWindowMs = 4000;     // deliveries measured
constexpr uint32_t kValueDrainMs = 3000;      // time left for the last measured delivery to arrive
constexpr uint32_t kIdleSettleMs = 1000;
constexpr uint32_t kIdleWindowMs = 3000;
constexpr int kIdleWindows = 5;
constexpr int kStartRuns = 3;
constexpr int kWrites = 60;
constexpr uint32_t kServerTickMs = 51;  // the server looks for commands this often
constexpr uint32_t kWritePatienceMs = 2000;

struct Row {
  std::string Measure;
  std::string Result;
  std::string Target;
  std::optional<bool> Met;  // nothing: no target
};

std::vector<Row> g_rows;

std::string Fixed(double value, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

void Add(std::string measure, std::string result, std::string target = "", std::optional<bool> met = std::nullopt) {
  std::cout << "  " << measure << ": " << result << (target.empty() ? "" : "  (target " + target + ")") << std::endl;
  g_rows.push_back(Row{std::move(measure), std::move(result), std::move(target), met});
}

// Waits until every variable of the rig got a first record.
bool AwaitFirstValues(bench::RoadRig& rig) {
  return rig.PumpUntil([&] { return rig.VariablesSeen() == rig.VariableCount(); }, kFirstValuesPatienceMs);
}

void ReportDriverLog() {
  const auto items = kernel::KernelModel::Instance().LogItems();
  if (items.empty()) return;
  std::cerr << "  driver log: " << items.size() << " entries, first: code " << items.front().Code << " "
            << std::string(items.front().Text, strnlen(items.front().Text, sizeof items.front().Text)) << std::endl;
}

// ---------------------------------------------------------------- value road

// Threads of this process that are not in before: the driver's.
std::vector<int32_t> StartedThreads(const std::vector<int32_t>& before) {
  std::vector<int32_t> started;
  for (int32_t tid : bench::RoadRig::ThreadIds())
    if (std::find(before.begin(), before.end(), tid) == before.end()) started.push_back(tid);
  return started;
}

// CPU time of the threads, -1 for one that is gone.
std::vector<int64_t> ThreadsCpuNs(const std::vector<int32_t>& threads) {
  std::vector<int64_t> cpu;
  for (int32_t tid : threads) cpu.push_back(bench::RoadRig::ThreadCpuNs(tid));
  return cpu;
}

// What each side used over a window: CPU as a share of one core.
struct Usage {
  double DriverShare = 0;   // the threads the driver started, together
  double ServerShare = 0;   // the server process
  int64_t KernelRss = 0;    // this process: the kernel with the driver loaded
  int64_t ServerRss = 0;
};

class UsageMeter {
 public:
  UsageMeter(const bench::RoadRig& rig, std::vector<int32_t> driverThreads)
      : serverPid_(rig.ServerPid()), threads_(std::move(driverThreads)), threadCpu_(ThreadsCpuNs(threads_)),
        serverCpu_(bench::RoadRig::ProcessCpuNs(serverPid_)), from_(MonotonicNs()) {}
  Usage Read() const {
    Usage usage;
    const double span = static_cast<double>(MonotonicNs() - from_);
    const std::vector<int64_t> now = ThreadsCpuNs(threads_);
    for (size_t i = 0; i < now.size(); ++i)
      if (now[i] >= 0 && threadCpu_[i] >= 0) usage.DriverShare += static_cast<double>(now[i] - threadCpu_[i]) / span;
    const int64_t serverNow = bench::RoadRig::ProcessCpuNs(serverPid_);
    if (serverNow >= 0 && serverCpu_ >= 0) usage.ServerShare = static_cast<double>(serverNow - serverCpu_) / span;
    usage.KernelRss = bench::RoadRig::ResidentBytes(static_cast<int32_t>(::getpid()));
    usage.ServerRss = bench::RoadRig::ResidentBytes(serverPid_);
    return usage;
  }

 private:
  int32_t serverPid_;
  std::vector<int32_t> threads_;
  std::vector<int64_t> threadCpu_;
  int64_t serverCpu_;
  int64_t from_;
};

std::string Megabytes(int64_t bytes) { return bytes < 0 ? "?" : Fixed(static_cast<double>(bytes) / 1048576.0, 1) + " MB"; }

// Targets of a value road, by its shape.
struct ValueTargets {
  std::optional<double> P50Ms, P99Ms, DrainPerS;
};

ValueTargets TargetsOf(int32_t count, int32_t changing) {
  if (changing < count) return {1.5, 3.0, std::nullopt};      // the realistic road
  if (count == 10000) return {2.5, std::nullopt, 3000000.0};  // everything changes
  if (count == 50000) return {10.0, std::nullopt, std::nullopt};
  return {3.0, 10.0, std::nullopt};
}

// The median of figures, then their least and greatest and each in turn:
// one figure of a shared machine moves too much to say where the code stands.
std::string MedianAndSpread(const std::vector<double>& figures, int digits, const std::string& unit) {
  const auto [least, most] = std::minmax_element(figures.begin(), figures.end());
  std::string text = Fixed(bench::Percentile(figures, 50), digits) + unit + " (" + Fixed(*least, digits) + " to " +
                     Fixed(*most, digits) + ":";
  for (size_t i = 0; i < figures.size(); ++i) text += (i == 0 ? " " : ", ") + Fixed(figures[i], digits);
  return text + ")";
}

std::string AtMost(double v, const std::string& unit) { return "<= " + Fixed(v, v < 10 ? 1 : 0) + unit; }

// count variables of one device, of which `changing` count up together
// (`counter 1 every=100`, spread evenly over the table) and the others
// stay constant; every delivery after the first carries one value for each
// changing item, and a record's value names its delivery.
void ValueRoad(int32_t count, int32_t changing) {
  const std::string shape = changing == count ? std::to_string(count) + " variables"
                                              : std::to_string(count) + " variables, " + std::to_string(changing) +
                                                    " changing";
  std::cout << "== value road, " << shape << std::endl;
  bench::RigDevice device;
  device.ProgId = "BenchValues" + std::to_string(count) + "x" + std::to_string(changing);
  const int32_t every = count / changing;
  for (int32_t n = 1; n <= count; ++n) {
    const bool counts = n % every == 0;
    device.ItemLines.push_back(bench::ItemLine(device.ProgId, n, counts ? "R4 counter 1 every=100" : "R4 const 1.5"));
  }
  bench::RoadRig rig("values", {device});
  const std::vector<int32_t> before = bench::RoadRig::ThreadIds();
  const int64_t started = rig.Start();
  if (!AwaitFirstValues(rig)) {
    Add("value road, " + shape, "no values within the patience", "", false);
    ReportDriverLog();
    return;
  }
  const double startMs = static_cast<double>(MonotonicNs() - started) / 1e6;
  const UsageMeter meter(rig, StartedThreads(before));
  const int64_t from = MonotonicNs();
  rig.Pump(kValueWindowMs);
  const int64_t to = MonotonicNs();
  const Usage usage = meter.Read();
  rig.Pump(kValueDrainMs);
  const bool clean = rig.Stop();
  ReportDriverLog();

  const bench::ValueRoad road = bench::MeasureValueRoad(rig.Stamps(), rig.Receipts(), from, to);
  const double p50 = bench::Percentile(road.LatencyMs, 50), p99 = bench::Percentile(road.LatencyMs, 99);
  std::vector<double> rates, firstMs, lastMs;
  uint64_t sent = 0, received = 0;
  for (const bench::DeliveryOutcome& d : road.Deliveries) {
    sent += d.Sent;
    received += d.Received;
    if (d.Received > 0) {
      firstMs.push_back(static_cast<double>(d.FirstNs - d.StampNs) / 1e6);
      lastMs.push_back(static_cast<double>(d.LastNs - d.StampNs) / 1e6);
    }
    if (d.Received > 0 && d.LastNs > d.StampNs)
      rates.push_back(static_cast<double>(d.Received) / (static_cast<double>(d.LastNs - d.StampNs) / 1e9));
  }
  const double rate = bench::Percentile(rates, 50);
  const double window = static_cast<double>(to - from) / 1e9;
  std::cout << "  (" << road.Deliveries.size() << " deliveries measured, start-up " << Fixed(startMs, 0)
            << " ms; a delivery's first record after " << Fixed(bench::Percentile(firstMs, 50), 1)
            << " ms, its last after " << Fixed(bench::Percentile(lastMs, 50), 1)
            << " ms (median), stopped cleanly: " << (clean ? "yes" : "no") << ")" << std::endl;
  const ValueTargets t = TargetsOf(count, changing);
  const auto row = [](const std::string& measure, double value, const std::string& text, std::optional<double> target,
                      const std::string& unit) {
    if (target) Add(measure, text, AtMost(*target, unit), value <= *target);
    else Add(measure, text);
  };
  row("value latency p50, " + shape, p50, Fixed(p50, 2) + " ms", t.P50Ms, " ms");
  row("value latency p99, " + shape, p99, Fixed(p99, 2) + " ms", t.P99Ms, " ms");
  if (t.DrainPerS) Add("records/s while a delivery drains, " + shape, Fixed(rate, 0) + "/s", ">= " + Fixed(*t.DrainPerS, 0) + "/s", rate >= *t.DrainPerS);
  else Add("records/s while a delivery drains, " + shape, Fixed(rate, 0) + "/s");
  Add("records of measured deliveries not received, " + shape,
      std::to_string(sent - received) + " of " + std::to_string(sent) + " (" +
          Fixed(static_cast<double>(received) / window, 0) + "/s received)",
      "0", sent > 0 && received == sent);
  if (changing == count && count >= 10000) {
    Add("driver threads CPU / kernel process RSS, " + shape,
        Fixed(usage.DriverShare * 100, 1) + " % of a core / " + Megabytes(usage.KernelRss));
    Add("server CPU / RSS, " + shape, Fixed(usage.ServerShare * 100, 1) + " % of a core / " + Megabytes(usage.ServerRss));
  }
}

// The least a cycle of 1 ms sleep costs on this machine: a thread that
// does nothing but the driver's sleep, run beside the driver over the same
// window so that both meet the same conditions.
class SleepLoop {
 public:
  SleepLoop() : thread_([this] { Run(); }) {}
  ~SleepLoop() {
    if (thread_.joinable()) Stop();
  }
  SleepLoop(const SleepLoop&) = delete;
  SleepLoop& operator=(const SleepLoop&) = delete;

  // Ends the loop; its CPU time as a share of a core over its run.
  double Stop() {
    stop_ = true;
    thread_.join();
    return share_;
  }

 private:
  void Run() {
    timespec c0{}, c1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
    const int64_t t0 = MonotonicNs();
    while (!stop_) platform::os::Sleep(1);
    const int64_t t1 = MonotonicNs();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
    const double cpu = static_cast<double>(c1.tv_sec - c0.tv_sec) * 1e9 + static_cast<double>(c1.tv_nsec - c0.tv_nsec);
    share_ = cpu / static_cast<double>(t1 - t0);
  }

  std::atomic<bool> stop_{false};
  double share_ = 0;
  std::thread thread_;
};

// ---------------------------------------------------------------- idle cost and write road

// CPU of one window as shares of a core: the busiest of the driver's
// threads, and a thread that only sleeps, run over the same span.
struct IdleWindow {
  double Driver = 0;
  double Sleeper = 0;
};

IdleWindow MeasureIdleWindow(bench::RoadRig& rig, const std::vector<int32_t>& driverThreads) {
  SleepLoop sleepLoop;
  const std::vector<int64_t> cpu0 = ThreadsCpuNs(driverThreads);
  const int64_t t0 = MonotonicNs();
  rig.Pump(kIdleWindowMs);
  const int64_t t1 = MonotonicNs();
  IdleWindow window;
  window.Sleeper = sleepLoop.Stop();
  const std::vector<int64_t> cpu1 = ThreadsCpuNs(driverThreads);
  for (size_t i = 0; i < cpu1.size(); ++i)
    if (cpu1[i] >= 0 && cpu0[i] >= 0)
      window.Driver = std::max(window.Driver, static_cast<double>(cpu1[i] - cpu0[i]) / static_cast<double>(t1 - t0));
  return window;
}

// Idle windows one after the other; each figure is the median over them.
void IdleCost(bench::RoadRig& rig, const std::vector<int32_t>& driverThreads, int32_t count) {
  std::vector<double> driver, sleeper, ratios;
  for (int w = 0; w < kIdleWindows; ++w) {
    const IdleWindow window = MeasureIdleWindow(rig, driverThreads);
    driver.push_back(window.Driver * 100);
    sleeper.push_back(window.Sleeper * 100);
    ratios.push_back(window.Sleeper > 0 ? window.Driver / window.Sleeper : 0);
  }
  const std::string shape = std::to_string(count) + " variables";
  const std::string windows =
      "median of " + std::to_string(kIdleWindows) + " windows of " + std::to_string(kIdleWindowMs / 1000) + " s";
  Add("driver thread CPU at idle, " + shape + ", " + windows, Fixed(bench::Percentile(driver, 50), 1) + " % of a core");
  Add("a thread that only sleeps 1 ms a cycle, the same windows",
      Fixed(bench::Percentile(sleeper, 50), 1) + " % of a core");
  const bool measured = std::all_of(sleeper.begin(), sleeper.end(), [](double s) { return s > 0; });
  const double ratio = bench::Percentile(ratios, 50);
  Add("idle driver thread / sleeping thread, " + shape + ", " + windows, MedianAndSpread(ratios, 2, ""), "<= 1.5",
      measured && ratio <= 1.5);
}

void IdleAndWrites(int32_t count) {
  std::cout << "== idle cost and write road, " << count << " variables" << std::endl;
  bench::RigDevice device;
  device.ProgId = "BenchIdle" + std::to_string(count);
  for (int32_t n = 1; n <= count; ++n) device.ItemLines.push_back(bench::ItemLine(device.ProgId, n, "R4 const 1.5"));
  const int32_t writeId = count + 1;
  device.ItemLines.push_back(bench::ItemLine(device.ProgId, writeId, "R4 const 0.5 writable"));
  bench::RoadRig rig("idle", {device});
  const std::vector<int32_t> before = bench::RoadRig::ThreadIds();
  rig.Start();
  if (!AwaitFirstValues(rig)) {
    Add("idle CPU", "no values within the patience", "", false);
    ReportDriverLog();
    return;
  }
  rig.Pump(kIdleSettleMs);
  IdleCost(rig, StartedThreads(before), count);

  // Writes, one at a time, at random moments against the server's tick.
  std::mt19937 random(12345);
  std::vector<double> latencies;
  size_t seen = rig.Stamps().size();
  int refused = 0;
  for (int k = 0; k < kWrites; ++k) {
    const float value = 100.0f + static_cast<float>(k);
    const int64_t asked = MonotonicNs();
    if (rig.Write(writeId, value) != 0) {
      ++refused;
      continue;
    }
    std::optional<int64_t> written;
    rig.PumpUntil(
        [&] {
          for (const opcsim::StampRecord& s : rig.Stamps(seen)) {
            ++seen;
            if (s.kind == static_cast<uint32_t>(opcsim::StampKind::Write) && static_cast<float>(s.value) == value)
              written = s.monotonicNs;
          }
          return written.has_value();
        },
        kWritePatienceMs);
    if (written) latencies.push_back(static_cast<double>(*written - asked) / 1e6);
    // The next write leaves 5 ms and up to one tick more after this one
    // arrived, which was just after a tick: its phase against the next
    // tick is even over the tick.
    rig.Pump(std::uniform_int_distribution<uint32_t>(5, 5 + kServerTickMs - 1)(random));
  }
  const bool clean = rig.Stop();
  ReportDriverLog();
  std::cout << "  (" << latencies.size() << " of " << kWrites << " writes reached the simulation, " << refused
            << " refused, stopped cleanly: " << (clean ? "yes" : "no") << ")" << std::endl;
  const double p50 = bench::Percentile(latencies, 50), p99 = bench::Percentile(latencies, 99);
  Add("write latency p50, " + std::to_string(count) + " variables", Fixed(p50, 1) + " ms", "<= 30 ms",
      p50 <= 30 && latencies.size() == static_cast<size_t>(kWrites));
  Add("write latency p99, " + std::to_string(count) + " variables", Fixed(p99, 1) + " ms");
}

// ---------------------------------------------------------------- start-up

// devices simulations of items constant items each, one device each; the
// values of device d are d.5.
std::vector<bench::RigDevice> StartDevices(int32_t devices, int32_t items) {
  std::vector<bench::RigDevice> list;
  for (int32_t d = 1; d <= devices; ++d) {
    bench::RigDevice device;
    device.ProgId = "BenchStart" + std::to_string(d);
    device.Address = d;
    device.FirstId = (d - 1) * items + 1;
    const std::string value = std::to_string(d) + ".5";
    for (int32_t n = 1; n <= items; ++n) device.ItemLines.push_back(bench::ItemLine(device.ProgId, n, "R4 const " + value));
    list.push_back(std::move(device));
  }
  return list;
}

// Milliseconds from DLMInitDeviceDrv to every device's first value and to
// every value in the kernel.
struct StartTimes {
  double EveryDeviceMs = 0;
  double EveryValueMs = 0;
};

// One start of a fresh system; nothing when not every value arrived.
std::optional<StartTimes> StartOnce(int run, int32_t devices, int32_t items) {
  bench::RoadRig rig("start", StartDevices(devices, items));
  const int64_t started = rig.Start();
  const double initMs = static_cast<double>(MonotonicNs() - started) / 1e6;
  const bool all = AwaitFirstValues(rig);
  const bool clean = rig.Stop();
  ReportDriverLog();
  std::vector<int64_t> firstOfDevice(static_cast<size_t>(devices), 0);
  int64_t last = 0;
  for (const bench::Receipt& r : rig.Receipts()) {
    if (r.Id < 1 || r.Id > devices * items || r.Value == 0) continue;
    int64_t& first = firstOfDevice[static_cast<size_t>((r.Id - 1) / items)];
    if (first == 0) first = r.Ns;
    last = std::max(last, r.Ns);
  }
  const bool everyDevice = std::all_of(firstOfDevice.begin(), firstOfDevice.end(), [](int64_t t) { return t != 0; });
  std::vector<int64_t> order = firstOfDevice;
  std::sort(order.begin(), order.end());
  std::cout << "  (run " << run << ": DLMInitDeviceDrv and DLMRunDeviceDrv " << Fixed(initMs, 0)
            << " ms; first values of the devices after";
  for (int64_t t : order) std::cout << " " << (t == 0 ? std::string("-") : Fixed(static_cast<double>(t - started) / 1e6, 0));
  std::cout << " ms; stopped cleanly: " << (clean ? "yes" : "no") << ")" << std::endl;
  if (!all || !everyDevice) return std::nullopt;
  return StartTimes{static_cast<double>(order.back() - started) / 1e6, static_cast<double>(last - started) / 1e6};
}

// Starts one after the other; each figure is the median over them.
void StartUp(int32_t devices, int32_t items) {
  std::cout << "== start-up, " << devices << " devices x " << items << " items" << std::endl;
  const std::string shape = std::to_string(devices) + " x " + std::to_string(items);
  std::vector<double> everyDevice, everyValue;
  for (int run = 1; run <= kStartRuns; ++run) {
    const std::optional<StartTimes> times = StartOnce(run, devices, items);
    if (!times) {
      Add("start-up, " + shape, "not every value arrived in run " + std::to_string(run), "<= 150 ms", false);
      return;
    }
    everyDevice.push_back(times->EveryDeviceMs);
    everyValue.push_back(times->EveryValueMs);
  }
  const std::string runs = "median of " + std::to_string(kStartRuns) + " runs";
  Add("start-up to every device's first value, " + shape + ", " + runs, Fixed(bench::Percentile(everyDevice, 50), 0) + " ms");
  const double median = bench::Percentile(everyValue, 50);
  Add("start-up to every value in the kernel, " + shape + ", " + runs, MedianAndSpread(everyValue, 0, " ms"), "<= 150 ms",
      median <= 150);
}

// ---------------------------------------------------------------- output

std::string Table() {
  std::ostringstream out;
  out << "| measure | result | target | met |\n|---|---|---|---|\n";
  for (const Row& r : g_rows)
    out << "| " << r.Measure << " | " << r.Result << " | " << r.Target << " | "
        << (r.Met ? (*r.Met ? "yes" : "**no**") : "") << " |\n";
  return out.str();
}

// The machine's load average over the last minute, as text.
std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string first;
  return in >> first ? first : "unknown";
}

void WriteResults(const std::string& path, const std::string& notesPath, const std::string& load) {
  std::ofstream out(path, std::ios::binary);
  out << "# Benchmark results\n\nWritten by `make bench` (scripts/run-benchmarks.sh). Machine: "
      << sysconf(_SC_NPROCESSORS_ONLN) << " cores, load average " << load << " when the run began.\n\n"
      << Table();
  std::ifstream notes(notesPath, std::ios::binary);
  if (notes) out << "\n" << notes.rdbuf();
  if (!out) std::cerr << "bench_roads: cannot write " << path << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  std::string results, notes;
  std::optional<double> floorNs;
  std::vector<int32_t> sizes = {1000, 10000, 50000};
  std::string only;  // "value", "realistic", "idle" or "start": that part alone
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i], value = argv[i + 1];
    if (option == "--results") results = value;
    else if (option == "--notes") notes = value;
    else if (option == "--floor-ns") floorNs = std::strtod(value.c_str(), nullptr);
    else if (option == "--only") only = value;
    else if (option == "--size") sizes = {static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 10))};
    else {
      std::cerr << "usage: bench_roads [--results FILE] [--notes FILE] [--floor-ns N] [--only value|realistic|idle|start] [--size N]" << std::endl;
      return 2;
    }
  }
  // One namespace and registry for the whole run; the server started by
  // the driver inherits them, and finds the staged libraries.
  const std::string root = (std::filesystem::temp_directory_path() / ("fw-bench-roads-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(root + "/registry");
  ::setenv("FERROWICK_IPC_NAMESPACE", ("bench-roads-" + std::to_string(::getpid())).c_str(), 1);
  ::setenv("FERROWICK_REGISTRY_DIR", (root + "/registry").c_str(), 1);
  ::setenv("LD_LIBRARY_PATH", FW_OUT_DIR, 1);
  ::unsetenv("DISPLAY");
  platform::ui::UseHeadlessBackend();

  const std::string load = LoadAverage();
  int status = 0;
  try {
    if (only.empty() || only == "value")
      for (int32_t size : sizes) ValueRoad(size, size);
    if (only.empty() || only == "realistic") ValueRoad(10000, 100);
    if (only.empty() || only == "idle") IdleAndWrites(10000);
    if (only.empty() || only == "start") StartUp(10, 1000);
  } catch (const std::exception& error) {
    std::cerr << "bench_roads: " << error.what() << std::endl;
    status = 1;
  }
  if (floorNs) Add("floor: flag round trip through a shared section", Fixed(*floorNs / 1000, 2) + " us");
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  std::cout << "\n" << Table();
  if (!results.empty()) WriteResults(results, notes, load);
  return status;
}
