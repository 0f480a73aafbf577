#include "EngineLog.h"

#include "vmserver.h"

#include <cstdarg>
#include <cstdio>

namespace demo {

void LogText(int category, const char* text) {
    if (PLATFORM.Log) PLATFORM.Log(category, text ? text : "");
}

void LogFormat(int category, const char* format, ...) {
    char buffer[4096];
    va_list arguments;
    va_start(arguments, format);
    // vsnprintf cuts at the buffer's end and always terminates.
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (length < 0) buffer[0] = '\0';
    LogText(category, buffer);
}

}  // namespace demo
