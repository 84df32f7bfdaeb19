#pragma once
// A pseudo-terminal pair for the serial tests: the test holds the master side as the far end of
// the cable, the port opens the slave (Path). One thread at a time.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "test_support.h"

// A pseudo-terminal pair; the master is the far end of the "cable".
struct TPty {
  TPty() {
    Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0) return;
    Path = ptsname(Master);
  }
  ~TPty() { HangUp(); }
  void HangUp() {
    if (Master >= 0) ::close(Master);
    Master = -1;
  }
  void Send(const std::string& Bytes) {
    size_t Done = 0;
    while (Done < Bytes.size()) {
      const ssize_t N = ::write(Master, Bytes.data() + Done, Bytes.size() - Done);
      if (N > 0) {
        Done += size_t(N);
      } else {
        pollfd P{Master, POLLOUT, 0};
        ::poll(&P, 1, 100);
      }
    }
  }
  // Whatever the port has written, until Want bytes have come (or the deadline).
  std::string Receive(size_t Want, int TimeoutMs = 20000) {
    std::string Got;
    WaitFor([&] {
      char Buf[4096];
      for (;;) {
        const ssize_t N = ::read(Master, Buf, sizeof Buf);
        if (N <= 0) break;
        Got.append(Buf, size_t(N));
      }
      return Got.size() >= Want;
    }, TimeoutMs);
    return Got;
  }
  int Master = -1;
  std::string Path;
};
