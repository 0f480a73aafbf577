// A fault inside the engine during an automation call. The RPC runtime would
// catch it and answer the client with an error, and the shell would run on
// with an engine left half-way through the call; the shell ends instead,
// with its CRITICAL line after the lines before the fault.
//
// Under Wine an OLE-started shell that ends without revoking its class
// leaves a dead registration in the prefix: every later creation fails until
// the prefix's wineserver is restarted. ctest therefore runs this case on its
// own, after all others, and restarts the wineserver after it
// (reliability_wineserver_restart); the main run leaves it out.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "EdServerClient.h"
#include "OleShell.h"
#include "ReliabilitySupport.h"

namespace {

using vt::Variant;

TEST(OleCrash, AFaultInsideAnAutomationCallEndsTheShellWithItsCriticalLine) {
    vt::OleShell shell("rel-ole-crash");
    vt::ClientDirectory directory(shell.Tree());
    vt::EdServerClient client;
    ASSERT_TRUE(client.Created()) << std::hex << client.CreateResult();
    ASSERT_TRUE(shell.EngineJournal().WaitFor("pInitAll"));
    Variant before(L"rec.log 1 before the fault"), crash(L"rec.crash");
    ASSERT_EQ(client.Call(3, {&before}), S_OK);

    const HRESULT hr = client.Call(3, {&crash});
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {
        ended = vt::ShellProcessIds(shell.Tree()).empty();
        if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(ended) << "the shell runs on after the fault";
    client.Release();

    const std::vector<std::string> log = vt::SplitLines(shell.LogText());
    ASSERT_GE(log.size(), 6u);
    EXPECT_TRUE(rel::EndsWithCrashLinesAndDump(log, shell.Tree().System()));
    EXPECT_EQ(log[log.size() - 4], "INFO: rec.crash");
    EXPECT_EQ(log[log.size() - 5], "INFO: before the fault");
    EXPECT_EQ(log[log.size() - 6], "INFO: rec.log 1 before the fault");
    EXPECT_EQ(shell.EngineJournal().Lines().back(), "edsrvProcess 65535 0 \"rec.crash\"");
}

}  // namespace
