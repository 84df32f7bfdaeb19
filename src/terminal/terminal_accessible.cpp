#include "terminal_accessible.h"

#include <QAccessible>
#include <QTimer>

#include <algorithm>

#include "platform/error_handler.h"
#include "terminal/code_page.h"
#include "terminal/terminal_buffer.h"
#include "terminal/terminal_control.h"

namespace {

QAccessibleInterface* TerminalFactory(const QString& ClassName, QObject* Object) {
  if (ClassName != QLatin1String("TQpCustomTerminal")) return nullptr;
  auto* T = qobject_cast<TQpCustomTerminal*>(Object);
  return T ? new TQpTerminalAccessible(T) : nullptr;
}

// The rows the text is made of: first and last external absolute row; the cursor's row and
// column (0-based).
struct TRowSpan {
  int First = 1, Last = 0, CursorRow = 1, CursorCol = 0;
};

bool RowHasText(const TQpTerminalBuffer& B, int Row) {
  const auto* Chars = static_cast<const char*>(B.GetLineCharPtr(Row));
  return Chars && std::any_of(Chars, Chars + B.ColCount(), [](char C) { return C != ' ' && C != 0; });
}

TRowSpan RowsOf(const TQpTerminalBuffer& B) {
  TRowSpan S;
  const int Oldest = B.RowCount() - B.SVRowCount() + 1;
  S.CursorRow = B.CursorRowInternal() + Oldest;
  S.CursorCol = B.CursorColInternal();
  S.First = 1;
  for (int R = Oldest; R < 1; ++R)
    if (RowHasText(B, R)) {
      S.First = R;
      break;
    }
  S.Last = std::max(S.CursorRow, 0);
  for (int R = B.RowCount(); R > S.Last; --R)
    if (RowHasText(B, R)) {
      S.Last = R;
      break;
    }
  return S;
}

QString RowText(const TQpTerminalBuffer& B, int Row) {
  const auto* Chars = static_cast<const char*>(B.GetLineCharPtr(Row));
  if (!Chars) return {};
  int N = B.ColCount();
  while (N > 0 && (Chars[N - 1] == ' ' || Chars[N - 1] == 0)) --N;
  QString S(N, Qt::Uninitialized);
  for (int C = 0; C < N; ++C) S[C] = QChar(AnsiToUnicode(static_cast<std::uint8_t>(Chars[C])));
  return S;
}

}  // namespace

void InstallTerminalAccessibility() {
  static const bool Installed = (QAccessible::installFactory(TerminalFactory), true);
  (void)Installed;
}

// ---------------------------------------------------------------------------------------------
// The control's side: the text, the caret, and the coalesced events

QString TQpCustomTerminal::AccessibleText(int* Caret) const {
  const TQpTerminalBuffer* B = Buffer();
  if (Caret) *Caret = 0;
  if (!B) return {};
  const TRowSpan S = RowsOf(*B);
  QString Text;
  for (int R = S.First; R <= S.Last; ++R) {
    if (R > S.First) Text += QLatin1Char('\n');
    const QString Row = RowText(*B, R);
    if (Caret && R == S.CursorRow) *Caret = int(Text.size()) + std::min(S.CursorCol, int(Row.size()));
    Text += Row;
  }
  return Text;
}

void TQpCustomTerminal::NoteTextChanged() {
  // Nothing to do, and nothing to build, without a reader listening.
  if (!QAccessible::isActive() || !isVisible()) return;
  if (!FA11yTimer) {
    FA11yTimer = new QTimer(this);
    FA11yTimer->setSingleShot(true);
    FA11yTimer->setInterval(A11yInterval);
    connect(FA11yTimer, &QTimer::timeout, this, [this] { GuardedCall([this] { TellTextChanged(); }); });
  }
  if (!FA11yTimer->isActive()) FA11yTimer->start();
}

bool TQpCustomTerminal::A11yPending() const { return FA11yTimer && FA11yTimer->isActive(); }

void TQpCustomTerminal::TellTextChanged() {
  if (!QAccessible::isActive() || !isVisible()) return;
  int Caret = 0;
  QString Now = AccessibleText(&Caret);
  ++FA11yRounds;
  for (const TTextChange& C : DescribeTextChange(FA11ySaid, Now)) {
    if (C.Kind == TTextChange::tcInsert) {
      QAccessibleTextInsertEvent E(this, C.Position, C.NewText);
      QAccessible::updateAccessibility(&E);
    } else if (C.Kind == TTextChange::tcRemove) {
      QAccessibleTextRemoveEvent E(this, C.Position, C.OldText);
      QAccessible::updateAccessibility(&E);
    } else {
      QAccessibleTextUpdateEvent E(this, C.Position, C.OldText, C.NewText);
      QAccessible::updateAccessibility(&E);
    }
  }
  FA11ySaid = std::move(Now);
  if (Caret != FA11yCaret) {
    FA11yCaret = Caret;
    QAccessibleTextCursorEvent E(this, Caret);
    QAccessible::updateAccessibility(&E);
  }
}

void TQpCustomTerminal::ForgetToldText() {
  // Shown again: the reader reads the pane anew, and later changes are told from here.
  if (FA11yTimer) FA11yTimer->stop();
  FA11ySaid = QAccessible::isActive() ? AccessibleText(&FA11yCaret) : QString();
}

std::vector<TTextChange> DescribeTextChange(const QString& Before, const QString& After) {
  if (Before == After) return {};
  if (After.startsWith(Before)) return {{TTextChange::tcInsert, int(Before.size()), {}, After.mid(Before.size())}};
  // Rows scrolled off the top: a tail of Before (from a row start) begins After.
  const qsizetype FirstLineEnd = After.indexOf(QLatin1Char('\n'));
  const QString FirstLine = After.left(FirstLineEnd < 0 ? After.size() : FirstLineEnd);
  for (qsizetype Start = Before.indexOf(QLatin1Char('\n')); Start >= 0; Start = Before.indexOf(QLatin1Char('\n'), Start + 1)) {
    const QStringView Tail = QStringView(Before).mid(Start + 1);
    if (!Tail.startsWith(FirstLine) || !QStringView(After).startsWith(Tail)) continue;
    std::vector<TTextChange> R{{TTextChange::tcRemove, 0, Before.left(Start + 1), {}}};
    if (After.size() > Tail.size()) R.push_back({TTextChange::tcInsert, int(Tail.size()), {}, After.mid(Tail.size())});
    return R;
  }
  // Anything else: from the first difference on.
  qsizetype Same = 0;
  while (Same < Before.size() && Same < After.size() && Before[Same] == After[Same]) ++Same;
  return {{TTextChange::tcUpdate, int(Same), Before.mid(Same), After.mid(Same)}};
}

// ---------------------------------------------------------------------------------------------
// TQpTerminalAccessible

TQpTerminalAccessible::TQpTerminalAccessible(TQpCustomTerminal* Terminal)
    : QAccessibleWidget(Terminal, QAccessible::Terminal) {}

TQpCustomTerminal* TQpTerminalAccessible::Terminal() const { return static_cast<TQpCustomTerminal*>(widget()); }

void* TQpTerminalAccessible::interface_cast(QAccessible::InterfaceType Type) {
  if (Type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  return QAccessibleWidget::interface_cast(Type);
}

QAccessible::Role TQpTerminalAccessible::role() const { return QAccessible::Terminal; }

QAccessible::State TQpTerminalAccessible::state() const {
  QAccessible::State S = QAccessibleWidget::state();
  S.multiLine = true;
  S.readOnly = true;  // typed keys go to the device, not into this text
  return S;
}

void TQpTerminalAccessible::selection(int, int* StartOffset, int* EndOffset) const {
  *StartOffset = *EndOffset = 0;
}

int TQpTerminalAccessible::cursorPosition() const {
  int Caret = 0;
  (void)Terminal()->AccessibleText(&Caret);
  return Caret;
}

QString TQpTerminalAccessible::text(int StartOffset, int EndOffset) const {
  const QString All = Terminal()->AccessibleText();
  if (EndOffset < 0 || EndOffset > All.size()) EndOffset = int(All.size());
  StartOffset = std::clamp(StartOffset, 0, EndOffset);
  return All.mid(StartOffset, EndOffset - StartOffset);
}

int TQpTerminalAccessible::characterCount() const { return int(Terminal()->AccessibleText().size()); }

QRect TQpTerminalAccessible::characterRect(int) const { return {}; }

int TQpTerminalAccessible::offsetAtPoint(const QPoint&) const { return -1; }

QString TQpTerminalAccessible::attributes(int Offset, int* StartOffset, int* EndOffset) const {
  *StartOffset = *EndOffset = Offset;
  return {};
}
