// An owned menu handle: destroyed with its holder unless handed back first.
#pragma once

#include <windows.h>

#include <utility>

namespace fw {

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

}  // namespace fw
