// The whole program in process (offscreen unless a display is given) against a device that is
// already running (quill-sim), over the LAN or a serial line, with the Communications window and
// its terminal pane shown. Measures, over a given time:
//  - the main window's reaction to a click: a helper thread queues a click (press and release)
//    on an antenna button every probe interval and notes the time; the button notes when the
//    release reaches it. Median, 99th percentile and worst, in ms;
//  - what the pane showed (bytes processed, paints, bytes dropped by the bounded queue);
//  - resident memory at the start and the end, and the process's CPU time per second.
//
//   pane_load --lan PORT | --com N   [--seconds S] [--probe-ms MS (0: no clicks)] [--warmup S]
// With --com N, QUILL_COM_MAP must map COMN to the device (e.g. COM5=/dev/pts/3).

#include <malloc.h>
#include <sys/resource.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "app/quill_main_u.h"
#include "controls/shadow_buttons.h"
#include "link/comm_control_u.h"
#include "platform/dialogs.h"
#include "terminal/terminal_control.h"

namespace {

using Clock = std::chrono::steady_clock;

long RssKib() {
  std::ifstream S("/proc/self/status");
  std::string Key;
  long V = 0;
  while (S >> Key) {
    if (Key == "VmRSS:") {
      S >> V;
      return V;
    }
    S.ignore(1 << 20, '\n');
  }
  return 0;
}

// Bytes the allocator has handed out and not had back: apart from resident memory, which also
// counts pages the allocator keeps for reuse.
long HeapKib() {
  const struct mallinfo2 M = mallinfo2();
  return long((M.uordblks + M.hblkhd) / 1024);  // small blocks and those mapped on their own
}

double CpuSeconds() {
  rusage U{};
  getrusage(RUSAGE_SELF, &U);
  return double(U.ru_utime.tv_sec + U.ru_stime.tv_sec) + double(U.ru_utime.tv_usec + U.ru_stime.tv_usec) / 1e6;
}

// The event loop for a while, sleeping when there is nothing to do.
void RunFor(double Seconds) {
  QEventLoop Loop;
  QTimer::singleShot(int(Seconds * 1000), &Loop, &QEventLoop::quit);
  Loop.exec();
}

// Notes when each posted release reaches the button.
class TArrivals : public QObject {
 public:
  bool eventFilter(QObject* O, QEvent* E) override {
    if (E->type() == QEvent::MouseButtonRelease) {
      std::lock_guard<std::mutex> G(Lock);
      Arrived.push_back(Clock::now());
    }
    return QObject::eventFilter(O, E);
  }
  std::mutex Lock;
  std::vector<Clock::time_point> Arrived;
};

}  // namespace

int main(int argc, char** argv) {
  GiveLargeBlocksBack();  // as the program does at start-up
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string Lan, Com;
  double Seconds = 60, Warmup = 5;
  int ProbeMs = 50;
  for (int I = 1; I + 1 < argc; I += 2) {
    const std::string A = argv[I], V = argv[I + 1];
    if (A == "--lan") Lan = V;
    else if (A == "--com") Com = V;
    else if (A == "--seconds") Seconds = std::stod(V);
    else if (A == "--warmup") Warmup = std::stod(V);
    else if (A == "--probe-ms") ProbeMs = std::stoi(V);
  }
  if (Lan.empty() == Com.empty()) {
    std::fprintf(stderr, "usage: pane_load --lan PORT | --com N [--seconds S] [--probe-ms MS] [--warmup S]\n");
    return 2;
  }
  QApplication App(argc, argv);
  SetDialogs(std::make_shared<ScriptedDialogs>());
  const std::string Folder = (std::filesystem::temp_directory_path() / "quill-pane-XXXXXX").string();
  std::string F = Folder;
  if (!mkdtemp(F.data())) return 1;
  const std::string Ini = F + "/q.ini";
  if (!Lan.empty()) std::ofstream(Ini) << "[Comm]\nPort=0\nMode=0\nipAddress=127.0.0.1\nipPort=" << Lan << "\n";
  else std::ofstream(Ini) << "[Comm]\nPort=" << Com << "\nMode=1\n";
  int Code = 0;
  {
    TProgram Program(Ini);
    Program.QuillMain->show();
    Program.CommControl->show();
    TQpTerminal& Pane = *Program.CommControl->QpTerminal1;
    RunFor(Warmup);
    if (!Pane.Attached()) {
      std::fprintf(stderr, "pane_load: the pane is not attached to an open port\n");
      Code = 1;
    } else {
      QWidget* Button = Program.QuillMain->AntBtn3;
      TArrivals Arrivals;
      Button->installEventFilter(&Arrivals);
      // Reserved up front so the harness's own notes do not show up as growth in the figures.
      const std::size_t Probes = ProbeMs > 0 ? std::size_t((Seconds + 2) * 1000 / ProbeMs) + 16 : 0;
      std::vector<Clock::time_point> Posted;
      Posted.reserve(Probes);
      {
        std::lock_guard<std::mutex> G(Arrivals.Lock);
        Arrivals.Arrived.reserve(Probes);
      }
      std::atomic<bool> Stop{false};
      const long Rss0 = RssKib();
      const double Cpu0 = CpuSeconds();
      const std::uint64_t Shown0 = Pane.ProcessedBytes();
      const int Paints0 = Pane.PaintCount();
      const auto Start = Clock::now();
      // The prober thread only queues a call and notes the time; the press and release are
      // built and sent on the GUI thread when the call comes up. A mouse event built on another
      // thread would share the pointing device's point records with the GUI thread unlocked.
      std::thread Prober([&] {
        while (!Stop && ProbeMs > 0 && Posted.size() < Probes) {
          Posted.push_back(Clock::now());
          QMetaObject::invokeMethod(
              Button,
              [Button] {
                const QPointF At(Button->width() / 2.0, Button->height() / 2.0);
                QMouseEvent Press(QEvent::MouseButtonPress, At, Button->mapToGlobal(At), Qt::LeftButton,
                                  Qt::LeftButton, Qt::NoModifier);
                QMouseEvent Release(QEvent::MouseButtonRelease, At, Button->mapToGlobal(At), Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(Button, &Press);
                QApplication::sendEvent(Button, &Release);
              },
              Qt::QueuedConnection);
          std::this_thread::sleep_for(std::chrono::milliseconds(ProbeMs));
        }
      });
      // A series, not just two ends: growth that levels off (the log filling to its cap) reads
      // differently from a steady climb.
      long RssMax = Rss0;
      std::printf("series: seconds, rss KiB, heap in use KiB, log lines, bytes waiting in the pane's queue\n");
      for (double T = 0; T < Seconds; T += 10) {
        RunFor(std::min(10.0, Seconds - T));
        const long Rss = RssKib();
        RssMax = std::max(RssMax, Rss);
        std::printf("  %4.0f %7ld %7ld %5d %8zu\n", T + std::min(10.0, Seconds - T), Rss, HeapKib(),
                    Program.CommControl->Memo1->blockCount(), Pane.PendingBytes());
        std::fflush(stdout);
      }
      Stop = true;
      Prober.join();
      RunFor(1.0);  // the last probes arrive
      const double Elapsed = std::chrono::duration<double>(Clock::now() - Start).count();
      const double Cpu = CpuSeconds() - Cpu0;
      std::vector<double> Ms;
      {
        std::lock_guard<std::mutex> G(Arrivals.Lock);
        for (std::size_t I = 0; I < std::min(Posted.size(), Arrivals.Arrived.size()); ++I)
          Ms.push_back(std::chrono::duration<double, std::milli>(Arrivals.Arrived[I] - Posted[I]).count());
      }
      std::sort(Ms.begin(), Ms.end());
      const auto At = [&](double Q) { return Ms.empty() ? 0.0 : Ms[std::min(Ms.size() - 1, std::size_t(Ms.size() * Q))]; };
      std::printf("clicks %zu of %zu arrived: median %.2f ms, p99 %.2f ms, worst %.2f ms\n", Ms.size(),
                  Posted.size(), At(0.5), At(0.99), Ms.empty() ? 0.0 : Ms.back());
      const double Bytes = double(Pane.ProcessedBytes() - Shown0);
      std::printf("pane: %.1f MB shown (%.2f MB/s), %d paints, %llu bytes dropped\n", Bytes / 1e6,
                  Bytes / 1e6 / Elapsed, Pane.PaintCount() - Paints0,
                  static_cast<unsigned long long>(Pane.Input().Dropped()));
      std::printf("rss: %ld KiB at the start, %ld KiB at the end, %ld KiB at most\n", Rss0, RssKib(), RssMax);
      std::printf("cpu: %.3f%% of one core over %.0f s\n", 100.0 * Cpu / Elapsed, Elapsed);
      Button->removeEventFilter(&Arrivals);
    }
  }
  std::filesystem::remove_all(F);
  SetDialogs(nullptr);
  return Code;
}
