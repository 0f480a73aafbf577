// Awkward strings through Exec, GetProp and SetProp of an OLE-started shell
// and through the console's command line: empty and null, lengths around 255,
// 16383 and far beyond, an embedded NUL, characters outside the ANSI code
// page, line breaks and printf conversions. The engine gets each string
// whole; the log line is cut at 255 characters and at the first line break;
// nothing else is cut and the shell serves on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EdServerClient.h"
#include "OleShell.h"
#include "ReliabilitySupport.h"
#include "ScratchTree.h"
#include "ShellProcess.h"

namespace {

using vt::Variant;

// "<tag>:" then digits 0-9 over and over, `length` characters in all, so that
// any cut shows where it fell.
std::string Filled(const std::string& tag, std::size_t length) {
    std::string text = tag + ":";
    for (std::size_t i = 0; text.size() < length; ++i) text += static_cast<char>('0' + i % 10);
    text.resize(length);
    return text;
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The log's cut: the first 255 characters, then up to the first CR, then up
// to the first LF.
std::string LogCut(std::string text) {
    if (text.size() > 255) text.resize(255);
    if (std::size_t cr = text.find('\r'); cr != std::string::npos) text.resize(cr);
    if (std::size_t lf = text.find('\n'); lf != std::string::npos) text.resize(lf);
    return text;
}

struct StringCase {
    const char* name;
    std::wstring sent;   // what the client sends
    bool null;           // a null BSTR instead
    std::string engine;  // what the engine must receive (ANSI)
};

std::vector<StringCase> AutomationCases() {
    std::vector<StringCase> cases = {
        {"empty", L"", false, ""},
        {"null BSTR", L"", true, ""},
        {"embedded NUL", std::wstring(L"before\0after", 12), false, "before"},
        {"outside the code page", L"x\u4E2D\u00E9\u0416y", false, "x?\xE9?y"},
        {"CR LF inside", L"line one\r\nline two", false, "line one\r\nline two"},
        {"CR only", L"cr\ronly", false, "cr\ronly"},
        {"LF first", L"\nafter a leading line feed", false, "\nafter a leading line feed"},
        {"printf conversions", L"%n%n%s%s%x%p%999999999d%%", false,
         "%n%n%s%s%x%p%999999999d%%"},
    };
    for (std::size_t length : {255u, 256u, 257u, 16383u, 16384u, 100000u}) {
        const std::string text = Filled("len" + std::to_string(length), length);
        cases.push_back({"long", Wide(text), false, text});
    }
    return cases;
}

Variant Make(const StringCase& c) {
    return c.null ? Variant::NullString()
                  : Variant(c.sent.data(), static_cast<UINT>(c.sent.size()));
}

TEST(StringInput, ThroughExecGetPropAndSetProp) {
    vt::OleShell shell("rel-strings");
    std::vector<StringCase> cases = AutomationCases();
    {
        vt::ClientDirectory directory(shell.Tree());
        vt::EdServerClient client;
        ASSERT_TRUE(client.Created()) << std::hex << client.CreateResult();
        vt::Journal& journal = shell.EngineJournal();
        ASSERT_TRUE(journal.WaitFor("pInitAll"));

        Variant begin(L"rec.journal strings begin");
        ASSERT_EQ(client.Call(3, {&begin}), S_OK);
        for (const StringCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(c.engine.size()));
            Variant command = Make(c), first = Make(c), second = Make(c), value = Make(c);
            ASSERT_EQ(client.Call(3, {&command}), S_OK);
            EXPECT_TRUE(journal.Contains("edsrvProcess 65535 0 " + vt::JournalQuote(c.engine)));

            ASSERT_EQ(client.Call(6, {&first, &second, &value}), S_OK);
            EXPECT_TRUE(journal.Contains("linktopicProcessClientData 65535 " +
                                         vt::JournalQuote(c.engine) + " " + vt::JournalQuote(c.engine) +
                                         " 0 " + vt::JournalQuote(c.engine)));
            Variant reply;
            ASSERT_EQ(client.Call(5, {&first, &second}, reply.Get()), S_OK);
            EXPECT_TRUE(journal.Contains("linktopicProcessClientRequest 65535 " +
                                         vt::JournalQuote(c.engine) + " " + vt::JournalQuote(c.engine) +
                                         " 0"));
            // The engine keeps at most 16383 characters of a value; the shell
            // returns all it is given.
            ASSERT_EQ(V_VT(reply.Get()), VT_BSTR);
            const std::string stored = c.engine.substr(0, 16383);
            std::wstring expected;
            for (unsigned char ch : stored) expected += static_cast<wchar_t>(ch);
            if (std::string(c.name) == "outside the code page") expected = L"x?\u00E9?y";
            EXPECT_EQ(std::wstring(V_BSTR(reply.Get()), ::SysStringLen(V_BSTR(reply.Get()))),
                      expected);
        }
        // The replies of 16383 characters and of a full unterminated buffer
        // come back whole and cut at the buffer; see the automation tests.
        Variant end(L"rec.journal strings end");
        ASSERT_EQ(client.Call(3, {&end}), S_OK);
        EXPECT_EQ(journal.Count("error "), 0u);
    }
    ASSERT_TRUE(shell.CloseConsole());

    // The log holds each command's INFO line, cut by the log's rules, in order.
    const std::vector<std::string> log = vt::SplitLines(shell.LogText());
    const int begin = vt::IndexOf(log, "INFO: rec.journal strings begin");
    ASSERT_NE(begin, -1);
    ASSERT_GE(log.size(), begin + cases.size() + 2);
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(log[begin + 1 + i], "INFO: " + LogCut(cases[i].engine)) << cases[i].name;
    EXPECT_EQ(log[begin + 1 + cases.size()], "INFO: rec.journal strings end");
    EXPECT_EQ(log.back().rfind("INFO: Log file closed, ", 0), 0u) << log.back();
}

TEST(StringInput, ThroughTheConsoleCommandLine) {
    vt::ScratchTree tree("rel-console-strings");
    vt::ShellProcess shell({tree.System() + "\\Velmor.exe", "", tree.Root(),
                      tree.System() + "\\recorder.journal"});
    ASSERT_TRUE(shell.WaitEngineStarted());
    vt::Journal& journal = shell.EngineJournal();

    std::vector<std::string> echoed;  // what the engine must get, in order
    ASSERT_TRUE(shell.Sync("console begin"));
    echoed.push_back("rec.journal console begin");
    for (std::size_t length : {255u, 256u, 257u, 16383u, 16384u, 100000u}) {
        const std::string text = Filled("cmd" + std::to_string(length), length);
        EXPECT_TRUE(shell.TryCommand(text)) << length;
        echoed.push_back(text);
    }
    const std::string conversions = "%n%n%s%s%x%p%999999999d%%";
    EXPECT_TRUE(shell.TryCommand(conversions));
    echoed.push_back(conversions);
    EXPECT_TRUE(shell.TryCommand("  \t inner  blanks kept\t "));
    echoed.push_back("inner  blanks kept");

    // Characters the ANSI code page lacks reach the engine as '?'.
    shell.TypeWide(L"wide \u4E2D\u00E9 text");
    EXPECT_TRUE(journal.WaitFor("edsrvProcess 65535 0 \"wide ?\\xE9 text\""));
    echoed.push_back("wide ?\xE9 text");

    // A line break inside the command line's text: the edit control keeps
    // it, the engine gets the text whole and the log its first line.
    EXPECT_TRUE(shell.TryCommand("first line\r\nsecond line"));
    echoed.push_back("first line\r\nsecond line");
    ASSERT_TRUE(shell.Sync("console end"));
    echoed.push_back("rec.journal console end");
    EXPECT_EQ(vt::WindowText(shell.Control(1006)), "");
    EXPECT_EQ(journal.Count("error "), 0u);
    ASSERT_TRUE(shell.Close());

    const std::vector<std::string> log =
        vt::SplitLines(vt::ReadFileBytes(tree.System() + "\\Velmor.log"));
    const int begin = vt::IndexOf(log, "CONSOLE: rec.journal console begin");
    ASSERT_NE(begin, -1);
    ASSERT_GE(log.size(), begin + echoed.size());
    for (std::size_t i = 0; i < echoed.size(); ++i)
        EXPECT_EQ(log[begin + i], "CONSOLE: " + LogCut(echoed[i])) << i;
}

}  // namespace
