// Latency through the whole program, in process: a status line written by the device's socket
// until the main window shows it, and an antenna click until its packet is on the device's
// socket. Reports the median and the 99th percentile of each.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/quill_main_u.h"
#include "link/comm_control_u.h"
#include "loopback_listener.h"
#include "platform/dialogs.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TRig {
  int Listener = -1;
  int Device = -1;
  std::string Folder;
  std::unique_ptr<TProgram> Program;

  TRig() {
    std::uint16_t DevicePort = 0;
    Listener = LoopbackListener(DevicePort);
    Folder = (std::filesystem::temp_directory_path() / "quill-bench-XXXXXX").string();
    if (!mkdtemp(Folder.data())) std::abort();
    const std::string Ini = Folder + "/q.ini";
    std::ofstream(Ini) << "[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=" << DevicePort << "\n";
    Program = std::make_unique<TProgram>(Ini);
    Program->QuillMain->show();
    while (Device < 0) {
      QCoreApplication::processEvents();
      pollfd P{Listener, POLLIN, 0};
      if (poll(&P, 1, 1) > 0) Device = accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    }
    // Let the connection settle and answer the first link test.
    const auto Until = Clock::now() + std::chrono::milliseconds(300);
    while (Clock::now() < Until) QCoreApplication::processEvents();
    Write("[LINKOK]\r");
  }
  ~TRig() {
    Program.reset();
    close(Device);
    close(Listener);
    std::filesystem::remove_all(Folder);
  }
  void Write(const std::string& S) const { send(Device, S.data(), S.size(), MSG_NOSIGNAL); }
  void Drain() const {
    char Buf[4096];
    while (recv(Device, Buf, sizeof Buf, 0) > 0) {
    }
  }
};

void Report(benchmark::State& State, std::vector<double>& Micros) {
  std::sort(Micros.begin(), Micros.end());
  State.counters["median_us"] = Micros[Micros.size() / 2];
  State.counters["p99_us"] = Micros[std::min(Micros.size() - 1, Micros.size() * 99 / 100)];
}

void BM_StatusLineToDisplay(benchmark::State& State) {
  TRig Rig;
  TQuillMain& Main = *Rig.Program->QuillMain;
  std::vector<double> Micros;
  bool Forty = false;
  for (auto _ : State) {
    Forty = !Forty;
    const auto Start = Clock::now();
    Rig.Write(Forty ? "[05C1C501050103]\r" : "[05C1C501070103]\r");
    const QString Want = Forty ? "40" : "20";
    while (Main.EditBand->text() != Want) QCoreApplication::processEvents();
    Micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - Start).count());
    Rig.Drain();
  }
  Report(State, Micros);
}
BENCHMARK(BM_StatusLineToDisplay)->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_AntennaClickToWire(benchmark::State& State) {
  TRig Rig;
  TQuillMain& Main = *Rig.Program->QuillMain;
  std::vector<double> Micros;
  const std::string Packet = std::string("[C105350103]\r\0", 14);
  for (auto _ : State) {
    Rig.Drain();
    QWidget* B = Main.AntBtn3;
    const QPointF At(B->width() / 2.0, B->height() / 2.0);
    const auto Start = Clock::now();
    QMouseEvent Press(QEvent::MouseButtonPress, At, B->mapToGlobal(At), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(B, &Press);
    QMouseEvent Release(QEvent::MouseButtonRelease, At, B->mapToGlobal(At), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(B, &Release);
    std::string Got;
    char Buf[256];
    while (Got.find(Packet) == std::string::npos) {
      const ssize_t N = recv(Rig.Device, Buf, sizeof Buf, 0);
      if (N > 0) Got.append(Buf, size_t(N));
      else QCoreApplication::processEvents();
    }
    Micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - Start).count());
  }
  Report(State, Micros);
}
BENCHMARK(BM_AntennaClickToWire)->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication App(argc, argv);
  SetDialogs(std::make_shared<ScriptedDialogs>());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  SetDialogs(nullptr);
  return 0;
}
