#pragma once
// The controller's place on the session bus: its own connection, the look for a controller
// already using the settings file, the object published and the name claimed, and all of it
// again when the bus goes away and comes back. GUI thread only: construction, calls, the
// bus's notices (delivered through the loop) and destruction.

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <functional>
#include <string>

class TRemoteService;

// What the bus said about the settings file's name.
enum class TRemoteClaim {
  rcFree,     // no controller uses the file (claim the name once the object is in place)
  rcClaimed,  // the name is ours
  rcTaken,    // another controller uses the file
  rcOff,      // no session bus (Why says so): run without remote control
};

class TRemoteBus : public QObject {
  Q_OBJECT
 public:
  // How often a lost bus is looked for again.
  static constexpr int RetryMs = 1000;
  // How long a start waits for another start of the same file to settle (it holds the start-up
  // name only while its windows are built); beyond that it goes on regardless.
  static constexpr int StartWaitMs = 10000;

  // BusName: the name of SettingsFile (RemoteBusName). Say: one line for the user, once per
  // loss and once per return (standard error in the program). Connects to the session bus
  // when one is configured; nothing is started to provide one.
  TRemoteBus(std::string BusName, std::string SettingsFile, std::function<void(const std::string&)> Say,
             QObject* Parent = nullptr);
  // Leaves the bus: the service's object goes, the name is released, the connection closed.
  ~TRemoteBus() override;
  TRemoteBus(const TRemoteBus&) = delete;
  TRemoteBus& operator=(const TRemoteBus&) = delete;

  // Is the file's controller running already? rcTaken sets Holder to its bus name: the file's
  // own name, or the name of a controller that uses the same file through another path.
  // Holds the file's start-up name (RemoteStartLockName) from here until Serve has claimed, or
  // this object goes; waits first, up to StartWaitMs, while another start of the file holds it.
  TRemoteClaim Look(std::string& Holder, std::string& Why);
  // Publishes Service's object, then claims the name, so no client finds the name without
  // the object. rcClaimed: on the bus, and kept there through losses of the bus from now on;
  // rcTaken: another controller got the name first (nothing is kept); rcOff: Why says why,
  // and when a bus is configured it is tried again every RetryMs. Service must outlive this
  // object or be taken back with Withdraw first.
  TRemoteClaim Serve(TRemoteService& Service, std::string& Why);
  // The service goes away: nothing of it stays on the bus and no retry publishes it.
  void Withdraw();
  // Asks the controller holding Name to show its window, waiting up to TimeoutMs.
  bool ShowOther(const std::string& Name, int TimeoutMs);

  bool OnBus() const { return FOnBus; }

 private slots:
  void Disconnected();

 private:
  bool Connect(std::string& Why);
  void Close();
  TRemoteClaim Register(std::string& Why);
  void Retry();
  void TakeStartLock();
  void ReleaseStartLock();

  std::string FBusName, FSettingsFile;
  std::function<void(const std::string&)> FSay;
  QString FConnectionName;  // of the connection in use; empty when none
  QString FStartLock;       // the start-up name while held
  int FConnections = 0;     // how many were made: each gets a name of its own
  TRemoteService* FService = nullptr;
  bool FOnBus = false;      // object published and name held
  bool FLost = false;       // the bus went away after we were on it (said once)
  QTimer FRetry;
};
