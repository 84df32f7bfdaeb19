#include "quill_main_u.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>

#include "link/net_defs.h"
#include "platform/dialogs.h"
#include "platform/error_handler.h"
#include "platform/ini_file.h"
#include "platform/ui_style.h"

namespace {

constexpr int ClientWidth = 407, ClientHeight = 358;
constexpr TColor AntennaBackground = 0xA4FFFF;  // light yellow, hidden behind the transparent buttons

// What a screen reader adds to the band and the lit antenna while the link is down.
QString StaleNote() { return TQuillMain::tr("last known value, the link is down"); }

// An antenna's name until the user gives it one. The settings file keeps the English form, so
// a name nobody chose follows the language the program is run in.
std::string DefaultAntennaName(int N) { return "Antenna " + std::to_string(N); }
QString ShownDefaultAntennaName(int N) { return TQuillMain::tr("Antenna %1").arg(N); }

// The window is a frame to screen readers (a plain widget would be a "filler", and readers
// present the events of the active frame or dialog only), named by its caption.
QAccessibleInterface* MainWindowAccessible(const QString& ClassName, QObject* Object) {
  if (ClassName != QLatin1String("TQuillMain") || !Object->isWidgetType()) return nullptr;
  return new QAccessibleWidget(static_cast<QWidget*>(Object), QAccessible::Window);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TQuillMain

TQuillMain::TQuillMain(std::string SettingsFile, QWidget* Parent)
    : QWidget(Parent), FSettingsFile(std::move(SettingsFile)) {
  setWindowTitle(tr("QUILL-2 Controller V1.0"));
  setFixedSize(ClientWidth, ClientHeight);
  setFont(UiFont(FontTahoma, 13));
  static const bool Installed = (QAccessible::installFactory(MainWindowAccessible), true);
  (void)Installed;
  CreateControls();
  FormCreate();
}

TQuillMain::~TQuillMain() = default;

TQcShadowButton* TQuillMain::MakeShadowButton(QWidget* Parent, int Left, int Top, int Tag,
                                              const std::string& Caption) {
  auto* B = new TQcShadowButton(Parent);
  B->setGeometry(Left, Top, 135, 30);
  B->SetTag(Tag);
  B->SetCaption(Caption);
  B->Pen().SetColor(clBlack);
  B->SetDepth(3);
  B->SetShadowColor(clSilver);
  B->SetTransparent(true);
  B->setFont(UiFont(FontTahoma, 13, true));
  B->SetFontColor(clBlack);
  return B;
}

void TQuillMain::CreateControls() {
  GroupBox1 = new QGroupBox(tr("Status"), this);
  GroupBox1->setGeometry(12, 12, 185, 173);

  CommLed = new TIndicatorPanel(GroupBox1);
  CommLed->setFocusPolicy(Qt::TabFocus);
  CommLed->setGeometry(48, 20, 89, 20);
  CommLed->setText(tr("Disconnected"));
  CommLed->SetColor(clRed);
  CommLed->OnClick = [this](QObject* Sender) { CommLedClick(Sender); };
  // Reached by Tab (not by a click), a button named by the link's state: Enter or Space opens
  // the Communications window.
  CommLed->setFocusPolicy(Qt::TabFocus);
  CommLed->setAccessibleName(tr("Link: Disconnected"));
  LinkNotice = new TQcAnnouncer(this);

  EditBand = new QLineEdit(GroupBox1);
  EditBand->setGeometry(68, 52, 61, 31);
  EditBand->setFixedSize(61, 31);
  EditBand->setReadOnly(true);
  EditBand->setAlignment(Qt::AlignCenter);
  EditBand->setFocusPolicy(Qt::NoFocus);
  EditBand->setCursor(Qt::ForbiddenCursor);
  EditBand->setFont(UiFont(FontTahoma, 19));
  SetBackground(EditBand, clBlack);
  SetTextColor(EditBand, clYellow);
  EditBand->setAccessibleName(tr("Band"));

  AutoBtn = MakeShadowButton(GroupBox1, 30, 95, 32, tr("Auto").toStdString());
  AutoBtn->Brush().SetColor(clOrange);
  AutoBtn->OnClick = [this](QObject* Sender) { AutoBtnClick(Sender); };
  AutoBtn->SetKind(bkToggle);
  AutoBtn->SetShortcut(QKeySequence(Qt::ALT | Qt::Key_A));

  RadioNumber = new QComboBox(GroupBox1);
  RadioNumber->setGeometry(28, 131, 145, 24);
  RadioNumber->addItems({tr("Radio #1"), tr("Radio #2")});
  connect(RadioNumber, &QComboBox::activated, this, [this](int) { GuardedCall([this] { RadioNumberClick(); }); });

  GroupBox2 = new QGroupBox(tr("Antennas"), this);
  GroupBox2->setGeometry(208, 12, 185, 329);

  TQcShadowButton** Fields[] = {&AntBtn1, &AntBtn2, &AntBtn3, &AntBtn4, &AntBtn5, &AntBtn6, &AntBtn7, &AntBtn8};
  for (int N = 1; N <= MaxAntennas; ++N) {
    auto* B = MakeShadowButton(GroupBox2, 26, 33 + 36 * (N - 1), N, ShownDefaultAntennaName(N).toStdString());
    B->Brush().SetColor(clWhite);
    B->Brush().SetStyle(bsClear);
    B->SetColor(AntennaBackground);
    B->SetKind(bkRadio);
    B->SetShortcut(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_0 + N)));
    B->OnClick = [this](QObject* Sender) { AntBtn1Click(Sender); };
    B->OnMouseDown = [this](QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
      AntBtn1MouseDown(Sender, Button, Shift, X, Y);
    };
    *Fields[N - 1] = B;
  }
  setTabOrder(GroupBox1, GroupBox2);
  // From the keyboard: the radio choice, the antennas (one stop), Auto, the link indicator.
  setTabOrder(RadioNumber, AntBtn1);
  for (int N = 1; N < MaxAntennas; ++N) setTabOrder(*Fields[N - 1], *Fields[N]);
  setTabOrder(AntBtn8, AutoBtn);
  setTabOrder(AutoBtn, CommLed);
  // The window opens with the radio choice focused, as it did before the others took the focus.
  RadioNumber->setFocus();
}

void TQuillMain::FormCreate() {
  AntButtons = {nullptr, AntBtn1, AntBtn2, AntBtn3, AntBtn4, AntBtn5, AntBtn6, AntBtn7, AntBtn8};
  Antenna = 0;
  ClearButtons();
  AutoBtn->Brush().SetColor(clSilver);
  LoadConfiguration();
  NetAddress = baseQuill + 1 + RadioNumber->currentIndex();
}

void TQuillMain::LoadConfiguration() {
  TIniFile Ini(FSettingsFile);
  move(Ini.ReadInteger("Form", "Left", 10), Ini.ReadInteger("Form", "Top", 10));
  const std::int32_t Number = Ini.ReadInteger("Radio", "Number", 0);
  RadioNumber->setCurrentIndex(Number >= 0 && Number < RadioNumber->count() ? Number : -1);
  for (int N = 1; N <= MaxAntennas; ++N) {
    const std::string Stored = Ini.ReadString("Antennas", "Name" + std::to_string(N), DefaultAntennaName(N));
    AntButtons[N]->SetCaption(Stored == DefaultAntennaName(N) ? ShownDefaultAntennaName(N).toStdString() : Stored);
  }
}

void TQuillMain::SaveConfiguration() {
  TIniFile Ini(FSettingsFile);
  // One replacement of the file for all keys: each flush to the disk can take tens of
  // milliseconds, and the window's close waits for this.
  Ini.BeginUpdate();
  Ini.WriteInteger("Form", "Top", y());
  Ini.WriteInteger("Form", "Left", x());
  Ini.WriteInteger("Radio", "Number", RadioNumber->currentIndex());
  for (int N = 1; N <= MaxAntennas; ++N)
    Ini.WriteString("Antennas", "Name" + std::to_string(N), StoredAntennaName(N));
  Ini.EndUpdate();
}

std::string TQuillMain::StoredAntennaName(int N) const {
  const std::string& Shown = AntButtons[size_t(N)]->Caption();
  return Shown == ShownDefaultAntennaName(N).toStdString() ? DefaultAntennaName(N) : Shown;
}

void TQuillMain::ClearButtons() {
  for (int N = 1; N <= MaxAntennas; ++N) {
    AntButtons[N]->Brush().SetColor(clSilver);
    AntButtons[N]->SetChecked(false);
  }
}

void TQuillMain::ShowLink(bool Up) {
  const QString Name = Up ? tr("Link: Connected") : tr("Link: Disconnected");
  if (CommLed->accessibleName() == Name) return;
  CommLed->setAccessibleName(Name);
  // Said at once wherever the focus is: the device was lost, or is back. The alert is for
  // bridges that pass it on; the notice for those that do not.
  if (QAccessible::isActive() && isVisible()) {
    QAccessibleEvent Event(CommLed, QAccessible::Alert);
    QAccessible::updateAccessibility(&Event);
    LinkNotice->Announce(Name);
  }
  FLinkUp = Up;
  UpdateStaleNotes();
}

void TQuillMain::UpdateStaleNotes() {
  const auto Note = [](QWidget* W, const QString& Text) {
    if (W->accessibleDescription() != Text) W->setAccessibleDescription(Text);
  };
  Note(EditBand, !FLinkUp && !EditBand->text().isEmpty() ? StaleNote() : QString());
  for (int N = 1; N <= MaxAntennas; ++N) {
    TQcShadowButton* B = AntButtons[N];
    // Empty: the reader hears the tooltip, the key.
    Note(B, !FLinkUp && B->Checked() ? tr("%1, %2").arg(B->toolTip(), StaleNote()) : QString());
  }
}

bool TQuillMain::ExecuteAction(std::int32_t Tag) {
  switch (Tag) {
    case mcCommLinkOk:
      CommLed->ShowState(clLime, tr("Connected"));
      ShowLink(true);
      break;
    case mcCommLinkFail:
      CommLed->ShowState(clRed, tr("Disconnected"));
      ShowLink(false);
      break;
    case mcQuillStatus:
      UpdateStatus();
      break;
    default:
      return true;
  }
  if (OnDisplayChanged) OnDisplayChanged();
  return true;
}

void TQuillMain::UpdateStatus() {
  if (!FCommLink) return;
  const TNetPacket Packet = FCommLink->GetPacket();
  // Radio, band, automatic mode and antenna: a shorter packet cannot be read and changes nothing.
  if (Packet.Data.size() < 4) return;
  if (OnStatusPacket) OnStatusPacket(Packet);
  auto Byte = [&](int N) { return static_cast<std::uint8_t>(Packet.Data[size_t(N - 1)]); };
  if (Byte(1) != RadioNumber->currentIndex() + 1) return;

  BandIndex = Byte(2);
  const QString Band = BandIndex >= 1 && BandIndex <= MaxBands ? QString::fromLatin1(BandList[size_t(BandIndex)]) : QString();
  // Set only when it changes: every setting repaints and tells a screen reader of a change.
  if (EditBand->text() != Band) EditBand->setText(Band);
  AutoMode = Byte(3) != 0;
  AutoBtn->Brush().SetColor(AutoMode ? clOrange : clSilver);
  AutoBtn->SetChecked(AutoMode);

  const std::int32_t A = Byte(4);
  if (A != Antenna) ClearButtons();
  if (A >= 1 && A <= MaxAntennas) {
    Antenna = A;
    AntButtons[A]->Brush().SetColor(AutoMode ? BandColor : AntennaColor);
    AntButtons[A]->SetChecked(true);
  }
  UpdateStaleNotes();
}

void TQuillMain::AntBtn1Click(QObject* Sender) {
  auto* Button = dynamic_cast<TQcShadowButton*>(Sender);
  if (!Button || !FCommLink) return;
  // The display changes only when the device reports the new antenna.
  FCommLink->SendCommand(cmdRadioAntenna, std::string{char(0x01), char(Button->Tag())}, msgCommandReply);
}

void TQuillMain::AutoBtnClick(QObject*) {
  if (FCommLink) FCommLink->SendCommand(cmdSetAutoMode, std::string(1, char(0x01)), msgCommandReply);
}

void TQuillMain::AntBtn1MouseDown(QObject* Sender, TMouseButton Button, TShiftState, int, int) {
  if (Button != mbRight) return;
  auto* Control = dynamic_cast<TQcGraphicControl*>(Sender);
  if (!Control) return;
  const int N = Control->Tag();
  if (N < 1 || N > MaxAntennas) return;
  const std::string Name = GetDialogs().InputBox(tr("Antenna %1 Name").arg(N).toStdString(), tr("New name:").toStdString(),
                                                 AntButtons[N]->Caption());
  if (Name.empty()) return;
  // A caption is one line, as the settings file stores it.
  AntButtons[N]->SetCaption(IniOneLine(Name));
  if (OnDisplayChanged) OnDisplayChanged();
  SaveConfiguration();
}

void TQuillMain::RadioNumberClick() {
  NetAddress = baseQuill + 1 + RadioNumber->currentIndex();
  if (OnDisplayChanged) OnDisplayChanged();
}

void TQuillMain::CommLedClick(QObject*) {
  if (FCommLink) FCommLink->ShowWindow();
}

void TQuillMain::FormClose() {
  GuardedCall([this] {
    if (FCommLink) FCommLink->Shutdown();
  });
  // A settings file that cannot be written is reported, and the window still closes: keeping a
  // window open whose link is already down helps nobody.
  GuardedCall([this] { SaveConfiguration(); });
  GuardedCall([this] {
    if (OnFormClose) OnFormClose();
  });
}

void TQuillMain::closeEvent(QCloseEvent* Event) {
  FormClose();
  Event->accept();
}

void TQuillMain::showEvent(QShowEvent* Event) {
  if (!FCentred) {
    // The stored position is kept for writing back; the window opens in the screen's centre.
    FCentred = true;
    CentreOnWorkArea(this);
  }
  QWidget::showEvent(Event);
}
