#include "CameraFigures.h"

#include <cstdio>
#include <vector>

#include "Qpc.h"
#include "ShellWindowFind.h"

namespace bench {

namespace {

constexpr UINT kNewCamera = 32784;
constexpr UINT kCloseAllCameras = 32789;
constexpr auto kCloseTimeout = std::chrono::minutes(5);

// One round: the cameras opened one after the other, then all closed.
struct Round {
    std::string failure;  // empty if the round went through
    double openMs = 0;
    double closeMs = 0;
    int left = 0;  // camera windows still there after Close All Cameras
    GuiObjects guiBefore, guiAfter;
    MemorySample memoryBefore, memoryAfter;
};

// Top-level windows of the shell's process.
int WindowCount(const ShellProcess& shell) { return static_cast<int>(vt::TopLevelWindows(shell.Id()).size()); }

Round RunRound(ShellProcess& shell, int cameras) {
    Round round;
    round.guiBefore = shell.Gui();
    round.memoryBefore = shell.Memory();
    const int windowsBefore = WindowCount(shell);
    // Each command is sent and handled before the next.
    const std::int64_t openBegin = QpcNow();
    for (int i = 0; i < cameras; ++i) {
        if (!shell.MenuCommand(kNewCamera)) {
            round.failure = "the shell stopped answering at camera " + std::to_string(i + 1) + " (" +
                            std::to_string(WindowCount(shell) - windowsBefore) + " windows open)";
            return round;
        }
    }
    round.openMs = QpcToMicroseconds(QpcNow() - openBegin) / 1000;
    const int opened = WindowCount(shell) - windowsBefore;
    const std::int64_t closeBegin = QpcNow();
    const bool closed = shell.MenuCommand(kCloseAllCameras, kCloseTimeout);
    round.closeMs = QpcToMicroseconds(QpcNow() - closeBegin) / 1000;
    round.left = WindowCount(shell) - windowsBefore;
    if (opened < cameras) {
        round.failure = "New Camera opened " + std::to_string(opened) + " windows";
    } else if (!closed) {
        round.failure = "Close All Cameras did not end in 5 minutes; " + std::to_string(round.left) + " left";
    }
    round.guiAfter = shell.Gui();
    round.memoryAfter = shell.Memory();
    return round;
}

std::string Counts(DWORD before, DWORD after) { return std::to_string(before) + " -> " + std::to_string(after); }

std::string PrivateGrowth(const Round& round) {
    return round.memoryBefore.valid && round.memoryAfter.valid
               ? Fixed(round.memoryAfter.privateKiB - round.memoryBefore.privateKiB, 0)
               : std::string();
}

}  // namespace

void RunCameraFigures(ShellProcess& shell, const Options& options, ResultTable& table) {
    std::printf("  cameras, %d opened and closed, %d rounds\n", options.cameras, options.cameraRounds);
    std::fflush(stdout);
    const std::string n = std::to_string(options.cameras);
    const std::string figure = n + " cameras opened and closed";
    // The rounds after the first show what stays per camera: the first one
    // also grows the process's window and handle tables to their high-water
    // mark.
    std::vector<Round> rounds;
    int left = 0;
    for (int i = 0; i < options.cameraRounds; ++i) {
        rounds.push_back(RunRound(shell, options.cameras));
        if (!rounds.back().failure.empty()) {
            table.Add({"cameras, " + figure + ", round " + std::to_string(i + 1), "", "", "",
                       rounds.back().failure, "FAIL"});
            return;
        }
        left += rounds.back().left;
    }
    const Round& first = rounds.front();
    const Round& last = rounds.back();
    table.Add({"New Camera, each of " + n + " (ms)", Fixed(first.openMs / options.cameras, 2), "", "", "", "info"});
    table.Add({"Close All Cameras, " + n + " windows (ms)", Fixed(first.closeMs, 0), "", "", "", "info"});
    table.Add({"windows left, " + figure, std::to_string(left), "", "", "0", Verdict(left == 0)});
    // Wine's GetGuiResources answers 0 for every process.
    const bool counted = first.guiBefore.gdi || last.guiAfter.gdi || first.guiBefore.user || last.guiAfter.user;
    const std::string note = counted ? "no growth" : "GetGuiResources gives 0 here";
    const std::string times = ", " + std::to_string(rounds.size()) + " rounds";
    table.Add({"GDI objects, " + figure + times, Counts(first.guiBefore.gdi, last.guiAfter.gdi), "", "", note,
               counted ? Verdict(last.guiAfter.gdi <= first.guiBefore.gdi) : "info"});
    table.Add({"USER objects, " + figure + times, Counts(first.guiBefore.user, last.guiAfter.user), "", "", note,
               counted ? Verdict(last.guiAfter.user <= first.guiBefore.user) : "info"});
    for (std::size_t i = 0; i < rounds.size(); ++i)
        table.Add({"private bytes growth, " + figure + ", round " + std::to_string(i + 1) + " (KiB)",
                   PrivateGrowth(rounds[i]), "", "", "", "info"});
}

}  // namespace bench
