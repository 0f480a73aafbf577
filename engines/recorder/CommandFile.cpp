#include "CommandFile.h"

#include "ControlCommands.h"
#include "UniqueHandle.h"  // framework/, header-only

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace recorder {

namespace {

std::string ReadWholeFile(FILE* file) {
    std::string content;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, got);
    return content;
}

}  // namespace

void RunCommandFile(const char* path) {
    const fw::UniqueFile file(std::fopen(path, "rb"));
    if (!file) return;  // no file, no commands
    const std::string content = ReadWholeFile(file.get());
    std::string_view rest = content;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        RunControlCommand(line);
    }
}

}  // namespace recorder
