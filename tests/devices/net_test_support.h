#pragma once
// Loopback peers for the network tests: a listening socket, a connected peer, raw byte I/O.
// Everything stays on 127.0.0.1.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

class TLoopbackListener {
 public:
  explicit TLoopbackListener(int Backlog = 8) {
    Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in A{};
    A.sin_family = AF_INET;
    A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(Fd, reinterpret_cast<sockaddr*>(&A), sizeof A);
    ::listen(Fd, Backlog);
    socklen_t L = sizeof A;
    ::getsockname(Fd, reinterpret_cast<sockaddr*>(&A), &L);
    Port = ntohs(A.sin_port);
  }
  ~TLoopbackListener() {
    if (Fd >= 0) ::close(Fd);
  }
  TLoopbackListener(const TLoopbackListener&) = delete;
  TLoopbackListener& operator=(const TLoopbackListener&) = delete;
  // The next connection, or -1 when none arrives within TimeoutMs.
  int Accept(int TimeoutMs = 5000) {
    pollfd P{Fd, POLLIN, 0};
    if (::poll(&P, 1, TimeoutMs) <= 0) return -1;
    return ::accept4(Fd, nullptr, nullptr, SOCK_CLOEXEC);
  }
  // Frees the port number (a later connect to it is refused).
  void Close() {
    ::close(Fd);
    Fd = -1;
  }
  int Fd = -1;
  std::uint16_t Port = 0;
};

// A blocking peer socket connected to 127.0.0.1:Port.
inline int ConnectLoopback(std::uint16_t Port) {
  int Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in A{};
  A.sin_family = AF_INET;
  A.sin_port = htons(Port);
  A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(Fd, reinterpret_cast<sockaddr*>(&A), sizeof A) != 0) {
    ::close(Fd);
    return -1;
  }
  return Fd;
}

inline void SendAll(int Fd, const std::string& S) {
  std::size_t Done = 0;
  while (Done < S.size()) {
    ssize_t N = ::send(Fd, S.data() + Done, S.size() - Done, MSG_NOSIGNAL);
    if (N <= 0) return;
    Done += std::size_t(N);
  }
}

// Reads until Count bytes arrived or TimeoutMs passed without any.
inline std::string RecvSome(int Fd, std::size_t Count, int TimeoutMs = 5000) {
  std::string Out;
  char Buf[4096];
  while (Out.size() < Count) {
    pollfd P{Fd, POLLIN, 0};
    if (::poll(&P, 1, TimeoutMs) <= 0) break;
    ssize_t N = ::recv(Fd, Buf, std::min(sizeof Buf, Count - Out.size()), 0);
    if (N <= 0) break;
    Out.append(Buf, std::size_t(N));
  }
  return Out;
}

// True once the other end has closed (an orderly close or a reset), without waiting.
inline bool PeerClosed(int Fd) {
  pollfd P{Fd, POLLIN, 0};
  if (::poll(&P, 1, 0) <= 0) return false;
  char C;
  return ::recv(Fd, &C, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

// Closes with a reset instead of an orderly close.
inline void ResetClose(int Fd) {
  linger L{1, 0};
  ::setsockopt(Fd, SOL_SOCKET, SO_LINGER, &L, sizeof L);
  ::close(Fd);
}

inline std::uint32_t LoopbackAddr() { return htonl(INADDR_LOOPBACK); }
