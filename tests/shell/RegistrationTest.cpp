// Registration: "/register" anywhere registers and ends at once; every normal
// start registers as well; a missing type library is passed over silently.
#include <gtest/gtest.h>

#include <string>

#include "ShellProcess.h"
#include "ShellTestSupport.h"
#include "automation/guids.h"

namespace {

using namespace vt;

std::string ClassKey() { return "CLSID\\" + GuidText(CLSID_VelmorEdServer); }
std::string TypeLibKey() { return "TypeLib\\" + GuidText(LIBID_Velmor) + "\\1.0"; }

std::string Value(const std::string& path, const char* name = nullptr) {
    std::string value;
    return ReadString(HKEY_CLASSES_ROOT, path, name, value) ? value : "<missing>";
}

// The automation class's entries name this tree's shell.
void ExpectClassRegistered(const ScratchTree& tree) {
    EXPECT_TRUE(SameText(Value(std::string(kVelmorEdServerProgId) + "\\CLSID"),
                         GuidText(CLSID_VelmorEdServer)));
    const std::string server = "\"" + tree.System() + "\\Velmor.exe\"";
    EXPECT_TRUE(SameText(Value(ClassKey() + "\\LocalServer32"), server))
        << Value(ClassKey() + "\\LocalServer32") << " is not " << server;
    EXPECT_EQ(Value(ClassKey() + "\\ProgID"), kVelmorEdServerProgId);
}

// The type library of this tree, with the help path beside it.
void ExpectTypeLibraryRegistered(const ScratchTree& tree) {
    const std::string path = Value(TypeLibKey() + "\\0\\" + kTypeLibPlatform);
    EXPECT_TRUE(SameText(path, tree.Root() + "\\System\\Velmor.tlb")) << path;
    const std::string help = Value(TypeLibKey() + "\\HELPDIR");
    EXPECT_TRUE(SameText(help, tree.Root() + "\\Help\\Velmor.hlp")) << help;
    EXPECT_TRUE(SameText(Value("Interface\\" + GuidText(IID_IVelmorEdServer) + "\\TypeLib"),
                         GuidText(LIBID_Velmor)));
}

class RegisterSwitch : public ::testing::TestWithParam<const char*> {};

TEST_P(RegisterSwitch, RegistersThenEndsWithoutConsoleLogOrEngine) {
    DeleteShellRegistration();
    ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, TypeLibKey()));
    ScratchTree tree("register");
    ShellProcess shell(tree, GetParam());

    // No console window at any moment of the run.
    bool sawConsole = false;
    while (shell.Running() && !shell.WaitExit(std::chrono::milliseconds(5)))
        sawConsole = sawConsole || FindConsoleWindow(shell.Id()) != nullptr;
    ASSERT_TRUE(shell.WaitExit(std::chrono::seconds(30)));
    EXPECT_FALSE(sawConsole);
    EXPECT_NE(shell.ExitCode(), 99u);

    ExpectClassRegistered(tree);
    ExpectTypeLibraryRegistered(tree);
    EXPECT_FALSE(tree.Exists("System\\Velmor.log"));
    EXPECT_FALSE(tree.Exists("System\\recorder.journal")) << "the engine was called";
}

INSTANTIATE_TEST_SUITE_P(AnyCaseAnywhere, RegisterSwitch,
                         ::testing::Values("/register", "x/ReGiStErx", "-a /REGISTER b"));

TEST(Registration, NormalStartRegistersAndRuns) {
    DeleteShellRegistration();
    ScratchTree tree("register-normal");
    ShellProcess shell(tree, "-level one");
    ASSERT_NE(shell.Console(), nullptr);
    ASSERT_TRUE(shell.WaitEngineStarted());
    ExpectClassRegistered(tree);
    ExpectTypeLibraryRegistered(tree);
    ASSERT_TRUE(shell.Close());
}

TEST(Registration, MissingTypeLibraryIsPassedOverSilently) {
    DeleteShellRegistration();
    ScratchTree tree("register-no-tlb", /*withTypeLibrary=*/false);
    ShellProcess shell(tree);
    ASSERT_NE(shell.Console(), nullptr);
    ASSERT_TRUE(shell.WaitEngineStarted());
    Sync(shell, "running");

    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, TypeLibKey()));
    ExpectClassRegistered(tree);
    // No message of any kind: the console is the only visible window.
    for (HWND window : TopLevelWindows(shell.Id()))
        if (::IsWindowVisible(window)) {
            EXPECT_EQ(window, shell.Console()) << WindowText(window);
        }
    EXPECT_EQ(shell.PaneText().find("CRITICAL"), std::string::npos);
    ASSERT_TRUE(shell.Close());
}

}  // namespace
