#pragma once
// What screen readers are told about the terminal control: a terminal whose text is its rows
// (the scrollback from its oldest row holding text, then the screen down to the last row
// holding text or the cursor), one line per row with its trailing blanks trimmed, joined by
// "\n", in the characters the cells show (code_page.h); the caret's offset is the cursor's,
// at most the end of its row. Changes are told coalesced by the control (at most one round
// every TQpCustomTerminal::A11yInterval ms, none while it is hidden): text appended as one
// insertion, rows scrolled off the top as one removal, anything else as one update.
// GUI thread only.

#include <QAccessibleWidget>
#include <QString>

#include <vector>

class TQpCustomTerminal;

// Installs the factory for the terminal control's interface, once per process; the control
// calls it as it is made.
void InstallTerminalAccessibility();

class TQpTerminalAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit TQpTerminalAccessible(TQpCustomTerminal* Terminal);
  void* interface_cast(QAccessible::InterfaceType Type) override;
  QAccessible::Role role() const override;
  QAccessible::State state() const override;

  // QAccessibleTextInterface: read only, no selection of its own to offer.
  void selection(int SelectionIndex, int* StartOffset, int* EndOffset) const override;
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override;
  void setCursorPosition(int) override {}
  QString text(int StartOffset, int EndOffset) const override;
  QString text(QAccessible::Text Kind) const override { return QAccessibleWidget::text(Kind); }
  int characterCount() const override;
  QRect characterRect(int Offset) const override;
  int offsetAtPoint(const QPoint& Point) const override;
  void scrollToSubstring(int, int) override {}
  QString attributes(int Offset, int* StartOffset, int* EndOffset) const override;

 private:
  TQpCustomTerminal* Terminal() const;
};

// The events that tell a reader how Before became After (the rules above), as positions and
// texts; exposed for tests.
struct TTextChange {
  enum TKind { tcInsert, tcRemove, tcUpdate } Kind;
  int Position;
  QString OldText, NewText;
};
std::vector<TTextChange> DescribeTextChange(const QString& Before, const QString& After);
