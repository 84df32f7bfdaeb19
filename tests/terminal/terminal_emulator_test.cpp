// Emulator base and command set, and the TTY emulator's input and keys: golden screens after
// command lists and streams, parameter lookup, reports, linking.

#include "terminal/tty_emulator.h"

#include "fake_terminal.h"
#include "platform/messages.h"
#include "screen_dump.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>

namespace {

constexpr TColor Red = 0x000000FF;

void MakeSmall(TQpTerminalBuffer& B) {
  B.SetColCount(10);
  B.SetSVRowCount(8);
  B.SetRowCount(4);
  B.SetCursorPosition(1, 1);
}

// ---- parameter lookup ----

TEST(CommandParams, LookupByNameThenPositionThenDefault) {
  TQpEmuCommandParams P;
  P.Add("", "5");
  P.Add("Col", "3");
  P.Add("Flag", "Yes");
  P.Add("Odd", "maybe");
  P.Add("Big", "99999999999");
  P.Add("Neg", "-7");
  P.Add("Junk", "12abc");
  P.Add("Colour", "4294967295");
  struct TCase {
    std::function<long long()> Get;
    long long Expected;
  };
  const TCase Cases[] = {
      {[&] { return P.GetIntegerValue("Row", 0, 1); }, 5},            // by position
      {[&] { return P.GetIntegerValue("Col", 0, 1); }, 3},            // by name over position
      {[&] { return P.GetIntegerValue("col", 9, 1); }, 1},            // names are case-sensitive
      {[&] { return P.GetIntegerValue("", 0, 1); }, 5},               // empty name: position
      {[&] { return P.GetIntegerValue("", 1, 1); }, 1},               // positions skip named ones
      {[&] { return P.GetIntegerValue("Big", 0, 42); }, 42},          // overflow is a conversion error
      {[&] { return P.GetIntegerValue("Neg", 0, 42); }, -7},
      {[&] { return P.GetIntegerValue("Junk", 0, 42); }, 42},
      {[&] { return P.GetIntegerValue("None", -1, 42); }, 42},
      {[&] { return P.GetIntegerValue("None", INT_MAX, 42); }, 42},
      {[&] { return P.GetBooleanValue("Flag", 0, false); }, 1},       // "Yes", any case
      {[&] { return P.GetBooleanValue("Odd", 0, true); }, 1},         // unknown word: default
      {[&] { return P.GetBooleanValue("Odd", 0, false); }, 0},
      {[&] { return P.GetTColorValue("Colour", 0, 0); }, 0xFFFFFFFFLL},
      {[&] { return P.GetTColorValue("Big", 0, 7); }, 7},
  };
  for (std::size_t I = 0; I < std::size(Cases); ++I) EXPECT_EQ(Cases[I].Get(), Cases[I].Expected) << "case " << I;
  EXPECT_EQ(P.GetStringValue("Flag", 0, "d"), "Yes");
  EXPECT_EQ(P.FindName(""), -1);
  EXPECT_EQ(P.FindName("Col"), 1);
}

TEST(CommandParams, ArgumentsStoredAsText) {
  TQpEmuCommandList L;
  TQpEmuCommandListItem& I = L.AddCommand(ecCursorPos).AddBooleanArg(true).AddNamedIntegerArg("N", -3).AddTColorArg(0x00C0C0C0);
  ASSERT_EQ(I.Params.Count(), 3);
  EXPECT_EQ(I.Params.Item(0).Value, "TRUE");
  EXPECT_EQ(I.Params.Item(1).Name, "N");
  EXPECT_EQ(I.Params.Item(1).Value, "-3");
  EXPECT_EQ(I.Params.Item(2).Value, "12632256");
}

// ---- command lists against the screen ----

struct TCommandCase {
  const char* Name;
  std::function<void(TQpEmuCommandList&)> Build;
  const char* Expected;
};

class CommandCases : public ::testing::TestWithParam<TCommandCase> {};

TEST_P(CommandCases, GoldenScreen) {
  TQpTTYEmulator E;
  MakeSmall(*E.Buffer());
  E.Buffer()->WriteString("abcdefghij" "klmnopqrst" "uvwxyz");
  TQpEmuCommandList L;
  GetParam().Build(L);
  E.teProcessCommandList(L);
  EXPECT_EQ(ScreenDump(*E.Buffer()), GetParam().Expected);
}

const TCommandCase GCommandCases[] = {
    {"PositionalArgs", [](TQpEmuCommandList& L) { L.AddCommand(ecCursorPos).AddStringArg("2").AddStringArg("4"); },
     "abcdefghij|klmnopqrst|uvwxyz@2,4"},
    {"NamedColOnly", [](TQpEmuCommandList& L) { L.AddCommand(ecCursorPos).AddNamedStringArg("Col", "3"); },
     "abcdefghij|klmnopqrst|uvwxyz@1,3"},
    {"DefaultsHome", [](TQpEmuCommandList& L) { L.AddCommand(ecCursorPos); }, "abcdefghij|klmnopqrst|uvwxyz@1,1"},
    {"WriteString",
     [](TQpEmuCommandList& L) {
       L.AddCommand(ecHome);
       L.AddCommand(ecWriteString).AddStringArg("XY");
     },
     "XYcdefghij|klmnopqrst|uvwxyz@1,3"},
    {"DeleteAndInsert",
     [](TQpEmuCommandList& L) {
       L.AddCommand(ecCursorPos).AddIntegerArg(2).AddIntegerArg(2);
       L.AddCommand(ecDeleteChars).AddIntegerArg(3);
       L.AddCommand(ecInsertChars);
     },
     "abcdefghij|k opqrst|uvwxyz@2,2"},
    {"InsertLineDefaultCount",
     [](TQpEmuCommandList& L) {
       L.AddCommand(ecCursorPos).AddIntegerArg(2);
       L.AddCommand(ecInsertLines);
     },
     "abcdefghij||klmnopqrst|uvwxyz@2,1"},
    {"EraseFamily",
     [](TQpEmuCommandList& L) {
       L.AddCommand(ecCursorPos).AddIntegerArg(2).AddIntegerArg(5);
       L.AddCommand(ecEraseToEOL);
       L.AddCommand(ecCursorUp);
       L.AddCommand(ecEraseFromBOL);
     },
     "     fghij|klmn|uvwxyz@1,5"},
    {"ClearAndHome", [](TQpEmuCommandList& L) { L.AddCommand(ecClearAndHome); }, "@1,1"},
    {"DECALN", [](TQpEmuCommandList& L) { L.AddCommand(ecDECALN); },
     "EEEEEEEEEE|EEEEEEEEEE|EEEEEEEEEE|EEEEEEEEEE@3,7"},
    {"CursorEdges",
     [](TQpEmuCommandList& L) {
       L.AddCommand(ecCursorBottom);
       L.AddCommand(ecCursorEOL);
     },
     "abcdefghij|klmnopqrst|uvwxyz@4,10"},
    {"CursorDownScrollsOnlyWhenAsked",
     [](TQpEmuCommandList& L) {
       L.AddCommand(ecCursorBottom);
       L.AddCommand(ecCursorDown);
       L.AddCommand(ecCursorDown).AddNamedBooleanArg("Scroll", true);
     },
     "klmnopqrst|uvwxyz@4,7"},
    {"RightWrap",
     [](TQpEmuCommandList& L) {
       L.AddCommand(ecCursorEOL);
       L.AddCommand(ecCursorRight).AddBooleanArg(true);
     },
     "abcdefghij|klmnopqrst|uvwxyz@4,1"},
    {"RegionAndNEL",
     [](TQpEmuCommandList& L) {
       L.AddCommand(ecSetScrollRegion).AddIntegerArg(1).AddIntegerArg(3);
       L.AddCommand(ecCursorPos).AddIntegerArg(3).AddIntegerArg(5);
       L.AddCommand(ecNEL);
     },
     "klmnopqrst|uvwxyz@3,1"},
    {"SaveRestore",
     [](TQpEmuCommandList& L) {
       L.AddCommand(ecCursorPos).AddIntegerArg(2).AddIntegerArg(6);
       L.AddCommand(ecSaveCursorPos);
       L.AddCommand(ecHome);
       L.AddCommand(ecRestoreCursorPos);
     },
     "abcdefghij|klmnopqrst|uvwxyz@2,6"},
    {"TabsAndBackTab",
     [](TQpEmuCommandList& L) {
       L.AddCommand(ecHome);
       L.AddCommand(ecTabHorz);
       L.AddCommand(ecClearAllHorzTabStops);
       L.AddCommand(ecBackTabHorz);
     },
     "abcdefghij|klmnopqrst|uvwxyz@1,1"},
    {"Reset", [](TQpEmuCommandList& L) { L.AddCommand(ecReset); }, "@1,1"},
};

INSTANTIATE_TEST_SUITE_P(Emulator, CommandCases, ::testing::ValuesIn(GCommandCases),
                         [](const auto& I) { return std::string(I.param.Name); });

TEST(EmulatorCommands, CursorPosWithoutParamsHomes) {
  TQpTTYEmulator E;
  E.Buffer()->SetCursorPosition(5, 5);
  E.teProcessCommand(ecCursorPos, nullptr);
  EXPECT_EQ(E.Buffer()->Row(), 1);
  EXPECT_EQ(E.Buffer()->Col(), 1);
}

TEST(EmulatorCommands, AttributeFamilies) {
  TQpTTYEmulator E;
  TQpTerminalBuffer& B = *E.Buffer();
  auto Run = [&](std::initializer_list<TQpEmuCommand> Cs) {
    for (TQpEmuCommand C : Cs) E.teProcessCommand(C, nullptr);
    return B.GetCharAttrs();
  };
  EXPECT_EQ(Run({ecAddBold, ecAddUnderLine}), AttrBit(tcaBold) | AttrBit(tcaUnderline));
  EXPECT_EQ(Run({ecRemoveBold}), AttrBit(tcaUnderline));
  EXPECT_EQ(Run({ecReverseOnly}), AttrBit(tcaReverse));
  EXPECT_EQ(Run({ecInvertBlink, ecInvertReverse}), AttrBit(tcaBlink));
  EXPECT_EQ(Run({ecAddSelected, ecInvertSelected, ecInvertSelected}), AttrBit(tcaBlink) | AttrBit(tcaSelected));
  EXPECT_EQ(Run({ecRemoveAllAttrIgnoreSelect}), AttrBit(tcaSelected));
  EXPECT_EQ(Run({ecAddInvisible, ecAddStrikethrough, ecRemoveSelected}), AttrBit(tcaInvisible) | AttrBit(tcaStrikethrough));
  EXPECT_EQ(Run({ecSelectedOnly}), AttrBit(tcaSelected));
  EXPECT_EQ(Run({ecRemoveAllAttr}), 0);
  TQpEmuCommandList L;
  L.AddCommand(ecSetCharAttr).AddNamedBooleanArg("Reverse", true).AddBooleanArg(true);
  E.teProcessCommandList(L);
  EXPECT_EQ(B.GetCharAttrs(), AttrBit(tcaBold) | AttrBit(tcaReverse));
  EXPECT_EQ(B.GetLineAttrPtr(1)[0], 0);  // the current attributes are the fill of the next erase
  E.teProcessCommand(ecEraseLine, nullptr);
  EXPECT_EQ(B.GetLineAttrPtr(1)[0], AttrBit(tcaBold) | AttrBit(tcaReverse));
}

TEST(EmulatorCommands, CommandListReportsTheCursorOnce) {
  TFakeTerminal T;
  TQpTTYEmulator E;
  E.SetTerminal(&T);
  TQpEmuCommandList L;
  L.AddCommand(ecCursorPos).AddIntegerArg(2).AddIntegerArg(2);
  L.AddCommand(ecWriteString).AddStringArg("ab");
  L.AddCommand(ecCursorPos).AddIntegerArg(5).AddIntegerArg(5);
  E.teProcessCommandList(L);
  const std::vector<std::pair<int, int>> Expected{{5, 5}};
  EXPECT_EQ(T.Moves, Expected);
}

TEST(EmulatorCommands, NELInNewLineModeReturnsOnce) {
  TQpTTYEmulator E;
  TQpTerminalBuffer& B = *E.Buffer();
  int Moves = 0;
  B.OnCursorMoved = [&](TQpTerminalBuffer*, int, int) { ++Moves; };
  B.SetUseNewLineMode(true);
  B.SetCol(5);
  Moves = 0;
  E.teProcessCommand(ecNEL, nullptr);
  EXPECT_EQ(B.Row(), 2);
  EXPECT_EQ(B.Col(), 1);
  EXPECT_EQ(Moves, 2);  // the return, then the line feed; no second return
}

TEST(EmulatorCommands, ReportsOnlyFromTheMasterTerminal) {
  struct TCase {
    bool Linked, Port, Master;
    bool Sends;
  };
  const TCase Cases[] = {{true, true, true, true}, {true, true, false, false}, {true, false, true, false}, {false, true, true, false}};
  for (const TCase& C : Cases) {
    TFakeTerminal T;
    T.Port = C.Port;
    T.Master = C.Master;
    TQpTTYEmulator E;
    if (C.Linked) E.SetTerminal(&T);
    E.Buffer()->SetCursorPosition(3, 7);
    TQpEmuCommandList L;
    L.AddCommand(ecDeviceAttributesReport);
    L.AddCommand(ecDeviceAttributesReport).AddIntegerArg(52);
    L.AddCommand(ecDeviceAttributesReport).AddIntegerArg(1);
    L.AddCommand(ecDeviceStatusReport);
    L.AddCommand(ecDeviceStatusReport).AddIntegerArg(6);
    L.AddCommand(ecDeviceStatusReport).AddIntegerArg(7);
    L.AddCommand(ecAnswerback);
    E.teProcessCommandList(L);
    EXPECT_EQ(T.Sent, C.Sends ? std::string("\x1b[?1;0c\x1b/Z\x1b[0n\x1b[3;7RQPterm") : std::string());
  }
}

TEST(EmulatorCommands, ColoursCursorTypeAndBellReachTheTerminal) {
  TFakeTerminal T;
  TQpTTYEmulator E;
  E.SetTerminal(&T);
  TQpEmuCommandList L;
  L.AddCommand(ecForeColor).AddTColorArg(Red).AddBooleanArg(false);
  L.AddCommand(ecBackColor).AddTColorArg(0x00112233);
  L.AddCommand(ecCursorUnderline);
  L.AddCommand(ecBell);
  E.ExecuteTerminalCommands(L);
  EXPECT_EQ(E.Buffer()->ForeColor(), Red);
  EXPECT_EQ(T.Fore, qpc_TermBufForeColor);  // not persistent
  EXPECT_EQ(T.Back, 0x00112233u);
  EXPECT_EQ(T.Cursor, ctUnderline);
  EXPECT_EQ(T.Bells, 1);
  EXPECT_EQ(T.Repaints, 1);
}

// ---- linking ----

TEST(EmulatorLinks, OneExternalEmulatorPerTerminal) {
  const int Before = TQpTerminalEmulator::LinkCount();
  TFakeTerminal T;
  auto First = std::make_unique<TQpTTYEmulator>();
  TQpTTYEmulator Second;
  First->SetTerminal(&T);
  EXPECT_EQ(T.Emulator(), First.get());
  Second.SetTerminal(&T);
  EXPECT_EQ(T.Emulator(), &Second);
  EXPECT_EQ(First->Terminal(), nullptr);
  EXPECT_EQ(TQpTerminalEmulator::LinkCount(), Before + 1);
  First->SetTerminal(&T);
  EXPECT_EQ(Second.Terminal(), nullptr);
  First.reset();  // freeing it returns the terminal to its default emulator
  EXPECT_EQ(T.Emulator(), nullptr);
  EXPECT_EQ(TQpTerminalEmulator::LinkCount(), Before);
  TQpTTYEmulator Default(true);
  Default.SetTerminal(&T);
  EXPECT_EQ(T.Emulator(), nullptr);  // default emulators are never listed
  EXPECT_EQ(TQpTerminalEmulator::LinkCount(), Before);
}

TEST(EmulatorLinks, TerminalGoingAwayUnlinks) {
  TQpTTYEmulator E;
  {
    TFakeTerminal T;
    E.SetTerminal(&T);
  }
  EXPECT_EQ(E.Terminal(), nullptr);
  E.ProcessString("x\a");  // no terminal: no bell, no fault
}

// ---- the TTY's input ----

struct TStreamCase {
  const char* Name;
  std::string Stream;
  const char* Expected;
};

class TtyStreams : public ::testing::TestWithParam<TStreamCase> {};

TEST_P(TtyStreams, GoldenScreen) {
  TQpTTYEmulator E;
  MakeSmall(*E.Buffer());
  E.ProcessString(GetParam().Stream);
  EXPECT_EQ(ScreenDump(*E.Buffer()), GetParam().Expected);
}

const TStreamCase GStreamCases[] = {
    {"CarriageReturnOverwrites", "AB\rC", "CB@1,2"},
    {"DeviceLinesShareARow", "[LINKOK]\r[05C1C5]\r", "[05C1C5]@1,1"},
    {"EscapeIgnoredRestPrinted", "\x1b[2J", "[2J@1,4"},
    {"OtherControlsIgnored", std::string("a\x00\x01\x0b\x0c\x1f\x7f" "b", 8), "a\x7f" "b@1,4"},
    {"HighBytesAreCells", "\xe9\x80\xff", "\xe9\x80\xff@1,4"},
    {"LineFeedKeepsColumn", "ab\ncd", "ab|  cd@2,5"},
    {"LineFeedAtBottomScrolls", "1\r\n2\r\n3\r\n4\r\n5", "2|3|4|5@4,2"},
    {"TabAndBackspace", "a\tb\b\bc", "a      cb@1,9"},
    {"WrapAcrossRows", "0123456789abc", "0123456789|abc@2,4"},
};

INSTANTIATE_TEST_SUITE_P(Tty, TtyStreams, ::testing::ValuesIn(GStreamCases),
                         [](const auto& I) { return std::string(I.param.Name); });

// A carriage return that also feeds a line: device lines ended by CR alone become a list, and
// CR LF still ends one line (a dropped byte between them aside).
TEST(TtyEmulator, NewLineAfterCarriageReturn) {
  struct TCase {
    std::string Stream;
    const char* Expected;
  };
  const TCase Cases[] = {
      {"[LINKOK]\r[05C1C5]\r", "[LINKOK]|[05C1C5]@3,1"},
      {"a\r\nb", "a|b@2,2"},
      {std::string("a\r\0\nb", 5), "a|b@2,2"},
      {"a\r\n\nb", "a||b@3,2"},
      {"a\n\rb", "a||b@3,2"},
      {"a\r\rb", "a||b@3,2"},
      {"1\r2\r3\r4\r5", "2|3|4|5@4,2"},  // at the bottom it scrolls
  };
  for (const TCase& C : Cases) {
    TFakeTerminal T;
    T.CrFeeds = true;
    TQpTTYEmulator E;
    E.SetTerminal(&T);
    MakeSmall(*E.Buffer());
    E.ProcessString(C.Stream);
    EXPECT_EQ(ScreenDump(*E.Buffer()), C.Expected) << C.Stream;
  }
}

TEST(TtyEmulator, StreamSplitAnywhereGivesTheSameScreen) {
  const std::string S = std::string("abc\r\ndefghijklmnop\tq\b\r\n\x1b[1mX\x07\nyz\rCR\r\0\nLF\r\n\n", 43);
  for (const bool CrFeeds : {false, true}) {
    TFakeTerminal T;
    T.CrFeeds = CrFeeds;
    const auto Fresh = [&] {
      auto E = std::make_unique<TQpTTYEmulator>(true);  // a default one: several may serve one host
      E->SetTerminal(&T);
      MakeSmall(*E->Buffer());
      return E;
    };
    const auto Whole = Fresh();
    Whole->ProcessString(S);
    for (std::size_t Cut = 1; Cut < S.size(); ++Cut) {
      const auto E = Fresh();
      E->ProcessString(S.substr(0, Cut));
      E->ProcessString(S.substr(Cut));
      EXPECT_EQ(ScreenDump(*E->Buffer()), ScreenDump(*Whole->Buffer())) << CrFeeds << " " << Cut;
    }
  }
}

// Printable runs are scanned a word at a time past their first 16 bytes and written to every
// plane at once: a control byte anywhere in a long run, and runs past a row's end, give the
// screen the byte-at-a-time path gives (a character handler that changes nothing).
TEST(TtyEmulator, LongRunsGiveTheSameScreenAsOneByteAtATime) {
  const std::string Text = "The quick brown fox jumps over the lazy dog; 0123456789 abcdefghijklmnopqrstuvwxyz!";
  for (const char Control : {'\r', '\n', '\b', '\t', '\x01'}) {
    for (std::size_t At = 0; At < 48; ++At) {
      std::string S = Text + Text;
      S.insert(At, 1, Control);
      TQpTTYEmulator Fast, Slow;
      Slow.OnProcessChar = [](TQpTerminalEmulator*, char, std::string&, TQpEmuCommandList&, TQpCharSource) {};
      Fast.ProcessString(S);
      Slow.ProcessString(S);
      EXPECT_EQ(ScreenDump(*Fast.Buffer()), ScreenDump(*Slow.Buffer())) << int(Control) << " at " << At;
    }
  }
}

TEST(TtyEmulator, BellSoundsThroughTheTerminal) {
  TFakeTerminal T;
  TQpTTYEmulator E;
  E.SetTerminal(&T);
  E.ProcessString("\a\a");
  EXPECT_EQ(T.Bells, 2);
}

TEST(TtyEmulator, OnProcessCharReplacesAndAddsCommands) {
  TQpTTYEmulator E;
  MakeSmall(*E.Buffer());
  std::vector<TQpCharSource> Sources;
  E.OnProcessChar = [&](TQpTerminalEmulator*, char C, std::string& Replace, TQpEmuCommandList& Commands, TQpCharSource Src) {
    Sources.push_back(Src);
    if (C == '#') Replace = "<\r>";
    if (C == '!') {
      Replace.clear();
      Commands.AddCommand(ecCursorPos).AddIntegerArg(3).AddIntegerArg(2);
    }
  };
  E.ProcessString("ab#!c", csWriteChar);
  EXPECT_EQ(ScreenDump(*E.Buffer()), ">b<|| c@3,3");
  EXPECT_EQ(Sources, std::vector<TQpCharSource>(5, csWriteChar));
}

TEST(TtyEmulator, KeysSentInTheAnsiCodePage) {
  struct TCase {
    std::u16string Typed;
    std::string Sent;
  };
  const TCase Cases[] = {
      {u"a", "a"},
      {u"\b", "\x7f"},
      {u"\u20ac", "\x80"},          // the euro sign, not its low byte 0xAC
      {u"\u00e9", "\xe9"},
      {u"\u0100", "?"},             // no such character in the code page
      {u"\U0001F600", "?"},         // one character, one question mark
      {u"x\u2122y", "x\x99y"},
  };
  for (const TCase& C : Cases) {
    TFakeTerminal T;
    TQpTTYEmulator E;
    E.SetTerminal(&T);
    E.KeyPressText(C.Typed);
    EXPECT_EQ(T.Sent, C.Sent);
  }
  TFakeTerminal T;
  TQpTTYEmulator E;
  E.SetTerminal(&T);
  char16_t Key = 8;
  E.KeyPress(Key);
  EXPECT_EQ(Key, 127);
  Key = u'\u20ac';
  E.KeyPress(Key);
  EXPECT_EQ(T.Sent, "\x7f\x80");
}

TEST(TtyEmulator, HalfDuplexEchoesAndClosedPortDrops) {
  TFakeTerminal T;
  T.Half = true;
  T.Open = false;
  TQpTTYEmulator E;
  E.SetTerminal(&T);
  E.KeyPressText(u"hi");
  EXPECT_EQ(T.Sent, "");
  EXPECT_EQ(ScreenDump(*E.Buffer(), 1, 1), "hi@1,3");
  T.Open = true;
  T.Half = false;
  E.KeyPressText(u"!");
  EXPECT_EQ(T.Sent, "!");
  EXPECT_EQ(ScreenDump(*E.Buffer(), 1, 1), "hi@1,3");
}

TEST(TtyEmulator, CursorMovesReachTheTerminalOncePerBlock) {
  TFakeTerminal T;
  T.Follow = true;
  TQpTTYEmulator E;
  E.SetTerminal(&T);
  E.ProcessString("hello world\r\n");
  E.ProcessString("\r");  // no move, no report
  E.ProcessString("ab");
  const std::vector<std::pair<int, int>> Expected{{2, 1}, {2, 3}};
  EXPECT_EQ(T.Moves, Expected);
  EXPECT_EQ(T.Follows, 2);
}

TEST(TtyEmulator, CursorHookPostsOneNoticeUnlessLazy) {
  int Notices = 0;
  HWND Wnd = AllocateHWnd([&](TMessage& M) {
    if (M.Msg == qpw_TermNeedsUpdate) ++Notices;
  });
  {
    TFakeTerminal T;
    TQpTTYEmulator E;
    E.SetTerminal(&T);
    TRect R;
    E.Buffer()->GetInvalidRect(R);
    E.Buffer()->RegisterTerminalHandle(Wnd);
    T.Lazy = true;
    E.Buffer()->SetCol(5);
    ProcessMessages();
    EXPECT_EQ(Notices, 0);
    T.Lazy = false;
    for (int Col = 6; Col < 60; ++Col) E.Buffer()->SetCol(Col);
    ProcessMessages();
    EXPECT_EQ(Notices, 1);
    E.Buffer()->GetInvalidRect(R);  // the painter's turn re-arms the notice
    E.Buffer()->SetCol(2);
    ProcessMessages();
    EXPECT_EQ(Notices, 2);
  }
  DeallocateHWnd(Wnd);
}

TEST(TtyEmulator, NeedsUpdateAndClear) {
  TQpTTYEmulator E;
  TRect R;
  while (E.Buffer()->GetInvalidRect(R)) {
  }
  E.Buffer()->HasCursorMoved();
  EXPECT_FALSE(E.NeedsUpdate());
  E.Buffer()->SetCol(3);
  EXPECT_TRUE(E.NeedsUpdate());
  EXPECT_FALSE(E.NeedsUpdate());  // the cursor flag is taken
  E.ProcessString("abc");
  E.teClear();
  EXPECT_EQ(ScreenDump(*E.Buffer(), -23, -23), "  abc@1,6");  // the screen went into the scrollback
  E.teClearAll();
  EXPECT_EQ(ScreenDump(*E.Buffer(), 0, 1), "@1,1");
}

}  // namespace
