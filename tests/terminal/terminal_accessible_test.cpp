// The terminal control for screen readers: its rows as text, the caret's offset, the change
// events (coalesced, none while hidden) and the keys that leave it. The events are sent only
// where the toolkit bridges to a reader, so those tests run again under Xvfb with the
// accessibility bus (tests/e2e/a11y_session.sh) and are skipped offscreen.

#include "terminal/terminal_accessible.h"
#include "terminal/terminal_control.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>

#include <string>
#include <vector>

namespace {

// Applies the changes to a text as a reader does with the events.
QString Apply(QString Text, const std::vector<TTextChange>& Changes) {
  for (const TTextChange& C : Changes) {
    if (C.Kind == TTextChange::tcInsert) Text.insert(C.Position, C.NewText);
    else if (C.Kind == TTextChange::tcRemove) Text.remove(C.Position, C.OldText.size());
    else Text = Text.left(C.Position) + C.NewText + Text.mid(C.Position + C.OldText.size());
  }
  return Text;
}

struct Term : ::testing::Test {
  TQpTerminal T;
  Term() {
    T.resize(405, 337);
    T.show();
    ProcessMessages();
  }
  void Feed(const std::string& S) {
    T.WriteString(S);
    ASSERT_TRUE(WaitFor([&] { return T.PendingBytes() == 0; }));
  }
};

bool BridgeActive() {
  return QGuiApplication::platformName() != QLatin1String("offscreen") && WaitFor([] { return QAccessible::isActive(); });
}

// The text events of one object, in order.
struct TextEvents {
  explicit TextEvents(QObject* Of) {
    Current = this;
    Object = Of;
    QAccessible::installUpdateHandler([](QAccessibleEvent* E) {
      if (E->object() != Current->Object) return;
      switch (E->type()) {
        case QAccessible::TextInserted: {
          auto* I = static_cast<QAccessibleTextInsertEvent*>(E);
          Current->Seen.push_back({TTextChange::tcInsert, I->changePosition(), {}, I->textInserted()});
          break;
        }
        case QAccessible::TextRemoved: {
          auto* R = static_cast<QAccessibleTextRemoveEvent*>(E);
          Current->Seen.push_back({TTextChange::tcRemove, R->changePosition(), R->textRemoved(), {}});
          break;
        }
        case QAccessible::TextUpdated: {
          auto* U = static_cast<QAccessibleTextUpdateEvent*>(E);
          Current->Seen.push_back({TTextChange::tcUpdate, U->changePosition(), U->textRemoved(), U->textInserted()});
          break;
        }
        case QAccessible::TextCaretMoved:
          Current->Caret = static_cast<QAccessibleTextCursorEvent*>(E)->cursorPosition();
          break;
        default:
          break;
      }
    });
  }
  ~TextEvents() {
    QAccessible::installUpdateHandler(nullptr);
    Current = nullptr;
  }
  QObject* Object;
  std::vector<TTextChange> Seen;
  int Caret = -1;
  static inline TextEvents* Current = nullptr;
};

}  // namespace

TEST(TerminalText, ChangesAreDescribedAsAReaderNeedsThem) {
  struct Case {
    const char* What;
    QString Before, After;
    std::vector<TTextChange::TKind> Kinds;
  };
  const std::vector<Case> Cases = {
      {"nothing", "a\nb", "a\nb", {}},
      {"appended to the last row", "a\nb", "a\nbc", {TTextChange::tcInsert}},
      {"new rows", "a\nb", "a\nb\nc\nd", {TTextChange::tcInsert}},
      {"from nothing", "", "hello", {TTextChange::tcInsert}},
      {"one row scrolled off, one new", "a\nb\nc", "b\nc\nd", {TTextChange::tcRemove, TTextChange::tcInsert}},
      {"two rows off while the last grew", "a\nb\nc\nd", "c\nde\nf", {TTextChange::tcRemove, TTextChange::tcInsert}},
      {"rows off, nothing new", "a\nb\nc", "b\nc", {TTextChange::tcRemove}},
      {"cleared", "a\nb", "", {TTextChange::tcUpdate}},
      {"a row rewritten", "abc\ndef", "abc\nxyz", {TTextChange::tcUpdate}},
      {"the first row rewritten", "x\ny", "z\ny", {TTextChange::tcUpdate}},
  };
  for (const Case& C : Cases) {
    const std::vector<TTextChange> Changes = DescribeTextChange(C.Before, C.After);
    std::vector<TTextChange::TKind> Kinds;
    for (const TTextChange& Ch : Changes) Kinds.push_back(Ch.Kind);
    EXPECT_EQ(Kinds, C.Kinds) << C.What;
    EXPECT_EQ(Apply(C.Before, Changes), C.After) << C.What;
  }
}

TEST_F(Term, RowsAreOneTextWithTheCaretInIt) {
  T.SetScrollback(true);
  // 30 rows on a screen of 24: six go to the scrollback; the code page's euro sign; blanks at a
  // row's end are not read.
  std::string S;
  for (int N = 1; N <= 30; ++N) S += "row " + std::to_string(N) + "   \r\n";
  Feed(S + "\x80 5");
  QString Expected;
  for (int N = 1; N <= 30; ++N) Expected += QString("row %1\n").arg(N);
  Expected += QString::fromUtf8("\u20AC 5");
  int Caret = -1;
  EXPECT_EQ(T.AccessibleText(&Caret), Expected);
  EXPECT_EQ(Caret, Expected.size());

  QAccessibleInterface* I = QAccessible::queryAccessibleInterface(&T);
  ASSERT_TRUE(I);
  EXPECT_EQ(I->role(), QAccessible::Terminal);
  EXPECT_TRUE(I->state().readOnly);
  QAccessibleTextInterface* Text = I->textInterface();
  ASSERT_TRUE(Text);
  EXPECT_EQ(Text->characterCount(), Expected.size());
  EXPECT_EQ(Text->text(0, Text->characterCount()), Expected);
  EXPECT_EQ(Text->text(4, 9), "1\nrow");
  EXPECT_EQ(Text->cursorPosition(), Expected.size());
  int Start = 0, End = 0;
  EXPECT_EQ(Text->textAtOffset(Expected.indexOf("row 7") + 2, QAccessible::LineBoundary, &Start, &End).trimmed(), "row 7");

  // The caret in the middle of a row, and beyond a row's text (at its end).
  Feed("\rab\x1b[1C");
  Feed("\r");
  Feed("xyz");
  Feed("\r\x1b[1C");
  EXPECT_EQ(Text->cursorPosition(), T.AccessibleText().size() - 2);
}

TEST_F(Term, CtrlTabLeavesTabStaysForTheDevice) {
  QWidget Window;
  auto* Before = new QLineEdit(&Window);
  auto* Pane = new TQpTerminal(&Window);
  auto* After = new QLineEdit(&Window);
  auto* Layout = new QVBoxLayout(&Window);
  for (QWidget* W : std::initializer_list<QWidget*>{Before, Pane, After}) Layout->addWidget(W);
  Window.show();
  QApplication::setActiveWindow(&Window);
  ASSERT_TRUE(WaitFor([&] { return Window.isActiveWindow(); }));
  Pane->SetHalfDuplex(true);  // what is typed shows, so Tab is seen to arrive
  Pane->setFocus(Qt::OtherFocusReason);
  const auto Key = [&](int K, Qt::KeyboardModifiers M) {
    QKeyEvent E(QEvent::KeyPress, K, M, K == Qt::Key_Tab && M == Qt::NoModifier ? QStringLiteral("\t") : QString());
    QApplication::sendEvent(QApplication::focusWidget(), &E);
  };
  Key(Qt::Key_Tab, Qt::NoModifier);
  EXPECT_EQ(QApplication::focusWidget(), Pane);
  Key(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(QApplication::focusWidget(), After);
  Pane->setFocus(Qt::OtherFocusReason);
  Key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), Before);
}

TEST_F(Term, ChangesAreToldCoalescedAndAddUpToTheText) {
  if (!BridgeActive()) GTEST_SKIP() << "no accessibility bridge on this platform";
  T.SetScrollback(true);
  Feed("first\r\n");
  const QString Start = T.AccessibleText();
  T.hide();
  T.show();  // what is told starts from the text as shown
  TextEvents Events(&T);
  // A device sending line after line, each block processed on its own.
  for (int N = 0; N < 400; ++N) Feed("line " + std::to_string(N) + "\r\n");
  const int Rounds = T.A11yRounds();
  ASSERT_TRUE(WaitFor([&] { return T.A11yRounds() > Rounds; }));
  ProcessMessages();
  const QString Final = T.AccessibleText();
  // Each round is at most a removal and an insertion, and the events tell the whole change.
  EXPECT_LE(Events.Seen.size(), 2u * std::size_t(T.A11yRounds()));
  EXPECT_EQ(Apply(Start, Events.Seen), Final);
  EXPECT_EQ(Events.Caret, Final.size());

  // Hidden: nothing is told, not even later.
  T.hide();
  Events.Seen.clear();
  const int HiddenRounds = T.A11yRounds();
  Feed("while hidden\r\n");
  ASSERT_TRUE(WaitFor([&] { return T.PaintCount() > 0 && T.PendingBytes() == 0; }));
  ProcessMessages();
  EXPECT_FALSE(T.A11yPending());
  EXPECT_EQ(T.A11yRounds(), HiddenRounds);
  EXPECT_TRUE(Events.Seen.empty());
}
