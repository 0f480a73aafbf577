#include "WinePath.h"

namespace vt {

std::string ToWindowsPath(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path;
    std::string result = "Z:" + path;
    for (char& c : result)
        if (c == '/') c = '\\';
    return result;
}

}  // namespace vt
