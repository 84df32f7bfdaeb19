#pragma once
// Real SOCKS servers for the tests (dante, microsocks from the install script) started on a
// free loopback port and stopped with the object, and a target that greets its client with
// telnet bytes and echoes text. Used by the tests and the benchmarks.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net_test_support.h"

extern char** environ;

// A loopback port free at the time of asking.
inline std::uint16_t FreeLoopbackPort() {
  TLoopbackListener L;
  return L.Port;
}

enum TProxyKind { pkDante, pkMicrosocks, pkMicrosocksAuth };

class TProxyServer {
 public:
  TProxyServer(TProxyKind Kind, const std::string& Dir) : FPort(FreeLoopbackPort()) {
    const std::string P = std::to_string(FPort);
    FLog = Dir + "/proxy-" + P + ".log";
    std::vector<std::string> Args;
    if (Kind == pkDante) {
      const std::string Conf = Dir + "/danted-" + P + ".conf";
      std::ofstream(Conf) << ("logoutput: " + FLog + "\n"
                      "internal: 127.0.0.1 port = " + P + "\n"
                      "external: 127.0.0.1\n"
                      "clientmethod: none\n"
                      "socksmethod: none\n"
                      "user.privileged: root\n"
                      "user.unprivileged: nobody\n"
                      "client pass {\n"
                      "        from: 127.0.0.0/8 to: 0.0.0.0/0\n"
                      "        log: error\n"
                      "}\n"
                      "socks pass {\n"
                      "        from: 127.0.0.0/8 to: 0.0.0.0/0\n"
                      "        command: connect\n"
                      "        log: error\n"
                      "}\n");
      Args = {"/usr/sbin/danted", "-f", Conf, "-p", Dir + "/danted-" + P + ".pid"};
    } else {
      Args = {"/usr/bin/microsocks", "-i", "127.0.0.1", "-p", P};
      if (Kind == pkMicrosocksAuth) Args.insert(Args.end(), {"-u", "quill", "-P", "s3cret"});
    }
    std::vector<char*> Argv;
    for (auto& A : Args) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Fa;
    posix_spawn_file_actions_init(&Fa);
    posix_spawn_file_actions_addopen(&Fa, 1, (FLog + ".out").c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&Fa, 1, 2);
    if (posix_spawn(&FPid, Argv[0], &Fa, nullptr, Argv.data(), environ) != 0) FPid = -1;
    posix_spawn_file_actions_destroy(&Fa);
    // Ready once it accepts a connection; gone if the child ended first.
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (FPid > 0 && std::chrono::steady_clock::now() < Deadline) {
      if (const int Fd = ConnectLoopback(FPort); Fd >= 0) {
        ::close(Fd);
        FRunning = true;
        break;
      }
      int Status = 0;
      if (::waitpid(FPid, &Status, WNOHANG) == FPid) {
        FPid = -1;
        break;
      }
      ::poll(nullptr, 0, 2);  // the server is starting: try its port again shortly
    }
  }
  ~TProxyServer() {
    if (FPid > 0) {
      ::kill(FPid, SIGTERM);
      int Status = 0;
      ::waitpid(FPid, &Status, 0);
    }
  }
  TProxyServer(const TProxyServer&) = delete;
  TProxyServer& operator=(const TProxyServer&) = delete;
  bool Running() const { return FRunning; }
  std::uint16_t Port() const { return FPort; }
  std::string Log() const { return Slurp(FLog) + Slurp(FLog + ".out"); }

 private:
  static std::string Slurp(const std::string& Path) {
    std::ostringstream S;
    S << std::ifstream(Path).rdbuf();
    return S.str();
  }
  std::uint16_t FPort;
  std::string FLog;
  pid_t FPid = -1;
  bool FRunning = false;
};

// Takes one client, sends it a telnet option request and a prompt at once, then echoes the
// printable text it hears (and records everything) until the client goes.
class TTalkingTarget {
 public:
  explicit TTalkingTarget(std::string Greeting = "\xff\xfd\x18login: ")
      : FThread([this, G = std::move(Greeting)] {
          const int Fd = L.Accept(20000);
          FAccepted = true;
          if (Fd < 0) return;
          SendAll(Fd, G);
          char Buf[4096];
          for (;;) {
            pollfd P{Fd, POLLIN, 0};
            if (::poll(&P, 1, 20000) <= 0) break;
            const ssize_t N = ::recv(Fd, Buf, sizeof Buf, 0);
            if (N <= 0) break;
            std::string Echo;
            for (ssize_t I = 0; I < N; ++I) {
              const unsigned char C = static_cast<unsigned char>(Buf[I]);
              if ((C >= 0x20 && C < 0x7F) || C == '\r' || C == '\n') Echo += char(C);
            }
            FHeard.append(Buf, std::size_t(N));
            SendAll(Fd, Echo);
          }
          ::close(Fd);
        }) {}
  ~TTalkingTarget() {
    // Never reached (the open failed): a connection of our own ends its wait.
    if (!FAccepted) {
      const int Fd = ConnectLoopback(L.Port);
      if (Fd >= 0) ::close(Fd);
    }
    if (FThread.joinable()) FThread.join();
  }
  std::uint16_t Port() const { return L.Port; }
  // Everything heard; waits for the client to go first.
  std::string Heard() {
    if (FThread.joinable()) FThread.join();
    return FHeard;
  }

 private:
  TLoopbackListener L;
  std::string FHeard;
  std::atomic<bool> FAccepted{false};
  std::thread FThread;
};
