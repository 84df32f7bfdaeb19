// Latency of remote control through the real program, which it starts on a private session
// bus against a scripted device on loopback: a SelectAntenna call until its command is on the
// device's socket, beside a plain D-Bus round trip to the same program (Peer.Ping); and a
// status report written by the device until the client has the PropertiesChanged naming it.
// Prints the median and the 99th percentile of each, in microseconds.
//   remote_latency [ROUNDS] [GAP_MS] [QUILL]
// (defaults: 1000 rounds, no gap, the quill beside this program). GAP_MS: a pause before each
// call, so the program has finished repainting after the last report when the call comes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "loopback_listener.h"
#include "remote/remote_names.h"

namespace {

using Clock = std::chrono::steady_clock;

// Runs the loop until Done, waiting for events rather than spinning; false at the deadline.
bool Until(const std::function<bool()>& Done, int TimeoutMs = 20000) {
  const auto Deadline = Clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (Clock::now() > Deadline) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return true;
}

int Fail(const char* What) {
  std::fprintf(stderr, "remote_latency: %s\n", What);
  return 1;
}

double Micros(Clock::duration D) { return std::chrono::duration<double, std::micro>(D).count(); }

void Report(const char* What, std::vector<double> V) {
  std::sort(V.begin(), V.end());
  const auto At = [&](double Q) { return V[std::min(V.size() - 1, size_t(Q * double(V.size())))]; };
  std::printf("%-52s p50 %8.1f us   p99 %8.1f us   (%zu rounds)\n", What, At(0.50), At(0.99), V.size());
}

class TChanges : public QObject {
  Q_OBJECT
 public:
  Clock::time_point At;
  int Antenna1 = 0;
 public slots:
  void Changed(const QString&, const QVariantMap& Props, const QStringList&) {
    if (!Props.contains(QStringLiteral("Antenna1"))) return;
    Antenna1 = Props.value(QStringLiteral("Antenna1")).toInt();
    At = Clock::now();
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  const int Rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
  const int GapMs = argc > 2 ? std::max(0, std::atoi(argv[2])) : 0;
  const QString Quill = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QCoreApplication::applicationDirPath() + "/quill";

  QProcess Daemon;
  Daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
  if (!Until([&] { return Daemon.canReadLine(); })) return Fail("dbus-daemon did not start");
  const QString Address = QString::fromUtf8(Daemon.readLine()).trimmed();
  QDBusConnection Bus = QDBusConnection::connectToBus(Address, QStringLiteral("bench"));

  std::uint16_t DevicePort = 0;
  const int Listener = LoopbackListener(DevicePort);
  QTemporaryDir Dir;
  const QString Ini = Dir.filePath(QStringLiteral("q.ini"));
  {
    QFile F(Ini);
    F.open(QIODevice::WriteOnly);
    F.write(QStringLiteral("[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=%1\n").arg(DevicePort).toUtf8());
  }
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), Address);
  Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  QProcess Program;
  Program.setProcessEnvironment(Env);
  Program.setProcessChannelMode(QProcess::ForwardedChannels);
  Program.start(Quill, {"--settings", Ini});

  int Device = -1;
  Until([&] {
    pollfd P{Listener, POLLIN, 0};
    if (poll(&P, 1, 10) > 0) Device = accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
    return Device >= 0;
  });
  if (Device < 0) return Fail("the program did not connect to the device");
  // The device: keeps what arrives, answers link tests.
  // Awaited: the command a round waits for; Arrived: when it was first seen.
  std::string Wire, Awaited;
  std::optional<Clock::time_point> Arrived;
  QSocketNotifier Reader(Device, QSocketNotifier::Read);
  QObject::connect(&Reader, &QSocketNotifier::activated, [&] {
    char Buf[4096];
    const ssize_t N = read(Device, Buf, sizeof Buf);
    if (N <= 0) return;
    const auto Now = Clock::now();
    Wire.append(Buf, size_t(N));
    for (size_t At; (At = Wire.find("[C10503]")) != std::string::npos;) {
      [[maybe_unused]] auto W = write(Device, "[LINKOK]\r", 9);
      Wire.erase(At, 8);
    }
    if (!Arrived && !Awaited.empty() && Wire.find(Awaited) != std::string::npos) Arrived = Now;
  });

  const QString Name = QString::fromStdString(RemoteBusName(Ini.toStdString(), ""));
  if (!Until([&] { return Bus.interface()->isServiceRegistered(Name).value(); }))
    return Fail("the program did not appear on the bus");
  TChanges Changes;
  Bus.connect(Name, "/", "org.freedesktop.DBus.Properties", "PropertiesChanged", &Changes,
              SLOT(Changed(QString, QVariantMap, QStringList)));
  const auto Status = [&](int Antenna) {
    char Line[64];
    std::snprintf(Line, sizeof Line, "[05C1C3]\r[05C1C5010500%02X]\r", Antenna);
    [[maybe_unused]] auto W = write(Device, Line, strlen(Line));
  };
  Status(8);
  if (!Until([&] { return Changes.Antenna1 == 8; })) return Fail("no PropertiesChanged for the first report");

  std::vector<double> ToWire, ToSignal, Echo;
  for (int I = 0; I < Rounds; ++I) {
    const int Antenna = I % 8 + 1;
    if (GapMs > 0) Until([] { return false; }, GapMs);
    char Expect[32];
    std::snprintf(Expect, sizeof Expect, "[C1053501%02X]", Antenna);
    Wire.clear();
    Awaited = Expect;
    Arrived.reset();
    QDBusMessage M = QDBusMessage::createMethodCall(Name, "/", RemoteInterface, "SelectAntenna");
    M.setArguments({1, Antenna});
    const auto Sent = Clock::now();
    QDBusPendingCall Call = Bus.asyncCall(M);
    if (!Until([&] { return Arrived.has_value(); })) return Fail("a command did not reach the device");
    ToWire.push_back(Micros(*Arrived - Sent));
    if (!Until([&] { return Call.isFinished(); }) || Call.isError()) return Fail("a call failed");
    // The device reports the new antenna, which also lets the next command go.
    const auto Reported = Clock::now();
    Status(Antenna);
    if (!Until([&] { return Changes.Antenna1 == Antenna; })) return Fail("no PropertiesChanged for a report");
    ToSignal.push_back(Micros(Changes.At - Reported));
  }
  for (int I = 0; I < Rounds; ++I) {
    if (GapMs > 0) Until([] { return false; }, GapMs);
    const auto Sent = Clock::now();
    QDBusPendingCall Ping = Bus.asyncCall(QDBusMessage::createMethodCall(Name, "/", "org.freedesktop.DBus.Peer", "Ping"));
    if (!Until([&] { return Ping.isFinished(); }) || Ping.isError()) return Fail("a ping failed");
    Echo.push_back(Micros(Clock::now() - Sent));
  }
  Report("SelectAntenna call -> command on the device's socket", ToWire);
  Report("plain D-Bus round trip to the program (Peer.Ping)", Echo);
  Report("status report written -> PropertiesChanged received", ToSignal);

  ::kill(pid_t(Program.processId()), SIGTERM);
  Program.waitForFinished(30000);
  close(Device);
  close(Listener);
  QDBusConnection::disconnectFromBus(QStringLiteral("bench"));
  Daemon.terminate();
  Daemon.waitForFinished(10000);
  return 0;
}

#include "remote_latency.moc"
