#include "Commands.h"

#include "DemoEngine.h"
#include "EngineLog.h"
#include "ParseNumber.h"
#include "vmserver.h"
#include "Words.h"

#include <string>

namespace demo {

namespace {

struct Command {
    const char* name;
    const char* usage;
    const char* summary;
    // Returns false when the arguments do not fit the usage.
    bool (*run)(Words& arguments);
};

bool OnHelp(Words& arguments);
bool OnTicks(Words& arguments);
bool OnLog(Words& arguments);
bool OnEnableLog(Words& arguments);
bool OnSet(Words& arguments);
bool OnGet(Words& arguments);
bool OnEcho(Words& arguments);

constexpr Command kCommands[] = {
    {"help", "help", "lists the commands", OnHelp},
    {"ticks", "ticks", "shows the tick count and rate", OnTicks},
    {"log", "log open [name] | log close", "opens or closes the log file", OnLog},
    {"enablelog", "enablelog <category> <0|1>", "sets a category's enable flag", OnEnableLog},
    {"set", "set <a> <b> <value>", "stores a property", OnSet},
    {"get", "get <a> <b>", "shows a stored property", OnGet},
    {"echo", "echo <text>", "logs the text", OnEcho},
};

bool OnHelp(Words& arguments) {
    if (!arguments.AtEnd()) return false;
    LogText(kLogInfo, "Demo engine commands:");
    for (const Command& command : kCommands) {
        LogFormat(kLogInfo, "  %-28s %s", command.usage, command.summary);
    }
    return true;
}

bool OnTicks(Words& arguments) {
    if (!arguments.AtEnd()) return false;
    const TickClock& clock = Engine().clock;
    LogFormat(kLogInfo, "Ticks: %llu in %.1f s, %.1f per second",
              static_cast<unsigned long long>(clock.Ticks()), clock.SecondsSinceStart(),
              clock.TicksPerSecond());
    return true;
}

bool OnLog(Words& arguments) {
    const std::string_view action = arguments.Next();
    if (EqualNoCase(action, "open")) {
        // The name is the rest of the line, so it may hold blanks.
        const std::string name(arguments.Rest());
        if (PLATFORM.OpenLog) PLATFORM.OpenLog(name.empty() ? nullptr : name.c_str());
        return true;
    }
    if (EqualNoCase(action, "close") && arguments.AtEnd()) {
        if (PLATFORM.CloseLog) PLATFORM.CloseLog();
        return true;
    }
    return false;
}

bool OnEnableLog(Words& arguments) {
    std::uint32_t category = 0;
    std::int64_t flag = 0;
    if (!engines::ParseUInt32(arguments.Next(), category)) return false;
    if (!engines::ParseInteger(arguments.Next(), 0, 255, flag)) return false;
    if (!arguments.AtEnd()) return false;
    if (PLATFORM.EnableLog) PLATFORM.EnableLog(category, static_cast<unsigned char>(flag));
    LogFormat(kLogInfo, "Log category %u flag set to %d", static_cast<unsigned>(category),
              static_cast<int>(flag));
    return true;
}

bool OnSet(Words& arguments) {
    const std::string first(arguments.Next());
    const std::string second(arguments.Next());
    if (first.empty() || second.empty()) return false;
    const std::string value(arguments.Rest());
    Engine().properties.Set(first.c_str(), second.c_str(), value.c_str());
    LogFormat(kLogInfo, "Set %s %s = \"%s\"", first.c_str(), second.c_str(), value.c_str());
    return true;
}

bool OnGet(Words& arguments) {
    const std::string first(arguments.Next());
    const std::string second(arguments.Next());
    if (first.empty() || second.empty() || !arguments.AtEnd()) return false;
    const std::string* value = Engine().properties.Find(first.c_str(), second.c_str());
    if (value) {
        LogFormat(kLogInfo, "%s %s = \"%s\"", first.c_str(), second.c_str(), value->c_str());
    } else {
        LogFormat(kLogInfo, "%s %s is not set", first.c_str(), second.c_str());
    }
    return true;
}

bool OnEcho(Words& arguments) {
    const std::string text(arguments.Rest());
    LogText(kLogInfo, text.c_str());
    return true;
}

}  // namespace

void RunCommand(const char* command) {
    Words arguments(command ? command : "");
    const std::string_view word = arguments.Next();
    if (word.empty()) return;
    for (const Command& entry : kCommands) {
        if (!EqualNoCase(word, entry.name)) continue;
        if (!entry.run(arguments)) LogFormat(kLogInfo, "Usage: %s", entry.usage);
        return;
    }
    const std::string name(word);
    LogFormat(kLogInfo, "Unknown command: %s", name.c_str());
}

}  // namespace demo
