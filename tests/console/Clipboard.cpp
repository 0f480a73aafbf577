#include "Clipboard.h"

#include <windows.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace vt {

namespace {

// Another process may hold the clipboard for a moment.
bool OpenWithRetries() {
    for (int i = 0; i < 100; ++i) {
        if (::OpenClipboard(nullptr)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

bool SetClipboardText(const std::string& text) {
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!memory) return false;
    std::memcpy(::GlobalLock(memory), text.c_str(), text.size() + 1);
    ::GlobalUnlock(memory);
    if (!OpenWithRetries()) {
        ::GlobalFree(memory);
        return false;
    }
    ::EmptyClipboard();
    const bool ok = ::SetClipboardData(CF_TEXT, memory) != nullptr;  // the clipboard owns it now
    if (!ok) ::GlobalFree(memory);
    ::CloseClipboard();
    return ok;
}

std::string ClipboardText() {
    if (!OpenWithRetries()) return {};
    std::string text;
    if (HANDLE data = ::GetClipboardData(CF_TEXT)) {  // owned by the clipboard
        if (const char* p = static_cast<const char*>(::GlobalLock(data))) {
            text = p;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

}  // namespace vt
