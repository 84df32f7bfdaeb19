#pragma once
// A pseudo-terminal pair for the serial tests: the test holds the master side as the far end of
// the cable, the port opens the slave (Path). One thread at a time.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <string>

#include "pseudo_terminal.h"
#include "test_support.h"

// A pseudo-terminal pair; the master is the far end of the "cable", read and written
// without blocking.
struct TPty : TPtyMaster {
  TPty() : TPtyMaster(O_NONBLOCK) {}
  void HangUp() { Close(); }
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
};
