#include "Options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace bench {

namespace {

std::set<std::string> SplitList(const char* text) {
    std::set<std::string> items;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');)
        if (!item.empty()) items.insert(item);
    return items;
}

bool Positive(const char* text, long long& value) {
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && value > 0;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const char* name = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long long number = 0;
        bool ok = value != nullptr;
        if (ok && std::strcmp(name, "--seconds") == 0) {
            ok = Positive(value, number);
            options.seconds = static_cast<double>(number);
        } else if (ok && std::strcmp(name, "--only") == 0) {
            options.groups = SplitList(value);
        } else if (ok && std::strcmp(name, "--log-lines") == 0) {
            const char* comma = std::strchr(value, ',');
            long long second = 0;
            ok = comma && Positive(std::string(value, comma).c_str(), number) && Positive(comma + 1, second);
            options.smallBurst = number;
            options.largeBurst = second;
        } else if (ok && std::strcmp(name, "--log-budget") == 0) {
            ok = Positive(value, options.logBudgetSeconds);
        } else if (ok && std::strcmp(name, "--calls") == 0) {
            ok = Positive(value, options.calls);
        } else if (ok && std::strcmp(name, "--total-calls") == 0) {
            ok = Positive(value, options.totalCalls);
        } else if (ok && std::strcmp(name, "--cameras") == 0) {
            ok = Positive(value, number);
            options.cameras = static_cast<int>(number);
        } else if (ok && std::strcmp(name, "--camera-rounds") == 0) {
            ok = Positive(value, number) && number >= 2;
            options.cameraRounds = static_cast<int>(number);
        } else if (ok && std::strcmp(name, "--startups") == 0) {
            ok = Positive(value, number);
            options.startups = static_cast<int>(number);
        } else if (ok && std::strcmp(name, "--out") == 0) {
            options.out = value;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "driver: cannot read the option %s\n", name);
            return false;
        }
        ++i;
    }
    return true;
}

}  // namespace bench
