// A test of the real shell's output pane: the shell started in a scratch
// tree named after the test, its engine running and its pane found; closed
// when the test ends.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "ScratchTree.h"
#include "ShellProcess.h"
#include "res/resource.h"

namespace vt {

class PaneFixture : public testing::Test {
protected:
    static constexpr int kOutputPane = IDC_OUTPUT;
    static constexpr int kCommandLine = IDC_COMMAND_LINE;

    explicit PaneFixture(const std::string& treePrefix)
        : tree(treePrefix + testing::UnitTest::GetInstance()->current_test_info()->name()),
          shell(tree) {}
    void SetUp() override {
        ASSERT_NE(shell.Console(), nullptr);
        ASSERT_TRUE(shell.WaitEngineStarted());
        pane = shell.Control(kOutputPane);
        ASSERT_NE(pane, nullptr);
    }
    void TearDown() override { EXPECT_TRUE(shell.Close()); }

    // The pane's selection: its first and past-the-last characters.
    std::pair<int, int> Selection() {
        const LRESULT packed = ::SendMessageA(pane, EM_GETSEL, 0, 0);
        return {LOWORD(packed), HIWORD(packed)};
    }

    ScratchTree tree;
    ShellProcess shell;
    HWND pane = nullptr;
};

}  // namespace vt
