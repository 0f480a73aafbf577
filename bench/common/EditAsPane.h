// The console's dialog template names the shell's own output view as its pane
// class. The floors run that template with the system's plain edit control in
// the pane's place: the edit class registered again under the view's name.
#pragma once

#include <windows.h>

namespace bench {

inline constexpr char kPaneClassName[] = "VelmorOutput";

inline bool RegisterEditAsPane(HINSTANCE instance) {
    WNDCLASSA edit{};
    if (!::GetClassInfoA(nullptr, "Edit", &edit)) return false;
    edit.hInstance = instance;
    edit.lpszClassName = kPaneClassName;
    return ::RegisterClassA(&edit) != 0;
}

}  // namespace bench
