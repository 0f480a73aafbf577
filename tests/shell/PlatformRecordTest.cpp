// The platform record as the engine sees it: dumped byte for byte from inside
// pInitAll by the recording engine, and the category names as the engine's own
// log lines show them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ShellProcess.h"
#include "ShellTestSupport.h"

namespace {

using namespace vt;
namespace r = vt::record;

// Starts the shell with `arguments`, runs `commands` inside pInitAll, closes
// the shell and returns the dump that the commands wrote to System\record.bin.
RecordDump DumpAtInit(const std::string& treeName, const std::string& arguments,
                      std::uintptr_t* imageBase = nullptr, std::uintptr_t* imageSize = nullptr,
                      std::string* initLine = nullptr) {
    ScratchTree tree(treeName);
    tree.Write("System\\recorder.cmds", "rec.dump record.bin\nrec.journal dumped\n");
    ShellProcess shell(tree, arguments);
    EXPECT_TRUE(shell.EngineJournal().WaitFor("note dumped"));
    if (imageBase && imageSize) {
        EXPECT_TRUE(ExecutableImage(shell.Handle(), *imageBase, *imageSize));
    }
    if (initLine) {
        const auto lines = shell.EngineJournal().Matching("pInitAll ");
        if (!lines.empty()) *initLine = lines.front();
    }
    EXPECT_TRUE(shell.Close());
    EXPECT_EQ(shell.EngineJournal().Count("error "), 0u);
    return RecordDump(tree.Read("System\\record.bin"));
}

bool Inside(std::uintptr_t pointer, std::uintptr_t base, std::uintptr_t size) {
    return pointer >= base && pointer < base + size;
}

TEST(PlatformRecord, HoldsTheShellsRoutinesLogSettingsAndStartStrings) {
    std::uintptr_t base = 0, size = 0;
    std::string initLine;
    const RecordDump dump = DumpAtInit("record-fields", "alpha Beta/x -Mixed_Case 123 \xE9t\xE9",
                                       &base, &size, &initLine);
    ASSERT_TRUE(dump.Complete()) << dump.Bytes().size() << " bytes dumped";
    ASSERT_NE(size, 0u);

    // The engine got the shell's own instance handle.
    char expectedInit[64];
    std::snprintf(expectedInit, sizeof expectedInit, "pInitAll hinstance=0x%08llX",
                  static_cast<unsigned long long>(base));
    EXPECT_EQ(initLine, expectedInit);

    // The four routines and the name table are the shell's: inside its image.
    for (std::size_t offset : {r::kLog, r::kEnableLog, r::kOpenLog, r::kCloseLog, r::kLogNames}) {
        EXPECT_NE(dump.Pointer(offset), 0u) << "offset " << offset;
        EXPECT_TRUE(Inside(dump.Pointer(offset), base, size)) << "offset " << offset;
    }
    EXPECT_NE(dump.Pointer(r::kLog), dump.Pointer(r::kEnableLog));
    EXPECT_NE(dump.Pointer(r::kOpenLog), dump.Pointer(r::kCloseLog));
    EXPECT_NE(dump.Pointer(r::kLog), dump.Pointer(r::kOpenLog));

    for (std::size_t i = 0; i < 32; ++i)
        EXPECT_EQ(dump.Byte(r::kLogEnabled + i), 1) << "category " << i;

    // The first paint opened the log before pInitAll.
    EXPECT_NE(dump.Pointer(r::kLogFile), 0u);

    EXPECT_TRUE(dump.ZeroFrom(r::kEngineWords, r::kCmdLine)) << "engine words and buffers";

    // Upper-cased a to z only; other bytes as they were.
    EXPECT_EQ(dump.Field(r::kCmdLine), "ALPHA BETA/X -MIXED_CASE 123 \xE9T\xE9");
    EXPECT_EQ(dump.Field(r::kExeName), "Velmor");
    EXPECT_EQ(dump.Field(r::kExeName2), "Velmor");
    EXPECT_EQ(dump.Field(r::kLogFileName), "Velmor.log");

    // Every string field is terminated and zero behind its string, and
    // nothing after the last field was touched.
    for (std::size_t offset : {r::kCmdLine, r::kExeName, r::kExeName2, r::kLogFileName}) {
        ASSERT_TRUE(dump.FieldTerminated(offset)) << "offset " << offset;
        EXPECT_TRUE(dump.ZeroFrom(offset + dump.Field(offset).size(), offset + 256))
            << "offset " << offset;
    }
    EXPECT_TRUE(dump.ZeroFrom(r::kUnused, r::kSize));
}

TEST(PlatformRecord, StartWithoutArgumentsGivesAnEmptyCommandLine) {
    const RecordDump dump = DumpAtInit("record-empty", "");
    ASSERT_TRUE(dump.Complete());
    EXPECT_TRUE(dump.ZeroFrom(r::kCmdLine, r::kCmdLine + 256));
    EXPECT_EQ(dump.Field(r::kExeName), "Velmor");
}

TEST(PlatformRecord, LongCommandLineIsCutToTheField) {
    // 400 characters of arguments: the field keeps 255 and its terminator.
    const std::string arguments = "w" + std::string(399, 'q');
    const RecordDump dump = DumpAtInit("record-long", arguments);
    ASSERT_TRUE(dump.Complete());
    ASSERT_TRUE(dump.FieldTerminated(r::kCmdLine));
    EXPECT_EQ(dump.Field(r::kCmdLine), "W" + std::string(254, 'Q'));
    EXPECT_EQ(dump.Field(r::kExeName), "Velmor");
}

TEST(PlatformRecord, NameTableGivesEveryCategoryItsName) {
    static const char* const kNames[32] = {
        "CONSOLE", "INFO", "CRITICAL", "WIN",    "NET", "ED",   "REND", "FILE",
        "AUDIO",   "RES",  "ACTOR",    "SERVER", "BUG", "INIT", "EXIT", "BSP",
        "TRANS",   "A",    "B",        "C",      "D",   "E",    "F",    "G",
        "H",       "I",    "J",        "K",      "T",   "U",    "V",    "W"};
    ScratchTree tree("record-names");
    std::string commands;
    for (int i = 0; i < 32; ++i)
        commands += "rec.log " + std::to_string(i) + " name-" + std::to_string(i) + "\n";
    commands += "rec.journal logged\n";
    tree.Write("System\\recorder.cmds", commands);
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.EngineJournal().WaitFor("note logged"));
    const std::string pane = shell.PaneText();
    ASSERT_TRUE(shell.Close());

    const auto lines = FileLines(tree, "System\\Velmor.log");
    int previous = -1;
    for (int i = 0; i < 32; ++i) {
        const std::string line = std::string(kNames[i]) + ": name-" + std::to_string(i);
        const int at = IndexOf(lines, line);
        EXPECT_GT(at, previous) << line;
        previous = at;
        EXPECT_NE(pane.find("\r\n" + line + " "), std::string::npos) << line;
    }
}

TEST(PlatformRecord, EnableLogAbove31ChangesNoByte) {
    ScratchTree tree("record-enablelog");
    tree.Write("System\\recorder.cmds",
               "rec.dump before.bin\n"
               "rec.enablelog 32 0\n"
               "rec.enablelog 33 7\n"
               "rec.enablelog 2147483648 0\n"
               "rec.enablelog 4294967295 0\n"
               "rec.enablelog -1 5\n"
               "rec.dump above.bin\n"
               "rec.enablelog 31 0\n"
               "rec.enablelog 0 9\n"
               "rec.dump inside.bin\n"
               "rec.journal dumped\n");
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.EngineJournal().WaitFor("note dumped"));
    ASSERT_TRUE(shell.Close());
    EXPECT_EQ(shell.EngineJournal().Count("error "), 0u);

    const RecordDump before(tree.Read("System\\before.bin"));
    const RecordDump above(tree.Read("System\\above.bin"));
    const RecordDump inside(tree.Read("System\\inside.bin"));
    ASSERT_TRUE(before.Complete() && above.Complete() && inside.Complete());
    EXPECT_TRUE(before.Bytes() == above.Bytes()) << "EnableLog with a category above 31 wrote";

    // Categories 0 and 31 are the two ends of LogEnabled and nothing else.
    for (std::size_t i = 0; i < r::kSize; ++i) {
        if (i == r::kLogEnabled) {
            EXPECT_EQ(inside.Byte(i), 9);
        } else if (i == r::kLogEnabled + 31) {
            EXPECT_EQ(inside.Byte(i), 0);
        } else {
            EXPECT_EQ(inside.Byte(i), above.Byte(i)) << "byte " << i;
        }
    }
}

}  // namespace
