#pragma once
// The main window: band, automatic mode and antenna of the followed radio; antenna and Auto
// commands; the radio choice; antenna names; its own settings. To the keyboard and screen
// readers: the antennas a radio group with Alt+1 … Alt+8, Auto a toggle with Alt+A, the link
// indicator a button named by the link's state; GUI thread only.

#include <QLabel>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "comm_link.h"
#include "controls/announcer.h"
#include "controls/indicator_panel.h"
#include "controls/shadow_buttons.h"

class QComboBox;
class QGroupBox;
class QLineEdit;

class TQuillMain : public QWidget {
  Q_OBJECT
 public:
  // Builds the layout and runs the creation step (settings loaded, NetAddress set).
  // The window loads and saves its settings in SettingsFile.
  explicit TQuillMain(std::string SettingsFile, QWidget* Parent = nullptr);
  ~TQuillMain() override;

  // The device link the window sends through and reads packets from; may stay unset (then
  // commands go nowhere and status packets are not read).
  void SetCommLink(TCommLink* Link) { FCommLink = Link; }
  TCommLink* CommLink() const { return FCommLink; }

  // The action hook: mcCommLinkOk, mcCommLinkFail and mcQuillStatus are handled, every other
  // code is ignored; the answer is always true.
  bool ExecuteAction(std::int32_t Tag);
  // The same for an action object carrying the code in its Tag.
  template <class TAction>
    requires requires(const TAction& A) { A.Tag; }
  bool ExecuteAction(const TAction& Action) {
    return ExecuteAction(static_cast<std::int32_t>(Action.Tag));
  }

  // Event handlers, wired to the controls (public so the wiring and tests can drive them).
  void CommLedClick(QObject* Sender);
  void FormCreate();
  void AutoBtnClick(QObject* Sender);
  void AntBtn1Click(QObject* Sender);
  void FormClose();
  void AntBtn1MouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void RadioNumberClick();

  void ClearButtons();
  void UpdateStatus();
  void LoadConfiguration();
  // Writes [Form], [Radio] and [Antennas]; raises EIniFileException when the file cannot be written.
  void SaveConfiguration();
  // Antenna N's name as the settings file keeps it: a name nobody chose is shown translated and
  // kept (and told to other programs) as "Antenna N".
  std::string StoredAntennaName(int N) const;
  // Whether the indicator shows the link up.
  bool LinkUp() const { return FLinkUp; }

  // Runs at the end of closing, after the link shutdown and the settings save.
  std::function<void()> OnFormClose;
  // Observers of what the window shows (the session bus service): OnDisplayChanged runs after
  // the window has shown a change (link indicator, status, followed radio, an antenna name);
  // OnStatusPacket for every readable status packet, of either radio, before the window
  // decides whether it shows it. Neither may raise.
  std::function<void()> OnDisplayChanged;
  std::function<void(const TNetPacket&)> OnStatusPacket;

  QGroupBox* GroupBox1 = nullptr;
  TIndicatorPanel* CommLed = nullptr;
  QLineEdit* EditBand = nullptr;
  TQcShadowButton* AutoBtn = nullptr;
  QComboBox* RadioNumber = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  TQcShadowButton* AntBtn1 = nullptr;
  TQcShadowButton* AntBtn2 = nullptr;
  TQcShadowButton* AntBtn3 = nullptr;
  TQcShadowButton* AntBtn4 = nullptr;
  TQcShadowButton* AntBtn5 = nullptr;
  TQcShadowButton* AntBtn6 = nullptr;
  TQcShadowButton* AntBtn7 = nullptr;
  TQcShadowButton* AntBtn8 = nullptr;
  std::int32_t BandIndex = 0;
  bool AutoMode = false;
  std::int32_t Antenna = 0;
  std::array<TQcShadowButton*, MaxAntennas + 1> AntButtons{};  // [1..8]
  TQcAnnouncer* LinkNotice = nullptr;  // says the link's loss and return to screen readers

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

 private:
  void CreateControls();
  // The link indicator's accessible name, with an alert when the link is lost or back.
  void ShowLink(bool Up);
  // Band and lit antenna described as last known values while the link is down.
  void UpdateStaleNotes();
  TQcShadowButton* MakeShadowButton(QWidget* Parent, int Left, int Top, int Tag, const std::string& Caption);

  std::string FSettingsFile;
  TCommLink* FCommLink = nullptr;
  bool FCentred = false;
  bool FLinkUp = false;
};
