#pragma once
// The simulator's I/O: a TCP listener (or a pseudo-terminal), its clients, the control channel
// on standard input, signals, and the once-a-second status.

#include <string>

struct TSimOptions {
  std::string Bind = "127.0.0.1";
  int Port = 5495;
  bool Pty = false;
  int WalkSeconds = 0;  // 0: bands stay where they are
  int FloodRate = 0;    // extra status rounds per second, for load tests; 0: none
  int TextRate = 0;     // lines of printable text per second, for the terminal pane; 0: none
  bool TextMax = false; // lines of text as fast as each client takes them
  bool Silent = false;
  bool Verbose = false;
  std::string LogFile;  // every arrival of bytes, escaped, one line each; empty: none
};

// Runs until "quit" on the control channel or a termination signal; returns the exit code.
int RunSimulator(const TSimOptions& Options);
