#pragma once
// What the paired receive benchmarks measure around each run, and how they sum it up.

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

// Wall time, CPU time (all threads) and context switches of the process around one run.
struct TRunCost {
  double Seconds = 0, CpuMs = 0;
  long Switches = 0;
};

template <class Run>
TRunCost Measure(const Run& R) {
  rusage A{}, B{};
  getrusage(RUSAGE_SELF, &A);
  const auto T0 = std::chrono::steady_clock::now();
  R();
  TRunCost C;
  C.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - T0).count();
  getrusage(RUSAGE_SELF, &B);
  auto Ms = [](const timeval& T) { return double(T.tv_sec) * 1e3 + double(T.tv_usec) / 1e3; };
  C.CpuMs = Ms(B.ru_utime) + Ms(B.ru_stime) - Ms(A.ru_utime) - Ms(A.ru_stime);
  C.Switches = (B.ru_nvcsw + B.ru_nivcsw) - (A.ru_nvcsw + A.ru_nivcsw);
  return C;
}

inline double Quantile(std::vector<double> V, double Q) {
  if (V.empty()) return 0;
  std::sort(V.begin(), V.end());
  return V[std::min(V.size() - 1, std::size_t(double(V.size()) * Q))];
}

inline double Median(std::vector<double> V) {
  if (V.empty()) return 0;
  std::sort(V.begin(), V.end());
  return V[V.size() / 2];
}

// The one-minute load average, written beside every figure; -1 when unreadable.
inline double LoadAverage() {
  double L = -1;
  if (FILE* F = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(F, "%lf", &L) != 1) L = -1;
    std::fclose(F);
  }
  return L;
}

// Pins the calling thread to one CPU, or frees it again with -1; true when done. A peer thread
// and a reader that the scheduler sometimes puts on one CPU and sometimes on two behave as two
// different programs (on loopback TCP the reader's rate swings tenfold between the two), so a
// pair of runs compares like with like only with the placement fixed for both.
inline bool PinToCpu(int Cpu) {
  if (Cpu >= CPU_SETSIZE) return false;
  cpu_set_t Set;
  CPU_ZERO(&Set);
  if (Cpu >= 0) {
    CPU_SET(Cpu, &Set);
  } else {
    for (int I = 0; I < CPU_SETSIZE; ++I) CPU_SET(I, &Set);
  }
  return pthread_setaffinity_np(pthread_self(), sizeof Set, &Set) == 0;
}
