// Puts text on the clipboard.
#pragma once

#include <windows.h>

#include <string_view>

// Replaces the clipboard's contents by `text` as CF_TEXT (the system offers
// it as Unicode text too); false if the clipboard could not be had, also
// after waiting a moment for another program to let it go.
bool SetClipboardText(HWND owner, std::string_view text);
