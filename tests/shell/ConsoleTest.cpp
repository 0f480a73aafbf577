// The console window: commands typed and echoed, the pane, the close sequence.
#include <gtest/gtest.h>

#include "ShellProcess.h"

namespace {

using vt::ScratchTree;
using vt::ShellProcess;

TEST(Console, TypedCommandIsTrimmedEchoedThenHandedToTheEngine) {
    ScratchTree tree("console-typed");
    ShellProcess shell(tree);
    ASSERT_NE(shell.Console(), nullptr);
    ASSERT_TRUE(shell.WaitEngineStarted());

    shell.Command("  spawn   two ogres \t");

    EXPECT_TRUE(shell.EngineJournal().Contains("edsrvProcess 65535 0 \"spawn   two ogres\""));
    EXPECT_NE(shell.PaneText().find("\r\nCONSOLE: spawn   two ogres "), std::string::npos);
    EXPECT_EQ(shell.CommandLineText(), "");
    ASSERT_TRUE(shell.Close());
    EXPECT_NE(tree.Read("System\\Velmor.log").find("CONSOLE: spawn   two ogres\r\n"),
              std::string::npos);
}

}  // namespace
