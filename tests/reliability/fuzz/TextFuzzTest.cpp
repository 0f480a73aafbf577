// Randomized runs of the shell's fixed-buffer text handling: the log line
// (FormatLogLine) and the start-up copies (CopyCommandLine, JoinPath,
// UpperCaseAscii). Each result is checked against what the rules say it
// must be, and every buffer has guard bytes behind it that must stay as
// they were.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FuzzInputs.h"
#include "app/StartupPaths.h"
#include "engine/vmserver.h"
#include "log/Log.h"

namespace {

constexpr char kGuard = '\xA5';
constexpr std::size_t kGuardSize = 64;

// A buffer of `size` bytes followed by guard bytes.
struct Guarded {
    explicit Guarded(std::size_t size) : bytes(size + kGuardSize, kGuard), size(size) {}
    char* Data() { return bytes.data(); }
    bool GuardIntact() const {
        for (std::size_t i = size; i < bytes.size(); ++i)
            if (bytes[i] != kGuard) return false;
        return true;
    }
    std::vector<char> bytes;
    std::size_t size;
};

std::string Upper(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

// What the log line must be: the category's name (or "CATEGORY(n)"), ": ",
// the text's first 255 characters up to its first CR, then its first LF.
std::string ExpectedLine(int category, const char* text, const char* const* names) {
    std::string name;
    if (category >= 0 && category < kLogCategoryCount)
        name = names ? names[category] : g_logNames[category];
    else
        name = "CATEGORY(" + std::to_string(category) + ")";
    std::string cut = text ? std::string(text).substr(0, 255) : "";
    cut = cut.substr(0, cut.find('\r'));
    cut = cut.substr(0, cut.find('\n'));
    return name + ": " + cut;
}

// One FormatLogLine call checked; false (with a message) on a fault.
::testing::AssertionResult CheckLogLine(std::size_t size, int category, const char* text,
                                        const char* const* names) {
    PLATFORM.LogNames = names;
    Guarded line(size);
    const std::size_t n = FormatLogLine(line.Data(), size, category, text);
    if (!line.GuardIntact()) return ::testing::AssertionFailure() << "wrote past the buffer";
    const std::string full = ExpectedLine(category, text, names);
    if (size == 0) {
        if (n != 0) return ::testing::AssertionFailure() << "length " << n << " for no room";
        return ::testing::AssertionSuccess();
    }
    const std::string want = full.substr(0, size - 1);
    const std::string got(line.Data(), ::strnlen(line.Data(), size));
    if (got.size() == size) return ::testing::AssertionFailure() << "no terminator";
    if (got != want) return ::testing::AssertionFailure() << "line \"" << got << "\" not \"" << want << "\"";
    if (n != want.size()) return ::testing::AssertionFailure() << "length " << n << " not " << want.size();
    return ::testing::AssertionSuccess();
}

TEST(FuzzText, LogLineFormation) {
    fuzz::Random random(fuzz::Seed() ^ 0x4C4F47);
    const char* const* const kept = PLATFORM.LogNames;
    // Kept from earlier runs: a buffer of no bytes at all (the length came
    // back as SIZE_MAX), one byte, a null text, categories at the ends.
    EXPECT_TRUE(CheckLogLine(0, 1, "text", nullptr));
    EXPECT_TRUE(CheckLogLine(1, 1, "text", nullptr));
    EXPECT_TRUE(CheckLogLine(kLogLineSize, 2, nullptr, nullptr));
    EXPECT_TRUE(CheckLogLine(kLogLineSize, INT32_MIN, std::string(300, 'x').c_str(), nullptr));
    EXPECT_TRUE(CheckLogLine(kLogLineSize, INT32_MAX, "%n%s\r\n", g_logNames));

    // Name tables an engine might put in the record: long names too.
    std::vector<std::string> longNames(kLogCategoryCount);
    std::vector<const char*> longTable(kLogCategoryCount);
    std::size_t calls = 0;
    for (fuzz::Deadline deadline(0.3); !deadline.Passed(); ++calls) {
        const int category = fuzz::BoundaryInt(random);
        const std::string text = fuzz::Text(random, fuzz::Length(random));
        const bool nullText = random.Chance(5);
        const std::size_t size = random.Chance(60) ? kLogLineSize : random.Below(400);
        const char* const* names = nullptr;
        if (random.Chance(40)) names = g_logNames;
        if (random.Chance(20)) {
            for (int i = 0; i < kLogCategoryCount; ++i) {
                longNames[i] = fuzz::Text(random, random.Below(300));
                longTable[i] = longNames[i].c_str();
            }
            names = longTable.data();
        }
        const ::testing::AssertionResult ok =
            CheckLogLine(size, category, nullText ? nullptr : text.c_str(), names);
        if (!ok) {
            ADD_FAILURE() << "call " << calls << ": size " << size << ", category " << category
                          << ", text of " << (nullText ? 0 : text.size()) << ": " << ok.message();
            break;
        }
    }
    PLATFORM.LogNames = kept;
    std::printf("FormatLogLine: %zu calls\n", calls);
}

::testing::AssertionResult CheckCommandLine(std::size_t size, const std::string& args, bool ole) {
    Guarded dest(size);
    CopyCommandLine(dest.Data(), size, args.c_str(), ole);
    if (!dest.GuardIntact()) return ::testing::AssertionFailure() << "wrote past the buffer";
    if (size == 0) return ::testing::AssertionSuccess();
    const std::string got(dest.Data(), ::strnlen(dest.Data(), size));
    if (got.size() == size) return ::testing::AssertionFailure() << "no terminator";
    // The arguments (up to their first NUL) upper-cased and cut to fit; on
    // an OLE start the suffix always whole at the end, if it fits at all.
    const std::string upper = Upper(args.substr(0, args.find('\0')));
    std::string want;
    if (!ole) {
        want = upper.substr(0, size - 1);
    } else if (size - 1 >= 8) {
        want = upper.substr(0, size - 1 - 8) + " -EDITOR";
    }
    if (got != want)
        return ::testing::AssertionFailure() << "copy of " << got.size() << " not " << want.size();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CheckJoin(std::size_t size, const std::string& a, const std::string& b) {
    Guarded dest(size);
    const bool joined = JoinPath(dest.Data(), size, a.c_str(), b.c_str());
    if (!dest.GuardIntact()) return ::testing::AssertionFailure() << "wrote past the buffer";
    const bool fits = a.size() + b.size() + 1 <= size;
    if (joined != fits) return ::testing::AssertionFailure() << "joined " << joined;
    if (fits && std::string(dest.Data()) != a + b) return ::testing::AssertionFailure() << "wrong join";
    if (!fits && size > 0 && dest.Data()[0] != '\0')
        return ::testing::AssertionFailure() << "a refused join left text";
    return ::testing::AssertionSuccess();
}

TEST(FuzzText, StartupCopies) {
    fuzz::Random random(fuzz::Seed() ^ 0x434D44);
    // Kept: sizes below the suffix's, no room, a 1 MiB command line.
    EXPECT_TRUE(CheckCommandLine(0, "abc", true));
    EXPECT_TRUE(CheckCommandLine(5, "abc", true));
    EXPECT_TRUE(CheckCommandLine(9, "", true));
    EXPECT_TRUE(CheckCommandLine(256, std::string(1 << 20, 'q'), true));
    EXPECT_TRUE(CheckJoin(0, "", ""));
    EXPECT_TRUE(CheckJoin(256, std::string(248, 'd'), "\\system"));
    EXPECT_TRUE(CheckJoin(256, std::string(249, 'd'), "\\system"));

    std::size_t calls = 0;
    for (fuzz::Deadline deadline(0.3); !deadline.Passed(); ++calls) {
        const std::size_t size = random.Chance(50) ? 256 : random.Below(300);
        const std::string text = fuzz::Text(random, fuzz::Length(random));
        ::testing::AssertionResult ok = ::testing::AssertionSuccess();
        switch (random.Below(3)) {
        case 0:
            ok = CheckCommandLine(size, text, random.Chance(50));
            break;
        case 1:
            ok = CheckJoin(size, fuzz::Path(random, fuzz::Length(random)),
                           random.Chance(50) ? "\\system" : fuzz::Path(random, random.Below(300)));
            break;
        default: {
            const std::string upper = UpperCaseAscii(text.c_str());
            if (upper != Upper(text)) ok = ::testing::AssertionFailure() << "upper case differs";
            if (!UpperCaseAscii(nullptr).empty()) ok = ::testing::AssertionFailure() << "null";
        }
        }
        if (!ok) {
            ADD_FAILURE() << "call " << calls << ", size " << size << ", text of " << text.size()
                          << ": " << ok.message();
            break;
        }
    }
    std::printf("start-up copies: %zu calls\n", calls);
}

}  // namespace
