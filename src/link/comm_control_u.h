#pragma once
// The Communications window: chooses and sets up the link (LAN or COM/USB), supervises it
// with link tests, gathers received lines for the packet codec, and keeps a running log.

#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "defs/defines_u.h"
#include "link/line_assembler.h"
#include "link/packet_codec.h"
#include "platform/device_access.h"
#include "platform/serial_device_map.h"

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class TIndicatorPanel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TRadioGroup;
class TQpWinsockPort;
class TQpTerminal;
class TPortRecovery;
struct TReopenOutcome;

enum ToperatingMode : std::uint8_t { omNormal = 0, omClient = 1, omServer = 2, omGateway = 3 };

// Carries an action code to the main window.
struct TBasicAction {
  std::int32_t Tag = 0;
};

class TCommControl : public QWidget, public TPacketReactions {
  Q_OBJECT
 public:
  // The settings file and the two windows it talks to are given by the start-up code.
  struct TLinks {
    std::string SettingsFile;
    std::function<bool(TBasicAction&)> ExecuteAction;          // the main window's action hook
    std::function<std::vector<std::string>()> GetPortList;      // the discovery window's list
    std::function<std::int32_t(const std::string&)> ExtractPortNumber;
    // Called after the port has been set up, switched or torn down (mode, address, COM
    // number), for observers of the link; must not raise.
    std::function<void()> LinkChanged;
    // The tooltip of the port list's COMn: the device behind it and what it is.
    std::function<std::string(std::int32_t)> DescribePort;
    // Where the COM numbers and /dev/serial/by-id are read ("Keep this adapter as COMn"); the
    // process's device map when empty (tests give a fake tree).
    std::function<TSerialMapSources()> MapSources;
    // What the system says about a device that would not open (its group, who holds it); the
    // system's facts when empty.
    std::optional<TDeviceAccessFacts> AccessFacts;
  };
  explicit TCommControl(TLinks Links, QWidget* Parent = nullptr);
  ~TCommControl() override;

  // Creation step; may raise (the start-up code reports it and goes on).
  void FormCreate();

  // Link supervisor.
  bool SendCommand(std::uint8_t Cmd, const std::string& Data, std::uint8_t Resp);
  void SetLinkStatus(TLinkStatus Status) override;
  void HandleCommFailure();
  void Shutdown();
  void Timer1Timer();
  void PortTriggerAvail(void* CP, std::uint16_t Count);
  void Take(TLineAssembler::TResult R);  // what the line assembler made of received bytes
  void ShowOpened(int ComNumber);        // COMn opened in COM/USB mode: the label, and recovery's note
  void PortWsConnect();
  void PortWsDisconnect();

  // Packet codec.
  std::string FormatPacket(std::uint8_t Cmd, const std::string& Data) const {
    return Codec.FormatPacket(Cmd, Data);
  }
  void DecodePacket(const std::string& Data) { Codec.DecodePacket(Data); }
  TNetPacket GetPacket() const { return Codec.GetPacket(); }

  // Window.
  void DoAction(int Action) override;
  void LoadConfiguration();
  void SaveConfiguration();
  void SetOperatingMode();
  void SetupPort();
  void ComModeClick();
  void ComPortBtnClick();
  void OkBtnClick();
  void CancelBtnClick();
  // [Comm] Reconnect: reopen a serial port that vanished once it comes back (off by default:
  // the link then stays down until the port is picked again). Setting it writes the file.
  bool Reconnect() const { return FReconnect; }
  void SetReconnect(bool On);
  // "Keep this adapter as COMn" for the selected port: writes COMn=<its /dev/serial/by-id link>
  // into [ComMap], so the adapter keeps the number whatever ttyUSB number it gets later.
  // The menu item is enabled only for a port that has such a link; UpdateKeepAction sets its
  // text and state from the selection (done on every selection change and menu).
  void KeepAdapterNumber();
  void UpdateKeepAction();

  // Longest line kept while waiting for its carriage return.
  static constexpr std::size_t MaxLineLength = 4096;
  // Newest log lines kept in the window.
  static constexpr int MaxLogLines = 5000;

  // State (names as the link supervisor knows them).
  std::int32_t RetryTimer = 0;
  std::int32_t SecondTimer = 0;
  std::int32_t LinkTestTimer = 0;
  bool NetBusy = false;
  bool LanConnected = false;
  std::int32_t PortNumber = 0;
  std::int32_t LinkTries = 0;
  std::int32_t Attempts = 0;
  TLinkStatus LinkStatus = lsDisconnected;
  ToperatingMode OpMode = omNormal;
  TBasicAction ActionToDo;
  bool LongLineLogged = false;  // the over-long line is logged once per run
  // Received bytes gathered up to their carriage return.
  TLineAssembler Lines{MaxLineLength};
  const std::string& LocalData() const { return Lines.LocalData(); }

  // Controls.
  QGroupBox* ComBox = nullptr;
  TIndicatorPanel* LinkLed = nullptr;
  QLabel* ComLabel = nullptr;
  QGroupBox* LanBox = nullptr;
  QLineEdit* EditIP = nullptr;
  QLineEdit* EditPort = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QListWidget* ComListBox = nullptr;
  QLabel* Label4 = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  TQpTerminal* QpTerminal1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  TRadioGroup* ComMode = nullptr;
  QTimer* Timer1 = nullptr;
  std::unique_ptr<TQpWinsockPort> Port;
  QAction* ReconnectAction = nullptr;  // the port list's context menu
  QAction* KeepAction = nullptr;       // the same menu
  std::unique_ptr<TPortRecovery> Recovery;

  TPacketCodec Codec{*this};

  // A line of the log: the program's own words, and the device's bytes as they came.
  void Log(QString Text);
  void LogBytes(const std::string& Bytes);
  // The log as plain lines (for tests and diagnostics).
  std::vector<std::string> LogLines() const;

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void SendPacket(const std::string& Packet);
  void ClosePortAndWait();
  void HandleLine();
  void ShowError(const std::string& Text);
  // Adds the lines logged while the window was hidden to the log.
  void ShowHiddenLog();
  // Each port's tooltip from the discovery window's descriptions, refreshed with the list.
  void UpdatePortTooltips();
  // Opens COMn again for the recovery; "" when open, else the reason.
  TReopenOutcome ReopenLostPort(int ComNumber);
  void CloseLossBoxes(int ComNumber);
  TSerialMapSources MapSources() const;
  // An open error's box text: First, the system's reason, then the device and a fix for
  // denied access or a busy device on the following lines.
  // "COM6: /dev/pts/3 is not a serial device": the port and what stands at its path.
  static std::string PortFailureText(int ComNumber, const std::string& Path);
  std::string OpenErrorText(const std::string& First, const std::exception& E, int ComNumber) const;
  // The selected port's number and by-id link (empty when it has none).
  std::pair<std::int32_t, std::string> SelectedAdapter() const;

  TLinks FLinks;
  QList<QString> FHiddenLog;  // logged while hidden, newest MaxLogLines
  bool FLoading = false;
  bool FPlaced = false;  // centred once, on the first show
  bool FReconnect = false;
  std::chrono::system_clock::time_point FLostAt;  // the last loss recovery waits out
};
