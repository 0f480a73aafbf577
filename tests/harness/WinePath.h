// The build passes Unix paths; under Wine the drive Z: is the Unix root.
#pragma once

#include <string>

namespace vt {

// "/a/b" becomes "Z:\a\b"; a path that already has a drive is kept.
std::string ToWindowsPath(const std::string& path);

}  // namespace vt
