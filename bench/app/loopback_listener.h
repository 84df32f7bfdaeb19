#pragma once
// A listening TCP socket on loopback at a free port, for the benchmarks' stand-in devices.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

// The listening descriptor (-1 on failure); Port receives its port number.
inline int LoopbackListener(std::uint16_t& Port) {
  const int Listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in A{};
  A.sin_family = AF_INET;
  A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(Listener, reinterpret_cast<sockaddr*>(&A), sizeof A);
  listen(Listener, 4);
  socklen_t L = sizeof A;
  getsockname(Listener, reinterpret_cast<sockaddr*>(&A), &L);
  Port = ntohs(A.sin_port);
  return Listener;
}
