#include "StartupPaths.h"

#include <cstring>

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
