// The clipboard's text, read and written from the test process.
#pragma once

#include <string>

namespace vt {

// Puts `text` on the clipboard as CF_TEXT; false if the clipboard stayed busy.
bool SetClipboardText(const std::string& text);
// The clipboard's CF_TEXT, or "" if it holds none.
std::string ClipboardText();

}  // namespace vt
