// quill-sim: a simulated QUILL-2 antenna selector for demos, tests and benchmarks.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim_server.h"

namespace {

const char* Help = R"(Usage: quill-sim [options]

A simulated QUILL-2 remote antenna selector: two radios, each with a band, an
automatic mode and one of eight antennas. It answers link tests with [LINKOK],
acts on antenna and Auto commands addressed to C1 or C2, and sends a status
packet [05C<r>C5 rr bb aa nn] for each radio when it changes and once a second.

Options:
  --port N        TCP port to listen on (default 5495; 0 picks a free one)
  --bind ADDR     IPv4 address to listen on (default 127.0.0.1)
  --pty           serve a pseudo-terminal instead of TCP
  --walk SECONDS  move both radios to their next band every SECONDS seconds,
                  to show automatic antenna following
  --flood N       also send both status packets N times a second (1-100000),
                  for load and memory tests
  --text N        also send N lines of printable text a second (1-1000000),
                  80 bytes each ("TEXT <line number> ..." ending in CR LF),
                  for the controller's terminal pane
  --text max      the same text, as fast as each client takes it
  --silent        start silent (see "silent" below)
  --verbose       log received lines on standard error
  --log FILE      write every arrival of bytes from a client to FILE, one line
                  each: seconds since the start, client id, "<", and the bytes
                  as they came (printable as they are; \r \n \t \0 \\ and
                  \xHH for the rest)
  --help          show this text

Standard output (one line each, flushed at once):
  LISTEN ADDR:PORT   listening (the real port when --port 0)
  PTY PATH           the pseudo-terminal to open as a serial port
  CONNECT ID         a TCP client connected
  DISCONNECT ID      a TCP client went away or was dropped
  OK CMD / ERROR CMD the control command CMD was done / was not understood
  STATE R band B auto on|off antenna A [silent]   answer to "status"

Control commands, one per line on standard input:
  silent on|off     stop / resume every answer and status packet (commands
                    are still acted on); "off" sends both statuses at once
  drop              close every TCP connection (keeps listening); with --pty,
                    replace the terminal by a new one (a new PTY line follows)
  garbage           send junk: broken packets, stray and high bytes, an
                    over-long line, lower-case hex
  nocr N            send N printable bytes (1-1000000000) without a carriage
                    return, as fast as the peer reads; what else is sent
                    meanwhile follows them
  reset             like drop, but each TCP connection ends with a reset
  band R B          radio R (1, 2) to band B (1-14); in Auto its antenna follows
  antenna R A       radio R to antenna A (1-8), leaving Auto
  auto R on|off     radio R's automatic mode
  status            print the state of both radios
  quit              end the program
Run it in the background with its input from a pipe or /dev/null: at the end
of its input it runs on, controlled by signals only.
Signals: SIGUSR1 toggles silent, SIGUSR2 drops; SIGINT, SIGTERM, SIGHUP end it.

Protocol notes: NUL and LF are ignored (the controller sends CR NUL over the
LAN); telnet option requests are refused (DO -> WONT, WILL -> DONT) and
subnegotiations skipped. Selecting an antenna by command leaves automatic mode
and becomes that band's antenna; the Auto command (data 01) restores the band's
antenna. Command replies [05C<r>C3] precede the status packet. Link tests are
answered for C0, C1 and C2.
)";

bool Number(const char* Text, int Min, int Max, int& Out) {
  char* End = nullptr;
  const long V = std::strtol(Text, &End, 10);
  if (!*Text || *End || V < Min || V > Max) return false;
  Out = int(V);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  TSimOptions O;
  for (int I = 1; I < argc; ++I) {
    const std::string A = argv[I];
    auto Value = [&]() -> const char* {
      if (I + 1 >= argc) {
        std::fprintf(stderr, "quill-sim: %s needs a value\n", A.c_str());
        std::exit(2);
      }
      return argv[++I];
    };
    if (A == "--help" || A == "-h") {
      std::fputs(Help, stdout);
      return 0;
    } else if (A == "--port") {
      if (!Number(Value(), 0, 65535, O.Port)) {
        std::fprintf(stderr, "quill-sim: --port takes 0 to 65535\n");
        return 2;
      }
    } else if (A == "--bind") {
      O.Bind = Value();
    } else if (A == "--pty") {
      O.Pty = true;
    } else if (A == "--walk") {
      if (!Number(Value(), 1, 86400, O.WalkSeconds)) {
        std::fprintf(stderr, "quill-sim: --walk takes 1 to 86400 seconds\n");
        return 2;
      }
    } else if (A == "--flood") {
      if (!Number(Value(), 1, 100000, O.FloodRate)) {
        std::fprintf(stderr, "quill-sim: --flood takes 1 to 100000 rounds a second\n");
        return 2;
      }
    } else if (A == "--text") {
      const std::string V = Value();
      if (V == "max") {
        O.TextMax = true;
      } else if (!Number(V.c_str(), 1, 1000000, O.TextRate)) {
        std::fprintf(stderr, "quill-sim: --text takes 1 to 1000000 lines a second, or max\n");
        return 2;
      }
    } else if (A == "--silent") {
      O.Silent = true;
    } else if (A == "--verbose") {
      O.Verbose = true;
    } else if (A == "--log") {
      O.LogFile = Value();
    } else {
      std::fprintf(stderr, "quill-sim: unknown option %s (see --help)\n", A.c_str());
      return 2;
    }
  }
  return RunSimulator(O);
}
