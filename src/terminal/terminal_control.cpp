// The terminal control's core (TQpCustomTerminal; the view is in terminal_view.cpp, the mouse
// selection and clipboard in terminal_selection.cpp): messages, the port link, input
// processing, capture, heartbeat and painting, font and sizes, emulators and keys.
#include "terminal/terminal_control.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/colors.h"
#include "platform/error_handler.h"
#include "platform/text_util.h"
#include "port/com_port.h"
#include "port/port_dispatch.h"
#include "port/trigger_engine.h"
#include "terminal/terminal_accessible.h"
#include "terminal/terminal_keys.h"
#include "terminal/tty_emulator.h"

namespace {

// Scroll bars of a pinned thickness, so the client area is the same in every style.
class TPinnedScrollBar : public QScrollBar {
 public:
  TPinnedScrollBar(Qt::Orientation O, QWidget* Parent) : QScrollBar(O, Parent) {}
  QSize sizeHint() const override {
    QSize S = QScrollBar::sizeHint();
    if (orientation() == Qt::Horizontal) S.setHeight(TQpCustomTerminal::ScrollBarSize);
    else S.setWidth(TQpCustomTerminal::ScrollBarSize);
    return S;
  }
  QSize minimumSizeHint() const override {
    QSize S = QScrollBar::minimumSizeHint();
    if (orientation() == Qt::Horizontal) S.setHeight(TQpCustomTerminal::ScrollBarSize);
    else S.setWidth(TQpCustomTerminal::ScrollBarSize);
    return S;
  }
};

// A bar action's scroll code; -1 for actions that are no scroll request.
int ActionCode(int Action) {
  switch (Action) {
    case QAbstractSlider::SliderSingleStepSub: return scLineUp;
    case QAbstractSlider::SliderSingleStepAdd: return scLineDown;
    case QAbstractSlider::SliderPageStepSub: return scPageUp;
    case QAbstractSlider::SliderPageStepAdd: return scPageDown;
    case QAbstractSlider::SliderMove: return scThumbTrack;
    default: return -1;
  }
}

}  // namespace

TQpCustomTerminal::TQpCustomTerminal(QWidget* Parent) : QAbstractScrollArea(Parent), FInput(std::make_shared<TTermInput>()) {
  setHorizontalScrollBar(new TPinnedScrollBar(Qt::Horizontal, this));
  setVerticalScrollBar(new TPinnedScrollBar(Qt::Vertical, this));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAutoFillBackground(false);
  viewport()->setCursor(Qt::IBeamCursor);

  FHandle = AllocateHWnd([this](TMessage& M) { GuardedCall([&] { WndProc(M); }); });
  InstallTerminalAccessibility();
  FHeartbeat = new QTimer(this);
  FHeartbeat->setInterval(BeatInterval);
  connect(FHeartbeat, &QTimer::timeout, this, [this] { GuardedCall([this] { Beat(); }); });
  FCaretTimer = new QTimer(this);
  connect(FCaretTimer, &QTimer::timeout, this, [this] { BlinkCaret(); });

  MakeContextMenu();

  FDefEmulator = std::make_unique<TQpTTYEmulator>(true);
  FDefEmulator->SetTerminal(this);
  FEmulator = FDefEmulator.get();
  HookBuffer();
  FFont = QFont(QStringLiteral("Terminal"));
  FFont.setPixelSize(12);
  resize(300, 200);

  connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, [this](int A) {
    const int Code = ActionCode(A);
    if (Code >= 0) GuardedCall([&] { WMHScroll(Code, horizontalScrollBar()->sliderPosition()); });
    horizontalScrollBar()->setSliderPosition(FScrollHorzInfo.Pos);
  });
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int A) {
    const int Code = ActionCode(A);
    if (Code >= 0) GuardedCall([&] { WMVScroll(Code, verticalScrollBar()->sliderPosition()); });
    verticalScrollBar()->setSliderPosition(FScrollVertInfo.Pos);
  });

  // The window exists from here: measure, lay out, beat.
  tmGetFontInfo();
  tmCalcExtent();
  FHeartbeat->start();
}

TQpCustomTerminal::~TQpCustomTerminal() {
  FHeartbeat->stop();
  if (FComPort) {
    tmDetachFromComPort();
    FComPort->DeregisterUser(FHandle);
    if (FComPort->MasterTerminal() == this) FComPort->SetMasterTerminal(nullptr);
    FComPort = nullptr;
  }
  FInput->CloseGate();
  DeallocateHWnd(FHandle);
  CloseCaptureFile();
  UnhookBuffer();
  // The link record goes without notice: the emulators only forget this control.
  FDefEmulator->SetTerminal(nullptr);
  TQpTerminalEmulator::TerminalRemoved(this);
}

// ---------------------------------------------------------------- messages

void TQpCustomTerminal::WndProc(TMessage& M) {
  switch (M.Msg) {
    case qpw_PortOpen:
      if (FWaitingForComPortOpen) tmAttachToComPort();
      break;
    case qpw_PortClose:
    case qpw_ClosePending: tmDetachFromComPort(); break;
    case qpw_TermStuff: ApwTermStuff(TQpCharSource(M.WParam)); break;
    case qpw_TermForceSize: ApwTermForceSize(); break;
    case qpw_TermWaitForPort: AwpWaitForPort(); break;
    case qpw_TermNeedsUpdate:
      if (!FUseLazyDisplay && FEmulator->NeedsUpdate()) LazyPaintNow(false);
      break;
    default: break;
  }
}

// ---------------------------------------------------------------- port link

void TQpCustomTerminal::SetComPort(TQpCustomComPort* V) {
  if (V == FComPort) return;
  if (FComPort) {
    tmDetachFromComPort();
    FComPort->DeregisterUser(FHandle);
    if (FComPort->MasterTerminal() == this) FComPort->SetMasterTerminal(nullptr);
  }
  FComPort = V;
  FWaitingForComPortOpen = false;
  if (!V) {
    FWaitingForComPortOpen = FActive;
    return;
  }
  V->RegisterUserEx(FHandle);
  if (!V->MasterTerminal()) V->SetMasterTerminal(this);
  if (FActive) tmAttachToComPort();
}

void TQpCustomTerminal::SetActive(bool V) {
  if (V == FActive) return;
  FWaitingForComPortOpen = false;
  FActive = V;
  if (!FComPort) {
    FWaitingForComPortOpen = V;
    return;
  }
  if (V) tmAttachToComPort();
  else tmDetachFromComPort();
}

void TQpCustomTerminal::tmAttachToComPort() {
  FWaitingForComPortOpen = true;
  PostMessage(FHandle, qpw_TermWaitForPort, 0, 0);
}

void TQpCustomTerminal::AwpWaitForPort() {
  if (FWaitingForPort || !FComPort) return;
  FWaitingForPort = true;
  const ScopeExit Done([this] { FWaitingForPort = false; });
  if (FComPort->IsLoading()) {
    PostMessage(FHandle, qpw_TermWaitForPort, 0, 0);
    return;
  }
  if (FTriggerHandlerOn) {
    FWaitingForComPortOpen = FActive;
    return;
  }
  if (!FComPort->Open() && !FComPort->AutoOpen()) {
    FWaitingForComPortOpen = FActive;
    return;
  }
  FWaitingForComPortOpen = false;
  if (!FComPort->Open()) FComPort->SetOpen(true);
  if (FActive) {
    std::shared_ptr<TQpBaseDispatcher> D = FComPort->Dispatcher();
    if (D) {
      // The receiver holds the queue, the gate's number and the dispatcher that calls it: it
      // reads through that dispatcher only while it is the one calling.
      const std::uint64_t Gate = FInput->OpenGate();
      TQpBaseDispatcher* Raw = D.get();
      D->RegisterEventTriggerHandler(this, [In = FInput, Gate, Raw, H = FHandle](UINT Msg, WPARAM Count, LPARAM) {
        if (Msg != qpw_TriggerAvail || Count == 0) return;
        const bool Post = In->Append(Gate, std::size_t(Count), [Raw](std::uint8_t* To, std::size_t N) {
          const std::int32_t Got = Raw->GetBlock(To, std::uint32_t(N));
          return Got > 0 ? std::size_t(Got) : std::size_t(0);
        });
        if (Post) PostMessage(H, qpw_TermStuff, csPort, 0);
      });
      FAttachedTo = D;
      FTriggerHandlerOn = true;
    }
  }
  tmGetFontInfo();
  // Onto a screen that holds text (the link back after a loss) output goes on below it: from
  // row 1 each new line would overwrite an old one and leave its tail beside a short answer.
  if (Buffer()) Buffer()->ContinueBelowText();
}

void TQpCustomTerminal::tmDetachFromComPort() {
  if (FTriggerHandlerOn) {
    FInput->CloseGate();
    if (auto D = FAttachedTo.lock()) D->DeregisterEventTriggerHandler(this);
    FAttachedTo.reset();
    FTriggerHandlerOn = false;
  }
  if (FActive) FWaitingForComPortOpen = true;
}

bool TQpCustomTerminal::PortOpen() const { return FComPort && FComPort->Open(); }
bool TQpCustomTerminal::IsMasterTerminal() const { return FComPort && FComPort->MasterTerminal() == this; }
void TQpCustomTerminal::PortPutChar(std::uint8_t C) {
  if (FComPort && FComPort->Open()) FComPort->PutChar(C);
}
void TQpCustomTerminal::PortPutString(const std::string& S) {
  if (FComPort && FComPort->Open()) FComPort->PutString(S);
}

// ---------------------------------------------------------------- input processing

void TQpCustomTerminal::WriteStringSource(const std::string& aSt, TQpCharSource Source) {
  if (aSt.empty()) return;
  if (FInput->Append(aSt.data(), aSt.size())) PostMessage(FHandle, qpw_TermStuff, WPARAM(Source), 0);
}

void TQpCustomTerminal::PostStuff(TQpCharSource Source) {
  if (FInput->ArmNotice()) PostMessage(FHandle, qpw_TermStuff, WPARAM(Source), 0);
}

void TQpCustomTerminal::ApwTermStuff(TQpCharSource Source) {
  FInput->NoticeTaken();
  // A loop run from inside processing (a modal error box) leaves the bytes to the call already
  // under way, which announces what is left when it ends: they stay in order and are shown once.
  if (FInStuff) return;
  FInStuff = true;
  if (FInput->TakeDropReport())
    qWarning("Terminal: data arrived faster than it could be shown; the oldest bytes were dropped");
  if (FWorkPos >= FWork.size()) {
    FInput->TakeAll(FWork);
    FWorkPos = 0;
  }
  // Whatever happens below, what is left is announced again and nothing is processed twice.
  const ScopeExit Repost([this, Source] {
    FInStuff = false;
    if (FWorkPos < FWork.size() || FInput->Count() > 0) PostStuff(Source);
  });
  const std::size_t N = std::min(FWork.size() - FWorkPos, SliceBytes);
  if (N == 0) return;
  // Only this call changes FWork, so the slice stays put while it is processed.
  const std::uint8_t* Slice = FWork.data() + FWorkPos;
  FWorkPos += N;
  FProcessed += N;
  FLazyByteCount += int(std::min<std::size_t>(N, 1 << 30));
  if (FCapture == cmOn && FCaptureStream) WriteCapture(Slice, N);
  FEmulator->ProcessBlock(Slice, N, Source);
  if (!FUseLazyDisplay && FEmulator->NeedsUpdate()) LazyPaintNow(false);
  NoteTextChanged();
}

// ---------------------------------------------------------------- capture

void TQpCustomTerminal::CloseCaptureFile() {
  if (FCaptureStream) std::fclose(FCaptureStream);
  FCaptureStream = nullptr;
}

void TQpCustomTerminal::SetCapture(TQpCaptureMode V) {
  if (V == FCapture || (V == cmAppend && FCapture == cmOn)) return;
  if (FCapture == cmOn) CloseCaptureFile();
  FCapture = V;
  if (V == cmOff) return;
  if (FCaptureFile.empty()) FCaptureFile = qpc_TermCaptureFile;
  FCaptureStream = std::fopen(FCaptureFile.c_str(), V == cmOn ? "wb" : "r+b");
  if (!FCaptureStream)
    throw EQpTerminalError(tr("Cannot open file \"%1\". %2").arg(QString::fromStdString(FCaptureFile), QString::fromLocal8Bit(std::strerror(errno))).toStdString());
  if (V == cmAppend) {
    std::fseek(FCaptureStream, 0, SEEK_END);
    FCapture = cmOn;
  }
  FCaptureReported = false;
}

void TQpCustomTerminal::SetCaptureFile(const std::string& V) {
  if (V == FCaptureFile) return;
  if (FCapture == cmOn) {
    SetCapture(cmOff);
    FCaptureFile = V;
    SetCapture(cmOn);
  } else {
    FCaptureFile = V;
  }
}

// A failing write switches capture off and is reported once; the bytes go on to the screen.
void TQpCustomTerminal::WriteCapture(const std::uint8_t* Data, std::size_t Len) {
  const bool Ok = std::fwrite(Data, 1, Len, FCaptureStream) == Len && std::fflush(FCaptureStream) == 0;
  if (Ok) return;
  const int Err = errno;
  CloseCaptureFile();
  FCapture = cmOff;
  if (FCaptureReported) return;
  FCaptureReported = true;
  HandleException(std::make_exception_ptr(
      EQpTerminalError(tr("Capture to \"%1\" stopped: %2").arg(QString::fromStdString(FCaptureFile), QString::fromLocal8Bit(std::strerror(Err))).toStdString())));
}

// ---------------------------------------------------------------- heartbeat and painting

void TQpCustomTerminal::Beat() {
  // Drag scrolling: the pointer outside the client area scrolls one cell a beat.
  if (FLButtonDown && FMouseSelect) {
    const QPoint P = viewport()->mapFromGlobal(QCursor::pos());
    const QSize C = ClientSize();
    if (FUseHScrollBar && P.x() < 0) WMHScroll(scLineUp, 0);
    else if (FUseHScrollBar && P.x() >= C.width()) WMHScroll(scLineDown, 0);
    if (P.y() < 0) WMVScroll(scLineUp, 0);
    else if (P.y() >= C.height()) WMVScroll(scLineDown, 0);
    if (P.x() < 0 || P.y() < 0 || P.x() >= C.width() || P.y() >= C.height()) tmGrowSelect(ClampToCells(P));
  }
  if (FBlinkTime > 0) {
    FBlinkTimeCount += BeatInterval;
    if (FBlinkTimeCount > FBlinkTime) {
      FBlinkTextVisible = !FBlinkTextVisible;
      if (FEmulator->HasBlinkingText() && !FImage.isNull()) {
        QPainter P(&FImage);
        P.setClipRect(FUsedRect);
        FEmulator->BlinkPaint(P, FBlinkTextVisible);
        viewport()->update();
      }
      FBlinkTimeCount = 0;
    }
  }
  if (FUseLazyDisplay) {
    FLazyTimeCount += BeatInterval;
    if (FEmulator->NeedsUpdate() && (FLazyTimeCount > FLazyTimeDelay || FLazyByteCount > FLazyByteDelay)) {
      LazyPaintNow(true);
      FLazyTimeCount = 0;
      FLazyByteCount = 0;
    }
  }
}

void TQpCustomTerminal::LazyPaintNow(bool Synchronous) {
  if (FImage.isNull()) return;
  {
    QPainter P(&FImage);
    P.setClipRect(QRect(0, 0, GetTotalCharWidth() * FClientCols, GetTotalCharHeight() * FClientRows));
    FEmulator->LazyPaint(P);
  }
  ++FPaintCount;
  // The caret is placed here, which settles a cursor move too; left pending, it would make the
  // block's own notice paint a second time.
  if (TQpTerminalBuffer* B = Buffer()) (void)B->HasCursorMoved();
  tmPositionCaret();
  // From the heartbeat the paint is made at once: a flood of posted messages must not keep
  // the low-priority update request waiting.
  if (Synchronous && viewport()->isVisible()) viewport()->repaint();
  else viewport()->update();
}

void TQpCustomTerminal::RepaintNow() {
  if (!FUseLazyDisplay && FEmulator->NeedsUpdate()) LazyPaintNow(false);
}

void TQpCustomTerminal::RepaintAll() {
  if (FImage.isNull()) return;
  {
    QPainter P(&FImage);
    const QColor Back = ColorToQColor(FColor);
    P.fillRect(FUnusedRightRect, Back);
    P.fillRect(FUnusedBottomRect, Back);
    if (!FUsedRect.isEmpty()) {
      P.setClipRect(FUsedRect);
      FEmulator->Paint(P, FUsedRect);
    }
  }
  tmPositionCaret();
  viewport()->update();
  NoteTextChanged();
}

void TQpCustomTerminal::RepaintRows(int FromRow, int ToRow) {
  if (FImage.isNull()) return;
  const int H = GetTotalCharHeight();
  const int Top = std::max(FromRow, FOriginRow), Bottom = std::min(ToRow, FOriginRow + FClientRows - 1);
  if (Top > Bottom) return;
  const QRect R = QRect(0, (Top - FOriginRow) * H, FUsedRect.width(), (Bottom - Top + 1) * H) & FUsedRect;
  if (R.isEmpty()) return;
  {
    QPainter P(&FImage);
    P.setClipRect(R);
    FEmulator->Paint(P, R);
  }
  viewport()->update(R);
}

void TQpCustomTerminal::paintEvent(QPaintEvent* E) {
  QPainter P(viewport());
  const QRect R = E->rect();
  const QColor Back = ColorToQColor(FColor);
  if (FImage.isNull()) {
    P.fillRect(R, Back);
    return;
  }
  P.drawImage(R.topLeft(), FImage, R);
  // Anything beyond the image (a viewport briefly larger than the client area) in Color.
  if (!FImage.rect().contains(R)) {
    P.fillRect(QRect(FImage.width(), R.top(), R.right() - FImage.width() + 1, R.height()), Back);
    P.fillRect(QRect(R.left(), FImage.height(), R.width(), R.bottom() - FImage.height() + 1), Back);
  }
  if (FCaretOn && FCaretPhase && R.intersects(FCaretRect)) {
    P.setCompositionMode(QPainter::RasterOp_NotDestination);
    P.fillRect(FCaretRect, Qt::white);
  }
}

bool TQpCustomTerminal::viewportEvent(QEvent* E) {
  if (E->type() == QEvent::Wheel) {
    E->ignore();  // no wheel scrolling in this control
    return true;
  }
  return QAbstractScrollArea::viewportEvent(E);
}

void TQpCustomTerminal::wheelEvent(QWheelEvent* E) { E->ignore(); }

// The view moves the origin itself (WMHScroll/WMVScroll); values set by the bars change nothing.
void TQpCustomTerminal::scrollContentsBy(int, int) {}

// ---------------------------------------------------------------- font, colours, sizes

int TQpCustomTerminal::GetTotalCharWidth() const { return std::max(FCharWidth + FCharHPadding, 1); }
int TQpCustomTerminal::GetTotalCharHeight() const { return std::max(FCharHeight + FCharVPadding, 1); }

void TQpCustomTerminal::tmGetFontInfo() {
  const QSize Cell = TermCellSize(FFont);
  const bool Changed = Cell.width() != FCharWidth || Cell.height() != FCharHeight;
  FCharWidth = Cell.width();
  FCharHeight = Cell.height();
  if (Changed) {
    tmCalcExtent();
    RepaintAll();
  }
}

void TQpCustomTerminal::SetCharHPadding(int V) {
  V = std::max(V, 0);
  if (V == FCharHPadding) return;
  FCharHPadding = V;
  tmCalcExtent();
  RepaintAll();
}

void TQpCustomTerminal::SetCharVPadding(int V) {
  V = std::max(V, 0);
  if (V == FCharVPadding) return;
  FCharVPadding = V;
  tmCalcExtent();
  RepaintAll();
}

void TQpCustomTerminal::SetTermFont(const QFont& F) {
  FFont = F;
  tmGetFontInfo();
  RepaintAll();
}

void TQpCustomTerminal::SetColor(TColor V) {
  if (V == FColor) return;
  FColor = V & 0xFFFFFF;
  RepaintAll();
}

void TQpCustomTerminal::SetFontColor(TColor V) {
  if (V == FFontColor) return;
  FFontColor = V & 0xFFFFFF;
  RepaintAll();
}

TQpTerminalBuffer* TQpCustomTerminal::Buffer() const { return FEmulator ? FEmulator->Buffer() : nullptr; }
int TQpCustomTerminal::Columns() const { return Buffer() ? Buffer()->ColCount() : 0; }
int TQpCustomTerminal::Rows() const { return Buffer() ? Buffer()->RowCount() : 0; }
int TQpCustomTerminal::ScrollbackRows() const { return Buffer() ? Buffer()->SVRowCount() : 0; }

void TQpCustomTerminal::SetColumns(int V) {
  if (V <= 0 || !Buffer() || V == Columns()) return;
  HideSelection();
  Buffer()->SetColCount(V);
  FOriginCol = 1;
  FOriginRow = 1;
  FitOriginToBuffer();
  tmCalcExtent();
  RepaintAll();
}

void TQpCustomTerminal::SetRows(int V) {
  if (V <= 0 || !Buffer() || V == Rows()) return;
  HideSelection();
  Buffer()->SetRowCount(V);
  FitOriginToBuffer();
  tmCalcExtent();
  RepaintAll();
}

void TQpCustomTerminal::SetScrollbackRows(int V) {
  if (V <= 0 || !Buffer()) return;
  HideSelection();
  Buffer()->SetSVRowCount(V);
  FitOriginToBuffer();
  tmCalcExtent();
  RepaintAll();
}

void TQpCustomTerminal::SetBlinkTime(int V) {
  if (V == FBlinkTime) return;
  FBlinkTime = V <= 0 ? 0 : std::max(V, 250);
}

void TQpCustomTerminal::SetLazyByteDelay(int V) {
  if (V >= 1 && V <= 1024) FLazyByteDelay = V;
}

void TQpCustomTerminal::SetLazyTimeDelay(int V) {
  if (V >= 1 && V <= 1000) FLazyTimeDelay = V;
}

void TQpCustomTerminal::SetBorderStyle(TQpBorderStyle V) {
  if (V == FBorderStyle) return;
  FBorderStyle = V;
  if (V == bsNone) setFrameStyle(QFrame::NoFrame);
  else {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
  }
  tmCalcExtent();
  RepaintAll();
}

void TQpCustomTerminal::Clear() { FEmulator->teClear(); }
// Erasing everything takes the marks away, so the selection's record goes with them.
void TQpCustomTerminal::ClearAll() {
  HideSelection();
  FEmulator->teClearAll();
}
// A device sending a run of bell characters beeps once, not once per byte: at most one beep
// per heartbeat.
void TQpCustomTerminal::Bell() {
  if (FBellTimer.isValid() && FBellTimer.elapsed() < BeatInterval) return;
  FBellTimer.start();
  QApplication::beep();
}

void TQpCustomTerminal::CursorMoved(TQpTerminalBuffer* Sender, int Row, int Col) {
  if (OnCursorMoved) OnCursorMoved(Sender, Row, Col);
}

void TQpCustomTerminal::SetEmulator(TQpTerminalEmulator* E) {
  if (E == FExternal) return;
  const int SV = ScrollbackRows(), R = Rows(), C = Columns();
  FHeartbeat->stop();
  UnhookBuffer();
  FExternal = E;
  FEmulator = E ? E : FDefEmulator.get();
  HookBuffer();
  if (SV > 0 && Buffer()) {
    Buffer()->SetSVRowCount(SV);
    Buffer()->SetRowCount(R);
    Buffer()->SetColCount(C);
  }
  FHeartbeat->start();
  tmCalcExtent();
  RepaintAll();
}

void TQpCustomTerminal::SetEmulatorProp(TQpTerminalEmulator* V) {
  if (V) V->SetTerminal(this);  // links, and the link makes it the emulator in use
  else if (FExternal) FExternal->SetTerminal(nullptr);
}

void TQpCustomTerminal::UnhookBuffer() {
  if (TQpTerminalBuffer* B = Buffer()) {
    if (FSelectionHooked) B->OnScrollRows = nullptr;
    if (FExternal) B->DeregisterTerminalHandle();
  }
  FSelectionHooked = false;
}

void TQpCustomTerminal::HookBuffer() {
  FLButtonRect = TRect{};
  FHaveSelection = false;
  if (TQpTerminalBuffer* B = Buffer()) {
    B->OnScrollRows = [this](TQpTerminalBuffer*, int Count, int Top, int Bottom) { SelectionScrolled(Count, Top, Bottom); };
    FSelectionHooked = true;
    B->RegisterTerminalHandle(FHandle);
  }
}

// ---------------------------------------------------------------- keyboard

bool TQpCustomTerminal::focusNextPrevChild(bool Next) {
  if (FWantAllKeys) return false;  // Tab is a character here
  return QAbstractScrollArea::focusNextPrevChild(Next);
}

bool TQpCustomTerminal::event(QEvent* E) {
  if (E->type() == QEvent::Show) ForgetToldText();
  if (E->type() == QEvent::ShortcutOverride) {
    auto* K = static_cast<QKeyEvent*>(E);
    const int Key = K->key();
    // Esc during a drag ends the drag here, before any window shortcut. Typed keys (characters,
    // arrows, Tab, Ctrl combinations) are the control's; Alt combinations, function keys and
    // Enter and Esc stay the window's.
    const bool Typed = FWantAllKeys && !(K->modifiers() & Qt::AltModifier) && Key != Qt::Key_Escape &&
                       Key != Qt::Key_Return && Key != Qt::Key_Enter && !(Key >= Qt::Key_F1 && Key <= Qt::Key_F35);
    if ((Key == Qt::Key_Escape && FLButtonDown) || Typed) {
      E->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(E);
}

void TQpCustomTerminal::keyPressEvent(QKeyEvent* E) {
  GuardedCall([&] { KeyPress(E); });
}

void TQpCustomTerminal::KeyPress(QKeyEvent* E) {
  const int Key = E->key();
  const Qt::KeyboardModifiers Mods = E->modifiers();
  E->accept();
  // Key-down step
  if (FLButtonDown && Key == Qt::Key_Escape) {
    WMCancelMode();
    return;
  }
  // Ctrl+Tab and Ctrl+Shift+Tab leave the control (Tab itself is the device's).
  if ((Key == Qt::Key_Tab || Key == Qt::Key_Backtab) && (Mods & Qt::ControlModifier) && !(Mods & Qt::AltModifier)) {
    QAbstractScrollArea::focusNextPrevChild(Key == Qt::Key_Tab && !(Mods & Qt::ShiftModifier));
    return;
  }
  const bool CtrlOnly = (Mods & Qt::ControlModifier) && !(Mods & (Qt::ShiftModifier | Qt::AltModifier));
  if (FHaveSelection && CtrlOnly && (Key == Qt::Key_C || Key == Qt::Key_Insert)) {
    CopyToClipboard();
    return;
  }
  // Shift+Insert pastes, as Linux programs do (Ctrl+V stays a control character for the device).
  if (Key == Qt::Key_Insert && (Mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == Qt::ShiftModifier) {
    PasteFromClipboard();
    return;
  }
  if (Key == Qt::Key_Shift || Key == Qt::Key_Control || Key == Qt::Key_Alt || Key == Qt::Key_Meta) return;
  // Enter and Esc belong to the window's default and cancel buttons when it has them.
  if ((Key == Qt::Key_Return || Key == Qt::Key_Enter || Key == Qt::Key_Escape) &&
      !(Mods & (Qt::ControlModifier | Qt::AltModifier)) && OnDialogKey && OnDialogKey(Key))
    return;
  std::uint16_t Code = TermKeyCode(Key, Mods, E->isAutoRepeat());
  const unsigned Shift = TermShiftState(Mods);
  if (Code != 0) {
    FEmulator->KeyDown(Code, Shift);
    if (Code == 0) return;  // the emulator took it
    // Not a slip: by design the window's own key-down step asks the emulator again when the
    // control does not take all keys, so such a key reaches KeyDown twice.
    if (!FWantAllKeys) FEmulator->KeyDown(Code, Shift);
  }
  // Character step
  const std::u16string Chars = TermKeyChars(Key, Mods, E->text());
  if (Chars.empty()) return;
  FEmulator->KeyPressText(Chars);
  if (!FUseLazyDisplay && FEmulator->NeedsUpdate()) LazyPaintNow(false);
  NoteTextChanged();
}

// ---------------------------------------------------------------- cell access

TQpTerminalCharAttrs TQpCustomTerminal::Attributes(int Row, int Col) const {
  const TQpTerminalBuffer* B = Buffer();
  const TQpTerminalCharAttrs* A = B ? B->GetLineAttrPtr(Row) : nullptr;
  return A && Col >= 1 && Col <= B->ColCount() ? A[Col - 1] : 0;
}

void TQpCustomTerminal::SetAttributes(int Row, int Col, TQpTerminalCharAttrs V) {
  TQpTerminalBuffer* B = Buffer();
  TQpTerminalCharAttrs* A = B ? B->GetLineAttrPtr(Row) : nullptr;
  if (A && Col >= 1 && Col <= B->ColCount()) A[Col - 1] = V;
}

TColor TQpCustomTerminal::BackColor(int Row, int Col) const {
  const TQpTerminalBuffer* B = Buffer();
  const TColor* A = B ? B->GetLineBackColorPtr(Row) : nullptr;
  return A && Col >= 1 && Col <= B->ColCount() ? A[Col - 1] : 0;
}

TColor TQpCustomTerminal::ForeColor(int Row, int Col) const {
  const TQpTerminalBuffer* B = Buffer();
  const TColor* A = B ? B->GetLineForeColorPtr(Row) : nullptr;
  return A && Col >= 1 && Col <= B->ColCount() ? A[Col - 1] : 0x00FFFFFF;
}

std::uint8_t TQpCustomTerminal::CharSet(int Row, int Col) const {
  const TQpTerminalBuffer* B = Buffer();
  const std::uint8_t* A = B ? B->GetLineCharSetPtr(Row) : nullptr;
  return A && Col >= 1 && Col <= B->ColCount() ? A[Col - 1] : 0;
}

std::string TQpCustomTerminal::Line(int Row) const {
  const TQpTerminalBuffer* B = Buffer();
  const auto* C = B ? static_cast<const char*>(B->GetLineCharPtr(Row)) : nullptr;
  return C ? std::string(C, std::size_t(B->ColCount())) : std::string();
}

void TQpCustomTerminal::SetLine(int Row, const std::string& S) {
  TQpTerminalBuffer* B = Buffer();
  auto* C = B ? static_cast<char*>(B->GetLineCharPtr(Row)) : nullptr;
  if (!C) return;
  const std::size_t N = std::size_t(B->ColCount());
  std::fill_n(C, N, ' ');
  std::copy_n(S.data(), std::min(N, S.size()), C);
}
