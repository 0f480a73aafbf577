// Owners of the handles that are not windows' or GDI's: a kernel handle (a
// file, a process, an event), a loaded library, a menu and a C stream, each
// closed with its holder.
// Header-only, so that targets outside the framework library (the engine
// libraries, the tests, the benchmarks) use the same types.
#pragma once

#include <windows.h>

#include <cstdio>
#include <memory>
#include <type_traits>
#include <utility>

namespace fw {

class UniqueHandle {
public:
    UniqueHandle() = default;
    // Takes `handle`; null and INVALID_HANDLE_VALUE both mean none.
    explicit UniqueHandle(HANDLE handle) : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~UniqueHandle() {
        if (m_handle) ::CloseHandle(m_handle);
    }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        return *this;
    }

    HANDLE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    // Closes the handle now; false if closing failed (for a file, the last
    // chance to hear of a failed write).
    bool Close() {
        const bool closed = !m_handle || ::CloseHandle(m_handle);
        m_handle = nullptr;
        return closed;
    }

private:
    HANDLE m_handle = nullptr;
};

struct LibraryFreer {
    void operator()(HMODULE module) const { ::FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

// A menu: destroyed with its holder unless handed back first.
class UniqueMenu {
public:
    UniqueMenu() = default;
    ~UniqueMenu() { DestroyMenu(); }
    UniqueMenu(const UniqueMenu&) = delete;
    UniqueMenu& operator=(const UniqueMenu&) = delete;

    HMENU Get() const { return m_hMenu; }
    explicit operator bool() const { return m_hMenu != nullptr; }

    // Takes over `menu`, destroying the one held before.
    void Attach(HMENU menu) {
        DestroyMenu();
        m_hMenu = menu;
    }
    // Gives the handle up without destroying it (someone else destroys it).
    HMENU Detach() { return std::exchange(m_hMenu, nullptr); }
    void DestroyMenu() {
        if (HMENU menu = Detach()) ::DestroyMenu(menu);
    }

private:
    HMENU m_hMenu = nullptr;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
// A C stream; release() and fclose where the result of the close matters.
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

inline UniqueFile OpenFile(const char* path, const char* mode) {
    return UniqueFile(std::fopen(path, mode));
}

}  // namespace fw
