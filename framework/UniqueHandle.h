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

struct MenuDestroyer {
    void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
// A menu: destroyed with its holder unless released first (to a window,
// which destroys it with itself).
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
// A C stream; release() and fclose where the result of the close matters.
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

inline UniqueFile OpenFile(const char* path, const char* mode) {
    return UniqueFile(std::fopen(path, mode));
}

}  // namespace fw
