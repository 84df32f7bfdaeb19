#include "program_remote.h"

#include <QApplication>
#include <QComboBox>

#include <exception>
#include <functional>

#include "controls/indicator_panel.h"
#include "devices/net_port.h"
#include "link/comm_control_u.h"
#include "link/radio_group.h"
#include "platform/dialogs.h"
#include "platform/error_handler.h"
#include "platform/text_util.h"
#include "platform/translations.h"
#include "program.h"
#include "quill_main_u.h"

namespace {

// Stands in for the dialogs during a call from the bus: the first error box's text is kept
// for the caller instead of being shown; input boxes still go to the user.
class TCapturedBoxes : public Dialogs {
 public:
  void ErrorBox(const std::string& Text) override {
    if (First.empty()) First = Text;
  }
  std::string InputBox(const std::string& Caption, const std::string& Prompt, const std::string& Default) override {
    return Inner ? Inner->InputBox(Caption, Prompt, Default) : Default;
  }
  std::shared_ptr<Dialogs> Inner;
  std::string First;
};

}  // namespace

std::string CaptureErrorBoxes(const std::function<void()>& Click) {
  auto Boxes = std::make_shared<TCapturedBoxes>();
  Boxes->Inner = SetDialogs(Boxes);
  {
    const ScopeExit Restore([&] { SetDialogs(Boxes->Inner); });
    try {
      Click();
    } catch (...) {
      Boxes->ErrorBox(ExceptionText(std::current_exception()));
    }
  }
  return Boxes->First;
}

TProgramRemote::TProgramRemote(TProgram& Program, std::string SettingsFile)
    : FProgram(Program), FSettingsFile(std::move(SettingsFile)) {
  TQuillMain& Main = *FProgram.QuillMain;
  Main.OnStatusPacket = [this](const TNetPacket& Packet) { Record(Packet); };
  Main.OnDisplayChanged = [this] { Notify(); };
  FProgram.OnLinkChanged = [this] { Notify(); };
}

TProgramRemote::~TProgramRemote() {
  FProgram.QuillMain->OnStatusPacket = nullptr;
  FProgram.QuillMain->OnDisplayChanged = nullptr;
  FProgram.OnLinkChanged = nullptr;
}

void TProgramRemote::Record(const TNetPacket& Packet) {
  const auto Byte = [&](size_t N) { return static_cast<std::uint8_t>(Packet.Data[N - 1]); };
  const int Radio = Byte(1);
  if (Radio < 1 || Radio > 2) return;
  TRemoteRadio& R = FRadios[size_t(Radio - 1)];
  const int Band = Byte(2), Antenna = Byte(4);
  // As the window shows them: no band name outside 1 to 12, no antenna outside 1 to 8.
  R.Band = Band >= 1 && Band <= MaxBands ? BandList[size_t(Band)] : "";
  R.Auto = Byte(3) != 0;
  R.Antenna = Antenna >= 1 && Antenna <= MaxAntennas ? Antenna : 0;
  ++R.Reports;
}

void TProgramRemote::Notify() {
  if (OnChanged) OnChanged();
}

TRemoteState TProgramRemote::State() const {
  const TQuillMain& Main = *FProgram.QuillMain;
  const TCommControl& Comm = *FProgram.CommControl;
  TRemoteState S;
  // The windows' words are translated; the properties are read by programs and stay English.
  S.LinkState = Main.LinkUp() ? "Connected" : "Disconnected";
  const int Mode = Comm.ComMode->ItemIndex();
  if (Mode == 0) S.Mode = "LAN";
  if (Mode == 1) S.Mode = "COM/USB";
  if (Mode == 0 && !Comm.Port->WsAddress().empty()) {
    S.Port = Comm.Port->WsAddress() + ":" + Comm.Port->WsPort();
  } else if (Mode == 1 && Comm.Port->ComNumber() != 0) {
    S.Port = "COM" + std::to_string(Comm.Port->ComNumber());
  }
  S.FollowedRadio = Main.RadioNumber->currentIndex() + 1;
  S.Radios = FRadios;
  for (int N = 1; N <= MaxAntennas; ++N) S.AntennaNames[size_t(N - 1)] = Main.StoredAntennaName(N);
  S.SettingsFile = FSettingsFile;
  return S;
}

std::string TProgramRemote::CannotSend() const {
  const TCommControl& Comm = *FProgram.CommControl;
  // What SendPacket needs to write anything, per mode.
  switch (Comm.ComMode->ItemIndex()) {
    case 0:
      return Comm.Port->Open() ? "" : TrText("Remote", "No port is open");
    case 1:
      return Comm.Port->Open() && Comm.Port->ComNumber() != 0 ? "" : TrText("Remote", "No port is open");
    default:
      return TrText("Remote", "No communications mode is chosen");
  }
}

std::string TProgramRemote::Busy() const {
  if (FClosing) return TrText("Remote", "The controller is closing");
  // A user could not click now either.
  if (QApplication::activeModalWidget()) return TrText("Remote", "A message box is waiting for the user");
  if (FStarting) return TrText("Remote", "The controller is starting");
  const TCommControl& Comm = *FProgram.CommControl;
  if (Comm.NetBusy) return TrText("Remote", "A command is being sent");
  if (Comm.Port->Open()) {
    try {
      if (Comm.Port->OutBuffUsed() > 0) return TrText("Remote", "The last command has not left yet");
    } catch (const std::exception&) {
      // A port that cannot say is no reason to wait; the command itself will tell.
    }
  }
  return {};
}

std::string TProgramRemote::ClickAntenna(int Antenna) {
  TQuillMain& Main = *FProgram.QuillMain;
  return CaptureErrorBoxes([&] { Main.AntBtn1Click(Main.AntButtons[size_t(Antenna)]); });
}

std::string TProgramRemote::ClickAuto() {
  TQuillMain& Main = *FProgram.QuillMain;
  return CaptureErrorBoxes([&] { Main.AutoBtnClick(Main.AutoBtn); });
}

void TProgramRemote::ChooseRadio(int Radio) {
  TQuillMain& Main = *FProgram.QuillMain;
  Main.RadioNumber->setCurrentIndex(Radio - 1);
  GuardedCall([&] { Main.RadioNumberClick(); });
}

void TProgramRemote::ShowWindow() {
  if (FClosing) return;
  if (FStarting) {
    // The main window shows once start-up ends; until then the box it waits on comes forward.
    if (QWidget* Box = QApplication::activeModalWidget()) {
      Box->raise();
      Box->activateWindow();
    }
    return;
  }
  TQuillMain& Main = *FProgram.QuillMain;
  Main.setWindowState((Main.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  Main.show();
  Main.raise();
  Main.activateWindow();
}
