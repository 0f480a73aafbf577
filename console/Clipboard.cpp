#include "Clipboard.h"

#include <cstring>
#include <utility>

namespace {

// The clipboard, open for as long as the holder lives. Another program may
// hold it for a moment (clipboard viewers and managers open it at every
// change): it is asked for again for about a quarter of a second.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) {
        for (int attempt = 0; attempt < 25 && !m_open; ++attempt) {
            if (attempt > 0) ::Sleep(10);
            m_open = ::OpenClipboard(owner) != FALSE;
        }
    }
    ~OpenClipboardScope() {
        if (m_open) ::CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool Open() const { return m_open; }

private:
    bool m_open = false;
};

// Movable global memory, freed unless handed to the clipboard.
class GlobalMemory {
public:
    explicit GlobalMemory(std::size_t size) : m_hMem(::GlobalAlloc(GMEM_MOVEABLE, size)) {}
    ~GlobalMemory() {
        if (m_hMem) ::GlobalFree(m_hMem);
    }
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;
    HGLOBAL Get() const { return m_hMem; }
    HGLOBAL Release() { return std::exchange(m_hMem, nullptr); }

private:
    HGLOBAL m_hMem;
};

}  // namespace

bool SetClipboardText(HWND owner, std::string_view text) {
    GlobalMemory memory(text.size() + 1);
    if (!memory.Get()) return false;
    char* p = static_cast<char*>(::GlobalLock(memory.Get()));
    if (!p) return false;
    std::memcpy(p, text.data(), text.size());
    p[text.size()] = '\0';
    ::GlobalUnlock(memory.Get());

    const OpenClipboardScope clipboard(owner);
    if (!clipboard.Open() || !::EmptyClipboard()) return false;
    if (!::SetClipboardData(CF_TEXT, memory.Get())) return false;
    memory.Release();  // the clipboard owns it now
    return true;
}
