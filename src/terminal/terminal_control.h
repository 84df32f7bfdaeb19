#pragma once
// The terminal control: a widget that shows a terminal screen buffer through its emulator,
// reads what a port receives and sends what the user types.
//
// Port link: the control registers a window handle with the port (qpw_PortOpen,
// qpw_ClosePending, qpw_PortClose) and, while attached, a receiver with the port's dispatcher.
// The receiver runs on the thread that delivers the dispatcher's notifications (the GUI thread
// with the network layer, the dispatcher thread with the serial layer); it only copies the
// announced bytes into the locked input queue and posts qpw_TermStuff. Detaching closes the
// queue's gate first, so a receiver copy still in flight adds nothing and never touches the
// dispatcher; the receiver holds the queue by shared_ptr, so it may outlive the control.
//
// Display: the emulator paints into a backing image the size of the client area (lazily: at
// most every heartbeat, 100 ms); the viewport shows the image and the caret on top of it.
//
// Beside the design's Windows habits (Ctrl+C / Ctrl+Insert copy, copy on release) the control
// keeps the Linux ones: a context menu (right click, Menu key), a drag selection offered as the
// primary selection, middle click and Shift+Insert pasting through the same paste path.
//
// Everything but the receiver runs on the GUI thread.

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QPoint>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "terminal/term_byte_queue.h"
#include "terminal/terminal_emulator.h"

class QAction;
class QMenu;
class QTimer;
class QScrollBar;
class TQpCustomComPort;
class TQpBaseDispatcher;
class TQpTTYEmulator;

enum TQpCaptureMode { cmOff = 0, cmOn = 1, cmAppend = 2 };
enum TQpBorderStyle { bsNone = 0, bsSingle = 1 };

constexpr UINT qpw_TermStuff = 0x7E47;
constexpr UINT qpw_TermForceSize = 0x7E4D;
constexpr UINT qpw_TermWaitForPort = 0x7E89;

constexpr bool qpc_TermActive = true;
constexpr bool qpc_TermAutoCopy = true;
constexpr bool qpc_TermAutoScrollback = true;
constexpr int qpc_TermBlinkTime = 500;
constexpr TQpBorderStyle qpc_TermBorderStyle = bsSingle;
constexpr TQpCaptureMode qpc_TermCapture = cmOff;
constexpr const char* qpc_TermCaptureFile = "QPTERM.CAP";
constexpr int qpc_TermColumnCount = 80;
constexpr TQpCursorType qpc_TermCursorType = ctBlock;
constexpr bool qpc_TermFollowsCursor = true;
constexpr bool qpc_TermHalfDuplex = false;
constexpr bool qpc_TermHideScrollbars = false;
constexpr int qpc_TermLazyByteDelay = 200;
constexpr int qpc_TermLazyTimeDelay = 100;
constexpr bool qpc_TermMouseSelect = true;
constexpr bool qpc_TermPasteToPort = false;
constexpr bool qpc_TermPasteToScreen = false;
constexpr int qpc_TermRowCount = 24;
constexpr int qpc_TermScrollRowCount = 200;
constexpr bool qpc_TermScrollback = false;
constexpr bool qpc_TermUseLazyDisplay = true;
constexpr bool qpc_TermWantAllKeys = true;
constexpr bool qpc_FreezeScrollback = true;

// Scroll requests as the bars make them; for the horizontal bar "up" is left and "down" right.
enum TScrollCode { scLineUp = 0, scLineDown = 1, scPageUp = 2, scPageDown = 3, scThumbPosition = 4, scThumbTrack = 5 };

// What a scroll bar shows: range, page and position as the view computes them.
struct TQpScrollInfo {
  int Min = 0, Max = 0, Page = 0, Pos = 0;
  bool operator==(const TQpScrollInfo&) const = default;
};

class TQpCustomTerminal : public QAbstractScrollArea, public TQpTerminalHost {
  Q_OBJECT
 public:
  // The heartbeat's interval, ms.
  static constexpr int BeatInterval = 100;
  // Bytes processed per qpw_TermStuff before the loop gets its turn again.
  static constexpr std::size_t SliceBytes = 256 * 1024;
  // Thickness of the scroll bars, pixels (pinned: the client area must not depend on a style).
  static constexpr int ScrollBarSize = 17;

  explicit TQpCustomTerminal(QWidget* Parent = nullptr);
  ~TQpCustomTerminal() override;

  // ---- port link ----
  TQpCustomComPort* ComPort() const { return FComPort; }
  void SetComPort(TQpCustomComPort* V);
  bool Active() const { return FActive; }
  void SetActive(bool V);
  bool Attached() const { return FTriggerHandlerOn; }
  bool WaitingForComPortOpen() const { return FWaitingForComPortOpen; }
  HWND Handle() const { return FHandle; }

  // ---- writing ----
  void Clear();
  void ClearAll();
  void WriteChar(char aCh) { WriteStringSource(std::string(1, aCh), csWriteChar); }
  void WriteString(const std::string& aSt) { WriteStringSource(aSt, csWriteChar); }
  void WriteCharSource(char aCh, TQpCharSource Source) { WriteStringSource(std::string(1, aCh), Source); }
  void WriteStringSource(const std::string& aSt, TQpCharSource Source);
  TTermInput& Input() { return *FInput; }
  // Bytes processed since construction.
  std::uint64_t ProcessedBytes() const { return FProcessed; }
  // Bytes received or written and not processed yet.
  std::size_t PendingBytes() const { return FInput->Count() + (FWork.size() - FWorkPos); }

  // ---- capture ----
  TQpCaptureMode Capture() const { return FCapture; }
  void SetCapture(TQpCaptureMode V);
  const std::string& CaptureFile() const { return FCaptureFile; }
  void SetCaptureFile(const std::string& V);

  // ---- properties ----
  bool AutoCopy() const { return FAutoCopy; }
  void SetAutoCopy(bool V) { FAutoCopy = V; }
  bool AutoScrollback() const { return FAutoScrollback; }
  void SetAutoScrollback(bool V) { FAutoScrollback = V; }
  int BlinkTime() const { return FBlinkTime; }
  void SetBlinkTime(int V);
  TQpBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TQpBorderStyle V);
  int Columns() const;
  void SetColumns(int V);
  int Rows() const;
  void SetRows(int V);
  int ScrollbackRows() const;
  void SetScrollbackRows(int V);
  TQpCursorType CursorType() const { return FCursorType; }
  void SetCursorType(TQpCursorType V) override;
  void SetFollowCursor(bool V);
  bool HalfDuplex() const override { return FHalfDuplex; }
  void SetHalfDuplex(bool V) { FHalfDuplex = V; }
  bool HideScrollbars() const override { return FHideScrollbars; }
  void SetHideScrollbars(bool V);
  int LazyByteDelay() const { return FLazyByteDelay; }
  void SetLazyByteDelay(int V);
  int LazyTimeDelay() const { return FLazyTimeDelay; }
  void SetLazyTimeDelay(int V);
  bool MouseSelect() const { return FMouseSelect; }
  void SetMouseSelect(bool V);
  bool PasteToPort() const { return FPasteToPort; }
  void SetPasteToPort(bool V) { FPasteToPort = V; }
  bool PasteToScreen() const { return FPasteToScreen; }
  void SetPasteToScreen(bool V) { FPasteToScreen = V; }
  bool Scrollback() const { return FScrollback; }
  void SetScrollback(bool V);
  bool UseLazyDisplay() const { return FUseLazyDisplay; }
  void SetUseLazyDisplay(bool V) { FUseLazyDisplay = V; }
  bool WantAllKeys() const { return FWantAllKeys; }
  void SetWantAllKeys(bool V) { FWantAllKeys = V; }
  void SetFreezeScrollBack(bool V) { FFreezeScrollBack = V; }
  // A carriage return also moves to the next line, so a device that ends its lines with CR alone
  // shows them as a list; CR LF still ends one line. Off by default; it acts on what comes next.
  bool NewLineAfterCR() const override { return FNewLineAfterCR; }
  void SetNewLineAfterCR(bool V) { FNewLineAfterCR = V; }
  // The user switched NewLineAfterCR in the context menu (a host may store the choice).
  std::function<void(bool On)> OnNewLineAfterCRChange;
  TColor Color() const override { return FColor; }
  void SetColor(TColor V) override;
  TColor FontColor() const override { return FFontColor; }
  void SetFontColor(TColor V) override;
  QFont Font() const override { return FFont; }
  void SetTermFont(const QFont& F);
  // Pixels added to each cell (0 or more).
  int CharHPadding() const { return FCharHPadding; }
  void SetCharHPadding(int V);
  int CharVPadding() const { return FCharVPadding; }
  void SetCharVPadding(int V);
  int CharWidth() const { return FCharWidth; }
  int CharHeight() const { return FCharHeight; }
  int GetTotalCharWidth() const;
  int GetTotalCharHeight() const;
  // The Emulator property: an external emulator, or null for the control's own TTY emulator.
  // Switching keeps the buffer's three sizes.
  void SetEmulatorProp(TQpTerminalEmulator* V);
  TQpTerminalEmulator* EmulatorInUse() const { return FEmulator; }
  TQpTTYEmulator* DefEmulator() const { return FDefEmulator.get(); }
  TQpTerminalBuffer* Buffer() const;
  TQpOnCursorMovedEvent OnCursorMoved;
  // Enter and Esc as the window's default and cancel buttons: true when the window took the
  // key (then it goes no further). Unset, they go to the emulator like other keys.
  std::function<bool(int QtKey)> OnDialogKey;

  // ---- cell access (external absolute row, 1-based column; out of range: defaults, no write) ----
  TQpTerminalCharAttrs Attributes(int Row, int Col) const;
  void SetAttributes(int Row, int Col, TQpTerminalCharAttrs V);
  TColor BackColor(int Row, int Col) const;
  TColor ForeColor(int Row, int Col) const;
  std::uint8_t CharSet(int Row, int Col) const;
  std::string Line(int Row) const;
  void SetLine(int Row, const std::string& S);

  // ---- view ----
  int ClientCols() const override { return FClientCols; }
  int ClientRows() const override { return FClientRows; }
  int ClientFullCols() const { return FClientFullCols; }
  int ClientFullRows() const { return FClientFullRows; }
  int ClientOriginCol() const override { return FOriginCol; }
  int ClientOriginRow() const override { return FOriginRow; }
  void SetClientOriginCol(int V);
  void SetClientOriginRow(int V);
  bool UsingHScrollBar() const { return FUseHScrollBar; }
  bool UsingVScrollBar() const { return FUseVScrollBar; }
  const TQpScrollInfo& ScrollHorzInfo() const { return FScrollHorzInfo; }
  const TQpScrollInfo& ScrollVertInfo() const { return FScrollVertInfo; }
  QRect UsedRect() const { return FUsedRect; }
  QRect UnusedRightRect() const { return FUnusedRightRect; }
  QRect UnusedBottomRect() const { return FUnusedBottomRect; }
  // The client area in pixels (inside the edge, beside the bars).
  QSize ClientSize() const;
  // Scroll requests as the bars make them: a TScrollCode (other codes are ignored) and, for the
  // thumb codes, its position.
  void WMHScroll(int Code, int Thumb);
  void WMVScroll(int Code, int Thumb);
  // Where the caret is drawn, empty when it is not shown.
  QRect CaretRect() const;
  bool HasFocus() const { return hasFocus(); }

  // ---- selection and clipboard ----
  bool HaveSelection() const { return FHaveSelection; }
  // Start and end cells of the selection (left, top) .. (right, bottom).
  TRect SelectionRect() const { return FLButtonRect; }
  void CopyToClipboard();
  void PasteFromClipboard();
  // The primary selection (the text last selected anywhere), pasted as PasteFromClipboard does:
  // only with PasteToPort or PasteToScreen. Nothing where the platform has no such selection.
  void PasteFromSelection();
  void HideSelection();
  // The screen, and the scrollback above it from its oldest row holding text.
  void SelectAll();
  std::string SelectionText() const;

  // ---- screen readers (terminal_accessible.h) ----
  // The rows as one text and the caret's offset in it; changes are told at most once every
  // A11yInterval ms, and not while hidden.
  QString AccessibleText(int* Caret = nullptr) const;
  static constexpr int A11yInterval = 250;
  int A11yRounds() const { return FA11yRounds; }  // rounds of change events told so far
  bool A11yPending() const;                         // a round is due

  // ---- context menu: Copy, Paste, Select All, Clear, New line after carriage return ----
  // Made with the control; each opening brings its items' states up to date.
  QMenu* ContextMenu() const { return FMenu; }
  void ShowContextMenu(const QPoint& GlobalPos);

  // ---- lazy display, for the heartbeat and tests ----
  void Beat();
  int LazyByteCount() const { return FLazyByteCount; }
  int LazyTimeCount() const { return FLazyTimeCount; }
  // Lazy paints made (heartbeat or at once).
  int PaintCount() const { return FPaintCount; }

  // ---- TQpTerminalHost ----
  TQpTerminalEmulator* Emulator() const override { return FExternal; }
  void SetEmulator(TQpTerminalEmulator* E) override;
  bool LazyDisplay() const override { return FUseLazyDisplay; }
  bool FollowCursor() const override { return FFollowCursor; }
  void DoFollowCursor() override;
  void UpdateHiddenBars(int Row, int Col) override;
  void CursorMoved(TQpTerminalBuffer* Sender, int Row, int Col) override;
  void RepaintNow() override;
  void Bell() override;
  int TotalCharWidth() const override { return GetTotalCharWidth(); }
  int TotalCharHeight() const override { return GetTotalCharHeight(); }
  bool FreezeScrollBack() const override { return FFreezeScrollBack; }
  bool HasPort() const override { return FComPort != nullptr; }
  bool PortOpen() const override;
  bool IsMasterTerminal() const override;
  void PortPutChar(std::uint8_t C) override;
  void PortPutString(const std::string& S) override;

 protected:
  bool event(QEvent* E) override;
  bool viewportEvent(QEvent* E) override;
  void paintEvent(QPaintEvent* E) override;
  void resizeEvent(QResizeEvent* E) override;
  void keyPressEvent(QKeyEvent* E) override;
  void contextMenuEvent(QContextMenuEvent* E) override;
  void mousePressEvent(QMouseEvent* E) override;
  void mouseMoveEvent(QMouseEvent* E) override;
  void mouseReleaseEvent(QMouseEvent* E) override;
  void focusInEvent(QFocusEvent* E) override;
  void focusOutEvent(QFocusEvent* E) override;
  void wheelEvent(QWheelEvent* E) override;
  bool focusNextPrevChild(bool Next) override;
  void scrollContentsBy(int Dx, int Dy) override;

 private:
  // The event handlers' bodies, each called guarded: a port may raise on a send.
  void KeyPress(QKeyEvent* E);
  void MousePress(QMouseEvent* E);
  void MouseMove(QMouseEvent* E);
  void MouseRelease(QMouseEvent* E);
  void WndProc(TMessage& M);
  void tmAttachToComPort();
  void tmDetachFromComPort();
  void AwpWaitForPort();
  void ApwTermStuff(TQpCharSource Source);
  void ApwTermForceSize();
  void PostStuff(TQpCharSource Source);
  void LazyPaintNow(bool Synchronous);
  void RepaintAll();
  void RepaintRows(int FromRow, int ToRow);
  void tmGetFontInfo();
  void tmCalcExtent();
  bool tmNeedHScrollbar() const;
  bool tmNeedVScrollbar() const;
  void tmInitHScrollBar();
  void tmInitVScrollBar();
  void ApplyBars();
  int ClampOriginCol(int V, int FullCols) const;
  int ClampOriginRow(int V, int FullRows) const;
  void FitOriginToBuffer();
  void tmPositionCaret();
  void BlinkCaret();
  void WriteCapture(const std::uint8_t* Data, std::size_t Len);
  void CloseCaptureFile();
  QPoint ClampToCells(QPoint P) const;
  void tmStartSelect(QPoint P);
  void tmGrowSelect(QPoint P);
  void MarkSelection(const TRect& R, bool On);
  void SelectionScrolled(int Count, int TopRow, int BottomRow);
  void WMCancelMode();
  void PasteFrom(QClipboard::Mode Mode);
  void OfferSelection();
  void MakeContextMenu();
  void HookBuffer();
  void UnhookBuffer();
  // A change of the rows: starts the round that tells readers, when one is listening.
  void NoteTextChanged();
  void TellTextChanged();
  // Shown: what a reader is told of from now on starts from the rows as they are.
  void ForgetToldText();

  HWND FHandle = 0;
  QTimer* FA11yTimer = nullptr;
  QString FA11ySaid;  // the text as readers were last told it
  int FA11yCaret = 0;
  int FA11yRounds = 0;
  std::shared_ptr<TTermInput> FInput;
  std::vector<std::uint8_t> FWork;  // taken from the queue, being processed in slices
  std::size_t FWorkPos = 0;
  bool FInStuff = false;  // a slice is being processed (a nested loop must not start another)
  std::uint64_t FProcessed = 0;

  TQpCustomComPort* FComPort = nullptr;
  std::weak_ptr<TQpBaseDispatcher> FAttachedTo;
  bool FActive = qpc_TermActive;
  bool FTriggerHandlerOn = false;
  bool FWaitingForComPortOpen = false;
  bool FWaitingForPort = false;

  std::unique_ptr<TQpTTYEmulator> FDefEmulator;
  TQpTerminalEmulator* FExternal = nullptr;
  TQpTerminalEmulator* FEmulator = nullptr;

  TQpCaptureMode FCapture = qpc_TermCapture;
  std::string FCaptureFile = qpc_TermCaptureFile;
  std::FILE* FCaptureStream = nullptr;

  QTimer* FHeartbeat = nullptr;
  QTimer* FCaretTimer = nullptr;
  int FBlinkTime = qpc_TermBlinkTime, FBlinkTimeCount = 0;
  bool FBlinkTextVisible = true;
  TQpBorderStyle FBorderStyle = qpc_TermBorderStyle;
  TQpCursorType FCursorType = qpc_TermCursorType;
  bool FHalfDuplex = qpc_TermHalfDuplex;
  int FLazyByteCount = 0, FLazyTimeCount = 0;
  int FLazyByteDelay = qpc_TermLazyByteDelay, FLazyTimeDelay = qpc_TermLazyTimeDelay;
  bool FUseLazyDisplay = qpc_TermUseLazyDisplay;
  bool FWantAllKeys = qpc_TermWantAllKeys;
  bool FFreezeScrollBack = qpc_FreezeScrollback;
  bool FMouseSelect = qpc_TermMouseSelect, FAutoCopy = qpc_TermAutoCopy, FAutoScrollback = qpc_TermAutoScrollback;
  bool FHideScrollbars = qpc_TermHideScrollbars;
  bool FHideScrollbarHActive = false, FHideScrollBarVActive = false;
  bool FFollowCursor = qpc_TermFollowsCursor;
  bool FPasteToPort = qpc_TermPasteToPort, FPasteToScreen = qpc_TermPasteToScreen;
  bool FScrollback = qpc_TermScrollback;
  bool FNewLineAfterCR = false;
  TColor FColor = 0x000000, FFontColor = 0xC0C0C0;
  QFont FFont;
  int FCharWidth = 0, FCharHeight = 0, FCharHPadding = 0, FCharVPadding = 0;
  int FPaintCount = 0;

  int FOriginCol = 1, FOriginRow = 1;
  int FClientCols = 0, FClientFullCols = 0, FClientRows = 0, FClientFullRows = 0;
  bool FUseHScrollBar = false, FUseVScrollBar = false;
  bool FHBarShown = false, FVBarShown = false;
  bool FForceSizePosted = false;
  TQpScrollInfo FScrollHorzInfo, FScrollVertInfo;
  QRect FUsedRect, FUnusedRightRect, FUnusedBottomRect;
  QImage FImage;  // the client area's pixels

  bool FCaretOn = false;      // shown (focus, a caret type, inside the client area)
  bool FCaretPhase = true;    // blink phase
  QRect FCaretRect;

  bool FLButtonDown = false, FMoved = false;
  QPoint FLButtonAnchor;      // column, external row
  TRect FLButtonRect;         // empty: all zero
  bool FHaveSelection = false;
  bool FCaptureReported = false;
  bool FSelectionHooked = false;
  QElapsedTimer FBellTimer;

  QMenu* FMenu = nullptr;
  QAction *FCopyAction = nullptr, *FPasteAction = nullptr, *FNewLineAction = nullptr;
};

class TQpTerminal : public TQpCustomTerminal {
  Q_OBJECT
 public:
  using TQpCustomTerminal::TQpCustomTerminal;
};
