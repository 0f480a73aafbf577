// The editor automation server's own code in this process, with the
// recording engine beside the test program and the platform record's Log
// routine pointed here: what is logged, under which cursor, and the
// application lock each object holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <wrl/client.h>

#include "EdServerClient.h"
#include "OleApp.h"
#include "ScratchTree.h"
#include "automation/VelmorEdServer.h"
#include "automation/guids.h"
#include "engine/vmserver.h"

using Microsoft::WRL::ComPtr;

namespace {

struct LogCall {
    int category;
    std::string text;
    HCURSOR cursor;  // current while the line was logged
};

std::vector<LogCall> g_logged;

void __cdecl RecordLog(int category, const char* text) {
    g_logged.push_back({category, text ? text : "(null)", ::GetCursor()});
}

class EdServerInProcess : public ::testing::Test {
protected:
    void SetUp() override {
        // The engine's journal goes to a scratch file, not the build tree; the
        // recorder reads the name once, at its first line.
        vt::ScratchTree tree("ed-in-process");
        ::SetEnvironmentVariableA("VELMOR_JOURNAL", tree.Path("recorder.journal").c_str());
        m_savedLog = PLATFORM.Log;
        PLATFORM.Log = &RecordLog;
        g_logged.clear();
        ASSERT_EQ(fw::CreateAutomationObject<VelmorEdServer>(IID_IVelmorEdServer, &m_server),
                  S_OK);
    }
    void TearDown() override {
        m_server.Reset();
        PLATFORM.Log = m_savedLog;
        // Children started later (and the shells OLE starts for them) keep
        // their own journals.
        ::SetEnvironmentVariableA("VELMOR_JOURNAL", nullptr);
    }

    HRESULT Call(DISPID id, const wchar_t* text) {
        VARIANT arg;
        ::VariantInit(&arg);
        V_VT(&arg) = VT_BSTR;
        V_BSTR(&arg) = ::SysAllocString(text);
        DISPPARAMS params{&arg, nullptr, 1, 0};
        const HRESULT hr =
            m_server->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        ::VariantClear(&arg);
        return hr;
    }

    ComPtr<IDispatch> m_server;
    PlatformLogFn m_savedLog = nullptr;
};

TEST_F(EdServerInProcess, SlowExecShowsTheWaitCursorOnlyWhileTheEngineWorks) {
    const HCURSOR wait = ::LoadCursorA(nullptr, IDC_WAIT);
    const HCURSOR cross = ::LoadCursorA(nullptr, IDC_CROSS);
    ASSERT_NE(wait, nullptr);
    ASSERT_NE(wait, cross);
    ::SetCursor(cross);

    // The engine logs "inside" from within edsrvProcess.
    ASSERT_EQ(Call(vt::ed::kSlowExec, L"rec.log 13 inside"), S_OK);
    ASSERT_EQ(g_logged.size(), 2u);
    EXPECT_EQ(g_logged[0].category, 1);  // the echo, under INFO, before the engine runs
    EXPECT_EQ(g_logged[0].text, "rec.log 13 inside");
    EXPECT_EQ(g_logged[0].cursor, wait);
    EXPECT_EQ(g_logged[1].category, 13);
    EXPECT_EQ(g_logged[1].text, "inside");
    EXPECT_EQ(g_logged[1].cursor, wait);
    EXPECT_EQ(::GetCursor(), cross);  // the cursor from before, again

    // Exec: the same calls, the cursor left alone.
    g_logged.clear();
    ASSERT_EQ(Call(vt::ed::kExec, L"rec.log 13 inside"), S_OK);
    ASSERT_EQ(g_logged.size(), 2u);
    EXPECT_EQ(g_logged[0].category, 1);
    EXPECT_EQ(g_logged[0].text, "rec.log 13 inside");
    EXPECT_EQ(g_logged[1].text, "inside");
    EXPECT_EQ(g_logged[0].cursor, cross);
    EXPECT_EQ(g_logged[1].cursor, cross);
}

TEST_F(EdServerInProcess, EveryObjectHoldsTheApplicationLockUntilItsFinalRelease) {
    const long base = fw::OleLockCount();  // m_server holds one
    ComPtr<IDispatch> second;
    ASSERT_EQ(fw::CreateAutomationObject<VelmorEdServer>(IID_IDispatch, &second), S_OK);
    EXPECT_EQ(fw::OleLockCount(), base + 1);

    // More references to one object take no more of the lock.
    second->AddRef();
    EXPECT_EQ(fw::OleLockCount(), base + 1);
    second->Release();
    second.Reset();
    EXPECT_EQ(fw::OleLockCount(), base);
    m_server.Reset();
    EXPECT_EQ(fw::OleLockCount(), base - 1);
    EXPECT_TRUE(fw::OleCanExitApp());
}

}  // namespace
