// Server objects and the shell that serves them: several clients in several
// processes share one OLE-started shell; a shell whose console is closed
// under a client leaves it with errors, not a hang.
#include <gtest/gtest.h>

#include <chrono>

#include "ChildProcess.h"
#include "EdServerClient.h"
#include "OleShell.h"

namespace {

using vt::Variant;

IUnknown* Identity(IDispatch* object) {
    IUnknown* unknown = nullptr;
    object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
    if (unknown) unknown->Release();  // only compared, never used
    return unknown;
}

TEST(EdServerLifetime, TwoClientsGetTwoObjectsFromOneShell) {
    vt::OleShell shell("ed-two-clients");
    vt::ClientDirectory directory(shell.Tree());
    vt::EdServerClient first;
    ASSERT_TRUE(first.Created()) << std::hex << first.CreateResult();
    Variant fromFirst(L"from the first client");
    EXPECT_EQ(first.Call(vt::ed::kExec, {&fromFirst}), S_OK);

    // Another process while the first object lives, then a second object here.
    const vt::ChildResult ctl =
        vt::RunChild("\"" + vt::VelmorctlPath() + "\" exec from velmorctl", shell.Tree().Root(),
                     shell.Tree().Path("velmorctl"));
    EXPECT_TRUE(ctl.finished);
    EXPECT_EQ(ctl.exitCode, 0u) << ctl.err;
    vt::EdServerClient second;
    ASSERT_TRUE(second.Created()) << std::hex << second.CreateResult();
    EXPECT_NE(Identity(first.Dispatch()), Identity(second.Dispatch()));
    Variant fromSecond(L"from the second client");
    EXPECT_EQ(second.Call(vt::ed::kExec, {&fromSecond}), S_OK);
    EXPECT_EQ(first.Call(vt::ed::kExec, {&fromFirst}), S_OK);

    vt::Journal& journal = shell.EngineJournal();
    EXPECT_EQ(journal.Count("edsrvProcess 65535 0 \"from the first client\""), 2u);
    EXPECT_TRUE(journal.Contains("edsrvProcess 65535 0 \"from velmorctl\""));
    EXPECT_TRUE(journal.Contains("edsrvProcess 65535 0 \"from the second client\""));
    EXPECT_EQ(journal.Count("load pid="), 1u);
    EXPECT_EQ(vt::ShellProcessIds(shell.Tree()).size(), 1u);
    // The one shell's log has the commands of every client, at INFO.
    EXPECT_NE(shell.LogText().find("INFO: from velmorctl"), std::string::npos);
}

TEST(EdServerLifetime, ConsoleClosedUnderAClientGivesItErrorsNotAHang) {
    vt::OleShell shell("ed-closed-under-client");
    vt::ClientDirectory directory(shell.Tree());
    vt::EdServerClient client;
    ASSERT_TRUE(client.Created()) << std::hex << client.CreateResult();
    Variant before(L"before the close");
    ASSERT_EQ(client.Call(vt::ed::kExec, {&before}), S_OK);
    ASSERT_TRUE(shell.EngineJournal().WaitFor("pInitAll"));

    // The close sequence runs although an object is still held.
    ASSERT_TRUE(shell.CloseConsole());
    EXPECT_TRUE(shell.EngineJournal().Contains("pExitAll"));

    Variant after(L"after the close");
    const auto start = std::chrono::steady_clock::now();
    const HRESULT hr = client.Call(vt::ed::kExec, {&after});
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    client.Release();
    EXPECT_FALSE(shell.EngineJournal().Contains("edsrvProcess 65535 0 \"after the close\""));
    EXPECT_TRUE(vt::ShellProcessIds(shell.Tree()).empty());
}

}  // namespace
