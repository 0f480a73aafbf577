// The log floors: the same burst of lines as the shell's log gets, written
//   pane  into the system's edit control in the output pane's place of the
//         console's own dialog template (102), one EM_SETSEL + EM_REPLACESEL
//         per line, the first 100 lines cut whenever the pane holds more
//         than 300: the plain way;
//   file  into a buffered C stream, one fputs per line: the limit.
// After the burst it writes "us <microseconds>" to OUTPUT.
//
// usage: floor_log pane|file COUNT LENGTH OUTPUT
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "EditAsPane.h"
#include "LogLines.h"
#include "Qpc.h"
#include "UniqueHandle.h"
#include "resource.h"

namespace {

constexpr int kMaxPaneLines = 300;
constexpr int kTrimLines = 100;
constexpr UINT kStartBurst = WM_APP;

struct Burst {
    long long count = 0;
    std::size_t length = 0;
    const char* output = nullptr;
    double microseconds = -1;
};

Burst g_burst;

void AppendToPane(HWND pane, const std::string& line) {
    if (::SendMessageA(pane, EM_GETLINECOUNT, 0, 0) > kMaxPaneLines) {
        const LRESULT cut = ::SendMessageA(pane, EM_LINEINDEX, kTrimLines, 0);
        ::SendMessageA(pane, EM_SETSEL, 0, cut);
        ::SendMessageA(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
    }
    const LRESULT end = ::GetWindowTextLengthA(pane);
    ::SendMessageA(pane, EM_SETSEL, end, end);
    const std::string text = "\r\n" + line + " ";
    ::SendMessageA(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

double PaneBurst(HWND pane) {
    const std::int64_t begin = bench::QpcNow();
    for (long long i = 0; i < g_burst.count; ++i) AppendToPane(pane, bench::LogLine(i, g_burst.length));
    return bench::QpcToMicroseconds(bench::QpcNow() - begin);
}

double FileBurst() {
    char path[MAX_PATH];
    char directory[MAX_PATH];
    if (!::GetTempPathA(sizeof directory, directory) ||
        !::GetTempFileNameA(directory, "flg", 0, path))
        return -1;
    double microseconds = -1;
    if (fw::UniqueFile file = fw::OpenFile(path, "w+t")) {
        const std::int64_t begin = bench::QpcNow();
        for (long long i = 0; i < g_burst.count; ++i) {
            std::fputs(bench::LogLine(i, g_burst.length).c_str(), file.get());
            std::fputc('\n', file.get());
        }
        std::fflush(file.get());
        microseconds = bench::QpcToMicroseconds(bench::QpcNow() - begin);
    }
    ::DeleteFileA(path);
    return microseconds;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    static bool painted = false;
    switch (message) {
    case WM_INITDIALOG:
        // No limit, as in the shell's pane: 301 long lines pass 30,000 characters.
        ::SendDlgItemMessageA(dialog, IDC_OUTPUT, EM_SETLIMITTEXT, 0, 0);
        return TRUE;
    case WM_PAINT:
        // The burst starts once the window has been painted, as in the shell,
        // where it comes from a command typed into the running console.
        if (!painted) {
            painted = true;
            ::PostMessageA(dialog, kStartBurst, 0, 0);
        }
        return FALSE;
    case kStartBurst:
        g_burst.microseconds = PaneBurst(::GetDlgItem(dialog, IDC_OUTPUT));
        ::EndDialog(dialog, IDOK);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) ::EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc != 5) return 2;
    g_burst.count = std::atoll(__argv[2]);
    g_burst.length = static_cast<std::size_t>(std::atoi(__argv[3]));
    g_burst.output = __argv[4];
    if (std::strcmp(__argv[1], "pane") == 0) {
        if (!bench::RegisterEditAsPane(instance)) return 1;
        ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONSOLE), nullptr, DialogProc, 0);
    } else if (std::strcmp(__argv[1], "file") == 0) {
        g_burst.microseconds = FileBurst();
    } else {
        return 2;
    }
    if (g_burst.microseconds < 0) return 1;
    fw::UniqueFile file = fw::OpenFile(g_burst.output, "w");
    if (!file) return 1;
    std::fprintf(file.get(), "us %.1f\n", g_burst.microseconds);
    return 0;
}
