#include "sim_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <list>
#include <random>
#include <sstream>
#include <vector>

#include "sim_device.h"

namespace {

using Clock = std::chrono::steady_clock;

int SignalPipe[2] = {-1, -1};

void OnSignal(int Signal) {
  const char B = char(Signal);
  [[maybe_unused]] auto N = write(SignalPipe[1], &B, 1);
}

void Say(const std::string& Line) {
  std::fputs((Line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void SetNonBlocking(int Fd) { fcntl(Fd, F_SETFL, fcntl(Fd, F_GETFL) | O_NONBLOCK); }

// Bytes as one readable line: printable ASCII as it is, \r \n \t \0 and \\ escaped, any other
// byte as \xHH.
std::string EscapeBytes(const std::string& Bytes) {
  std::string Out;
  for (unsigned char C : Bytes) {
    switch (C) {
      case '\r': Out += "\\r"; break;
      case '\n': Out += "\\n"; break;
      case '\t': Out += "\\t"; break;
      case '\0': Out += "\\0"; break;
      case '\\': Out += "\\\\"; break;
      default:
        if (C >= 0x20 && C < 0x7F) {
          Out += char(C);
        } else {
          char Hex[8];
          std::snprintf(Hex, sizeof Hex, "\\x%02X", C);
          Out += Hex;
        }
    }
  }
  return Out;
}

struct TClient {
  int Fd = -1;
  bool Telnet = true;   // TCP clients speak telnet; the pseudo-terminal carries raw bytes
  int Id = 0;
  std::string Out;      // bytes not yet taken by the peer
  // A stream without carriage returns still to send ("nocr"); what else is sent meanwhile
  // waits in Held until it is through.
  unsigned long long NoCrLeft = 0;
  std::string Held;
  TTelnetFilter Filter;
  TLineAssembler Lines;
};

class TSimServer {
 public:
  explicit TSimServer(const TSimOptions& O) : FOptions(O), FSilent(O.Silent) {}
  ~TSimServer() {
    for (auto& C : FClients) CloseFd(C.Fd);
    CloseFd(FListen);
    CloseFd(FPtySlave);
    if (FLog) std::fclose(FLog);
  }

  int Run();

 private:
  static void CloseFd(int& Fd) {
    if (Fd >= 0) close(Fd);
    Fd = -1;
  }
  bool OpenListener();
  bool OpenPty();
  void Accept();
  void ReadClient(TClient& C);
  void FlushClient(TClient& C);
  void Send(TClient& C, const std::string& Bytes);
  void Broadcast(const std::string& Bytes);
  void SendStatus(int Radio);
  std::string TextLine();
  void TopUpText(TClient& C);
  void Drop(bool Reset);
  void Garbage();
  void NoCr(unsigned long long Bytes);
  void PumpNoCr(TClient& C);
  void Control(const std::string& Line);
  void ReadControl();
  void RemoveClosed();
  void LogArrival(const TClient& C, const std::string& Bytes);

  TSimOptions FOptions;
  std::FILE* FLog = nullptr;
  Clock::time_point FStart = Clock::now();
  TSimDevice FDevice;
  bool FSilent;
  bool FQuit = false;
  unsigned long long FTextLines = 0;
  int FListen = -1;
  int FPtySlave = -1;  // held open so the master never sees a hang-up between clients
  int FNextId = 1;
  std::list<TClient> FClients;
  std::string FControlLine;
  bool FControlOpen = true;
  std::mt19937 FRandom{2495};
};

bool TSimServer::OpenListener() {
  FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (FListen < 0) return false;
  const int One = 1;
  setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &One, sizeof One);
  sockaddr_in A{};
  A.sin_family = AF_INET;
  A.sin_port = htons(uint16_t(FOptions.Port));
  if (inet_pton(AF_INET, FOptions.Bind.c_str(), &A.sin_addr) != 1) {
    std::fprintf(stderr, "quill-sim: not an IPv4 address: %s\n", FOptions.Bind.c_str());
    return false;
  }
  if (bind(FListen, reinterpret_cast<sockaddr*>(&A), sizeof A) != 0 || listen(FListen, 8) != 0) {
    std::fprintf(stderr, "quill-sim: cannot listen on %s:%d: %s\n", FOptions.Bind.c_str(), FOptions.Port,
                 std::strerror(errno));
    return false;
  }
  SetNonBlocking(FListen);
  socklen_t Len = sizeof A;
  getsockname(FListen, reinterpret_cast<sockaddr*>(&A), &Len);
  Say("LISTEN " + FOptions.Bind + ":" + std::to_string(ntohs(A.sin_port)));
  return true;
}

bool TSimServer::OpenPty() {
  const int Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0) {
    std::fprintf(stderr, "quill-sim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
    if (Master >= 0) close(Master);
    return false;
  }
  const std::string Path = ptsname(Master);
  FPtySlave = open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (FPtySlave >= 0) {
    // Raw: carriage returns must reach the controller as they are.
    termios T{};
    tcgetattr(FPtySlave, &T);
    cfmakeraw(&T);
    cfsetspeed(&T, B9600);
    tcsetattr(FPtySlave, TCSANOW, &T);
  }
  SetNonBlocking(Master);
  TClient C;
  C.Fd = Master;
  C.Telnet = false;
  C.Id = FNextId++;
  FClients.push_back(std::move(C));
  Say("PTY " + Path);
  return true;
}

void TSimServer::Accept() {
  for (;;) {
    const int Fd = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (Fd < 0) return;
    if (FClients.size() >= 8) {
      close(Fd);
      continue;
    }
    const int One = 1;
    setsockopt(Fd, IPPROTO_TCP, TCP_NODELAY, &One, sizeof One);
    TClient C;
    C.Fd = Fd;
    C.Id = FNextId++;
    FClients.push_back(std::move(C));
    Say("CONNECT " + std::to_string(FClients.back().Id));
    if (!FSilent) {
      Send(FClients.back(), FDevice.StatusPacket(1));
      Send(FClients.back(), FDevice.StatusPacket(2));
    }
  }
}

void TSimServer::ReadClient(TClient& C) {
  char Buf[4096];
  for (;;) {
    const ssize_t N = read(C.Fd, Buf, sizeof Buf);
    if (N > 0) {
      std::string Data(Buf, size_t(N));
      LogArrival(C, Data);
      if (C.Telnet) {
        std::string Reply;
        Data = C.Filter.Feed(Data, Reply);
        if (!Reply.empty()) Send(C, Reply);
      }
      for (const auto& Line : C.Lines.Feed(Data)) {
        if (FOptions.Verbose) std::fprintf(stderr, "quill-sim: %d < %s\n", C.Id, Line.c_str());
        const auto Answer = FDevice.HandleLine(Line);
        if (FSilent) continue;
        if (!Answer.Reply.empty()) Send(C, Answer.Reply);
        for (int R : Answer.Changed) SendStatus(R);
      }
      continue;
    }
    if (N < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (N < 0 && errno == EIO && !C.Telnet) return;  // no program on the terminal side just now
    if (C.Telnet) Say("DISCONNECT " + std::to_string(C.Id));
    CloseFd(C.Fd);
    return;
  }
}

// What arrived, as it came off the wire (telnet bytes included): seconds since the start,
// the client, and the bytes. Flushed at once, so the file can be followed while it grows.
void TSimServer::LogArrival(const TClient& C, const std::string& Bytes) {
  if (!FLog) return;
  const double Seconds = std::chrono::duration<double>(Clock::now() - FStart).count();
  std::fprintf(FLog, "%.3f %d < %s\n", Seconds, C.Id, EscapeBytes(Bytes).c_str());
  std::fflush(FLog);
}

void TSimServer::Send(TClient& C, const std::string& Bytes) {
  if (C.Fd < 0) return;
  if (C.NoCrLeft > 0) {
    // Behind the stream; beyond 64 KiB the rest is lost, as a device's full buffer would lose it.
    C.Held += Bytes.substr(0, 65536 - std::min<size_t>(65536, C.Held.size()));
    return;
  }
  C.Out += Bytes;
  FlushClient(C);
  // A peer that takes nothing for long is not worth holding data for.
  if (C.Out.size() > 65536) {
    if (C.Telnet) {
      Say("DISCONNECT " + std::to_string(C.Id));
      CloseFd(C.Fd);
    } else {
      C.Out.clear();
    }
  }
}

void TSimServer::FlushClient(TClient& C) {
  while (C.Fd >= 0 && !C.Out.empty()) {
    const ssize_t N = C.Telnet ? send(C.Fd, C.Out.data(), C.Out.size(), MSG_NOSIGNAL)
                               : write(C.Fd, C.Out.data(), C.Out.size());
    if (N > 0) {
      C.Out.erase(0, size_t(N));
    } else if (N < 0 && errno == EINTR) {
      continue;
    } else if (N < 0 && errno == EAGAIN) {
      return;
    } else {
      if (C.Telnet) {
        Say("DISCONNECT " + std::to_string(C.Id));
        CloseFd(C.Fd);
      } else {
        C.Out.clear();  // nobody reads the terminal: the bytes are lost, as on a real line
      }
      return;
    }
  }
}

void TSimServer::Broadcast(const std::string& Bytes) {
  for (auto& C : FClients) Send(C, Bytes);
}

void TSimServer::SendStatus(int Radio) {
  if (!FSilent) Broadcast(FDevice.StatusPacket(Radio));
}

// One line of printable text, numbered, 80 characters with its CR LF.
std::string TSimServer::TextLine() {
  char Head[32];
  std::snprintf(Head, sizeof Head, "TEXT %08llu ", static_cast<unsigned long long>(FTextLines++));
  static const std::string Body = "The quick brown fox jumps over the lazy dog 0123456789 ABCDEFGHIJKLMN";
  std::string L = Head + Body;
  L.resize(78, '.');
  return L + "\r\n";
}

// Keeps a client's unsent text at about 32 KiB: as fast as the link takes it, never more.
void TSimServer::TopUpText(TClient& C) {
  // No text while a stream without carriage returns is going out: it would end its line.
  if (C.Fd < 0 || FSilent || C.NoCrLeft > 0) return;
  while (C.Out.size() < 32768) C.Out += TextLine();
  FlushClient(C);
}

void TSimServer::Drop(bool Reset) {
  if (FOptions.Pty) {
    // A terminal cannot hang up on its own: replace it, as if the cable were pulled and a new
    // adapter plugged in (the new path is announced).
    for (auto& C : FClients) CloseFd(C.Fd);
    CloseFd(FPtySlave);
    RemoveClosed();
    OpenPty();
    return;
  }
  for (auto& C : FClients) {
    if (C.Fd < 0) continue;
    if (Reset) {
      // Closing with a zero linger time sends a reset instead of an orderly end.
      const linger Abort{1, 0};
      setsockopt(C.Fd, SOL_SOCKET, SO_LINGER, &Abort, sizeof Abort);
    }
    Say("DISCONNECT " + std::to_string(C.Id));
    CloseFd(C.Fd);
  }
  RemoveClosed();
}

void TSimServer::NoCr(unsigned long long Bytes) {
  for (auto& C : FClients) {
    if (C.Fd < 0) continue;
    C.NoCrLeft += Bytes;
    PumpNoCr(C);
  }
}

// Keeps a little of the stream queued at a time, so a slow reader is fed as fast as it reads
// without the queue growing.
void TSimServer::PumpNoCr(TClient& C) {
  static const std::string Chunk = [] {
    std::string S;
    for (int I = 0; I < 4096; ++I) S += char('A' + I % 26);
    return S;
  }();
  while (C.Fd >= 0 && C.NoCrLeft > 0 && C.Out.size() < 16384) {
    const size_t N = size_t(std::min<unsigned long long>(C.NoCrLeft, Chunk.size()));
    C.Out.append(Chunk, 0, N);
    C.NoCrLeft -= N;
    if (C.NoCrLeft == 0) {
      C.Out += C.Held;
      C.Held.clear();
    }
    FlushClient(C);
  }
}

void TSimServer::Garbage() {
  // Lines without a bracket, broken packets, stray control and high bytes, an endless line cut
  // short, and a packet with lower-case digits.
  std::string G = "GARBAGE\r[05C1C5\x01\x02\r]]][[[\r[05c1c501050103]\r[ZZZZZZ]\r";
  for (int I = 0; I < 64; ++I) {
    char C = char(FRandom() & 0xFF);
    if (C == '\r') C = 'x';
    G += C;
  }
  G += "\r";
  G += std::string(600, 'A') + "\r";
  for (auto& C : FClients) {
    std::string Bytes = G;
    if (C.Telnet) {
      // 0xFF is doubled so the stream stays valid telnet however odd its data.
      std::string Escaped;
      for (char Ch : Bytes) {
        Escaped += Ch;
        if (static_cast<unsigned char>(Ch) == 0xFF) Escaped += Ch;
      }
      Bytes = Escaped;
    }
    Send(C, Bytes);
  }
}

void TSimServer::Control(const std::string& Raw) {
  std::istringstream In(Raw);
  std::string Cmd, A, B;
  In >> Cmd >> A >> B;
  bool Ok = true;
  if (Cmd.empty()) return;
  if (Cmd == "silent" && (A == "on" || A == "off")) {
    const bool WasSilent = FSilent;
    FSilent = A == "on";
    if (WasSilent && !FSilent) {
      SendStatus(1);
      SendStatus(2);
    }
  } else if (Cmd == "drop" || Cmd == "reset") {
    Drop(Cmd == "reset");
  } else if (Cmd == "nocr") {
    char* End = nullptr;
    const unsigned long long N = std::strtoull(A.c_str(), &End, 10);
    Ok = !A.empty() && *End == 0 && N >= 1 && N <= 1000000000ULL;
    if (Ok) NoCr(N);
  } else if (Cmd == "garbage") {
    Garbage();
  } else if (Cmd == "band" || Cmd == "antenna" || Cmd == "auto") {
    int R = std::atoi(A.c_str());
    if (Cmd == "band") Ok = FDevice.SetBand(R, std::atoi(B.c_str()));
    else if (Cmd == "antenna") Ok = FDevice.SetAntenna(R, std::atoi(B.c_str()));
    else Ok = (B == "on" || B == "off") && FDevice.SetAuto(R, B == "on");
    if (Ok) SendStatus(R);
  } else if (Cmd == "status") {
    for (int R = 1; R <= 2; ++R) {
      const auto& S = FDevice.Radio(R);
      Say("STATE " + std::to_string(R) + " band " + std::to_string(S.Band) + " auto " + (S.Auto ? "on" : "off") +
          " antenna " + std::to_string(S.Antenna) + (FSilent ? " silent" : ""));
    }
  } else if (Cmd == "quit") {
    FQuit = true;
  } else {
    Ok = false;
  }
  Say((Ok ? "OK " : "ERROR ") + Raw);
}

void TSimServer::ReadControl() {
  char Buf[512];
  const ssize_t N = read(STDIN_FILENO, Buf, sizeof Buf);
  if (N <= 0) {
    if (N < 0 && (errno == EAGAIN || errno == EINTR)) return;
    FControlOpen = false;  // no control channel: run on until a signal
    return;
  }
  for (ssize_t I = 0; I < N; ++I) {
    if (Buf[I] == '\n') {
      std::string Line = FControlLine;
      FControlLine.clear();
      while (!Line.empty() && (Line.back() == '\r' || Line.back() == ' ')) Line.pop_back();
      Control(Line);
    } else if (FControlLine.size() < 256) {
      FControlLine += Buf[I];
    }
  }
}

void TSimServer::RemoveClosed() {
  FClients.remove_if([](const TClient& C) { return C.Fd < 0; });
}

int TSimServer::Run() {
  if (pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
  struct sigaction Action {};
  Action.sa_handler = OnSignal;
  sigemptyset(&Action.sa_mask);
  Action.sa_flags = SA_RESTART;
  for (int S : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) sigaction(S, &Action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (!FOptions.LogFile.empty()) {
    FLog = std::fopen(FOptions.LogFile.c_str(), "we");
    if (!FLog) {
      std::fprintf(stderr, "quill-sim: cannot write the log %s: %s\n", FOptions.LogFile.c_str(), std::strerror(errno));
      return 1;
    }
  }
  if (!(FOptions.Pty ? OpenPty() : OpenListener())) return 1;

  auto NextStatus = Clock::now() + std::chrono::seconds(1);
  auto NextWalk = Clock::now() + std::chrono::seconds(FOptions.WalkSeconds);
  const auto FloodStep = std::chrono::microseconds(FOptions.FloodRate > 0 ? 1000000 / FOptions.FloodRate : 0);
  auto NextFlood = Clock::now() + FloodStep;
  const auto TextStep = std::chrono::microseconds(FOptions.TextRate > 0 ? 1000000 / FOptions.TextRate : 0);
  auto NextText = Clock::now() + TextStep;
  while (!FQuit) {
    std::vector<pollfd> Fds;
    Fds.push_back({SignalPipe[0], POLLIN, 0});
    Fds.push_back({FControlOpen ? STDIN_FILENO : -1, POLLIN, 0});
    Fds.push_back({FListen, POLLIN, 0});
    const bool WantOut = FOptions.TextMax && !FSilent;
    for (auto& C : FClients)
      Fds.push_back({C.Fd, short(POLLIN | (C.Out.empty() && !WantOut && C.NoCrLeft == 0 ? 0 : POLLOUT)), 0});

    auto Due = NextStatus;
    if (FOptions.WalkSeconds > 0 && NextWalk < Due) Due = NextWalk;
    if (FOptions.FloodRate > 0 && NextFlood < Due) Due = NextFlood;
    if (FOptions.TextRate > 0 && NextText < Due) Due = NextText;
    const auto Wait = std::chrono::duration_cast<std::chrono::milliseconds>(Due - Clock::now()).count();
    const int Ready = poll(Fds.data(), Fds.size(), int(std::max<long long>(0, Wait)));
    if (Ready < 0 && errno != EINTR) break;

    if (Fds[0].revents & POLLIN) {
      char Sig;
      while (read(SignalPipe[0], &Sig, 1) == 1) {
        if (Sig == SIGUSR1) Control(FSilent ? "silent off" : "silent on");
        else if (Sig == SIGUSR2) Control("drop");
        else FQuit = true;
      }
    }
    if (Fds[1].revents & (POLLIN | POLLHUP | POLLERR)) ReadControl();
    if (Fds[2].revents & POLLIN) Accept();
    size_t I = 3;
    for (auto& C : FClients) {
      if (I >= Fds.size()) break;
      const short Ev = Fds[I++].revents;
      if (C.Fd < 0) continue;
      if (Ev & POLLOUT) {
        FlushClient(C);
        PumpNoCr(C);
      }
      if (Ev & (POLLIN | POLLHUP | POLLERR)) ReadClient(C);
      if (WantOut && (Ev & POLLOUT)) TopUpText(C);
    }
    RemoveClosed();

    const auto Now = Clock::now();
    if (Now >= NextStatus) {
      SendStatus(1);
      SendStatus(2);
      NextStatus = Now + std::chrono::seconds(1);
    }
    if (FOptions.FloodRate > 0 && Now >= NextFlood) {
      // Catch up on every round that fell due, so the rate holds even with a coarse wake-up.
      while (NextFlood <= Now) {
        SendStatus(1);
        SendStatus(2);
        NextFlood += FloodStep;
      }
    }
    if (FOptions.TextRate > 0 && Now >= NextText) {
      // Lines that fell due go out together; a backlog of more than a second is skipped.
      if (Now - NextText > std::chrono::seconds(1)) NextText = Now;
      std::string Lines;
      while (NextText <= Now) {
        Lines += TextLine();
        NextText += TextStep;
      }
      if (!FSilent) Broadcast(Lines);
    }
    if (FOptions.WalkSeconds > 0 && Now >= NextWalk) {
      FDevice.WalkBands();
      SendStatus(1);
      SendStatus(2);
      NextWalk = Now + std::chrono::seconds(FOptions.WalkSeconds);
    }
  }
  close(SignalPipe[0]);
  close(SignalPipe[1]);
  return 0;
}

}  // namespace

int RunSimulator(const TSimOptions& Options) {
  TSimServer Server(Options);
  return Server.Run();
}
