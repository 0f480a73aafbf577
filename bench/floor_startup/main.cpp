// The start-up floor: the console's dialog template (102) run modally by a
// bare program. Its first WM_PAINT, once painted, writes "qpc <counter>" to
// OUTPUT and ends the dialog. With "ole" it initialises OLE first, as the
// shell does, to show what that part of the shell's start-up costs.
//
// usage: floor_startup OUTPUT [ole]
#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <cstring>

#include "EditAsPane.h"
#include "Qpc.h"
#include "UniqueHandle.h"
#include "resource.h"

namespace {

const char* g_output = nullptr;
bool g_written = false;

bool WriteCounter(std::int64_t counter) {
    fw::UniqueFile file = fw::OpenFile(g_output, "w");
    return file && std::fprintf(file.get(), "qpc %lld\n", static_cast<long long>(counter)) > 0;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_PAINT: {
        // The default painting, done here so that the time is taken after it.
        PAINTSTRUCT paint;
        ::BeginPaint(dialog, &paint);
        ::EndPaint(dialog, &paint);
        if (!g_written) {
            const std::int64_t painted = bench::QpcNow();
            g_written = WriteCounter(painted);
            ::EndDialog(dialog, IDOK);
        }
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) ::EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc != 2 && !(__argc == 3 && std::strcmp(__argv[2], "ole") == 0)) return 2;
    g_output = __argv[1];
    const bool ole = __argc == 3;
    if (ole && FAILED(::OleInitialize(nullptr))) return 1;
    if (!bench::RegisterEditAsPane(instance)) return 1;
    ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONSOLE), nullptr, DialogProc, 0);
    if (ole) ::OleUninitialize();
    return g_written ? 0 : 1;
}
