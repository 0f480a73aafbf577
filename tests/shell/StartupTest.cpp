// Start-up: the working directory, and a start by OLE for embedding or
// automation, which tells the engine " -EDITOR" and leaves the registry alone.
#include <gtest/gtest.h>

#include <string>

#include "Files.h"
#include "ShellProcess.h"
#include "ShellTestSupport.h"
#include "automation/guids.h"

namespace {

using namespace vt;

struct OleStartCase {
    std::string name;
    std::string arguments;
    std::string cmdLine;  // what the engine must see
    bool oleStart;
};

void PrintTo(const OleStartCase& c, std::ostream* out) { *out << c.name; }

// Long arguments are cut so that the switch for the engine still fits.
const std::string kLongArguments(300, 'l');

class OleStart : public ::testing::TestWithParam<OleStartCase> {};

TEST_P(OleStart, EngineSeesTheEditorSwitchAndTheRegistryIsLeftAlone) {
    const OleStartCase& c = GetParam();
    DeleteShellRegistration();
    ScratchTree tree("startup-ole");
    tree.Write("System\\recorder.cmds", "rec.dump record.bin\nrec.journal dumped\n");
    ShellProcess shell(tree, c.arguments);
    ASSERT_NE(shell.Console(), nullptr) << "the console did not open";
    ASSERT_TRUE(shell.EngineJournal().WaitFor("note dumped"));

    const RecordDump dump(tree.Read("System\\record.bin"));
    ASSERT_TRUE(dump.Complete());
    EXPECT_EQ(dump.Field(record::kCmdLine), c.cmdLine);

    const std::string typeLibKey = "TypeLib\\" + GuidText(LIBID_Velmor);
    const std::string classKey = "CLSID\\" + GuidText(CLSID_VelmorEdServer);
    if (c.oleStart) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, typeLibKey));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kVelmorEdServerProgId));
    } else {
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, typeLibKey)) << "a normal start registers";
    }
    ASSERT_TRUE(shell.Close());
    if (c.oleStart) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, typeLibKey));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Switches, OleStart,
    ::testing::Values(OleStartCase{"Embedding", "-Embedding", "-EMBEDDING -EDITOR", true},
                      OleStartCase{"Automation", "/Automation", "/AUTOMATION -EDITOR", true},
                      OleStartCase{"LongArguments", "-Embedding " + kLongArguments,
                                   "-EMBEDDING " + std::string(247 - 11, 'L') + " -EDITOR", true},
                      OleStartCase{"LongerWordIsNoSwitch", "-Embeddingx", "-EMBEDDINGX", false}),
    [](const auto& info) { return info.param.name; });

TEST(Startup, WorksInSystemUnderTheStartDirectory) {
    ScratchTree tree("startup-workdir");
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.WaitEngineStarted());
    ASSERT_TRUE(shell.Close());
    EXPECT_TRUE(tree.Exists("System\\Velmor.log"));
    EXPECT_TRUE(tree.Exists("System\\recorder.journal"));
    EXPECT_FALSE(tree.Exists("Velmor.log"));
    EXPECT_FALSE(tree.Exists("recorder.journal"));
}

// Windows starts a local server in its system folder: an OLE start still
// works in the tree of its own executable, and leaves that folder alone.
TEST(Startup, AnOleStartInTheWindowsSystemFolderWorksInItsOwnTree) {
    ScratchTree tree("startup-ole-system32");
    ShellStart start = StartIn(tree, "-Embedding");
    start.directory = "C:\\windows\\system32";
    ShellProcess shell(start);
    ASSERT_TRUE(shell.WaitEngineStarted());
    shell.Command("rec.log 1 from the editor's shell");
    ASSERT_TRUE(shell.Close());
    EXPECT_NE(tree.Read("System\\Velmor.log").find("INFO: from the editor's shell"), std::string::npos);
    EXPECT_FALSE(FileExists("C:\\windows\\system32\\Velmor.log"));
}

}  // namespace
