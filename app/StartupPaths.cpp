#include "StartupPaths.h"

#include <cstring>
#include <string_view>

namespace {
constexpr char kEditorSuffix[] = " -EDITOR";
}

std::string UpperCaseAscii(const char* text) {
    std::string result = text ? text : "";
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return result;
}

void CopyCommandLine(char* dest, std::size_t size, const char* args, bool oleStart) {
    if (size == 0) return;
    const std::string upper = UpperCaseAscii(args);
    const std::size_t suffix = oleStart ? sizeof kEditorSuffix - 1 : 0;
    const std::size_t room = size - 1 >= suffix ? size - 1 - suffix : 0;
    const std::size_t copied = upper.size() < room ? upper.size() : room;
    std::memcpy(dest, upper.data(), copied);
    dest[copied] = '\0';
    if (oleStart && room + suffix <= size - 1) std::strcat(dest, kEditorSuffix);
}

bool JoinPath(char* dest, std::size_t size, const char* first, const char* second) {
    const std::size_t a = std::strlen(first);
    const std::size_t b = std::strlen(second);
    if (size == 0) return false;
    if (a + b + 1 > size) {
        dest[0] = '\0';
        return false;
    }
    std::memcpy(dest, first, a);
    std::memcpy(dest + a, second, b + 1);
    return true;
}

bool StartTreeOfExecutable(char* dest, std::size_t size, const char* exePath) {
    if (size == 0) return false;
    dest[0] = '\0';
    const std::string_view path(exePath);
    const std::size_t name = path.find_last_of("\\/");
    if (name == std::string_view::npos || name == 0) return false;
    const std::size_t folder = path.find_last_of("\\/", name - 1);
    if (folder == std::string_view::npos || folder == 0) return false;
    if (UpperCaseAscii(std::string(path.substr(folder + 1, name - folder - 1)).c_str()) != "SYSTEM")
        return false;
    // No trailing separator, also at a drive's root ("C:"): the start tree
    // is only ever joined with "\\System..." and the like.
    if (folder + 1 > size) return false;
    std::memcpy(dest, path.data(), folder);
    dest[folder] = '\0';
    return true;
}
