// Screen buffer and its planes: golden screens after operation lists, the bounds the buffer
// keeps whatever it is given, and its change record.

#include "terminal/terminal_buffer.h"

#include "platform/messages.h"
#include "screen_dump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numeric>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

constexpr TColor Red = 0x000000FF;
constexpr TColor Blue = 0x00FF0000;

// 10 columns, 4 screen rows, 4 scrollback rows: small enough to read a dump at a glance.
void MakeSmall(TQpTerminalBuffer& B) {
  B.SetColCount(10);
  B.SetSVRowCount(8);
  B.SetRowCount(4);
  B.SetCursorPosition(1, 1);
}

void Lines(TQpTerminalBuffer& B, std::initializer_list<const char*> L) {
  int R = 1;
  for (const char* S : L) {
    B.SetCursorPosition(R++, 1);
    B.WriteString(S);
  }
}

struct TScreenCase {
  const char* Name;
  std::function<void(TQpTerminalBuffer&)> Ops;
  const char* Expected;
};

class ScreenCases : public ::testing::TestWithParam<TScreenCase> {};

TEST_P(ScreenCases, GoldenScreen) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  GetParam().Ops(B);
  EXPECT_EQ(ScreenDump(B), GetParam().Expected);
}

const TScreenCase GScreenCases[] = {
    {"Text", [](TQpTerminalBuffer& B) { B.WriteString("abc"); }, "abc@1,4"},
    {"FullRowLeavesPendingWrap", [](TQpTerminalBuffer& B) { B.WriteString("0123456789"); }, "0123456789@1,10+"},
    {"NextCharWraps", [](TQpTerminalBuffer& B) { B.WriteString("0123456789a"); }, "0123456789|a@2,2"},
    {"ByteByByteSameAsRun",
     [](TQpTerminalBuffer& B) {
       for (char C : std::string("0123456789a")) B.WriteChar(C);
     },
     "0123456789|a@2,2"},
    {"NoWrapOverwritesLastCell",
     [](TQpTerminalBuffer& B) {
       B.SetUseAutoWrap(false);
       B.WriteString("0123456789ab");
     },
     "012345678b@1,10+"},
    {"NoWrapDelayWrapsAtOnce",
     [](TQpTerminalBuffer& B) {
       B.SetUseAutoWrapDelay(false);
       B.WriteString("0123456789");
     },
     "0123456789@2,1"},
    {"WrapOnBottomRowScrolls",
     [](TQpTerminalBuffer& B) {
       B.SetCursorPosition(4, 1);
       B.WriteString("0123456789xy");
     },
     "||0123456789|xy@4,3"},
    {"BackTabClearsPendingWrap",
     [](TQpTerminalBuffer& B) {
       B.WriteString("0123456789");
       B.DoBackHorzTab();
       B.WriteChar('X');
     },
     "01234567X9@1,10"},
    {"Tab", [](TQpTerminalBuffer& B) { B.WriteString("a"), B.DoHorzTab(), B.WriteString("b"); }, "a       b@1,10"},
    {"TabWithoutStopGoesToLastColumn",
     [](TQpTerminalBuffer& B) {
       B.ClearAllHorzTabStops();
       B.DoHorzTab();
     },
     "@1,10"},
    {"BackspaceNeverWraps", [](TQpTerminalBuffer& B) { B.SetCursorPosition(2, 1), B.DoBackspace(); }, "@2,1"},
    {"InsertModeShiftsRow",
     [](TQpTerminalBuffer& B) {
       B.WriteString("abcdef");
       B.SetCol(2);
       B.SetUseInsertMode(true);
       B.WriteString("XY");
     },
     "aXYbcdef@1,4"},
    {"InsertChars",
     [](TQpTerminalBuffer& B) { B.WriteString("abcdefghij"), B.SetCol(3), B.InsertChars(3); },
     "ab   cdefg@1,3"},
    {"DeleteChars",
     [](TQpTerminalBuffer& B) { B.WriteString("abcdefghij"), B.SetCol(3), B.DeleteChars(2); },
     "abefghij@1,3"},
    {"HugeInsertClearsToEnd",
     [](TQpTerminalBuffer& B) { B.WriteString("abcdefghij"), B.SetCol(3), B.InsertChars(INT_MAX); },
     "ab@1,3"},
    {"NegativeCountsDoNothing",
     [](TQpTerminalBuffer& B) {
       B.WriteString("abcdefghij");
       B.SetCol(3);
       B.InsertChars(INT_MIN), B.DeleteChars(-4), B.EraseChars(INT_MIN), B.InsertLines(INT_MIN), B.DeleteLines(-1);
     },
     "abcdefghij@1,3"},
    {"EraseToEOL", [](TQpTerminalBuffer& B) { B.WriteString("abcdefghij"), B.SetCol(4), B.EraseToEOL(); }, "abc@1,4"},
    {"EraseFromBOL",
     [](TQpTerminalBuffer& B) { B.WriteString("abcdefghij"), B.SetCol(4), B.EraseFromBOL(); },
     "    efghij@1,4"},
    {"EraseLine", [](TQpTerminalBuffer& B) { Lines(B, {"abc", "def"}), B.SetRow(1), B.EraseLine(); }, "|def@1,4"},
    {"EraseCharsContinuesOnNextRow",
     [](TQpTerminalBuffer& B) {
       Lines(B, {"xxxxxxxxxx", "xxxxxxxxxx"});
       B.SetCursorPosition(1, 5);
       B.EraseChars(12);
     },
     "xxxx|      xxxx@1,5"},
    {"EraseCharsStopsAtLastRow",
     [](TQpTerminalBuffer& B) {
       Lines(B, {"", "", "", "xxxxxxxxxx"});
       B.SetCursorPosition(4, 9);
       B.EraseChars(INT_MAX);
     },
     "|||xxxxxxxx@4,9"},
    {"EraseToEOW",
     [](TQpTerminalBuffer& B) { Lines(B, {"abc", "def", "ghi", "jkl"}), B.SetCursorPosition(2, 2), B.EraseToEOW(); },
     "abc|d@2,2"},
    {"EraseFromBOW",
     [](TQpTerminalBuffer& B) { Lines(B, {"abc", "def", "ghi", "jkl"}), B.SetCursorPosition(3, 2), B.EraseFromBOW(); },
     "||  i|jkl@3,2"},
    {"InsertLines",
     [](TQpTerminalBuffer& B) { Lines(B, {"a", "b", "c", "d"}), B.SetCursorPosition(2, 1), B.InsertLines(1); },
     "a||b|c@2,1"},
    {"DeleteLines",
     [](TQpTerminalBuffer& B) { Lines(B, {"a", "b", "c", "d"}), B.SetCursorPosition(2, 1), B.DeleteLines(2); },
     "a|d@2,1"},
    {"InsertManyLinesClearsToBottom",
     [](TQpTerminalBuffer& B) { Lines(B, {"a", "b", "c", "d"}), B.SetCursorPosition(2, 1), B.InsertLines(INT_MAX); },
     "a@2,1"},
    {"LinesOutsideRegionUntouched",
     [](TQpTerminalBuffer& B) {
       Lines(B, {"a", "b", "c", "d"});
       B.SetScrollRegion(2, 3);
       B.SetUseAbsAddress(true);
       B.SetCursorPosition(4, 1);
       B.InsertLines(1);
       B.DeleteLines(1);
     },
     "a|b|c|d@4,1"},
    {"RegionScrollsInside",
     [](TQpTerminalBuffer& B) {
       Lines(B, {"a", "b", "c", "d"});
       B.SetScrollRegion(2, 3);
       B.DoLineFeed(), B.DoLineFeed();
     },
     "a|c||d@3,1"},
    {"RegionReverseScroll",
     [](TQpTerminalBuffer& B) { Lines(B, {"a", "b", "c", "d"}), B.SetScrollRegion(2, 3), B.MoveCursorUp(true); },
     "a||b|d@2,1"},
    {"RegionPastScreenIgnored",
     [](TQpTerminalBuffer& B) {
       Lines(B, {"a", "b", "c", "d"});
       B.SetScrollRegion(30, 40);
       B.SetCursorPosition(4, 1);
       B.DoLineFeed();
     },
     "b|c|d@4,1"},
    {"NewLineMode", [](TQpTerminalBuffer& B) { B.WriteString("ab"), B.SetUseNewLineMode(true), B.DoLineFeed(); }, "ab@2,1"},
    {"LeftWrapAtTopScrollsDown",
     [](TQpTerminalBuffer& B) { Lines(B, {"a"}), B.SetCursorPosition(1, 1), B.MoveCursorLeft(true, true); },
     "|a@1,10"},
    {"LeftWrapToRowAbove", [](TQpTerminalBuffer& B) { B.SetCursorPosition(2, 1), B.MoveCursorLeft(true, false); }, "@1,10"},
    {"CursorClamped", [](TQpTerminalBuffer& B) { B.SetCursorPosition(INT_MAX, INT_MIN); }, "@4,1"},
    {"CursorIntoScrollback", [](TQpTerminalBuffer& B) { B.SetRow(INT_MIN), B.SetCol(INT_MAX); }, "@-3,10"},
    {"RelativeAddressing",
     [](TQpTerminalBuffer& B) {
       B.SetScrollRegion(2, 4);
       B.SetUseAbsAddress(false);
       B.SetCursorPosition(1, 3);
       B.WriteString("x");
     },
     "|  x@2,4"},
    {"DECALNStyleFill",
     [](TQpTerminalBuffer& B) {
       B.SetDefAnsiChar('E');
       B.EraseScreen();
       B.SetDefAnsiChar(' ');
     },
     "EEEEEEEEEE|EEEEEEEEEE|EEEEEEEEEE|EEEEEEEEEE@1,1"},
    {"Reset",
     [](TQpTerminalBuffer& B) {
       Lines(B, {"abc"});
       B.SetScrollRegion(2, 3);
       B.SetUseInsertMode(true);
       B.Reset();
       B.WriteString("x");
     },
     "x@1,2"},
};

INSTANTIATE_TEST_SUITE_P(Buffer, ScreenCases, ::testing::ValuesIn(GScreenCases),
                         [](const auto& I) { return std::string(I.param.Name); });

TEST(TerminalBuffer, Defaults) {
  TQpTerminalBuffer B;
  EXPECT_EQ(B.ColCount(), 80);
  EXPECT_EQ(B.RowCount(), 24);
  EXPECT_EQ(B.SVRowCount(), 200);
  EXPECT_EQ(B.CursorRowInternal(), 176);
  EXPECT_EQ(B.Row(), 1);
  EXPECT_EQ(B.ForeColor(), 0x00C0C0C0u);
  EXPECT_EQ(B.BackColor(), 0u);
  B.WriteString(std::string(80, 'x'));
  EXPECT_EQ(B.Col(), 80);
  EXPECT_TRUE(B.BeyondMargin());
  B.WriteChar('y');
  EXPECT_EQ(B.Row(), 2);
  EXPECT_EQ(B.Col(), 2);
}

TEST(TerminalBuffer, LineFeedsFillScrollbackThenDropOldest) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  for (int I = 0; I < 12; ++I) {
    B.WriteString(std::string(1, char('a' + I)));
    B.DoCarriageReturn();
    B.DoLineFeed();
  }
  // 12 lines and the empty cursor line: 8 rows hold the last 7 lines.
  EXPECT_EQ(ScreenDump(B, -3, 4), "f|g|h|i|j|k|l@4,1");
  B.EraseScreen();
  EXPECT_EQ(ScreenDump(B, -3, 4), "j|k|l@4,1");
  B.EraseAll();
  EXPECT_EQ(ScreenDump(B, -3, 4), "@1,1");
}

// Taking the screen up again (a port reattached after a loss) goes on below what it holds:
// from row 1, a short answer would leave an older line's tail beside it.
TEST(TerminalBuffer, ContinuingBelowTheTextNeverOverwritesARow) {
  struct TCase {
    const char* What;
    std::vector<std::string> Lines;  // written one after another, each ended but the last
    int CursorRow;                   // where the cursor is left before (0: after the text)
    std::string Expected;            // the screen and the cursor
    std::string Scrollback;          // its last row
  };
  const TCase Cases[] = {
      {"an empty screen: row 1 (the column kept), as always", {}, 3, "@1,5", ""},
      {"after whole lines", {"ab", "cd", ""}, 0, "ab|cd@3,1", ""},
      {"after a line without its end", {"ab", "cd"}, 0, "ab|cd@3,1", ""},
      {"with the cursor moved to the top", {"ab", "cd"}, 1, "ab|cd@3,1", ""},
      {"below a blank row between texts", {"ab", "", "cd"}, 1, "ab||cd@4,1", ""},
      {"a full screen scrolls one row", {"a", "b", "c", "d"}, 0, "b|c|d@4,1", "a"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    TQpTerminalBuffer B;
    MakeSmall(B);
    for (std::size_t I = 0; I < C.Lines.size(); ++I) {
      B.WriteString(C.Lines[I]);
      if (I + 1 < C.Lines.size()) {
        B.DoCarriageReturn();
        B.DoLineFeed();
      }
    }
    if (C.CursorRow) B.SetCursorPosition(C.CursorRow, 5);
    B.ContinueBelowText();
    EXPECT_EQ(ScreenDump(B), C.Expected);
    std::string Last(static_cast<const char*>(B.GetLineCharPtr(0)), std::size_t(B.ColCount()));
    EXPECT_EQ(Last.erase(Last.find_last_not_of(' ') + 1), C.Scrollback);
  }
}

TEST(TerminalBuffer, LineFeedRunEqualsSingleLineFeeds) {
  for (int Rows : {0, 2}) {
    for (bool NewLine : {false, true}) {
      for (int Start : {1, 3, 4}) {
        for (int Count = 0; Count <= 12; ++Count) {
          TQpTerminalBuffer One, Many;
          std::vector<int> ScrolledOne, ScrolledMany;
          for (TQpTerminalBuffer* B : {&One, &Many}) {
            MakeSmall(*B);
            Lines(*B, {"a", "b", "c", "d"});
            if (Rows) B->SetScrollRegion(2, 3);
            B->SetUseNewLineMode(NewLine);
            B->SetCursorPosition(Start, 5);
          }
          One.OnScrollRows = [&](TQpTerminalBuffer*, int N, int, int) { ScrolledOne.push_back(N); };
          Many.OnScrollRows = [&](TQpTerminalBuffer*, int N, int, int) { ScrolledMany.push_back(N); };
          for (int I = 0; I < Count; ++I) One.DoLineFeed();
          Many.DoLineFeeds(Count);
          SCOPED_TRACE(testing::Message() << Rows << NewLine << Start << " " << Count);
          EXPECT_EQ(ScreenDump(Many, -3, 4), ScreenDump(One, -3, 4));
          // One scroll for the run, as far as the single ones went together.
          const int Total = std::accumulate(ScrolledOne.begin(), ScrolledOne.end(), 0);
          EXPECT_EQ(ScrolledMany.empty() ? 0 : ScrolledMany[0], Total);
          EXPECT_LE(ScrolledMany.size(), 1u);
        }
      }
    }
  }
}

TEST(TerminalBuffer, ErasedCellsTakeCurrentColours) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  B.WriteString("ab");
  B.SetForeColor(Red);
  B.WriteString("cd");
  B.SetBackColor(Blue);
  B.SetCharAttrs(AttrBit(tcaBold));
  B.SetCursorPosition(2, 1);
  B.EraseLine();
  const std::map<TCellLook, char> Legend{{{Red, 0, 0}, 'r'}, {{Red, Blue, AttrBit(tcaBold)}, 'B'}};
  EXPECT_EQ(LookDump(B, Legend, 1, 2), "..rr......|BBBBBBBBBB");
  B.Reset();
  B.EraseScreen();
  EXPECT_EQ(LookDump(B, Legend, 1, 2), "..........|..........");
}

TEST(TerminalBuffer, InsertCharsMovesAllPlanes) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  B.SetForeColor(Red);
  B.WriteString("abcdefghij");
  B.SetForeColor(qpc_TermBufForeColor);
  B.SetCol(3);
  B.InsertChars(3);
  const std::map<TCellLook, char> Legend{{{Red, 0, 0}, 'r'}};
  EXPECT_EQ(LookDump(B, Legend, 1, 1), "rr...rrrrr");
}

TEST(TerminalBuffer, DefaultColourRecoloursCellsHoldingTheOldOne) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  B.SetForeColor(Red);
  B.WriteString("ab");
  B.SetForeColor(qpc_TermBufForeColor);
  B.WriteString("cd");
  B.SetDefForeColor(Blue);
  const TColor* F = B.GetLineForeColorPtr(1);
  EXPECT_EQ(F[0], Red);
  EXPECT_EQ(F[2], Blue);
  EXPECT_EQ(F[9], Blue);
  EXPECT_EQ(B.ForeColor(), qpc_TermBufForeColor);  // the current colour stays
}

TEST(TerminalBuffer, ScrollRegionRules) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  B.SetScrollRegion(3, 3);
  EXPECT_FALSE(B.UseScrollRegion());
  B.SetScrollRegion(4, 2);
  EXPECT_TRUE(B.UseScrollRegion());
  EXPECT_EQ(B.OriginRow(), 2);
  B.SetScrollRegion(1, 4);
  EXPECT_FALSE(B.UseScrollRegion());
  B.SetScrollRegion(3, 40);  // clamped to 3..4
  EXPECT_TRUE(B.UseScrollRegion());
  EXPECT_EQ(B.OriginRow(), 3);
  B.SetScrollRegion(30, 40);  // clamps to 4..4: one row, ignored
  EXPECT_EQ(B.OriginRow(), 3);
}

TEST(TerminalBuffer, ScrollRegionSwitchedOnWithoutRowsUsesScreen) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  B.SetRowCount(3);
  B.SetUseScrollRegion(true);
  EXPECT_EQ(B.OriginRow(), 1);
  B.SetCursorPosition(3, 1);
  B.DoLineFeed();
  EXPECT_EQ(B.Row(), 3);
}

TEST(TerminalBuffer, SizeErrorsLeaveBufferUnchanged) {
  struct TCase {
    std::function<void(TQpTerminalBuffer&)> Set;
    const char* Message;
  };
  const TCase Cases[] = {
      {[](TQpTerminalBuffer& B) { B.SetColCount(1); }, "TQpTerminalBuffer.tbSetColCount: new count too small"},
      {[](TQpTerminalBuffer& B) { B.SetColCount(INT_MIN); }, "TQpTerminalBuffer.tbSetColCount: new count too small"},
      {[](TQpTerminalBuffer& B) { B.SetRowCount(1); }, "TQpTerminalBuffer.tbSetRowCount: new count too small"},
      {[](TQpTerminalBuffer& B) { B.SetSVRowCount(0); }, "TQpTerminalBuffer.tbSetSVRowCount: new count too small"},
      {[](TQpTerminalBuffer& B) { B.SetSVRowCount(INT_MAX); }, "TQpTerminalBuffer.tbSetSVRowCount: new count too large"},
      {[](TQpTerminalBuffer& B) { B.SetColCount(INT_MAX); }, "TQpTerminalBuffer.tbSetColCount: new count too large"},
      // Each within its own bound, together past the cell bound.
      {[](TQpTerminalBuffer& B) { B.SetColCount(1000), B.SetSVRowCount(99999); },
       "TQpTerminalBuffer.tbSetSVRowCount: new count too large"},
  };
  for (const TCase& C : Cases) {
    TQpTerminalBuffer B;
    MakeSmall(B);
    B.WriteString("abc");
    const int Cols = B.ColCount();
    try {
      C.Set(B);
      ADD_FAILURE() << "no error for " << C.Message;
    } catch (const EQpTerminalError& E) {
      EXPECT_STREQ(E.what(), C.Message);
    }
    EXPECT_EQ(B.SVRowCount(), Cols == B.ColCount() ? 8 : B.SVRowCount());
    EXPECT_EQ(B.RowCount(), 4);
    if (B.ColCount() == 10) {
      EXPECT_EQ(ScreenDump(B), "abc@1,4");
    }
  }
}

TEST(TerminalBuffer, ResizesKeepCursorRegionAndTabsInside) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  Lines(B, {"a", "b", "c", "d"});
  B.SetRow(-3);  // oldest scrollback row
  B.SetSVRowCount(5);  // drops 3 scrollback rows: the cursor stays inside
  EXPECT_GE(B.CursorRowInternal(), 0);
  EXPECT_EQ(ScreenDump(B, 0, 4), "|a|b|c|d@0,2");
  B.SetScrollRegion(2, 3);
  B.SetSVRowCount(3);  // below the screen height: the screen shrinks too
  EXPECT_EQ(B.RowCount(), 3);
  EXPECT_FALSE(B.UseScrollRegion());
  EXPECT_LT(B.CursorRowInternal(), 3);
  B.SetCursorPosition(3, 1);
  B.SetVertTabStop();
  B.DoLineFeed();
  B.DoBackVertTab();
  B.DoVertTab();
  EXPECT_EQ(ScreenDump(B), "c|d@3,1");
  // Growing adds blank scrollback at the top and keeps the cursor's screen row.
  B.SetSVRowCount(300);
  EXPECT_EQ(B.Row(), 3);
  EXPECT_EQ(ScreenDump(B, -1, 3), "||c|d@3,1");
}

TEST(TerminalBuffer, ColumnResizeMovesCursorHomeAndKeepsLeftColumns) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  Lines(B, {"abcdefghij", "klmnopqrst"});
  B.SetColCount(4);
  EXPECT_EQ(ScreenDump(B), "abcd|klmn@1,1");
  B.DoHorzTab();
  EXPECT_EQ(B.Col(), 4);
  B.SetColCount(12);
  B.SetCursorPosition(1, 5);
  B.DoHorzTab();  // the new columns have no stops
  EXPECT_EQ(B.Col(), 12);
}

TEST(TerminalBuffer, VerticalTabsBelongToScreenRows) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  B.SetCursorPosition(3, 1);
  B.SetVertTabStop();
  B.SetRow(-2);
  B.SetVertTabStop();  // scrollback: no stop there, no fault
  B.SetCursorPosition(1, 1);
  B.DoVertTab();
  EXPECT_EQ(B.Row(), 3);
  B.DoVertTab();
  EXPECT_EQ(B.Row(), 4);
  B.DoBackVertTab();
  EXPECT_EQ(B.Row(), 3);
  B.ClearVertTabStop();
  B.DoBackVertTab();
  EXPECT_EQ(B.Row(), 1);
}

TEST(TerminalBuffer, LinePointersOnlyInsideTheBuffer) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  EXPECT_NE(B.GetLineCharPtr(4), nullptr);
  EXPECT_NE(B.GetLineCharPtr(-3), nullptr);
  EXPECT_EQ(B.GetLineCharPtr(5), nullptr);
  EXPECT_EQ(B.GetLineAttrPtr(-4), nullptr);
  EXPECT_EQ(B.GetLineForeColorPtr(INT_MIN), nullptr);
  EXPECT_EQ(B.GetLineBackColorPtr(INT_MAX), nullptr);
  EXPECT_EQ(B.GetLineCharSetPtr(INT_MAX), nullptr);
}

TEST(TerminalBuffer, InvalidRectIsOneMergedRectangle) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  TRect R;
  ASSERT_TRUE(B.GetInvalidRect(R));  // resizing invalidates every row
  EXPECT_EQ(R, (TRect{1, -3, 10, 4}));
  TQpTerminalBuffer Fresh;
  ASSERT_TRUE(Fresh.GetInvalidRect(R));  // construction invalidates the screen
  EXPECT_EQ(R, (TRect{1, 1, 80, 24}));
  EXPECT_FALSE(B.GetInvalidRect(R));
  B.SetCursorPosition(2, 3);
  EXPECT_FALSE(B.HasDisplayChanged());  // a cursor move changes no cells
  B.WriteString("xyz");
  B.SetCursorPosition(3, 2);
  B.WriteChar('q');
  EXPECT_TRUE(B.HasDisplayChanged());
  EXPECT_TRUE(B.HasDisplayChanged());  // does not consume
  ASSERT_TRUE(B.GetInvalidRect(R));
  EXPECT_EQ(R, (TRect{2, 2, 5, 3}));
  EXPECT_FALSE(B.HasDisplayChanged());
  // Changes in the scrollback come back in the same rectangle, with rows 0 and below.
  B.SetRow(-1);
  B.WriteChar('s');
  B.SetCursorPosition(4, 10);
  B.WriteChar('t');
  ASSERT_TRUE(B.GetInvalidRect(R));
  EXPECT_EQ(R, (TRect{3, -1, 10, 4}));
}

TEST(TerminalBuffer, InsertModeWriteInvalidatesShiftedRest) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  B.WriteString("abcdef");
  B.SetCol(2);
  TRect R;
  B.GetInvalidRect(R);
  B.SetUseInsertMode(true);
  B.WriteChar('X');
  ASSERT_TRUE(B.GetInvalidRect(R));
  EXPECT_EQ(R, (TRect{2, 1, 10, 1}));
}

TEST(TerminalBuffer, ScrollsInvalidateDisplayRowsAndReportRange) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  std::vector<std::vector<int>> Scrolls;
  B.OnScrollRows = [&](TQpTerminalBuffer*, int Count, int Top, int Bottom) { Scrolls.push_back({Count, Top, Bottom}); };
  TRect R;
  B.GetInvalidRect(R);
  B.SetCursorPosition(4, 1);
  B.DoLineFeed();
  ASSERT_TRUE(B.GetInvalidRect(R));
  EXPECT_EQ(R, (TRect{1, 1, 10, 4}));
  B.SetScrollRegion(2, 3);
  B.MoveCursorUp(true);
  const std::vector<std::vector<int>> Expected{{1, -3, 4}, {-1, 2, 3}};
  EXPECT_EQ(Scrolls, Expected);
}

TEST(TerminalBuffer, CursorEventOnlyOnActualMoves) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  std::vector<std::pair<int, int>> Moves;
  B.OnCursorMoved = [&](TQpTerminalBuffer*, int Row, int Col) { Moves.emplace_back(Row, Col); };
  B.HasCursorMoved();
  B.SetRow(1);
  B.SetCursorPosition(1, 1);
  B.DoCarriageReturn();
  EXPECT_TRUE(Moves.empty());
  EXPECT_FALSE(B.HasCursorMoved());
  B.WriteString("abcdefghijkl");  // one run, one report
  B.SetColCount(12);               // resizes report nothing
  const std::vector<std::pair<int, int>> Expected{{2, 3}};
  EXPECT_EQ(Moves, Expected);
  EXPECT_TRUE(B.HasCursorMoved());
  EXPECT_FALSE(B.HasCursorMoved());
}

// A scroll handler raising inside a batch must not leave the cursor's reports muted for good.
TEST(TerminalBuffer, ABatchLeftByAnExceptionDoesNotSilenceLaterMoves) {
  TQpTerminalBuffer B;
  MakeSmall(B);
  B.SetCursorPosition(4, 1);
  std::vector<std::pair<int, int>> Moves;
  B.OnCursorMoved = [&](TQpTerminalBuffer*, int Row, int Col) { Moves.emplace_back(Row, Col); };
  B.OnScrollRows = [](TQpTerminalBuffer*, int, int, int) { throw std::runtime_error("scroll"); };
  EXPECT_THROW(B.DoLineFeeds(3), std::runtime_error);
  EXPECT_THROW(B.WriteString("0123456789x"), std::runtime_error);  // wraps at the bottom: a scroll
  B.OnScrollRows = nullptr;
  Moves.clear();
  B.SetCursorPosition(2, 5);
  EXPECT_EQ(Moves, (std::vector<std::pair<int, int>>{{2, 5}}));
}

TEST(TerminalBuffer, OneUpdateNoticeUntilPainterTakesTheChanges) {
  int Notices = 0;
  HWND Wnd = AllocateHWnd([&](TMessage& M) {
    if (M.Msg == qpw_TermNeedsUpdate) ++Notices;
  });
  {
    TQpTerminalBuffer B;
    B.RegisterTerminalHandle(Wnd);
    for (int I = 0; I < 500; ++I) B.WriteChar('x');
    ProcessMessages();
    EXPECT_EQ(Notices, 1);
    TRect R;
    B.GetInvalidRect(R);
    B.WriteChar('y');
    ProcessMessages();
    EXPECT_EQ(Notices, 2);
    B.DeregisterTerminalHandle();
    B.GetInvalidRect(R);
    B.WriteChar('z');
    ProcessMessages();
    EXPECT_EQ(Notices, 2);
  }
  DeallocateHWnd(Wnd);
}

TEST(TerminalBuffer, WideCharacterPlane) {
  TQpTerminalBuffer B(true);
  MakeSmall(B);
  B.WriteString("ab");
  const auto* P = static_cast<const std::uint16_t*>(B.GetLineCharPtr(1));
  EXPECT_EQ(P[0], 'a');
  EXPECT_EQ(P[1], 'b');
  EXPECT_EQ(P[2], ' ');
}

// The five planes share one ring of rows, each plane with its own fill item: a seeded run of
// the buffer's operations on rows (writes anywhere, looks changed between them, line feeds in
// and out of a scroll region, inserted and deleted lines and characters, erasures, default
// colours replaced, resizes) against a plain model of cells, read now and then so that rows
// stay lazy in between.
TEST(TerminalBuffer, PlanesMatchAPlainModel) {
  struct TCell {
    std::uint16_t Ch;
    std::uint8_t Set, Attr;
    TColor Fore, Back;
    bool operator==(const TCell&) const = default;
  };
  for (bool Wide : {false, true}) {
    SCOPED_TRACE(Wide);
    TQpTerminalBuffer B(Wide);
    B.SetColCount(12);
    B.SetSVRowCount(9);
    B.SetRowCount(5);
    std::mt19937 Rnd(Wide ? 11u : 5u);
    const auto Pick = [&](int A, int Z) { return A + int(Rnd() % unsigned(Z - A + 1)); };
    const TColor Colors[] = {Red, Blue, 0x0000FF00, qpc_TermBufForeColor, qpc_TermBufBackColor};
    const auto Blank = [&] { return TCell{' ', B.CharSet(), B.GetCharAttrs(), B.ForeColor(), B.BackColor()}; };
    using TRows = std::vector<std::vector<TCell>>;
    const auto BlankRow = [&] { return std::vector<TCell>(std::size_t(B.ColCount()), Blank()); };
    TRows M(std::size_t(B.SVRowCount()), BlankRow());
    bool Region = false;
    int RegionTop = 1, RegionBottom = 5;  // external rows
    const auto Internal = [&](int ExtRow) { return ExtRow + B.SVRowCount() - B.RowCount() - 1; };
    // Rows [Top, Bottom] (internal) by Count, up when positive; vacated rows blank.
    const auto Scroll = [&](int Count, int Top, int Bottom) {
      const int K = std::min(std::abs(Count), Bottom - Top + 1);
      if (Count > 0) {
        std::rotate(M.begin() + Top, M.begin() + Top + K, M.begin() + Bottom + 1);
        for (int I = Bottom - K + 1; I <= Bottom; ++I) M[std::size_t(I)] = BlankRow();
      } else {
        std::rotate(M.begin() + Top, M.begin() + Bottom + 1 - K, M.begin() + Bottom + 1);
        for (int I = Top; I < Top + K; ++I) M[std::size_t(I)] = BlankRow();
      }
    };
    const auto CheckRow = [&](int I, int Step) {
      const int Ext = I + B.RowCount() - B.SVRowCount() + 1;
      const void* Chars = B.GetLineCharPtr(Ext);
      const std::uint8_t* Sets = B.GetLineCharSetPtr(Ext);
      const TQpTerminalCharAttrs* Attrs = B.GetLineAttrPtr(Ext);
      const TColor* Fores = B.GetLineForeColorPtr(Ext);
      const TColor* Backs = B.GetLineBackColorPtr(Ext);
      ASSERT_TRUE(Chars && Sets && Attrs && Fores && Backs);
      for (int C = 0; C < B.ColCount(); ++C) {
        const std::uint16_t Ch = Wide ? static_cast<const std::uint16_t*>(Chars)[C] : static_cast<const std::uint8_t*>(Chars)[C];
        const TCell Got{Ch, Sets[C], Attrs[C], Fores[C], Backs[C]};
        ASSERT_TRUE(Got == M[std::size_t(I)][std::size_t(C)]) << "step " << Step << " at " << I << "," << C;
      }
    };
    for (int Step = 0; Step < 3000; ++Step) {
      const int Cols = B.ColCount(), Rows = B.RowCount();
      const int R = Pick(1, Rows), C = Pick(1, Cols);
      switch (Pick(0, 11)) {
        case 0: case 1: case 2: {  // text at a place, no further than the row's end
          std::string S(std::size_t(Pick(1, Cols - C + 1)), 'a');
          for (char& Ch : S) Ch = char(Pick('a', 'z'));
          B.SetCursorPosition(R, C);
          // Sometimes with more bytes readable after the text, which must not show.
          const std::string Block = S + std::string(Pick(0, 1) ? 16 : 0, '#');
          B.WriteBytes(reinterpret_cast<const std::uint8_t*>(Block.data()), S.size(), Block.size());
          for (std::size_t J = 0; J < S.size(); ++J) {
            TCell Cell = Blank();
            Cell.Ch = std::uint8_t(S[J]);
            M[std::size_t(Internal(R))][std::size_t(C - 1) + J] = Cell;
          }
          break;
        }
        case 3:  // a new look: each plane's fill item changes on its own
          switch (Pick(0, 3)) {
            case 0: B.SetForeColor(Colors[Pick(0, 4)]); break;
            case 1: B.SetBackColor(Colors[Pick(0, 4)]); break;
            case 2: B.SetCharAttrs(TQpTerminalCharAttrs(Pick(0, 3))); break;
            default: B.SetCharSet(std::uint8_t(Pick(0, 2)));
          }
          break;
        case 4: {  // line feeds at the bottom of the region or the screen
          const int Count = Pick(1, 3) == 1 ? Pick(2, 7) : 1;
          B.SetCursorPosition(Region ? RegionBottom : Rows, C);
          B.DoLineFeeds(Count);
          if (Region) Scroll(Count, Internal(RegionTop), Internal(RegionBottom));
          else Scroll(Count, 0, B.SVRowCount() - 1);
          break;
        }
        case 5:
          if (Pick(0, 2) == 0) {
            B.SetUseScrollRegion(false);
            Region = false;
          } else {
            RegionTop = Pick(1, Rows - 1), RegionBottom = Pick(RegionTop + 1, Rows);
            B.SetScrollRegion(RegionTop, RegionBottom);
            Region = !(RegionTop == 1 && RegionBottom == Rows);
          }
          break;
        case 6: {  // lines inserted or deleted at the cursor, inside the region only
          const int N = Pick(1, Rows + 1);
          const int Top = Region ? RegionTop : 1, Bottom = Region ? RegionBottom : Rows;
          B.SetCursorPosition(R, C);
          const bool Insert = Pick(0, 1) == 0;
          if (Insert) B.InsertLines(N);
          else B.DeleteLines(N);
          if (R >= Top && R <= Bottom) Scroll(Insert ? -N : N, Internal(R), Internal(Bottom));
          break;
        }
        case 7: {
          B.SetCursorPosition(R, C);
          auto& Row = M[std::size_t(Internal(R))];
          switch (Pick(0, 2)) {
            case 0: B.EraseLine(), std::fill(Row.begin(), Row.end(), Blank()); break;
            case 1: B.EraseToEOL(), std::fill(Row.begin() + C - 1, Row.end(), Blank()); break;
            default: B.EraseFromBOL(), std::fill(Row.begin(), Row.begin() + C, Blank());
          }
          break;
        }
        case 8: {
          const int N = Pick(1, Cols);
          const int K = std::min(N, Cols - C + 1);
          B.SetCursorPosition(R, C);
          auto& Row = M[std::size_t(Internal(R))];
          if (Pick(0, 1) == 0) {
            B.InsertChars(N);
            Row.insert(Row.begin() + C - 1, std::size_t(K), Blank());
            Row.resize(std::size_t(Cols));
          } else {
            B.DeleteChars(N);
            Row.erase(Row.begin() + C - 1, Row.begin() + C - 1 + K);
            Row.resize(std::size_t(Cols), Blank());
          }
          break;
        }
        case 9: {  // a default colour replaced wherever cells hold it, blank ones included
          const TColor V = Colors[Pick(0, 4)];
          const bool Fore = Pick(0, 1) == 0;
          const TColor Old = Fore ? B.DefForeColor() : B.DefBackColor();
          if (Fore) B.SetDefForeColor(V);
          else B.SetDefBackColor(V);
          for (auto& Row : M)
            for (TCell& Cell : Row) {
              TColor& X = Fore ? Cell.Fore : Cell.Back;
              if (X == Old) X = V;
            }
          break;
        }
        case 10: {  // bottom-aligned, first columns kept; the region goes
          if (Pick(0, 3) != 0) break;
          const int OldSV = B.SVRowCount();
          switch (Pick(0, 2)) {
            case 0: B.SetSVRowCount(Pick(3, 11)); break;
            case 1: B.SetColCount(Pick(4, 14)); break;
            default: B.SetRowCount(Pick(2, B.SVRowCount()));
          }
          if (B.SVRowCount() == OldSV && B.ColCount() == Cols && B.RowCount() == Rows) break;  // the same size: nothing
          TRows New(std::size_t(B.SVRowCount()), BlankRow());
          for (std::size_t I = 1; I <= std::min(New.size(), M.size()); ++I)
            for (std::size_t J = 0; J < std::min(New[0].size(), M[0].size()); ++J) New[New.size() - I][J] = M[M.size() - I][J];
          M = std::move(New);
          Region = false;
          break;
        }
        default:
          if (Pick(0, 5) == 0) {
            B.EraseAll();
            for (auto& Row : M) Row = BlankRow();
          }
      }
      if (Pick(0, 3) == 0) CheckRow(Pick(0, B.SVRowCount() - 1), Step);
      if (Step % 100 == 99)
        for (int I = 0; I < B.SVRowCount(); ++I) CheckRow(I, Step);
      if (HasFatalFailure()) return;
    }
  }
}

// ---- one plane ----

TEST(TerminalArray, InsertDeleteScrollForEveryItemSize) {
  for (int Size : {1, 2, 4, 3}) {
    SCOPED_TRACE(Size);
    TadTerminalArray A(Size);
    EXPECT_EQ(A.ItemSize(), Size == 3 ? 1 : Size);
    A.SetDefaultItem(0);
    A.Resize(3, 5);
    for (int C = 0; C < 5; ++C) A.WriteDupItems(std::uint32_t(C + 1), 1, 0, C);
    A.InsertItems(2, 0, 1);
    std::vector<std::uint32_t> Row;
    for (int C = 0; C < 5; ++C) Row.push_back(A.GetItem(0, C));
    EXPECT_EQ(Row, (std::vector<std::uint32_t>{1, 0, 0, 2, 3}));
    A.DeleteItems(INT_MAX, 0, 3);
    Row.clear();
    for (int C = 0; C < 5; ++C) Row.push_back(A.GetItem(0, C));
    EXPECT_EQ(Row, (std::vector<std::uint32_t>{1, 0, 0, 0, 0}));
    A.ScrollRows(-1, 0, 2);
    EXPECT_EQ(A.GetItem(1, 0), 1u);
    A.ScrollRows(INT_MIN, 2, 0);
    EXPECT_EQ(A.GetItem(1, 0), 0u);
  }
}

TEST(TerminalArray, OutsideArgumentsDoNothing) {
  TadTerminalArray A(4);
  EXPECT_EQ(A.GetItemPtr(0, 0), nullptr);  // no storage yet
  A.SetDefaultItem(7);
  A.Resize(2, 3);
  const std::uint32_t Items[4] = {1, 2, 3, 4};
  A.WriteItems(Items, 4, 0, 5);
  A.WriteItems(Items, 4, 0, -1);
  A.WriteItems(Items, 4, 2, 0);
  A.WriteItems(Items, -4, 0, 0);
  A.WriteDupItems(9, 10, -1, 0);
  A.ClearItems(0, -5, 100);
  A.InsertItems(1, 0, 3);
  A.DeleteItems(1, 5, 0);
  A.ScrollRows(1, 5, 9);
  EXPECT_EQ(A.GetItemPtr(0, 3), nullptr);
  EXPECT_EQ(A.GetItemPtr(-1, 0), nullptr);
  A.WriteItems(Items, 4, 1, 1);  // cut at the row's end
  EXPECT_EQ(A.GetItem(1, 0), 7u);
  EXPECT_EQ(A.GetItem(1, 1), 1u);
  EXPECT_EQ(A.GetItem(1, 2), 2u);
}

TEST(TerminalArray, ResizeIsBottomAligned) {
  TadTerminalArray A(1);
  A.SetDefaultItem('.');
  A.Resize(3, 4);
  for (int R = 0; R < 3; ++R) A.WriteDupItems(std::uint32_t('a' + R), 4, R, 0);
  A.ScrollRows(1, 0, 2);  // rotates the ring first
  A.Resize(4, 2);
  std::string S;
  for (int R = 0; R < 4; ++R) S += char(A.GetItem(R, 0)), S += char(A.GetItem(R, 1));
  EXPECT_EQ(S, "..bbcc..");
}

// Rows are filled lazily (a scrolled-in row is only marked blank, a write fills the blank
// columns between it and the row's real items): a seeded run of every operation against a
// plain model of rows of items, read both without and with making rows real.
TEST(TerminalArray, LazyRowsMatchAPlainModel) {
  for (int Size : {1, 2, 4}) {
    SCOPED_TRACE(Size);
    const std::uint32_t Mask = Size == 1 ? 0xFFu : Size == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    std::mt19937 Rnd(std::uint32_t(7 + Size));
    const auto Pick = [&](int A, int B) { return A + int(Rnd() % unsigned(B - A + 1)); };
    const std::uint32_t Values[] = {0, 1, 2, 3, 0x1234567u};
    const auto Value = [&] { return Values[Rnd() % 5]; };
    TadTerminalArray A(Size);
    std::uint32_t Default = 9;
    A.SetDefaultItem(Default);
    int Rows = 5, Cols = 7;
    A.Resize(Rows, Cols);
    std::vector<std::vector<std::uint32_t>> M(static_cast<std::size_t>(Rows), std::vector<std::uint32_t>(static_cast<std::size_t>(Cols), Default));
    const auto Cell = [&](int R, int C) -> std::uint32_t& { return M[std::size_t(R)][std::size_t(C)]; };
    for (int Step = 0; Step < 4000; ++Step) {
      const int Op = Pick(0, 10), R = Pick(0, Rows - 1), C = Pick(0, Cols - 1), N = Pick(1, Cols + 1);
      switch (Op) {
        case 0: case 1: {  // a run of items, most often where the last one ended
          std::vector<std::uint32_t> Items(static_cast<std::size_t>(N));
          for (auto& V : Items) V = Value();
          std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(N * Size));
          for (int I = 0; I < N; ++I) std::memcpy(&Bytes[std::size_t(I * Size)], &Items[std::size_t(I)], std::size_t(Size));
          A.WriteItems(Bytes.data(), N, R, C);
          for (int I = 0; I < N && C + I < Cols; ++I) Cell(R, C + I) = Items[std::size_t(I)] & Mask;
          break;
        }
        case 2: case 3: {
          const std::uint32_t V = Value();
          A.WriteDupItems(V, N, R, C);
          for (int I = 0; I < N && C + I < Cols; ++I) Cell(R, C + I) = V & Mask;
          break;
        }
        case 4: {
          const int To = Pick(-1, Cols);
          A.ClearItems(R, C, To);
          for (int I = std::max(C, 0); I <= std::min(To, Cols - 1); ++I) Cell(R, I) = Default;
          break;
        }
        case 5: {
          const int Count = Pick(-Rows - 1, Rows + 1), Top = Pick(0, Rows - 1), Bottom = Pick(0, Rows - 1);
          A.ScrollRows(Count, Top, Bottom);
          const int Lo = std::min(Top, Bottom), Hi = std::max(Top, Bottom), K = std::min(std::abs(Count), Hi - Lo + 1);
          if (Count > 0) {
            for (int I = Lo; I <= Hi; ++I) M[std::size_t(I)] = I + K <= Hi ? M[std::size_t(I + K)] : std::vector<std::uint32_t>(static_cast<std::size_t>(Cols), Default);
          } else if (Count < 0) {
            for (int I = Hi; I >= Lo; --I) M[std::size_t(I)] = I - K >= Lo ? M[std::size_t(I - K)] : std::vector<std::uint32_t>(static_cast<std::size_t>(Cols), Default);
          }
          break;
        }
        case 6:
          A.ScrollRows(1, 0, Rows - 1);  // the whole plane by one, the ring's own step
          M.erase(M.begin());
          M.emplace_back(static_cast<std::size_t>(Cols), Default);
          break;
        case 7:
          if (Rnd() % 2) {
            A.InsertItems(N, R, C);
            auto& Row = M[std::size_t(R)];
            Row.insert(Row.begin() + C, std::size_t(std::min(N, Cols - C)), Default);
            Row.resize(static_cast<std::size_t>(Cols));
          } else {
            A.DeleteItems(N, R, C);
            auto& Row = M[std::size_t(R)];
            Row.erase(Row.begin() + C, Row.begin() + C + std::min(N, Cols - C));
            Row.resize(static_cast<std::size_t>(Cols), Default);
          }
          break;
        case 8:  // a new fill item: rows blanked before keep the old one
          Default = Value() & Mask;
          A.SetDefaultItem(Default);
          if (Rnd() % 8 == 0) {
            A.Clear();
            for (auto& Row : M) std::fill(Row.begin(), Row.end(), Default);
          }
          break;
        case 9: {
          const std::uint32_t Old = Value(), New = Value();
          A.ReplaceItems(Old, New);
          for (auto& Row : M) std::replace(Row.begin(), Row.end(), Old & Mask, New & Mask);
          break;
        }
        default:
          if (Rnd() % 8 == 0) {  // bottom-aligned, first columns kept
            const int NewRows = Pick(2, 6), NewCols = Pick(2, 9);
            A.Resize(NewRows, NewCols);
            std::vector<std::vector<std::uint32_t>> New(static_cast<std::size_t>(NewRows), std::vector<std::uint32_t>(static_cast<std::size_t>(NewCols), Default));
            for (int I = 1; I <= std::min(Rows, NewRows); ++I)
              for (int J = 0; J < std::min(Cols, NewCols); ++J) New[std::size_t(NewRows - I)][std::size_t(J)] = M[std::size_t(Rows - I)][std::size_t(J)];
            M = std::move(New);
            Rows = NewRows, Cols = NewCols;
          }
      }
      for (int I = 0; I < Rows; ++I)
        for (int J = 0; J < Cols; ++J) ASSERT_EQ(A.GetItem(I, J), Cell(I, J)) << "step " << Step << " op " << Op << " at " << I << "," << J;
      if (Rnd() % 3 == 0) {  // a row's address: the whole row real
        const int I = Pick(0, Rows - 1);
        const auto* P = static_cast<const std::uint8_t*>(std::as_const(A).GetItemPtr(I, 0));
        ASSERT_NE(P, nullptr);
        for (int J = 0; J < Cols; ++J) {
          std::uint32_t V = 0;
          std::memcpy(&V, P + J * Size, std::size_t(Size));
          ASSERT_EQ(V, Cell(I, J)) << "step " << Step << " row " << I << "," << J;
        }
      }
    }
  }
}

}  // namespace
