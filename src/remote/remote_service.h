#pragma once
// The controller's D-Bus service: object "/" with interface local.quill.Controller1
// (packaging/local.quill.Controller1.xml, from which the adaptor is generated). It checks the
// arguments, lets one call at a time reach the program (TRemoteControl), paces commands to
// the device, and announces every change of a property. GUI thread only: construction, calls,
// the program's change notices and destruction all happen there.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "remote/remote_control.h"

class TRemoteService : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_PROPERTY(QString LinkState READ LinkState)
  Q_PROPERTY(QString Mode READ Mode)
  Q_PROPERTY(QString Port READ Port)
  Q_PROPERTY(int FollowedRadio READ FollowedRadio)
  Q_PROPERTY(QString Band1 READ Band1)
  Q_PROPERTY(QString Band2 READ Band2)
  Q_PROPERTY(bool Auto1 READ Auto1)
  Q_PROPERTY(bool Auto2 READ Auto2)
  Q_PROPERTY(int Antenna1 READ Antenna1)
  Q_PROPERTY(int Antenna2 READ Antenna2)
  Q_PROPERTY(QStringList AntennaNames READ AntennaNames)
  Q_PROPERTY(QString SettingsFile READ SettingsFile)

 public:
  // Calls that wait their turn: at most this many, each at most this long; beyond either the
  // call fails as busy. A client can thus never pile up commands for the device.
  static constexpr std::size_t MaxWaiting = 8;
  static constexpr std::uint64_t MaxWaitMs = 2000;
  // After a command, the next one waits for the device's next status report of that radio,
  // at most the link supervisor's retry delay (8 ticks of 50 ms).
  static constexpr std::uint64_t AnswerWaitMs = 400;
  // How often waiting calls look again when nothing has announced a change.
  static constexpr int RecheckMs = 50;

  struct TError {
    std::string Name;  // empty: done
    std::string Text;
  };
  enum TKind { ckSelectAntenna, ckSetAuto, ckFollowRadio };
  struct TCall {
    TKind Kind = ckSelectAntenna;
    int Radio = 0;
    int Antenna = 0;
    std::function<void(const TError&)> Reply;  // called exactly once, unless the client leaves
  };

  // Clock: milliseconds, steady (the program's tick count unless a test gives one).
  explicit TRemoteService(TRemoteControl& Control, std::function<std::uint64_t()> Clock = {},
                          QObject* Parent = nullptr);
  // Waiting calls are answered as failed; the object leaves the bus.
  ~TRemoteService() override;
  TRemoteService(const TRemoteService&) = delete;
  TRemoteService& operator=(const TRemoteService&) = delete;

  // Puts the object and its interface at "/" on Connection; false when that path is taken.
  bool Attach(const QDBusConnection& Connection);
  // Takes the object off the connection it was put on (the bus has gone, or another
  // controller got the name). Waiting calls from the bus are dropped: no one is left to
  // answer, and nothing they asked for may reach the device later.
  void Detach();

  // Takes one call: answered at once (refused, or done), or when its turn comes. Client: the
  // caller's unique bus name (empty for a call not from the bus), whose leaving drops the call
  // while it waits.
  void Submit(TCall Call, const std::string& Client = {});
  // Runs the waiting calls whose turn has come; fails those that waited too long.
  void Pump();
  // The client with this unique bus name has left the bus: its waiting calls are dropped
  // unanswered, so nothing it asked for reaches the device after it has gone.
  void DropClient(const std::string& Client);
  std::size_t Waiting() const { return FWaiting.size(); }

  // The interface's methods (through the adaptor). Failures are D-Bus errors.
  void SelectAntenna(int Radio, int Antenna);
  void SetAuto(int Radio);
  void FollowRadio(int Radio);
  void ShowWindow();

  QString LinkState() const;
  QString Mode() const;
  QString Port() const;
  int FollowedRadio() const;
  QString Band1() const { return Band(1); }
  QString Band2() const { return Band(2); }
  bool Auto1() const { return Auto(1); }
  bool Auto2() const { return Auto(2); }
  int Antenna1() const { return Antenna(1); }
  int Antenna2() const { return Antenna(2); }
  QStringList AntennaNames() const;
  QString SettingsFile() const;

 private:
  struct TWaitingCall {
    TCall Call;
    std::uint64_t Deadline = 0;
    std::string Client;
  };
  QString Band(int Radio) const;
  bool Auto(int Radio) const;
  int Antenna(int Radio) const;
  void SubmitFromBus(TCall Call);
  TError Check(const TCall& Call) const;
  bool Ready(const TCall& Call, std::string& Why) const;
  TError Run(const TCall& Call);
  void StateChanged();
  void WatchClient(const std::string& Client);
  void ForgetClient(const std::string& Client);

  TRemoteControl& FControl;
  std::function<std::uint64_t()> FClock;
  std::optional<QDBusConnection> FConnection;
  QDBusServiceWatcher FClients;  // the clients of waiting calls, for their leaving the bus
  std::deque<TWaitingCall> FWaiting;
  std::string FWhy;       // why the first waiting call waits, for its error
  bool FRunning = false;  // a call is under way (a click may run the event loop)
  TRemoteState FLast;     // as last announced
  struct {
    bool Pending = false;
    int Radio = 0;
    std::uint64_t Reports = 0;
    std::uint64_t SentAt = 0;
  } FAnswer;              // the last command, until its radio reports again
  QTimer FTimer;
};
