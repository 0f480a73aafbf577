// The output pane's text model on its own: offsets as an edit control counts
// them ("\r\n" two characters between lines), replacements across lines, and
// the appends and cuts the console makes.
#include <gtest/gtest.h>

#include <string>

#include "console/PaneText.h"

namespace {

TEST(PaneText, AnEmptyTextIsOneEmptyLine) {
    PaneText text;
    EXPECT_EQ(text.Length(), 0u);
    EXPECT_EQ(text.LineCount(), 1);
    EXPECT_EQ(text.Line(0), "");
    EXPECT_EQ(text.LineIndex(0), 0u);
    EXPECT_EQ(text.LineIndex(1), 0u);  // past the last line: the length
    EXPECT_EQ(text.LineFromChar(0), 0);
    EXPECT_EQ(text.Text(), "");
}

TEST(PaneText, OffsetsCountTheTwoCharactersOfEveryLineBreak) {
    PaneText text;
    text.SetText("ab\r\n\r\ncde");
    ASSERT_EQ(text.LineCount(), 3);
    EXPECT_EQ(text.Length(), 9u);
    EXPECT_EQ(text.LineIndex(1), 4u);
    EXPECT_EQ(text.LineIndex(2), 6u);
    EXPECT_EQ(text.LineFromChar(2), 0);  // the end of "ab"
    EXPECT_EQ(text.LineFromChar(3), 0);  // between "\r" and "\n"
    EXPECT_EQ(text.LineFromChar(4), 1);
    EXPECT_EQ(text.LineFromChar(100), 2);
    // No caret stands between "\r" and "\n", nor past the end.
    EXPECT_EQ(text.Normalize(3), 2u);
    EXPECT_EQ(text.Normalize(100), 9u);
    EXPECT_EQ(text.Text(), "ab\r\n\r\ncde");
    EXPECT_EQ(text.Text(1, 7), "b\r\n\r\nc");
    EXPECT_EQ(text.Text(7, 1), "b\r\n\r\nc");  // either order
    EXPECT_EQ(text.Text(3, 4), "\n");
}

TEST(PaneText, OnlyCrLfBreaksALine) {
    PaneText text;
    text.SetText("a\rb\nc\n\rd");
    EXPECT_EQ(text.LineCount(), 1);
    EXPECT_EQ(text.Length(), 8u);
    EXPECT_EQ(text.Text(), "a\rb\nc\n\rd");
}

TEST(PaneText, AppendingLinesTheWayTheConsoleDoes) {
    PaneText text;
    std::size_t caret = text.Replace(text.Length(), text.Length(), "\r\nINFO: one ");
    EXPECT_EQ(caret, text.Length());
    caret = text.Replace(caret, caret, "\r\nINFO: two ");
    EXPECT_EQ(caret, text.Length());
    EXPECT_EQ(text.Text(), "\r\nINFO: one \r\nINFO: two ");
    ASSERT_EQ(text.LineCount(), 3);
    EXPECT_EQ(text.Line(0), "");
    EXPECT_EQ(text.Line(2), "INFO: two ");
}

TEST(PaneText, CuttingTheFirstLinesKeepsTheRestAsItWas) {
    PaneText text;
    std::string expected;
    for (int i = 0; i < 301; ++i) {
        const std::string line = "\r\nline " + std::to_string(i) + " ";
        text.Replace(text.Length(), text.Length(), line);
        expected += line;
    }
    ASSERT_EQ(text.LineCount(), 302);
    text.Replace(0, text.LineIndex(100), "");
    ASSERT_EQ(text.LineCount(), 202);
    EXPECT_EQ(text.Line(0), "line 99 ");
    EXPECT_EQ(text.Text(), expected.substr(expected.find("line 99 ")));
    EXPECT_EQ(text.LineIndex(1), std::string("line 99 \r\n").size());
}

TEST(PaneText, ReplacingAcrossLinesJoinsWhatIsLeftAround) {
    PaneText text;
    text.SetText("first\r\nsecond\r\nthird");
    const std::size_t caret = text.Replace(3, 10, "X\r\nY");  // "st\r\nsec" -> "X\r\nY"
    EXPECT_EQ(text.Text(), "firX\r\nYond\r\nthird");
    EXPECT_EQ(caret, 7u);  // just after "Y"
    EXPECT_EQ(text.LineCount(), 3);
    // Deleting a whole middle line with its break.
    text.Replace(text.LineIndex(1), text.LineIndex(2), "");
    EXPECT_EQ(text.Text(), "firX\r\nthird");
    // A replacement that starts between "\r" and "\n" starts at the line's end.
    text.Replace(5, 6, "");
    EXPECT_EQ(text.Text(), "firXthird");
}

}  // namespace
