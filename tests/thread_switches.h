#pragma once
// Context switches (voluntary and involuntary) of this process's threads, by thread name, read
// from /proc: how tests and benchmarks see whether a thread slept through a quiet spell.
// Any thread may call these.

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

// Per thread name (threads of one name summed); empty when /proc cannot be read.
inline std::map<std::string, long> ThreadSwitches() {
  std::map<std::string, long> Out;
  DIR* D = opendir("/proc/self/task");
  if (!D) return Out;
  while (dirent* E = readdir(D)) {
    if (E->d_name[0] == '.') continue;
    const std::string Task = std::string("/proc/self/task/") + E->d_name;
    std::string Comm;
    std::getline(std::ifstream(Task + "/comm"), Comm);
    std::ifstream Status(Task + "/status");
    for (std::string Line; std::getline(Status, Line);)
      if (Line.rfind("voluntary_ctxt_switches:", 0) == 0 || Line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        Out[Comm] += std::atol(Line.c_str() + Line.find(':') + 1);
  }
  closedir(D);
  return Out;
}

// Summed over the threads whose name starts with Prefix.
inline long ThreadSwitchesOf(const std::string& Prefix) {
  long Sum = 0;
  for (const auto& [Name, N] : ThreadSwitches())
    if (Name.rfind(Prefix, 0) == 0) Sum += N;
  return Sum;
}
