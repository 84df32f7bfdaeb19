#pragma once
// Whole-program test helpers: the simulated device as a child process, and blocking reads
// from a loopback peer socket with deadlines (the program under test is another process).

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "test_support.h"

// The simulator as a child process, with what it has printed so far.
class TSim {
 public:
  explicit TSim(QStringList Args) {
    P.start(QString::fromLocal8Bit(std::getenv("QUILL_BIN_DIR")) + "/quill-sim", Args);
  }
  ~TSim() {
    if (P.state() != QProcess::NotRunning) {
      P.write("quit\n");
      if (!P.waitForFinished(10000)) P.kill();
      P.waitForFinished(10000);
    }
  }
  void Collect() {
    Out += P.readAllStandardOutput().toStdString();
    Err += P.readAllStandardError().toStdString();
  }
  // Waits for a line of standard output that starts with Prefix; returns the rest of it.
  std::string WaitLine(const std::string& Prefix, size_t From = 0) {
    std::string Rest;
    WaitFor([&] {
      Collect();
      for (size_t At = Out.find(Prefix, From); At != std::string::npos; At = Out.find(Prefix, At + 1)) {
        if (At != 0 && Out[At - 1] != '\n') continue;
        const size_t End = Out.find('\n', At);
        if (End == std::string::npos) return false;
        Rest = Out.substr(At + Prefix.size(), End - At - Prefix.size());
        return true;
      }
      return false;
    }, 20000);
    return Rest;
  }
  // Sends a control command and waits for its acknowledgement.
  bool Control(const std::string& Command) {
    const size_t From = Out.size();
    P.write((Command + "\n").c_str());
    WaitLine("OK " + Command, From);
    return Out.find("OK " + Command + "\n", From) != std::string::npos;
  }
  QProcess P;
  std::string Out, Err;
};

inline int Connect(int Port) {
  const int Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in A{};
  A.sin_family = AF_INET;
  A.sin_port = htons(uint16_t(Port));
  inet_pton(AF_INET, "127.0.0.1", &A.sin_addr);
  if (connect(Fd, reinterpret_cast<sockaddr*>(&A), sizeof A) != 0) {
    close(Fd);
    return -1;
  }
  return Fd;
}

inline void Send(int Fd, const std::string& Bytes) { ASSERT_EQ(write(Fd, Bytes.data(), Bytes.size()), ssize_t(Bytes.size())); }

// Reads into Got until it contains Text, the peer closes (Closed set) or the deadline passes.
inline bool ReadUntil(int Fd, std::string& Got, const std::string& Text, bool* Closed = nullptr, int TimeoutMs = 20000) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (Got.find(Text) == std::string::npos) {
    const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now()).count();
    if (Left <= 0) return false;
    pollfd P{Fd, POLLIN, 0};
    if (poll(&P, 1, int(Left)) <= 0) continue;
    char Buf[4096];
    const ssize_t N = read(Fd, Buf, sizeof Buf);
    if (N <= 0) {
      if (Closed) *Closed = true;
      return false;
    }
    Got.append(Buf, size_t(N));
  }
  return true;
}

// Whatever has already arrived.
inline std::string Drain(int Fd) {
  std::string Got;
  char Buf[4096];
  for (;;) {
    pollfd P{Fd, POLLIN, 0};
    if (poll(&P, 1, 0) <= 0) return Got;
    const ssize_t N = read(Fd, Buf, sizeof Buf);
    if (N <= 0) return Got;
    Got.append(Buf, size_t(N));
  }
}

inline int ListenPort(TSim& Sim) {
  const std::string Addr = Sim.WaitLine("LISTEN ");
  const auto Colon = Addr.rfind(':');
  return Colon == std::string::npos ? -1 : std::atoi(Addr.c_str() + Colon + 1);
}


// True once the process catches Signal (its handler is installed).
inline bool Catches(qint64 Pid, int Signal) {
  const std::string Status = ReadFile("/proc/" + std::to_string(Pid) + "/status");
  auto At = Status.find("SigCgt:");
  if (At == std::string::npos) return false;
  const unsigned long long Mask = std::stoull(Status.substr(At + 7), nullptr, 16);
  return (Mask >> (Signal - 1)) & 1;
}


// The program as a child process on the offscreen platform, with a settings file of its own.
class TQuill {
 public:
  // Env: the program's environment (this process's by default). KeepErrors: its standard
  // error is kept for the test (ReadErrors) instead of passed through.
  explicit TQuill(const std::string& SettingsFile,
                  const QProcessEnvironment& Env = QProcessEnvironment::systemEnvironment(), bool KeepErrors = false) {
    P.setProcessChannelMode(KeepErrors ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
    P.setProcessEnvironment(Env);
    P.start(QString::fromLocal8Bit(std::getenv("QUILL_BIN_DIR")) + "/quill",
            {"--settings", QString::fromStdString(SettingsFile)});
  }
  std::string ReadErrors() {
    Errors += P.readAllStandardError().toStdString();
    return Errors;
  }
  std::string Errors;
  ~TQuill() {
    if (P.state() != QProcess::NotRunning) {
      P.kill();
      P.waitForFinished(10000);
    }
  }
  // Ends the program with Signal once it can catch it; true when it exits 0 on its own.
  bool Stop(int Signal = SIGTERM) {
    if (!WaitFor([&] { return Catches(P.processId(), Signal); }, 60000)) return false;
    ::kill(pid_t(P.processId()), Signal);
    return P.waitForFinished(60000) && P.exitStatus() == QProcess::NormalExit && P.exitCode() == 0;
  }
  QProcess P;
};
