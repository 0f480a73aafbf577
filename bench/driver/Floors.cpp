#include "Floors.h"

#include <windows.h>

#include <cstdio>
#include <sstream>

#include "Harness.h"
#include "Qpc.h"

namespace bench {

namespace {

std::string OutputPath(const Paths& paths, const std::string& name) {
    const std::string scratch = paths.benchDir + "\\scratch";
    ::CreateDirectoryA(scratch.c_str(), nullptr);
    const std::string path = scratch + "\\" + name + ".txt";
    ::DeleteFileA(path.c_str());
    return path;
}

// Runs the floor to its end; false if it failed or had to be stopped.
bool RunToEnd(const Paths& paths, const char* floor, const std::string& arguments,
              std::chrono::milliseconds timeout, std::int64_t* startCounter = nullptr,
              const std::string& directory = "") {
    Child child(paths.Floor(floor), arguments, directory.empty() ? paths.benchDir : directory);
    if (!child.Started()) {
        std::fprintf(stderr, "driver: cannot start %s\n", floor);
        return false;
    }
    if (startCounter) *startCounter = child.StartCounter();
    if (!child.WaitExit(timeout)) {
        std::fprintf(stderr, "driver: %s did not end in time\n", floor);
        return false;
    }
    return child.ExitCode() == 0;
}

// The number after `key` in a floor's "key value" output.
std::optional<double> ReadValue(const std::string& path, const std::string& key) {
    std::istringstream text(ReadTextFile(path));
    std::string word;
    double value = 0;
    while (text >> word >> value)
        if (word == key) return value;
    return std::nullopt;
}

}  // namespace

std::vector<double> ReadTickFile(const std::string& path) {
    std::vector<double> ticks;
    std::istringstream text(ReadTextFile(path));
    for (double t; text >> t;) ticks.push_back(t);
    return ticks;
}

TimerFloorRun::TimerFloorRun(const Paths& paths, double seconds, int busyMs)
    : m_output(OutputPath(paths, "floor-timer-beside-" + std::to_string(busyMs))),
      m_seconds(seconds),
      m_child(paths.Floor("floor_timer"),
              std::to_string(seconds) + " " + std::to_string(busyMs) + " \"" + m_output + "\"",
              paths.benchDir) {
    if (!m_child.Started()) std::fprintf(stderr, "driver: cannot start floor_timer\n");
}

std::vector<double> TimerFloorRun::Ticks() {
    std::vector<double> ticks;
    if (!m_child.WaitExit(std::chrono::milliseconds(static_cast<long long>(m_seconds * 1000) + 60000))) {
        std::fprintf(stderr, "driver: floor_timer did not end in time\n");
        return ticks;
    }
    if (m_child.ExitCode() != 0) return ticks;
    return ReadTickFile(m_output);
}

std::optional<double> RunLogFloor(const Paths& paths, const char* mode, long long count, int length) {
    const std::string output = OutputPath(paths, std::string("floor-log-") + mode);
    const std::string arguments = std::string(mode) + " " + std::to_string(count) + " " +
                                  std::to_string(length) + " \"" + output + "\"";
    if (!RunToEnd(paths, "floor_log", arguments, std::chrono::hours(12))) return std::nullopt;
    return ReadValue(output, "us");
}

std::optional<double> RunStartupFloor(const Paths& paths, bool ole) {
    const std::string output = OutputPath(paths, "floor-startup");
    std::int64_t start = 0;
    const std::string arguments = "\"" + output + "\"" + (ole ? " ole" : "");
    if (!RunToEnd(paths, "floor_startup", arguments, std::chrono::seconds(60), &start))
        return std::nullopt;
    const std::optional<double> painted = ReadValue(output, "qpc");
    if (!painted) return std::nullopt;
    return QpcToMicroseconds(static_cast<std::int64_t>(*painted) - start);
}

std::optional<FullStartFloor> RunShellStartFloor(const Paths& paths, const std::string& root) {
    const std::string output = OutputPath(paths, "floor-shellstart");
    std::int64_t start = 0;
    if (!RunToEnd(paths, "floor_shellstart", "\"" + output + "\"", std::chrono::seconds(60), &start, root))
        return std::nullopt;
    const std::optional<double> painted = ReadValue(output, "qpc");
    if (!painted) return std::nullopt;
    FullStartFloor floor;
    floor.toFirstPaintUs = QpcToMicroseconds(static_cast<std::int64_t>(*painted) - start);
    for (FullStartFloor::Step& step : floor.steps) step.us = ReadValue(output, step.key).value_or(0);
    return floor;
}

}  // namespace bench
