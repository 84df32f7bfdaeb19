// The terminal control on its own (offscreen, no port): processing and lazy display, capture,
// the view's extent, scroll bars and caret, keys, selection and clipboard, and the context
// menu. Its input queue has its own tests (term_byte_queue_test.cpp).

#include "terminal/terminal_control.h"
#include "terminal/terminal_keys.h"
#include "terminal/tty_emulator.h"

#include "platform/dialogs.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include <fstream>
#include <functional>

namespace {

constexpr int W = 8, H = 12;

// ---------------------------------------------------------------- a control

struct Term : ::testing::Test {
  TQpTerminal T;
  Term() {
    T.resize(405, 337);
    T.show();
    ProcessMessages();
  }
  std::string Row(int R) const {
    std::string S = T.Line(R);
    return S.substr(0, S.find_last_not_of(' ') + 1);
  }
  void Feed(const std::string& S) {
    T.WriteString(S);
    WaitFor([&] { return T.PendingBytes() == 0; });
  }
  void Mouse(QEvent::Type Type, int Col, int RowN, Qt::MouseButton B = Qt::LeftButton) {
    const QPointF P((Col - 1) * W + 3, (RowN - 1) * H + 5);
    QMouseEvent E(Type, P, T.viewport()->mapToGlobal(P), B, Type == QEvent::MouseButtonRelease ? Qt::NoButton : B,
                  Qt::NoModifier);
    QApplication::sendEvent(T.viewport(), &E);
  }
  void Drag(int C1, int R1, int C2, int R2) {
    Mouse(QEvent::MouseButtonPress, C1, R1);
    Mouse(QEvent::MouseMove, C2, R2);
    Mouse(QEvent::MouseButtonRelease, C2, R2);
  }
  void Key(int K, const QString& Text = {}, Qt::KeyboardModifiers Mods = Qt::NoModifier, bool Repeat = false) {
    QKeyEvent E(QEvent::KeyPress, K, Mods, Text, Repeat);
    QApplication::sendEvent(&T, &E);
  }
  bool Selected(int R, int C) const { return T.Attributes(R, C) & AttrBit(tcaSelected); }
  // Opens the context menu as a right click at a cell does and gives the item named Text.
  QAction* MenuItem(const QString& Text, int Col = 1, int RowN = 1) {
    if (!T.ContextMenu()->isVisible()) {
      const QPoint P((Col - 1) * W + 3, (RowN - 1) * H + 5);
      QContextMenuEvent E(QContextMenuEvent::Mouse, P, T.viewport()->mapToGlobal(P));
      QApplication::sendEvent(T.viewport(), &E);
    }
    for (QAction* A : T.ContextMenu()->actions())
      if (QString(A->text()).remove('&') == Text) return A;
    ADD_FAILURE() << "no item " << Text.toStdString();
    return nullptr;
  }
  void Trigger(const QString& Text) {
    QAction* A = MenuItem(Text);
    T.ContextMenu()->hide();
    if (A) A->trigger();
  }
};

TEST_F(Term, DefaultsAndSetterRanges) {
  TQpTerminal Fresh;
  EXPECT_TRUE(Fresh.Active());
  EXPECT_EQ(Fresh.BlinkTime(), 500);
  EXPECT_EQ(Fresh.LazyByteDelay(), 200);
  EXPECT_EQ(Fresh.LazyTimeDelay(), 100);
  EXPECT_TRUE(Fresh.UseLazyDisplay() && Fresh.WantAllKeys() && Fresh.MouseSelect() && Fresh.AutoCopy());
  EXPECT_FALSE(Fresh.HalfDuplex() || Fresh.PasteToPort() || Fresh.PasteToScreen() || Fresh.Scrollback());
  EXPECT_EQ(Fresh.CursorType(), ctBlock);
  EXPECT_EQ(Fresh.size(), QSize(300, 200));
  Fresh.SetLazyTimeDelay(0);
  Fresh.SetLazyTimeDelay(2000);
  Fresh.SetLazyByteDelay(1025);
  EXPECT_EQ(Fresh.LazyTimeDelay(), 100);
  EXPECT_EQ(Fresh.LazyByteDelay(), 200);
  Fresh.SetBlinkTime(100);
  EXPECT_EQ(Fresh.BlinkTime(), 250);
  Fresh.SetBlinkTime(-5);
  EXPECT_EQ(Fresh.BlinkTime(), 0);
  EXPECT_EQ(Fresh.Attributes(5000, 1), 0);  // out of range: defaults
  EXPECT_EQ(Fresh.ForeColor(1, 0), 0x00FFFFFFu);
  Fresh.SetLine(-5000, "ignored");
  Fresh.SetCharHPadding(2);
  Fresh.SetCharVPadding(-3);
  EXPECT_EQ(Fresh.GetTotalCharWidth(), 10);
  EXPECT_EQ(Fresh.GetTotalCharHeight(), 12);
}

TEST_F(Term, TwoBurstsAreProcessedByTheFirstMessageInOrder) {
  T.WriteString("one ");
  T.WriteString("two");
  EXPECT_EQ(T.PendingBytes(), 7u);
  ProcessMessages();
  EXPECT_EQ(Row(1), "one two");
  EXPECT_EQ(T.ProcessedBytes(), 7u);
}

TEST_F(Term, AFloodIsProcessedInSlices) {
  const std::string Big(TQpCustomTerminal::SliceBytes * 2 + 10, 'x');
  T.WriteString(Big);
  TMessage M{qpw_TermStuff, csWriteChar, 0, 0};
  SendMessage(T.Handle(), M.Msg, M.WParam, M.LParam);
  EXPECT_EQ(T.ProcessedBytes(), TQpCustomTerminal::SliceBytes);
  ASSERT_TRUE(WaitFor([&] { return T.PendingBytes() == 0; }));
  EXPECT_EQ(T.ProcessedBytes(), Big.size());
}

TEST_F(Term, LazyDisplayPaintsOnlyPastAThreshold) {
  Feed("x");
  const int Before = T.PaintCount();
  T.Beat();  // 100 ms, 1 byte: neither threshold passed
  EXPECT_EQ(T.PaintCount(), Before);
  T.Beat();  // 200 ms > 100 ms
  EXPECT_EQ(T.PaintCount(), Before + 1);
  Feed(std::string(201, 'y'));
  T.Beat();  // 201 bytes > 200 at the next beat
  EXPECT_EQ(T.PaintCount(), Before + 2);
  T.Beat();
  T.Beat();
  EXPECT_EQ(T.PaintCount(), Before + 2) << "nothing changed";
  T.SetUseLazyDisplay(false);
  Feed("z");
  EXPECT_EQ(T.PaintCount(), Before + 3) << "painted at once";
  ProcessMessages();
  EXPECT_EQ(T.PaintCount(), Before + 3) << "the block's notice, handled later, paints nothing again";
}

TEST_F(Term, CaptureWritesReceivedBytesBeforeInterpretation) {
  TempDir Dir;
  T.SetCaptureFile(Dir.File("cap.bin"));
  T.SetCapture(cmOn);
  Feed(std::string("ab\r\n\x07\x1b[1m", 9));
  T.SetCapture(cmAppend);  // while capturing: nothing changes
  EXPECT_EQ(T.Capture(), cmOn);
  Feed("cd");
  T.SetCapture(cmOff);
  EXPECT_EQ(ReadFile(Dir.File("cap.bin")), std::string("ab\r\n\x07\x1b[1mcd", 11));
  T.SetCapture(cmAppend);
  Feed("ef");
  T.SetCapture(cmOff);
  EXPECT_EQ(ReadFile(Dir.File("cap.bin")).substr(9), "cdef");
  T.SetCapture(cmOn);  // truncates
  T.SetCapture(cmOff);
  EXPECT_EQ(ReadFile(Dir.File("cap.bin")), "");
}

TEST_F(Term, AFailingCaptureWriteSwitchesCaptureOffOnceAndShowsTheBytesOnce) {
  ScopedScriptedDialogs Script;
  T.SetCaptureFile("/dev/full");
  T.SetCapture(cmOn);
  Feed("abc");
  EXPECT_EQ(T.Capture(), cmOff);
  EXPECT_EQ(Script->Errors.size(), 1u);
  Feed("def");
  EXPECT_EQ(Script->Errors.size(), 1u);
  EXPECT_EQ(Row(1), "abcdef");
  EXPECT_EQ(T.ProcessedBytes(), 6u);
}

// An error box is modal: its loop handles the pane's next notice while the block that failed
// to be captured is still on the stack.
struct TModalDialogs : ScriptedDialogs {
  std::function<void()> WhileShown;
  void ErrorBox(const std::string& Text) override {
    ScriptedDialogs::ErrorBox(Text);
    if (WhileShown) WhileShown();
    ProcessMessages();
  }
};

TEST_F(Term, TextArrivingWhileTheCaptureErrorIsShownFollowsInOrder) {
  auto Modal = std::make_shared<TModalDialogs>();
  Modal->WhileShown = [this] { T.WriteString("BB"); };
  ScopedScriptedDialogs Script(Modal);
  T.SetCaptureFile("/dev/full");
  T.SetCapture(cmOn);
  Feed("AAAA");
  EXPECT_EQ(Row(1), "AAAABB");
  EXPECT_EQ(T.ProcessedBytes(), 6u);
}

TEST_F(Term, UnopenableCaptureFileRaisesAndCaptureIsRetriedThroughOff) {
  T.SetCaptureFile("/nonexistent-dir/x.cap");
  EXPECT_THROW(T.SetCapture(cmOn), EQpTerminalError);
  EXPECT_EQ(T.Capture(), cmOn);
  EXPECT_NO_THROW(T.SetCapture(cmOn));  // same mode: nothing
  T.SetCapture(cmOff);
  EXPECT_THROW(T.SetCapture(cmOn), EQpTerminalError);
}

// ---------------------------------------------------------------- view

TEST_F(Term, HorizontalThumbMovesTheOriginWithinItsRange) {
  ASSERT_TRUE(T.UsingHScrollBar());
  QScrollBar* B = T.horizontalScrollBar();
  B->setSliderPosition(40);  // a drag to 40: the origin stops at column 31
  EXPECT_EQ(T.ClientOriginCol(), 31);
  EXPECT_EQ(B->value(), 30);
  B->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(T.ClientOriginCol(), 30);
  B->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(T.ClientOriginCol(), 1);
  T.WMHScroll(scThumbTrack, 9);
  EXPECT_EQ(T.ClientOriginCol(), 10);
  // Widening the pane while scrolled right brings the origin back: no empty columns.
  T.SetClientOriginCol(31);
  T.resize(8 * 80 + 4, 337);
  ProcessMessages();
  EXPECT_EQ(T.ClientOriginCol(), 1);
}

TEST_F(Term, HiddenBarsComeBackWhileTheCursorIsBeyondTheVisibleColumns) {
  ASSERT_TRUE(T.UsingHScrollBar());
  T.SetHideScrollbars(true);
  ProcessMessages();
  EXPECT_FALSE(T.horizontalScrollBar()->isVisible());
  Feed(std::string(60, 'x'));  // the cursor at column 61, beyond the 50 fully visible
  ASSERT_TRUE(WaitFor([&] { return T.horizontalScrollBar()->isVisible(); }));
  Feed("\r");
  ASSERT_TRUE(WaitFor([&] { return !T.horizontalScrollBar()->isVisible(); }));
  T.SetHideScrollbars(false);
  ProcessMessages();
  EXPECT_TRUE(T.horizontalScrollBar()->isVisible());
}

TEST_F(Term, ScrollbackRangeAndAutoScrollback) {
  T.resize(405, 4 + 17 + 12 * 10);  // 10 rows: a vertical bar
  ProcessMessages();
  ASSERT_TRUE(T.UsingVScrollBar());
  EXPECT_EQ(T.ScrollVertInfo().Min, 0);
  T.WMVScroll(scLineUp, 0);  // line up at the top: scroll-back goes on
  EXPECT_TRUE(T.Scrollback());
  EXPECT_EQ(T.ScrollVertInfo().Min, 24 - 200);
  EXPECT_EQ(T.ScrollVertInfo().Max, 23);
  EXPECT_EQ(T.ClientOriginRow(), 0);
  T.SetClientOriginRow(-1000);
  EXPECT_EQ(T.ClientOriginRow(), -175);
  T.SetClientOriginRow(5);
  T.WMVScroll(scLineDown, 0);  // below row 1 with scroll-back on: it goes off
  EXPECT_FALSE(T.Scrollback());
  EXPECT_EQ(T.ClientOriginRow(), 6);
}

// Shrinking the buffer under a view scrolled far from the screen brings the origin back inside
// at once, with the bar's position in its new range: left where it was, the pane showed stale
// rows or, its client row count negative, nothing at all.
TEST(TermView, ShrinkingTheBufferBringsTheOriginBackInside) {
  const auto RowsThenOrigin = [](int Rows, int Origin) {
    return [=](TQpTerminal& T) {
      T.SetRows(Rows);
      ProcessMessages();
      T.SetClientOriginRow(Origin);
      ASSERT_EQ(T.ClientOriginRow(), Origin);
    };
  };
  struct Case {
    const char* Name;
    std::function<void(TQpTerminal&)> ScrollAway, Shrink;
    int Origin, ClientRows;  // 26 rows fit, 27 show in part
  };
  const Case Cases[] = {
      {"scrollback rows",
       [](TQpTerminal& T) {
         T.SetScrollback(true);
         ProcessMessages();
         T.SetClientOriginRow(-1000);
         ASSERT_EQ(T.ClientOriginRow(), -175);
       },
       [](TQpTerminal& T) { T.SetScrollbackRows(50); }, 24 - 50 + 1, 27},
      {"rows, the bar goes", RowsThenOrigin(100, 70), [](TQpTerminal& T) { T.SetRows(24); }, 1, 24},
      {"rows, the bar stays", RowsThenOrigin(100, 70), [](TQpTerminal& T) { T.SetRows(30); }, 30 - 26 + 1, 26},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    TQpTerminal T;
    T.resize(405, 337);
    T.show();
    ProcessMessages();
    C.ScrollAway(T);
    C.Shrink(T);
    for (const char* When : {"at once", "after the bars' messages"}) {
      SCOPED_TRACE(When);
      EXPECT_EQ(T.ClientOriginRow(), C.Origin);
      EXPECT_EQ(T.ClientRows(), C.ClientRows);
      EXPECT_EQ(T.ScrollVertInfo().Pos, C.Origin - 1);
      if (T.verticalScrollBar()->isVisible()) {
        EXPECT_EQ(T.verticalScrollBar()->value(), C.Origin - 1);
        EXPECT_GE(T.verticalScrollBar()->value(), T.verticalScrollBar()->minimum());
      }
      ProcessMessages();
    }
  }
}

TEST_F(Term, CaretIsACellOrTwoLinesAndOnlyWithFocus) {
  T.clearFocus();
  Feed("ab");
  T.Beat();
  T.Beat();  // painted: the caret follows the cursor at every paint
  EXPECT_TRUE(T.CaretRect().isEmpty());
  T.setFocus();
  ASSERT_TRUE(WaitFor([&] { return T.hasFocus(); }));
  EXPECT_EQ(T.CaretRect(), QRect(2 * W, 0, W, H));
  // The caret inverts: the cell under it is silver where the screen is black.
  QImage Img = T.viewport()->grab().toImage();
  EXPECT_EQ(Img.pixel(2 * W, 0), qRgb(255, 255, 255));
  EXPECT_EQ(Img.pixel(2 * W + W - 1, H - 1), qRgb(255, 255, 255));
  EXPECT_EQ(Img.pixel(3 * W, 0), qRgb(0, 0, 0));
  T.SetCursorType(ctUnderline);
  EXPECT_EQ(T.CaretRect(), QRect(2 * W, H - 2, W, 2));
  T.SetCursorType(ctNone);
  EXPECT_TRUE(T.CaretRect().isEmpty());
}

// ---------------------------------------------------------------- keys

TEST(TermKeys, KeyDownCodes) {
  struct Case {
    int Key;
    Qt::KeyboardModifiers Mods;
    bool Repeat;
    std::uint16_t Code;
  } Cases[] = {
      {Qt::Key_Up, Qt::NoModifier, false, 38},          // the arrow key
      {Qt::Key_Up, Qt::KeypadModifier, false, 104},     // keypad 8 with Num Lock off
      {Qt::Key_8, Qt::KeypadModifier, false, 104},      // keypad 8 with Num Lock on
      {Qt::Key_Delete, Qt::KeypadModifier, false, 110},
      {Qt::Key_Clear, Qt::KeypadModifier, false, 101},
      {Qt::Key_Enter, Qt::KeypadModifier, false, 43},
      {Qt::Key_Return, Qt::NoModifier, false, 13},
      {Qt::Key_A, Qt::NoModifier, true, 0x8041},
      {Qt::Key_F5, Qt::NoModifier, false, 116},
  };
  for (const Case& C : Cases) EXPECT_EQ(TermKeyCode(C.Key, C.Mods, C.Repeat), C.Code) << C.Key;
}

TEST(TermKeys, Characters) {
  struct Case {
    int Key;
    Qt::KeyboardModifiers Mods;
    QString Text;
    std::u16string Chars;
  } Cases[] = {
      {Qt::Key_Backspace, Qt::NoModifier, QString(), u"\x08"},
      {Qt::Key_Tab, Qt::NoModifier, QString(), u"\x09"},
      {Qt::Key_Escape, Qt::NoModifier, QString(), u"\x1b"},
      {Qt::Key_C, Qt::ControlModifier, QStringLiteral("c"), u"\x03"},
      {Qt::Key_BracketRight, Qt::ControlModifier, QString(), u"\x1d"},
      {Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7f)), u""},
      {Qt::Key_Up, Qt::NoModifier, QString(), u""},
      {Qt::Key_X, Qt::AltModifier, QStringLiteral("x"), u""},
      {Qt::Key_E, Qt::NoModifier, QString(QChar(0x20AC)), u"\x20AC"},
      {Qt::Key_A, Qt::NoModifier, QStringLiteral("ab"), u"ab"},
  };
  for (const Case& C : Cases) EXPECT_EQ(TermKeyChars(C.Key, C.Mods, C.Text), C.Chars) << C.Key;
}

// A key reaches the emulator's key-down step; the recording emulator keeps the codes.
class TKeyRecorder : public TQpTTYEmulator {
 public:
  void KeyDown(std::uint16_t& Key, unsigned Shift) override {
    Codes.push_back(Key);
    (void)Shift;
  }
  void teSendChar(char aCh, bool aCanEcho, TQpCharSource Source) override {
    Sent += aCh;
    TQpTTYEmulator::teSendChar(aCh, aCanEcho, Source);
  }
  std::vector<std::uint16_t> Codes;
  std::string Sent;
};

TEST_F(Term, KeysGoThroughKeyDownAndLocalEchoShowsTypedText) {
  TKeyRecorder Rec;
  Rec.SetTerminal(&T);
  ASSERT_EQ(T.Emulator(), &Rec);
  Key(Qt::Key_Up, {}, Qt::KeypadModifier);
  Key(Qt::Key_Up);
  Key(Qt::Key_A, "a", Qt::NoModifier, true);
  Key(Qt::Key_Shift);
  EXPECT_EQ(Rec.Codes, (std::vector<std::uint16_t>{104, 38, 0x8041}));
  T.SetEmulatorProp(nullptr);
  EXPECT_EQ(T.Emulator(), nullptr);
  EXPECT_EQ(T.Rows(), 24);
  T.SetHalfDuplex(true);
  Key(Qt::Key_H, "h");
  Key(Qt::Key_I, "i");
  ASSERT_TRUE(WaitFor([&] { return Row(1) == "hi"; }));
  Key(Qt::Key_Tab);  // a character here, not a move to the next control
  Key(Qt::Key_X, "x");
  ASSERT_TRUE(WaitFor([&] { return Row(1) == "hi      x"; }));
}

// ---------------------------------------------------------------- selection and clipboard

TEST_F(Term, DragSelectsAStreamAndCopiesIt) {
  for (int R = 1; R <= 6; ++R) Feed("row" + std::to_string(R) + " abcdefghij\r\n");
  for (const bool Backwards : {false, true}) {
    if (Backwards) Drag(4, 5, 10, 3);
    else Drag(10, 3, 4, 5);
    EXPECT_EQ(T.SelectionRect(), (TRect{10, 3, 4, 5}));
    EXPECT_FALSE(Selected(3, 9));
    EXPECT_TRUE(Selected(3, 10) && Selected(3, 80) && Selected(4, 1) && Selected(5, 4));
    EXPECT_FALSE(Selected(5, 5));
    const std::string Copied = QGuiApplication::clipboard()->text().toStdString();
    EXPECT_EQ(Copied, "efghij" + std::string(65, ' ') + "\r\nrow4 abcdefghij" + std::string(65, ' ') + "\r\nrow5\r\n");
  }
}

TEST_F(Term, ShrinkingKeepsTheNewEndAndEscCancelsTheDrag) {
  Feed("0123456789\r\n");
  Mouse(QEvent::MouseButtonPress, 2, 1);
  Mouse(QEvent::MouseMove, 2, 1);  // a first move inside the anchor cell selects it
  EXPECT_TRUE(T.HaveSelection() && Selected(1, 2));
  Mouse(QEvent::MouseMove, 9, 1);
  Mouse(QEvent::MouseMove, 5, 1);
  EXPECT_TRUE(Selected(1, 2) && Selected(1, 5));
  EXPECT_FALSE(Selected(1, 6) || Selected(1, 9));
  QKeyEvent Override(QEvent::ShortcutOverride, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&T, &Override);
  EXPECT_TRUE(Override.isAccepted()) << "Esc during a drag belongs to the pane";
  Key(Qt::Key_Escape);
  EXPECT_FALSE(T.HaveSelection());
  for (int C = 1; C <= 10; ++C) EXPECT_FALSE(Selected(1, C)) << C;
  Mouse(QEvent::MouseButtonRelease, 5, 1);
}

TEST_F(Term, CtrlCCopiesWithASelectionAndIsACharacterWithout) {
  TKeyRecorder Rec;
  Rec.SetTerminal(&T);
  ASSERT_EQ(T.Emulator(), &Rec);
  Feed("hello\r\n");
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  Key(Qt::Key_C, "c", Qt::ControlModifier);
  EXPECT_EQ(Rec.Sent, "\x03");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
  T.SetAutoCopy(false);
  Drag(1, 1, 5, 1);
  Key(Qt::Key_C, "C", Qt::ControlModifier | Qt::ShiftModifier);  // goes on to the emulator
  EXPECT_EQ(Rec.Sent, "\x03\x03");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
  Key(Qt::Key_C, "c", Qt::ControlModifier);
  EXPECT_EQ(Rec.Sent, "\x03\x03");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "hello\r\n");
}

TEST_F(Term, AClickCopiesOneCharacterAndAnEmptySelectionLeavesTheClipboard) {
  Feed("xyz\x80\r\n");
  Mouse(QEvent::MouseButtonPress, 4, 1);
  Mouse(QEvent::MouseButtonRelease, 4, 1);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString(QChar(0x20AC)) + "\r\n");
  T.HideSelection();
  QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
  T.CopyToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
}

TEST_F(Term, TheSelectionFollowsScrolledContent) {
  for (int R = 1; R <= 24; ++R) Feed("line" + std::to_string(R) + (R < 24 ? "\r\n" : ""));
  Drag(1, 10, 6, 10);  // "line10"
  Feed("\r\n\r\n");    // two rows scroll off the top
  EXPECT_EQ(T.SelectionRect(), (TRect{1, 8, 6, 8}));
  EXPECT_TRUE(Selected(8, 1) && Selected(8, 6));
  EXPECT_EQ(Row(8), "line10");
  T.CopyToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "line10\r\n");
  T.HideSelection();
  for (int R = -10; R <= 24; ++R)
    for (int C = 1; C <= 80; ++C) ASSERT_FALSE(Selected(R, C)) << R << "," << C;
}

// ---------------------------------------------------------------- Linux conventions

TEST_F(Term, ContextMenuStatesFollowTheSelectionAndThePasteOptions) {
  struct Case {
    bool ToPort, ToScreen, Selection;
  };
  for (const Case& C : {Case{false, false, false}, Case{true, false, true}, Case{false, true, false}}) {
    T.SetPasteToPort(C.ToPort);
    T.SetPasteToScreen(C.ToScreen);
    if (C.Selection) Drag(1, 1, 3, 1);
    else T.HideSelection();
    EXPECT_EQ(MenuItem("Copy")->isEnabled(), C.Selection);
    EXPECT_EQ(MenuItem("Paste")->isEnabled(), C.ToPort || C.ToScreen);
    EXPECT_TRUE(MenuItem("Select All")->isEnabled() && MenuItem("Clear")->isEnabled());
    EXPECT_TRUE(T.ContextMenu()->isVisible());
    T.ContextMenu()->hide();
  }
  // The Menu key: the platform sends a keyboard context-menu request; the menu opens at the caret.
  T.setFocus();
  ASSERT_TRUE(WaitFor([&] { return T.hasFocus() && !T.CaretRect().isEmpty(); }));
  const QPoint Caret = T.viewport()->mapToGlobal(T.CaretRect().bottomLeft());
  QContextMenuEvent Key(QContextMenuEvent::Keyboard, QPoint(), T.mapToGlobal(QPoint()));
  QApplication::sendEvent(&T, &Key);
  ASSERT_TRUE(WaitFor([&] { return T.ContextMenu()->isVisible(); }));
  EXPECT_EQ(T.ContextMenu()->pos(), Caret);
  T.ContextMenu()->hide();
}

TEST_F(Term, ContextMenuItemsDoWhatTheOperationsDo) {
  T.SetPasteToScreen(true);
  T.SetAutoCopy(false);
  for (int R = 1; R <= 30; ++R) Feed("line" + std::to_string(R) + "\r\n");  // 7 rows scroll off
  Drag(1, 1, 5, 1);
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  Trigger("Copy");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "line8\r\n");
  // Select All: the screen and the scrollback rows from the oldest holding text.
  Trigger("Select All");
  EXPECT_EQ(T.SelectionRect(), (TRect{1, -6, 80, 24}));
  EXPECT_TRUE(Selected(-6, 1) && Selected(24, 80));
  EXPECT_FALSE(Selected(-7, 1));
  EXPECT_EQ(T.SelectionText().substr(0, 5), "line1");
  Trigger("Clear");
  EXPECT_FALSE(T.HaveSelection());
  for (int R = -10; R <= 24; ++R) EXPECT_EQ(Row(R), "") << R;
  EXPECT_EQ(T.Buffer()->Row(), 1);
  EXPECT_EQ(T.Buffer()->Col(), 1);
  QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
  Trigger("Paste");
  ASSERT_TRUE(WaitFor([&] { return Row(1) == "pasted"; }));
  // New line after carriage return: the host hears of the user's choice; CR-only lines list.
  std::vector<bool> Told;
  T.OnNewLineAfterCRChange = [&](bool On) { Told.push_back(On); };
  Trigger("New line after carriage return");
  EXPECT_TRUE(T.NewLineAfterCR());
  EXPECT_TRUE(MenuItem("New line after carriage return")->isChecked());
  T.ContextMenu()->hide();
  Feed("\r[LINKOK]\r[05C1C5]\r");
  EXPECT_EQ(Row(2), "[LINKOK]");
  EXPECT_EQ(Row(3), "[05C1C5]");
  Trigger("New line after carriage return");
  EXPECT_EQ(Told, (std::vector<bool>{true, false}));
  T.SetNewLineAfterCR(true);  // set by the program: nobody is told
  EXPECT_EQ(Told.size(), 2u);
}

// Pastes go through the one paste path whatever asks for them, so PasteToPort and PasteToScreen
// rule them all; Ctrl+V stays the device's control character. The middle click pastes the
// primary selection, never the clipboard (the offscreen platform has no primary selection).
TEST_F(Term, ShiftInsertAndMiddleClickPasteThroughThePastePath) {
  TKeyRecorder Rec;
  Rec.SetTerminal(&T);
  QClipboard* Clip = QGuiApplication::clipboard();
  Clip->setText(QStringLiteral("clip"));
  if (Clip->supportsSelection()) Clip->setText(QStringLiteral("primary"), QClipboard::Selection);
  const std::string Primary = Clip->supportsSelection() ? "primary" : "";
  struct Case {
    const char* Name;
    bool ToScreen;
    std::function<void()> Do;
    std::string Shown, Sent;
  };
  const Case Cases[] = {
      {"Shift+Insert, pasting off", false, [&] { Key(Qt::Key_Insert, {}, Qt::ShiftModifier); }, "", ""},
      {"Shift+Insert", true, [&] { Key(Qt::Key_Insert, {}, Qt::ShiftModifier); }, "clip", ""},
      {"middle click, pasting off", false, [&] { Mouse(QEvent::MouseButtonRelease, 1, 1, Qt::MiddleButton); }, "", ""},
      {"middle click", true, [&] { Mouse(QEvent::MouseButtonRelease, 1, 1, Qt::MiddleButton); }, Primary, ""},
      {"Ctrl+V", true, [&] { Key(Qt::Key_V, "\x16", Qt::ControlModifier); }, "", "\x16"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    T.ClearAll();
    Rec.Sent.clear();
    T.SetPasteToScreen(C.ToScreen);
    C.Do();
    ProcessMessages();
    EXPECT_EQ(Row(1), C.Shown);
    EXPECT_EQ(Rec.Sent, C.Sent);
  }
}

TEST_F(Term, ADragOffersItsTextAsThePrimarySelection) {
  QClipboard* Clip = QGuiApplication::clipboard();
  if (!Clip->supportsSelection()) GTEST_SKIP() << "this platform has no primary selection";
  Feed("hello world\r\n");
  T.SetAutoCopy(false);
  Clip->setText(QStringLiteral("kept"));
  Drag(7, 1, 11, 1);
  EXPECT_EQ(Clip->text(QClipboard::Selection), "world\r\n");
  EXPECT_EQ(Clip->text(), "kept") << "the clipboard only with AutoCopy";
  Trigger("Select All");
  EXPECT_EQ(Clip->text(QClipboard::Selection).left(11), "hello world");
}

}  // namespace
