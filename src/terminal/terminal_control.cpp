#include "terminal/terminal_control.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/error_handler.h"
#include "port/com_port.h"
#include "port/port_dispatch.h"
#include "port/trigger_engine.h"
#include "terminal/code_page.h"
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

int ActionCode(int Action) {
  switch (Action) {
    case QAbstractSlider::SliderSingleStepSub: return 0;
    case QAbstractSlider::SliderSingleStepAdd: return 1;
    case QAbstractSlider::SliderPageStepSub: return 2;
    case QAbstractSlider::SliderPageStepAdd: return 3;
    case QAbstractSlider::SliderMove: return 5;
    default: return -1;
  }
}

QString AnsiText(const std::string& S) {
  QString Out;
  Out.reserve(qsizetype(S.size()));
  for (char C : S) Out += QChar(AnsiToUnicode(std::uint8_t(C)));
  return Out;
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
  FHeartbeat = new QTimer(this);
  FHeartbeat->setInterval(BeatInterval);
  connect(FHeartbeat, &QTimer::timeout, this, [this] { GuardedCall([this] { Beat(); }); });
  FCaretTimer = new QTimer(this);
  connect(FCaretTimer, &QTimer::timeout, this, [this] { BlinkCaret(); });

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
  struct TDone {
    bool& F;
    ~TDone() { F = false; }
  } Done{FWaitingForPort};
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
  if (Buffer()) Buffer()->SetRow(1);
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
  struct TRepost {
    TQpCustomTerminal& T;
    TQpCharSource S;
    ~TRepost() {
      T.FInStuff = false;
      if (T.FWorkPos < T.FWork.size() || T.FInput->Count() > 0) T.PostStuff(S);
    }
  } Repost{*this, Source};
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
    throw EQpTerminalError("Cannot open file \"" + FCaptureFile + "\". " + std::strerror(errno));
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
      EQpTerminalError("Capture to \"" + FCaptureFile + "\" stopped: " + std::strerror(Err))));
}

// ---------------------------------------------------------------- heartbeat and painting

void TQpCustomTerminal::Beat() {
  // Drag scrolling: the pointer outside the client area scrolls one cell a beat.
  if (FLButtonDown && FMouseSelect) {
    const QPoint P = viewport()->mapFromGlobal(QCursor::pos());
    const QSize C = ClientSize();
    if (FUseHScrollBar && P.x() < 0) WMHScroll(0, 0);
    else if (FUseHScrollBar && P.x() >= C.width()) WMHScroll(1, 0);
    if (P.y() < 0) WMVScroll(0, 0);
    else if (P.y() >= C.height()) WMVScroll(1, 0);
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
    const QColor Back = QColor(int(FColor & 0xFF), int(FColor >> 8 & 0xFF), int(FColor >> 16 & 0xFF));
    P.fillRect(FUnusedRightRect, Back);
    P.fillRect(FUnusedBottomRect, Back);
    if (!FUsedRect.isEmpty()) {
      P.setClipRect(FUsedRect);
      FEmulator->Paint(P, FUsedRect);
    }
  }
  tmPositionCaret();
  viewport()->update();
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
  const QColor Back = QColor(int(FColor & 0xFF), int(FColor >> 8 & 0xFF), int(FColor >> 16 & 0xFF));
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
  tmCalcExtent();
  RepaintAll();
}

void TQpCustomTerminal::SetRows(int V) {
  if (V <= 0 || !Buffer() || V == Rows()) return;
  HideSelection();
  Buffer()->SetRowCount(V);
  tmCalcExtent();
  RepaintAll();
}

void TQpCustomTerminal::SetScrollbackRows(int V) {
  if (V <= 0 || !Buffer()) return;
  HideSelection();
  Buffer()->SetSVRowCount(V);
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
void TQpCustomTerminal::ClearAll() { FEmulator->teClearAll(); }
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

// ---------------------------------------------------------------- extent and scroll bars

QSize TQpCustomTerminal::ClientSize() const {
  const int F = frameWidth();
  return QSize(std::max(width() - 2 * F - (FVBarShown ? ScrollBarSize : 0), 0),
               std::max(height() - 2 * F - (FHBarShown ? ScrollBarSize : 0), 0));
}

void TQpCustomTerminal::tmCalcExtent() {
  if (!FEmulator || !Buffer()) {
    FClientCols = FClientRows = FClientFullCols = FClientFullRows = 0;
    return;
  }
  const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
  const QSize C = ClientSize();
  const int Cols = Columns(), RowsN = Rows(), SV = ScrollbackRows();
  FClientCols = std::min((C.width() + W - 1) / W, Cols - FOriginCol + 1);
  FClientFullCols = std::min(C.width() / W, Cols - FOriginCol + 1);
  FClientRows = std::min((C.height() + H - 1) / H, RowsN - FOriginRow + 1);
  FClientFullRows = std::min(C.height() / H, RowsN - FOriginRow + 1);

  auto ForceSize = [this] {
    if (!FForceSizePosted) {
      FForceSizePosted = true;
      PostMessage(FHandle, qpw_TermForceSize, 0, 0);
    }
  };
  if (FClientFullCols < Cols && !FUseHScrollBar && !FHideScrollbars) {
    FUseHScrollBar = true;
    return ForceSize();
  }
  if (C.width() / W >= Cols && FUseHScrollBar) {
    FUseHScrollBar = false;
    return ForceSize();
  }
  if (FClientFullRows < RowsN && !FUseVScrollBar && !FHideScrollbars) {
    FUseVScrollBar = true;
    if (SV <= RowsN) return ForceSize();
  } else if (C.height() / H >= RowsN && FUseVScrollBar) {
    FUseVScrollBar = false;
    return ForceSize();
  }
  FUsedRect = QRect(0, 0, std::min(W * FClientCols, C.width()), std::min(H * FClientRows, C.height()));
  FUnusedRightRect = QRect(FUsedRect.right() + 1, 0, C.width() - FUsedRect.width(), FUsedRect.height());
  FUnusedBottomRect = QRect(0, FUsedRect.height(), C.width(), C.height() - FUsedRect.height());
  if (FImage.size() != C) {
    FImage = C.isEmpty() ? QImage() : QImage(C, QImage::Format_RGB32);
    if (!FImage.isNull()) FImage.fill(QColor(int(FColor & 0xFF), int(FColor >> 8 & 0xFF), int(FColor >> 16 & 0xFF)));
  }
  if (FHBarShown != tmNeedHScrollbar() || FVBarShown != tmNeedVScrollbar()) ForceSize();
  if (tmNeedHScrollbar()) tmInitHScrollBar();
  if (tmNeedVScrollbar()) tmInitVScrollBar();
}

bool TQpCustomTerminal::tmNeedHScrollbar() const {
  return FUseHScrollBar && (!FHideScrollbars || FHideScrollbarHActive);
}

bool TQpCustomTerminal::tmNeedVScrollbar() const {
  const bool Scrolls = Rows() < ScrollbackRows() && FScrollback;
  if (FHideScrollbars && FHideScrollBarVActive) return FUseVScrollBar || Scrolls;
  return (FUseVScrollBar && !FHideScrollbars) || Scrolls;
}

// With the bars hidden, a cursor beyond the fully visible columns or rows brings its bar back
// until it returns.
void TQpCustomTerminal::UpdateHiddenBars(int Row, int Col) {
  const bool H = Col > FOriginCol + FClientFullCols - 1;
  const bool V = Row > FOriginRow + FClientFullRows - 1;
  if (H == FHideScrollbarHActive && V == FHideScrollBarVActive) return;
  FHideScrollbarHActive = H;
  FHideScrollBarVActive = V;
  if ((FHBarShown != tmNeedHScrollbar() || FVBarShown != tmNeedVScrollbar()) && !FForceSizePosted) {
    FForceSizePosted = true;
    PostMessage(FHandle, qpw_TermForceSize, 0, 0);
  }
}

void TQpCustomTerminal::tmInitHScrollBar() {
  FScrollHorzInfo = {0, Columns() - 1, FClientFullCols, FOriginCol - 1};
  QScrollBar* B = horizontalScrollBar();
  const int Max = std::max(0, FScrollHorzInfo.Max - std::max(FScrollHorzInfo.Page, 1) + 1);
  const QSignalBlocker Quiet(B);
  B->setRange(0, Max);
  B->setPageStep(std::max(FScrollHorzInfo.Page, 1));
  B->setSingleStep(1);
  B->setValue(FScrollHorzInfo.Pos);
  B->setEnabled(Max > 0);
}

void TQpCustomTerminal::tmInitVScrollBar() {
  const int Min = (!FUseVScrollBar || FScrollback) ? Rows() - ScrollbackRows() : 0;
  FScrollVertInfo = {Min, Rows() - 1, FClientFullRows, FOriginRow - 1};
  QScrollBar* B = verticalScrollBar();
  const int Max = std::max(Min, FScrollVertInfo.Max - std::max(FScrollVertInfo.Page, 1) + 1);
  const QSignalBlocker Quiet(B);
  B->setRange(Min, Max);
  B->setPageStep(std::max(FScrollVertInfo.Page, 1));
  B->setSingleStep(1);
  B->setValue(FScrollVertInfo.Pos);
  B->setEnabled(Max > Min);
}

// The style bits: bars shown as needed, then the extent again for the new client area.
void TQpCustomTerminal::ApplyBars() {
  FHBarShown = tmNeedHScrollbar();
  FVBarShown = tmNeedVScrollbar();
  setHorizontalScrollBarPolicy(FHBarShown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(FVBarShown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TQpCustomTerminal::ApwTermForceSize() {
  FForceSizePosted = false;
  ApplyBars();
  tmCalcExtent();
  RepaintAll();
}

void TQpCustomTerminal::resizeEvent(QResizeEvent* E) {
  QAbstractScrollArea::resizeEvent(E);
  tmCalcExtent();
  const QSize C = ClientSize();
  const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
  if (FOriginCol > 1 && W * FClientCols < C.width()) SetClientOriginCol(Columns() - C.width() / W + 1);
  if (FOriginRow >= 2 && H * FClientRows < C.height()) SetClientOriginRow(Rows() - C.height() / H + 1);
  RepaintAll();
}

void TQpCustomTerminal::SetClientOriginCol(int V) {
  V = std::clamp(V, 1, std::max(Columns() - FClientFullCols + 1, 1));
  if (V == FOriginCol) return;
  FOriginCol = V;
  tmCalcExtent();
  FScrollHorzInfo.Pos = FOriginCol - 1;
  if (tmNeedHScrollbar()) {
    const QSignalBlocker Quiet(horizontalScrollBar());
    horizontalScrollBar()->setValue(FScrollHorzInfo.Pos);
  }
  RepaintAll();
}

void TQpCustomTerminal::SetClientOriginRow(int V) {
  const int Low = (FUseVScrollBar && !FScrollback) ? 1 : Rows() - ScrollbackRows() + 1;
  const int High = std::max(Rows() - FClientFullRows + 1, 1);
  V = std::clamp(V, std::min(Low, High), High);
  if (V == FOriginRow) return;
  FOriginRow = V;
  tmCalcExtent();
  FScrollVertInfo.Pos = FOriginRow - 1;
  if (tmNeedVScrollbar()) {
    const QSignalBlocker Quiet(verticalScrollBar());
    verticalScrollBar()->setValue(FScrollVertInfo.Pos);
  }
  RepaintAll();
}

void TQpCustomTerminal::WMHScroll(int Code, int Thumb) {
  int V = FOriginCol;
  switch (Code) {
    case 0: --V; break;
    case 1: ++V; break;
    case 2: V -= FClientFullCols; break;
    case 3: V += FClientFullCols; break;
    case 4:
    case 5: V = Thumb + 1; break;
    default: return;
  }
  V = std::clamp(V, 1, std::max(Columns() - FClientFullCols + 1, 1));
  if (V != FOriginCol) SetClientOriginCol(V);
}

void TQpCustomTerminal::WMVScroll(int Code, int Thumb) {
  if (FUseVScrollBar && FAutoScrollback) {
    if (Code == 0 && FOriginRow == 1 && !FScrollback) SetScrollback(true);
    else if (FScrollback && FOriginRow > 1) SetScrollback(false);
  }
  int V = FOriginRow;
  switch (Code) {
    case 0: --V; break;
    case 1: ++V; break;
    case 2: V -= FClientFullRows; break;
    case 3: V += FClientFullRows; break;
    case 4:
    case 5: V = Thumb + 1; break;
    default: return;
  }
  V = std::min(V, Rows() - FClientFullRows + 1);
  SetClientOriginRow(V);
}

void TQpCustomTerminal::SetScrollback(bool V) {
  if (V == FScrollback) return;
  FScrollback = V;
  if (tmNeedVScrollbar()) tmInitVScrollBar();
  if (FVBarShown != tmNeedVScrollbar() && !FForceSizePosted) {
    FForceSizePosted = true;
    PostMessage(FHandle, qpw_TermForceSize, 0, 0);
  }
}

void TQpCustomTerminal::SetHideScrollbars(bool V) {
  if (V == FHideScrollbars) return;
  FHideScrollbars = V;
  tmCalcExtent();
  if (FVBarShown != tmNeedVScrollbar() || FHBarShown != tmNeedHScrollbar()) ApwTermForceSize();
}

void TQpCustomTerminal::SetFollowCursor(bool V) {
  FFollowCursor = V;
  if (V) DoFollowCursor();
}

// Follows the external emulator's cursor only: the control's own emulator never moves the view.
void TQpCustomTerminal::DoFollowCursor() {
  if (!FExternal || !FExternal->Buffer()) return;
  const int C = FExternal->Buffer()->Col(), R = FExternal->Buffer()->Row();
  if (C < FOriginCol) SetClientOriginCol(C);
  else if (C > FOriginCol + FClientFullCols) SetClientOriginCol(C - FClientFullCols);
  if (R < FOriginRow) SetClientOriginRow(R);
  else if (R >= FOriginRow + FClientFullRows) SetClientOriginRow(R - FClientFullRows);
}

// ---------------------------------------------------------------- caret

QRect TQpCustomTerminal::CaretRect() const { return FCaretOn ? FCaretRect : QRect(); }

void TQpCustomTerminal::tmPositionCaret() {
  const QRect Old = FCaretOn ? FCaretRect : QRect();
  FCaretOn = false;
  TQpTerminalBuffer* B = Buffer();
  if (B && hasFocus() && FCursorType != ctNone) {
    const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
    int X, Row;
    if (B->UseAbsAddress()) {
      X = W * (B->Col() - FOriginCol);
      Row = B->Row();
    } else {
      X = W * (B->Col() + B->OriginCol() - FOriginCol - 1);
      Row = B->Row() + B->OriginRow() - 1;
    }
    int Y = H * (Row - FOriginRow);
    if (FCursorType == ctUnderline) Y += H - 2;
    const QSize C = ClientSize();
    if (X >= 0 && X < C.width() && Y >= 0 && Y < C.height()) {
      FCaretRect = QRect(X, Y, W, FCursorType == ctUnderline ? 2 : H);
      FCaretOn = true;
    }
  }
  if (Old != (FCaretOn ? FCaretRect : QRect())) {
    if (!Old.isEmpty()) viewport()->update(Old);
    if (FCaretOn) viewport()->update(FCaretRect);
  }
}

void TQpCustomTerminal::BlinkCaret() {
  FCaretPhase = !FCaretPhase;
  if (FCaretOn) viewport()->update(FCaretRect);
}

void TQpCustomTerminal::SetCursorType(TQpCursorType V) {
  if (V == FCursorType) return;
  FCursorType = V;
  tmPositionCaret();
}

void TQpCustomTerminal::focusInEvent(QFocusEvent* E) {
  QAbstractScrollArea::focusInEvent(E);
  FCaretPhase = true;
  const int Flash = QGuiApplication::styleHints()->cursorFlashTime();
  if (Flash > 0) FCaretTimer->start(Flash / 2);
  tmPositionCaret();
}

void TQpCustomTerminal::focusOutEvent(QFocusEvent* E) {
  FCaretTimer->stop();
  if (FCaretOn) viewport()->update(FCaretRect);
  FCaretOn = false;
  QAbstractScrollArea::focusOutEvent(E);
}

// ---------------------------------------------------------------- keyboard

bool TQpCustomTerminal::focusNextPrevChild(bool Next) {
  if (FWantAllKeys) return false;  // Tab is a character here
  return QAbstractScrollArea::focusNextPrevChild(Next);
}

bool TQpCustomTerminal::event(QEvent* E) {
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
  const bool CtrlOnly = (Mods & Qt::ControlModifier) && !(Mods & (Qt::ShiftModifier | Qt::AltModifier));
  if (FHaveSelection && CtrlOnly && (Key == Qt::Key_C || Key == Qt::Key_Insert)) {
    CopyToClipboard();
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
    if (!FWantAllKeys) FEmulator->KeyDown(Code, Shift);
  }
  // Character step
  const std::u16string Chars = TermKeyChars(Key, Mods, E->text());
  if (Chars.empty()) return;
  if (auto* Tty = dynamic_cast<TQpTTYEmulator*>(FEmulator)) {
    Tty->KeyPressText(Chars);
  } else {
    for (char16_t C : Chars) {
      char16_t K = C;
      FEmulator->KeyPress(K);
    }
  }
  if (!FUseLazyDisplay && FEmulator->NeedsUpdate()) LazyPaintNow(false);
}

// ---------------------------------------------------------------- mouse selection

QPoint TQpCustomTerminal::ClampToCells(QPoint P) const {
  const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
  return QPoint(std::clamp(P.x(), 0, std::max(W * FClientCols - 1, 0)),
                std::clamp(P.y(), 0, std::max(H * FClientRows - 1, 0)));
}

void TQpCustomTerminal::mousePressEvent(QMouseEvent* E) {
  GuardedCall([&] { MousePress(E); });
}

void TQpCustomTerminal::MousePress(QMouseEvent* E) {
  QAbstractScrollArea::mousePressEvent(E);
  if (E->button() != Qt::LeftButton) return;
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  FLButtonDown = true;
  FMoved = false;
  if (FMouseSelect) tmStartSelect(ClampToCells(E->position().toPoint()));
}

void TQpCustomTerminal::mouseMoveEvent(QMouseEvent* E) {
  GuardedCall([&] { MouseMove(E); });
}

void TQpCustomTerminal::MouseMove(QMouseEvent* E) {
  QAbstractScrollArea::mouseMoveEvent(E);
  if (!FLButtonDown || !FMouseSelect) return;
  FMoved = true;
  tmGrowSelect(ClampToCells(E->position().toPoint()));
}

void TQpCustomTerminal::mouseReleaseEvent(QMouseEvent* E) {
  GuardedCall([&] { MouseRelease(E); });
}

void TQpCustomTerminal::MouseRelease(QMouseEvent* E) {
  QAbstractScrollArea::mouseReleaseEvent(E);
  if (E->button() != Qt::LeftButton || !FLButtonDown) return;
  if (FMouseSelect && FAutoCopy) CopyToClipboard();
  FLButtonDown = false;
}

void TQpCustomTerminal::tmStartSelect(QPoint P) {
  const TRect Old = FLButtonRect;
  const int First = Rows() - ScrollbackRows();
  if (Old.Left > 0 && Old.Right > 0 && Old.Top > First && Old.Bottom > First) HideSelection();
  const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
  FLButtonAnchor = QPoint(P.x() / W + FOriginCol, P.y() / H + FOriginRow);
  FLButtonRect = {FLButtonAnchor.x(), FLButtonAnchor.y(), FLButtonAnchor.x(), FLButtonAnchor.y()};
}

namespace {
// The columns of row Row that selection S covers (From > To when none).
void RowSpan(const TRect& S, int Row, int Cols, int& From, int& To) {
  From = 1;
  To = 0;
  if (S.Left <= 0 || Row < S.Top || Row > S.Bottom) return;
  From = Row == S.Top ? S.Left : 1;
  To = Row == S.Bottom ? S.Right : Cols;
}
}  // namespace

void TQpCustomTerminal::tmGrowSelect(QPoint P) {
  TQpTerminalBuffer* B = Buffer();
  if (!B) return;
  // Until the first move the rectangle is the anchor cell, unmarked.
  const TRect Old = FHaveSelection && FLButtonRect.Left > 0 ? FLButtonRect : TRect{};
  FHaveSelection = true;
  const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
  const int Cols = B->ColCount();
  const int Col = std::clamp(P.x() / W + FOriginCol, 1, Cols);
  const int Row = std::clamp(P.y() / H + FOriginRow, B->RowCount() - B->SVRowCount() + 1, B->RowCount());
  const int AC = FLButtonAnchor.x(), AR = FLButtonAnchor.y();
  TRect N;
  if (Row < AR) N = {Col, Row, AC, AR};
  else if (Row > AR) N = {AC, AR, Col, Row};
  else N = {std::min(AC, Col), Row, std::max(AC, Col), Row};
  // Only rows whose marks change are touched.
  const int Top = std::min(Old.Left > 0 ? Old.Top : N.Top, N.Top);
  const int Bottom = std::max(Old.Left > 0 ? Old.Bottom : N.Bottom, N.Bottom);
  for (int R = Top; R <= Bottom; ++R) {
    int OF, OT, NF, NT;
    RowSpan(Old, R, Cols, OF, OT);
    RowSpan(N, R, Cols, NF, NT);
    if (OF == NF && OT == NT) continue;
    TQpTerminalCharAttrs* A = B->GetLineAttrPtr(R);
    if (!A) continue;
    for (int C = OF; C <= OT; ++C) A[C - 1] &= TQpTerminalCharAttrs(~AttrBit(tcaSelected));
    for (int C = NF; C <= NT; ++C) A[C - 1] |= AttrBit(tcaSelected);
    RepaintRows(R, R);
  }
  FLButtonRect = N;
}

void TQpCustomTerminal::MarkSelection(const TRect& S, bool On) {
  TQpTerminalBuffer* B = Buffer();
  if (!B || S.Left <= 0) return;
  for (int R = S.Top; R <= S.Bottom; ++R) {
    int F, T;
    RowSpan(S, R, B->ColCount(), F, T);
    TQpTerminalCharAttrs* A = B->GetLineAttrPtr(R);
    if (!A) continue;
    for (int C = std::max(F, 1); C <= std::min(T, B->ColCount()); ++C) {
      if (On) A[C - 1] |= AttrBit(tcaSelected);
      else A[C - 1] &= TQpTerminalCharAttrs(~AttrBit(tcaSelected));
    }
  }
  RepaintRows(S.Top, S.Bottom);
}

void TQpCustomTerminal::HideSelection() {
  MarkSelection(FLButtonRect, false);
  FLButtonRect = TRect{};
  FLButtonAnchor = QPoint();
  FHaveSelection = false;
}

void TQpCustomTerminal::WMCancelMode() {
  HideSelection();
  FLButtonDown = false;
}

void TQpCustomTerminal::SetMouseSelect(bool V) {
  if (V == FMouseSelect) return;
  FMouseSelect = V;
  if (!V) {
    FLButtonDown = false;
    if (Buffer()) HideSelection();
  }
}

// The marks move with the rows they are in; the record of the selection follows them. A scroll
// of only part of the rows (a region, inserted or deleted lines) that cuts through the
// selection ends it, clearing every mark it may have carried along.
void TQpCustomTerminal::SelectionScrolled(int Count, int TopRow, int BottomRow) {
  TQpTerminalBuffer* B = Buffer();
  if (!B || FLButtonRect.Left <= 0) return;
  const int First = B->RowCount() - B->SVRowCount() + 1, Last = B->RowCount();
  TRect& S = FLButtonRect;
  if (TopRow == First && BottomRow == Last) {
    S.Top -= Count;
    S.Bottom -= Count;
    FLButtonAnchor.ry() -= Count;
    if (S.Bottom < First || S.Top > Last) {
      S = TRect{};
      FHaveSelection = false;
      return;
    }
    if (S.Top < First) {
      S.Top = First;
      S.Left = 1;
    }
    if (S.Bottom > Last) {
      S.Bottom = Last;
      S.Right = B->ColCount();
    }
    return;
  }
  if (S.Bottom < TopRow || S.Top > BottomRow) return;
  for (int R = TopRow; R <= BottomRow; ++R) {
    if (TQpTerminalCharAttrs* A = B->GetLineAttrPtr(R))
      for (int C = 0; C < B->ColCount(); ++C) A[C] &= TQpTerminalCharAttrs(~AttrBit(tcaSelected));
  }
  MarkSelection(S, false);
  RepaintRows(TopRow, BottomRow);
  S = TRect{};
  FHaveSelection = false;
}

std::string TQpCustomTerminal::SelectionText() const {
  const TQpTerminalBuffer* B = Buffer();
  const TRect& S = FLButtonRect;
  std::string Out;
  if (!B || S.Left <= 0) return Out;
  for (int R = S.Top; R <= S.Bottom; ++R) {
    const auto* Chars = static_cast<const char*>(B->GetLineCharPtr(R));
    int F, T;
    RowSpan(S, R, B->ColCount(), F, T);
    if (Chars)
      for (int C = std::max(F, 1); C <= std::min(T, B->ColCount()); ++C) Out += Chars[C - 1];
    Out += "\r\n";
  }
  return Out;
}

// An empty selection leaves the clipboard as it is.
void TQpCustomTerminal::CopyToClipboard() {
  const std::string Text = SelectionText();
  if (Text.empty()) return;
  QGuiApplication::clipboard()->setText(AnsiText(Text));
}

void TQpCustomTerminal::PasteFromClipboard() {
  if (!FPasteToScreen && !FPasteToPort) return;
  const QString Q = QGuiApplication::clipboard()->text();
  if (Q.isEmpty()) return;
  const std::string Text = UnicodeToAnsiString(Q.toStdU16String());
  if (FPasteToScreen && FPasteToPort && FComPort) {
    for (char C : Text) {
      WriteChar(C);
      PortPutChar(std::uint8_t(C));
    }
    return;
  }
  if (FPasteToScreen) WriteString(Text);
  if (FPasteToPort && FComPort) PortPutString(Text);
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
