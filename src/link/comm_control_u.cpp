#include "comm_control_u.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "link/net_defs.h"
#include "controls/indicator_panel.h"
#include "devices/net_port.h"
#include "link/port_recovery.h"
#include "link/radio_group.h"
#include "platform/ui_style.h"
#include "platform/device_access.h"
#include "platform/dialogs.h"
#include "platform/error_handler.h"
#include "platform/ini_file.h"
#include "platform/messages.h"
#include "platform/serial_device_map.h"
#include "platform/serial_port_info.h"
#include "platform/text_util.h"
#include "port/port_errors.h"
#include "terminal/terminal_control.h"

namespace {

constexpr const char* CommSection = "Comm";
// Longest the window waits, handling messages, for the port to report itself closed.
constexpr UINT CloseWaitMs = 5000;

QString Latin1(const std::string& S) { return QString::fromLatin1(S.data(), qsizetype(S.size())); }

// A dialog to screen readers (a plain widget would be a "filler", whose events readers do not
// present), named by its caption.
QAccessibleInterface* CommWindowAccessible(const QString& ClassName, QObject* Object) {
  if (ClassName != QLatin1String("TCommControl") || !Object->isWidgetType()) return nullptr;
  return new QAccessibleWidget(static_cast<QWidget*>(Object), QAccessible::Dialog);
}

// A box's text with the system's reason after it, where the system gave one ("Permission
// denied" for a serial device the user may not open, say).
std::string WithSystemReason(const std::string& Text, const std::exception& E) {
  if (dynamic_cast<const EInOutError*>(&E) && *E.what()) return TCommControl::tr("%1: %2").arg(QString::fromStdString(Text), QString::fromLocal8Bit(E.what())).toStdString();
  return Text;
}

void GiveFullText(QAbstractButton* Button, const QString& Full) {
  if (Full == Button->text()) return;
  Button->setToolTip(Full);
  Button->setAccessibleName(Full);
}

}  // namespace

TCommControl::TCommControl(TLinks Links, QWidget* Parent) : QWidget(Parent), FLinks(std::move(Links)) {
  setWindowTitle(tr("Communications"));
  setFixedSize(906, 679);
  setFont(UiFont(FontSansSerif, 13));
  static const bool Installed = (QAccessible::installFactory(CommWindowAccessible), true);
  (void)Installed;

  ComBox = new QGroupBox(tr("Communications"), this);
  ComBox->setGeometry(4, 4, 161, 293);
  ComLabel = new QLabel(tr("Disabled"), ComBox);
  ComLabel->setGeometry(4, 20, 137, 21);
  ComLabel->setAlignment(Qt::AlignCenter);
  ComLabel->setFont(UiFont(FontSansSerif, 13, true));
  SetTextColor(ComLabel, clYellow);
  LinkLed = new TIndicatorPanel(ComBox);
  LinkLed->setText(tr("Disconnected"));
  LinkLed->SetColor(clRed);
  LinkLed->setGeometry(32, 44, 81, 20);
  Label4 = new QLabel(tr("Available Ports"), ComBox);
  Label4->setGeometry(28, 68, 91, 16);
  ComListBox = new QListWidget(ComBox);
  ComListBox->setGeometry(8, 88, 145, 193);
  ComListBox->setFlow(QListView::TopToBottom);
  ComListBox->setWrapping(true);  // entries flow into two columns
  ComListBox->setGridSize(QSize(68, 17));
  ComListBox->setFont(UiFont(FontSansSerif, 13));
  connect(ComListBox, &QListWidget::itemClicked, this, [this] { GuardedCall([this] { ComPortBtnClick(); }); });
  ReconnectAction = new QAction(tr("Reopen the port when it comes back"), ComListBox);
  ReconnectAction->setCheckable(true);
  connect(ReconnectAction, &QAction::triggered, this, [this](bool On) { GuardedCall([this, On] { SetReconnect(On); }); });
  ComListBox->addAction(ReconnectAction);
  KeepAction = new QAction(ComListBox);
  connect(KeepAction, &QAction::triggered, this, [this] { GuardedCall([this] { KeepAdapterNumber(); }); });
  ComListBox->addAction(KeepAction);
  ComListBox->setContextMenuPolicy(Qt::ActionsContextMenu);
  // The menu item follows the selection, and is checked again as the menu opens: the adapter
  // may have come or gone since.
  connect(ComListBox, &QListWidget::currentItemChanged, this, [this] { GuardedCall([this] { UpdateKeepAction(); }); });
  ComListBox->viewport()->installEventFilter(this);
  ComListBox->installEventFilter(this);
  UpdateKeepAction();

  ComMode = new TRadioGroup(tr("Communications Mode"), {tr("LAN"), tr("COM/USB")}, this);
  ComMode->setGeometry(175, 3, 185, 85);
  ComMode->OnClick = [this] { ComModeClick(); };

  LanBox = new QGroupBox(tr("LAN Settings"), this);
  LanBox->setGeometry(175, 100, 185, 89);
  Label2 = new QLabel(tr("IP Address"), LanBox);
  Label2->setGeometry(16, 28, 66, 16);
  Label3 = new QLabel(tr("Port"), LanBox);
  Label3->setGeometry(120, 28, 24, 16);
  // Plain labels take the width their text needs in the stand-in font.
  for (QLabel* L : {Label2, Label3, Label4}) L->adjustSize();
  EditIP = new QLineEdit(QStringLiteral("192.168.0.19"), LanBox);
  EditIP->setGeometry(11, 50, 93, 24);
  EditPort = new QLineEdit(QStringLiteral("5495"), LanBox);
  EditPort->setGeometry(116, 50, 53, 24);
  // The labels name their fields for screen readers.
  Label2->setBuddy(EditIP);
  Label3->setBuddy(EditPort);
  Label4->setBuddy(ComListBox);
  ComListBox->setAccessibleName(Label4->text());  // a list's interface does not ask its buddy

  OkBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), tr("OK"), this);
  OkBtn->setGeometry(182, 239, 75, 25);
  OkBtn->setDefault(true);
  connect(OkBtn, &QPushButton::clicked, this, [this] { GuardedCall([this] { OkBtnClick(); }); });
  CancelBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("Cancel"), this);
  CancelBtn->setGeometry(279, 239, 75, 25);
  connect(CancelBtn, &QPushButton::clicked, this, [this] { GuardedCall([this] { CancelBtnClick(); }); });
  // The buttons are small: a language may shorten their words, and then gives the full ones to
  // the pointer's tooltip and to screen readers.
  GiveFullText(OkBtn, tr("OK", "the button's full text"));
  GiveFullText(CancelBtn, tr("Cancel", "the button's full text"));

  // The terminal pane: the device's raw text, and what the user types in it goes to the device.
  QpTerminal1 = new TQpTerminal(this);
  QpTerminal1->setGeometry(448, 8, 405, 337);
  QpTerminal1->SetScrollback(false);
  QpTerminal1->SetCapture(cmOff);
  QpTerminal1->SetColor(0x000000);
  QpTerminal1->SetFontColor(0xC0C0C0);
  QFont TermFont(QStringLiteral("Terminal"));
  TermFont.setPixelSize(12);
  QpTerminal1->SetTermFont(TermFont);
  QpTerminal1->setAccessibleName(tr("Terminal"));
  // In the pane, Enter and Esc are the window's OK and Cancel buttons, as everywhere else in it.
  QpTerminal1->OnDialogKey = [this](int Key) {
    (Key == Qt::Key_Escape ? CancelBtn : OkBtn)->click();
    return true;
  };
  // The pane's "New line after carriage return" is kept from run to run as soon as it is chosen.
  QpTerminal1->OnNewLineAfterCRChange = [this](bool On) {
    TIniFile(FLinks.SettingsFile).WriteInteger(CommSection, "NewLineAfterCR", On ? 1 : 0);
  };

  Memo1 = new QPlainTextEdit(this);
  Memo1->setGeometry(32, 364, 417, 281);
  Memo1->setReadOnly(true);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A program left running for weeks must not grow: the oldest lines go.
  Memo1->setMaximumBlockCount(MaxLogLines);
  Memo1->setPlainText(QStringLiteral("Memo1"));
  Memo1->setAccessibleName(tr("Log"));

  Port = std::make_unique<TQpWinsockPort>();
  Port->SetBaud(9600);
  Port->OnTriggerAvail = [this](void* CP, std::uint16_t Count) { PortTriggerAvail(CP, Count); };
  Port->OnWsConnect = [this](void*) { PortWsConnect(); };
  Port->OnWsDisconnect = [this](void*) { PortWsDisconnect(); };
  Port->SetAutoOpen(false);  // opened only when the window says so
  QpTerminal1->SetComPort(Port.get());

  TPortRecovery::THooks Hooks;
  Hooks.DevicePath = [](int N) { return TSerialDeviceMap().DevicePath(N); };
  Hooks.Present = [](int N) { return TSerialDeviceMap().Exists(N); };
  Hooks.Reopen = [this](int N) { return ReopenLostPort(N); };
  Hooks.Identity = [](int N) {
    const TSerialMapSources Sources = DefaultSerialMapSources();
    const std::string Path = TSerialDeviceMap(Sources).DevicePath(N);
    if (Path.empty()) return TDeviceIdentity{};
    const TSerialPortInfo Info = DescribeSerialPort(Path, Sources);
    return TDeviceIdentity{Info.VendorId, Info.ProductId, Info.Serial};
  };
  Hooks.Ports = [] {
    std::vector<int> Numbers;
    for (const TSerialDeviceEntry& E : TSerialDeviceMap().Entries()) Numbers.push_back(E.ComNumber);
    return Numbers;
  };
  // Also on standard error: a program left alone for days shows it in its session's journal.
  Hooks.Report = [this](const std::string& Line) {
    Log(QString::fromStdString(Line));
    std::fprintf(stderr, "quill: %s\n", Line.c_str());
  };
  Hooks.Later = [this](int Ms, std::function<void()> Action) {
    QTimer::singleShot(Ms, this, [Action = std::move(Action)] { GuardedCall(Action); });
  };
  Recovery = std::make_unique<TPortRecovery>(SystemDeviceWatch(), std::move(Hooks));

  Timer1 = new QTimer(this);
  Timer1->setInterval(std::chrono::milliseconds(50));
  connect(Timer1, &QTimer::timeout, this, [this] { GuardedCall([this] { Timer1Timer(); }); });
  Timer1->start();
}

TCommControl::~TCommControl() {
  Timer1->stop();
  Recovery->Cancel();
  // Events must not reach a half-destroyed window while the port closes.
  Port->OnTriggerAvail = nullptr;
  Port->OnWsConnect = nullptr;
  Port->OnWsDisconnect = nullptr;
  // The pane lets go of the port before the port closes and goes (it is destroyed first).
  QpTerminal1->SetComPort(nullptr);
  GuardedCall([this] { ClosePortAndWait(); });
}

void TCommControl::FormCreate() {
  ActionToDo = TBasicAction{};
  SecondTimer = 0;
  LoadConfiguration();
  NetBusy = false;
  LanConnected = false;
  SetLinkStatus(lsDisconnected);
}

void TCommControl::DoAction(int Action) {
  ActionToDo.Tag = Action;
  if (FLinks.ExecuteAction) FLinks.ExecuteAction(ActionToDo);
}

void TCommControl::LogBytes(const std::string& Bytes) { Log(Latin1(Bytes)); }

void TCommControl::Log(QString Text) {
  // A packet's closing carriage return ends its log line rather than adding an empty one.
  if (Text.endsWith(QLatin1Char('\r'))) Text.chop(1);
  // A hidden window keeps its new lines aside until it shows: the log would otherwise tell a
  // screen reader of every link test, although nobody can see it.
  if (!isVisible()) {
    FHiddenLog.push_back(Text);
    if (FHiddenLog.size() > MaxLogLines) FHiddenLog.removeFirst();
    return;
  }
  Memo1->appendPlainText(Text);
  // The newest line stays in view, as in a multi-line edit whose text grows at its end; the
  // edit keeps to the bottom only while it is laid out, so a hidden window would fall behind.
  Memo1->moveCursor(QTextCursor::End);
  Memo1->ensureCursorVisible();
}

std::vector<std::string> TCommControl::LogLines() const {
  std::vector<std::string> Lines;
  for (const QString& L : Memo1->toPlainText().split(QChar('\n'))) Lines.push_back(L.toLatin1().toStdString());
  for (const QString& L : FHiddenLog) Lines.push_back(L.toLatin1().toStdString());
  // What the log shows once the lines kept aside have joined it.
  if (Lines.size() > std::size_t(MaxLogLines)) Lines.erase(Lines.begin(), Lines.end() - MaxLogLines);
  return Lines;
}

void TCommControl::ShowHiddenLog() {
  if (FHiddenLog.empty()) return;
  const QString Kept = QStringList(FHiddenLog).join(QChar('\n'));
  FHiddenLog.clear();
  Memo1->appendPlainText(Kept);
  Memo1->moveCursor(QTextCursor::End);
  Memo1->ensureCursorVisible();
}

void TCommControl::ShowError(const std::string& Text) { GetDialogs().ErrorBoxFor(this, Text); }

// ---- link supervisor ----

bool TCommControl::SendCommand(std::uint8_t Cmd, const std::string& Data, std::uint8_t Resp) {
  bool Result = true;
  const std::string S = FormatPacket(Cmd, Data);
  if (Resp == 0) {
    SendPacket(S);
  } else {
    Codec.Response = Resp;
    Attempts = 0;
    NetBusy = true;
    do {
      ++Attempts;
      Log(tr("Try %1 %2").arg(Attempts).arg(QString::fromStdString(Hex2(unsigned(Codec.Response)))));
      SendPacket(S);
      RetryTimer = Cmd == cmdSetDefaults ? SetDefaultsDelay : RetryDelay;
      while (RetryTimer > 0 && Codec.Response != 0 && SystemReady) ProcessMessages();
    } while (Attempts <= MaxTries && Codec.Response != 0 && SystemReady);
    if (Attempts > MaxTries) Result = false;
    Codec.Response = 0;
  }
  NetBusy = false;
  return Result;
}

void TCommControl::SendPacket(const std::string& Packet) {
  switch (ComMode->ItemIndex()) {
    case 0:
      if (Port->Open()) {
        Port->PutString(Packet);
        Log(tr("Sent: %1").arg(Latin1(Packet)));
      }
      break;
    case 1:
      if (Port->Open() && Port->ComNumber() != 0) {
        try {
          Port->PutString(Packet);
        } catch (const std::exception&) {
          HandleCommFailure();
        }
      }
      break;
    default:
      break;
  }
}

void TCommControl::SetLinkStatus(TLinkStatus Status) {
  if (Status != lsNone) LinkStatus = Status;
  switch (LinkStatus) {
    case lsConnecting:
      LinkLed->ShowState(clYellow, tr("Connecting"));
      break;
    case lsReady:
      LinkLed->ShowState(clLime, tr("Connected"));
      DoAction(mcCommLinkOk);
      LinkTries = 0;
      break;
    case lsUpdating:
      LinkLed->ShowState(clAqua, tr("Updating"));
      break;
    case lsDisconnected:
      LinkLed->ShowState(clRed, tr("Disconnected"));
      DoAction(mcCommLinkFail);
      break;
    case lsNone:
      break;
  }
}

namespace {

// A function, not a constant: the text is looked up in the language installed at start-up.
std::string CommFailedText() { return TCommControl::tr("Communications failed").toStdString(); }

// The local time of day, for the log's lines on a loss and a return.
std::string ClockText(std::chrono::system_clock::time_point At) {
  const std::time_t T = std::chrono::system_clock::to_time_t(At);
  std::tm Local{};
  localtime_r(&T, &Local);
  char Text[16];
  std::strftime(Text, sizeof Text, "%H:%M:%S", &Local);
  return Text;
}

}  // namespace

void TCommControl::HandleCommFailure() {
  const int Lost = Port->ComNumber();
  GuardedCall([this] { Port->FlushOutBuffer(); });
  GuardedCall([this] { ClosePortAndWait(); });
  Port->SetComNumber(0);
  ComLabel->setText(tr("Disabled"));
  SetLinkStatus(lsDisconnected);
  PortNumber = 0;
  if (FLinks.LinkChanged) FLinks.LinkChanged();
  const auto Report = [this] {
    DoAction(mcDisableStayOnTop);
    ShowError(CommFailedText());
    DoAction(mcRecallStayOnTOp);
  };
  if (!(FReconnect && ComMode->ItemIndex() == 1 && Lost > 0)) {
    Report();
    return;
  }
  // Before the box, which waits for the user while the device may come back; and the box
  // from a turn of its own: shown inside the link timer's call it would stop the link tests
  // until it is closed, and the link could not come back by itself.
  Recovery->Lost(Lost);
  FLostAt = std::chrono::system_clock::now();
  if (Recovery->Waiting())
    Log(tr("COM%1 lost at %2; its error boxes close by themselves when it is back")
            .arg(Lost)
            .arg(QString::fromStdString(ClockText(FLostAt)))
            );
  QTimer::singleShot(0, this, [this, Report] {
    // Back already, or the boxes of a loss not yet over still open: no further box.
    if (Port->Open() || GetDialogs().ErrorBoxOpen(CommFailedText())) return;
    GuardedCall(Report);
  });
}

// The boxes a lost port raised, closed when recovery brings it back: the log keeps the loss.
void TCommControl::CloseLossBoxes(int ComNumber) {
  const auto Now = std::chrono::system_clock::now();
  const int Closed = GetDialogs().CloseErrorBoxes({QpLoadStr(ecDeviceRead), CommFailedText()});
  const double After = std::chrono::duration<double>(Now - FLostAt).count();
  char Took[32];
  std::snprintf(Took, sizeof Took, "%.1f", After);
  const QString At = QString::fromStdString(ClockText(Now));
  Log((Closed > 0 ? tr("COM%1 back at %2, %3 s after the loss; its error boxes were closed")
                  : tr("COM%1 back at %2, %3 s after the loss"))
          .arg(ComNumber)
          .arg(At, QString::fromLatin1(Took))
          );
}

void TCommControl::ShowOpened(int ComNumber) {
  Recovery->Opened(ComNumber);  // the device's identity, for finding it again after a loss
  ComLabel->setText(tr("Using COM%1").arg(ComNumber));
}

TReopenOutcome TCommControl::ReopenLostPort(int ComNumber) {
  if (ComMode->ItemIndex() != 1) return {tr("the link is not in COM/USB mode").toStdString(), false};
  try {
    ClosePortAndWait();
    Port->SetBaud(9600);
    Port->SetComNumber(std::uint16_t(ComNumber));
    Port->SetOpen(true);
  } catch (const std::exception& E) {
    GuardedCall([this] { Port->SetOpen(false); });
    Port->SetComNumber(0);
    const std::string Reason = E.what();
    // A node opened the moment it appears may not be ready: a terminal not yet unlocked
    // answers as if missing, udev may still be setting its permissions, or it is still held.
    const auto* Q = dynamic_cast<const EQpException*>(&E);
    const int Code = Q ? Q->ErrorCode() : 0;
    const TSerialDeviceMap Map(MapSources());
    const bool MayPass = Code == ecAlreadyOpen || Code == -EACCES || (Code == ecBadId && Map.Exists(ComNumber));
    // The port layer's "does not exist" says nothing of what is there: say it in words.
    if (Code == ecBadId) return {PortFailureText(ComNumber, Map.DevicePath(ComNumber)), MayPass};
    return {Reason.empty() ? tr("Error opening COM%1").arg(ComNumber).toStdString() : Reason, MayPass};
  }
  PortNumber = ComNumber;
  ShowOpened(ComNumber);
  CloseLossBoxes(ComNumber);
  LinkTries = 0;
  LinkTestTimer = 0;  // the next link test at once
  if (FLinks.LinkChanged) FLinks.LinkChanged();
  return {};
}

void TCommControl::SetReconnect(bool On) {
  FReconnect = On;
  ReconnectAction->setChecked(On);
  TIniFile(FLinks.SettingsFile).WriteInteger(CommSection, "Reconnect", On ? 1 : 0);
  if (!On) Recovery->Cancel();
}

TSerialMapSources TCommControl::MapSources() const {
  return FLinks.MapSources ? FLinks.MapSources() : DefaultSerialMapSources();
}

std::string TCommControl::PortFailureText(int ComNumber, const std::string& Path) {
  return (Path.empty() ? tr("COM%1 names no device").arg(ComNumber)
                      : tr("COM%1: %2").arg(ComNumber).arg(QString::fromStdString(DescribeUnusableDevice(Path))))
      .toStdString();
}

std::string TCommControl::OpenErrorText(const std::string& First, const std::exception& E, int ComNumber) const {
  std::string Text = WithSystemReason(First, E);
  if (ComNumber <= 0) return Text;
  const std::string Port = "COM" + std::to_string(ComNumber);
  const std::string Path = TSerialDeviceMap(MapSources()).DevicePath(ComNumber);
  // After the box's own first line: the port and what stands at its path, in words, where the
  // first line does not say it (the stored port's "Error opening COM port") or the port layer's
  // reason is only that the port does not exist.
  TOpenFailure Why = TOpenFailure::Other;
  if (const auto* Io = dynamic_cast<const EInOutError*>(&E); Io && Io->ErrorCode() == EACCES) Why = TOpenFailure::Denied;
  else if (dynamic_cast<const EAlreadyOpen*>(&E)) Why = TOpenFailure::Busy;
  if (dynamic_cast<const EBadId*>(&E)) {
    Text += "\n" + PortFailureText(ComNumber, Path);
  } else if (First.find(Port) == std::string::npos) {
    // The help below names the device; otherwise this line does.
    const QString P = QString::fromStdString(Port);
    if (Why != TOpenFailure::Other) Text += "\n" + tr("Port: %1").arg(P).toStdString();
    else if (Path.empty()) Text += "\n" + tr("Port: %1, which names no device").arg(P).toStdString();
    else Text += "\n" + tr("Port: %1 (%2)").arg(P, QString::fromStdString(Path)).toStdString();
  }
  if (Why == TOpenFailure::Other) return Text;
  const std::string Help = DeviceAccessHelp(Path, Why, FLinks.AccessFacts ? *FLinks.AccessFacts : SystemDeviceAccessFacts());
  return Help.empty() ? Text : Text + "\n" + Help;
}

std::pair<std::int32_t, std::string> TCommControl::SelectedAdapter() const {
  const QListWidgetItem* Item = ComListBox->currentItem();
  if (!Item || !FLinks.ExtractPortNumber) return {0, ""};
  const std::int32_t N = FLinks.ExtractPortNumber(Item->text().toStdString());
  if (N <= 0 || N > MaxComNumber) return {0, ""};
  const TSerialMapSources Sources = MapSources();
  return {N, SerialByIdLink(TSerialDeviceMap(Sources).DevicePath(N), Sources)};
}

void TCommControl::UpdateKeepAction() {
  const auto [N, Link] = SelectedAdapter();
  KeepAction->setText(N > 0 ? tr("Keep this adapter as COM%1").arg(N) : tr("Keep this adapter as COMn"));
  KeepAction->setEnabled(!Link.empty());
}

void TCommControl::KeepAdapterNumber() {
  const auto [N, Link] = SelectedAdapter();
  UpdateKeepAction();
  if (Link.empty()) return;
  TIniFile(FLinks.SettingsFile).WriteString(ComMapSection, "COM" + std::to_string(N), Link);
  Log(tr("COM%1 is kept for %2").arg(N).arg(QString::fromStdString(Link)));
}

bool TCommControl::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::ContextMenu && (Watched == ComListBox || Watched == ComListBox->viewport()))
    GuardedCall([this] { UpdateKeepAction(); });
  return QWidget::eventFilter(Watched, Event);
}

void TCommControl::Shutdown() {
  SetLinkStatus(lsDisconnected);
  Timer1->stop();
  ClosePortAndWait();
}

void TCommControl::PortTriggerAvail(void*, std::uint16_t Count) {
  // Byte by byte as GetChar takes them, fetched a line at a time: a line is handled before the
  // bytes after it are taken, as with one GetChar per byte.
  std::uint8_t Run[512];
  for (unsigned I = 0; I < Count;) {
    const std::uint32_t N = Port->GetCharsUntil(Run, std::min<std::uint32_t>(Count - I, sizeof Run), '\r');
    I += N;
    const bool Ended = Run[N - 1] == '\r';
    Take(Lines.PushRun(reinterpret_cast<const char*>(Run), N - Ended));
    if (Ended) Take(Lines.Push('\r'));
  }
}

void TCommControl::Take(TLineAssembler::TResult R) {
  switch (R) {
    case TLineAssembler::laLine:
      HandleLine();
      break;
    case TLineAssembler::laOverflow:
      // Said once per run: a device that streams without carriage returns would fill the log.
      if (!LongLineLogged) Log(tr("Dropped a line longer than %1 characters").arg(MaxLineLength));
      LongLineLogged = true;
      break;
    case TLineAssembler::laNone:
      break;
  }
}

void TCommControl::HandleLine() {
  const std::string& Line = Lines.LocalData();
  if (Line.empty()) return;
  if (Line[0] == '[') DecodePacket(Line);
  if (Line == "[LINKOK]") {
    SetLinkStatus(lsReady);
    LinkTries = 0;
  }
}

void TCommControl::PortWsConnect() {
  Log(tr("Connected"));
  LanConnected = true;
  LinkTries = 0;
}

void TCommControl::PortWsDisconnect() {
  LanConnected = false;
  Log(tr("Disconnected"));
}

void TCommControl::Timer1Timer() {
  if (RetryTimer > 0) --RetryTimer;

  if (LinkTestTimer > 0) {
    --LinkTestTimer;
  } else {
    if (LinkTries >= MaxTries) {
      SetLinkStatus(lsDisconnected);
      if (ComMode->ItemIndex() == 0) {
        try {
          Port->SetOpen(false);
          Port->SetOpen(true);
        } catch (const std::exception&) {
          // The next due test tries again.
        }
      }
    } else {
      ++LinkTries;
    }
    Log(tr("Tries: %1").arg(LinkTries));
    LinkTestTimer = LinkStatus == lsDisconnected ? FastLinkTest : LinkTestInterval;
    if (Port->Open()) {
      const std::string S = FormatPacket(cmdTestLink, "");
      if (ComMode->ItemIndex() == 1) {
        // A serial device that has gone fails every write: tear the link down once, as a
        // failed command would, rather than raise an error at every link test.
        try {
          Port->PutString(S);
          LogBytes(S);
        } catch (const std::exception&) {
          HandleCommFailure();
        }
      } else {
        Port->PutString(S);
        LogBytes(S);
      }
    }
  }

  if (SecondTimer > 0) {
    --SecondTimer;
  } else {
    SecondTimer = TimerRate;
    if (FLinks.GetPortList) {
      const auto List = FLinks.GetPortList();
      if (int(List.size()) != ComListBox->count()) {
        ComListBox->clear();
        for (const auto& Name : List) ComListBox->addItem(QString::fromStdString(Name));
      }
      UpdatePortTooltips();
    }
  }
}

// ---- window ----

void TCommControl::UpdatePortTooltips() {
  if (!FLinks.DescribePort || !FLinks.ExtractPortNumber) return;
  for (int I = 0; I < ComListBox->count(); ++I) {
    QListWidgetItem* Item = ComListBox->item(I);
    const std::int32_t N = FLinks.ExtractPortNumber(Item->text().toStdString());
    const QString Tip = N > 0 ? QString::fromStdString(FLinks.DescribePort(N)) : QString();
    if (Item->toolTip() != Tip) Item->setToolTip(Tip);
  }
}

void TCommControl::ClosePortAndWait() {
  Port->SetOpen(false);
  // A close asked for inside a port event completes only after further messages.
  WaitWithMessages(
      [this] {
        ProcessMessages();
        return !Port->Open();
      },
      CloseWaitMs);
}

void TCommControl::LoadConfiguration() {
  ClosePortAndWait();
  TIniFile Ini(FLinks.SettingsFile);
  PortNumber = Ini.ReadInteger(CommSection, "Port", 0);
  QpTerminal1->SetNewLineAfterCR(Ini.ReadInteger(CommSection, "NewLineAfterCR", 0) != 0);
  {
    // The mode change only chooses the device layer here: the port opens once, below, with
    // the stored address, never with the layout's placeholder texts.
    FLoading = true;
    const ScopeExit ResetLoading([this] { FLoading = false; });
    ComMode->SetItemIndex(Ini.ReadInteger(CommSection, "Mode", 0));
  }
  EditIP->setText(QString::fromStdString(Ini.ReadString(CommSection, "ipAddress", "")));
  EditPort->setText(QString::fromStdString(Ini.ReadString(CommSection, "ipPort", "")));
  FReconnect = Ini.ReadInteger(CommSection, "Reconnect", 0) != 0;
  ReconnectAction->setChecked(FReconnect);
  DoAction(mcUpdateRadioNumbers);
  SetOperatingMode();
  SetupPort();
}

void TCommControl::SaveConfiguration() {
  TIniFile Ini(FLinks.SettingsFile);
  Ini.BeginUpdate();  // one replacement of the file for the four keys
  Ini.WriteInteger(CommSection, "Port", Port->ComNumber());
  Ini.WriteInteger(CommSection, "Mode", ComMode->ItemIndex());
  Ini.WriteString(CommSection, "ipAddress", EditIP->text().toStdString());
  Ini.WriteString(CommSection, "ipPort", EditPort->text().toStdString());
  Ini.EndUpdate();
}

void TCommControl::SetOperatingMode() {
  switch (ComMode->ItemIndex()) {
    case 1: OpMode = omClient; break;
    case 2: OpMode = omServer; break;
    case 3: OpMode = omGateway; break;
    default: OpMode = omNormal; break;
  }
}

void TCommControl::SetupPort() {
  Recovery->Cancel();  // the user's choice replaces any wait for a lost port
  // Also when the setup fails half-way: the port may be closed now.
  const ScopeExit Announce([this] {
    if (FLinks.LinkChanged) FLinks.LinkChanged();
  });
  LinkTries = 0;
  ClosePortAndWait();
  SetLinkStatus(lsDisconnected);
  switch (ComMode->ItemIndex()) {
    case 0:
      Port->SetDeviceLayer(dlWinsock);
      Port->SetWsAddress(EditIP->text().toStdString());
      Port->SetWsPort(EditPort->text().toStdString());
      Port->SetOpen(true);
      break;
    case 1:
      if (PortNumber > 0) {
        try {
          Port->SetBaud(9600);
          Port->SetComNumber(std::uint16_t(PortNumber));
          Port->SetOpen(true);
          ShowOpened(PortNumber);
        } catch (const std::exception& E) {
          ShowError(OpenErrorText(tr("Error opening COM port").toStdString(), E, PortNumber));
        }
      }
      break;
    default:
      break;
  }
}

void TCommControl::ComModeClick() {
  Recovery->Cancel();
  Port->SetOpen(false);
  Port->SetDeviceLayer(ComMode->ItemIndex() == 0 ? dlWinsock : dlWin32);
  if (!FLoading) SetupPort();
}

void TCommControl::ComPortBtnClick() {
  if (!ComListBox->currentItem()) return;
  Recovery->Cancel();
  const ScopeExit Announce([this] {
    if (FLinks.LinkChanged) FLinks.LinkChanged();
  });
  LinkTries = 0;
  Port->SetOpen(false);
  ComLabel->setText(tr("Disabled"));
  SetLinkStatus(lsDisconnected);
  const std::string Entry = ComListBox->currentItem()->text().toStdString();
  const std::int32_t Number = FLinks.ExtractPortNumber ? FLinks.ExtractPortNumber(Entry) : 0;
  Port->SetComNumber(std::uint16_t(Number));
  PortNumber = Port->ComNumber();
  if (Port->ComNumber() != 0) {
    LinkTestTimer = 0;
    try {
      ClosePortAndWait();
      Port->SetOpen(true);
      ShowOpened(Port->ComNumber());
      SetLinkStatus(lsDisconnected);
    } catch (const std::exception& E) {
      DoAction(mcDisableStayOnTop);
      ShowError(OpenErrorText(tr("Error opening COM%1").arg(Port->ComNumber()).toStdString(), E, Port->ComNumber()));
      DoAction(mcRecallStayOnTOp);
      SetLinkStatus(lsDisconnected);
      GuardedCall([this] { Port->SetOpen(false); });
      ComLabel->setText(tr("Disabled"));
    }
  } else {
    ComLabel->setText(tr("COM disabled"));
  }
}

void TCommControl::OkBtnClick() {
  SaveConfiguration();
  SetOperatingMode();
  SetupPort();
  hide();
}

void TCommControl::CancelBtnClick() {
  LoadConfiguration();
  hide();
}

void TCommControl::keyPressEvent(QKeyEvent* Event) {
  // A plain window has no default and cancel buttons of its own: Enter clicks OK (or the
  // button that has the focus) and Esc clicks Cancel, as in a dialog box.
  if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
    auto* Focused = qobject_cast<QPushButton*>(focusWidget());
    (Focused && Focused->isEnabled() ? Focused : OkBtn)->click();
    Event->accept();
    return;
  }
  if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier) {
    CancelBtn->click();
    Event->accept();
    return;
  }
  QWidget::keyPressEvent(Event);
}

void TCommControl::showEvent(QShowEvent* Event) {
  GuardedCall([this] { ShowHiddenLog(); });
  if (!FPlaced) {
    FPlaced = true;
    FitToWorkArea(this);  // a small screen: as large as fits, the content scrolling
    CentreOnWorkArea(this);
  }
  QWidget::showEvent(Event);
}

void TCommControl::closeEvent(QCloseEvent* Event) {
  // The close box only hides the window; the link goes on.
  hide();
  Event->ignore();
}
