#pragma once
// The dispatcher's two diagnostic recorders and their text files.
//
// The trace keeps (type, byte) pairs of what the application read ("R") and sent ("T") in a
// fixed circular buffer; the dispatch log keeps time-stamped internal events in a queue bounded
// by a byte budget. TQpPortRecorder holds their state and writes their files; the dispatcher
// switches them with its TracingOn / DLoggingOn flags and drives them (port_trace.cpp).
//
// Threads: the trace part is not locked here: the dispatcher calls it under DataSection. The
// log part has its own lock, so any thread may add an entry while holding a dispatcher lock; a
// log dump writes what was queued when it began and never holds that lock while writing.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "port/io_queues.h"

struct TTraceRecord {
  char EventType = 0;
  std::uint8_t C = 0;
};

constexpr std::uint32_t HighestTrace = 4000000;
constexpr std::uint32_t MaxDLogQueueSize = 16000000;
constexpr int MaxTraceCol = 78;
constexpr int StartColumn = 45;  // first column of a log entry's bytes
constexpr std::uint32_t MaxTelnetTag = 42;

class TQpPortRecorder {
 public:
  // ---------------- trace (caller holds the dispatcher's DataSection) ----------------
  // An existing buffer is only emptied; else NumEntries zeroed slots (none for 0).
  // ecBadArgument above HighestTrace.
  std::int32_t InitTrace(std::uint32_t NumEntries);
  bool HasTrace() const { return !FTrace.empty(); }
  void AddTrace(char Type, std::uint8_t C) {
    if (FTrace.empty()) return;
    FTrace[FTraceIndex] = {Type, C};
    if (++FTraceIndex == FTrace.size()) {
      FTraceIndex = 0;
      FTraceWrapped = true;
    }
  }
  void AddTrace(char Type, const std::uint8_t* Data, std::uint32_t Len);
  void ClearTrace() {
    FTraceIndex = 0;
    FTraceWrapped = false;
  }
  void FreeTrace();
  std::uint32_t TraceIndex() const { return FTraceIndex; }
  std::uint32_t TraceMax() const { return std::uint32_t(FTrace.size()); }
  bool TraceWrapped() const { return FTraceWrapped; }
  // The trace file's text, oldest entry first (no final line end).
  std::string TraceText(bool InHex, bool AllHex) const;
  // Writes (Append: adds to an existing file) and then empties the trace. Nothing to write:
  // 0 and no file. A file error: its negated errno, and the trace is freed.
  std::int32_t WriteTrace(const std::string& FName, bool InHex, bool AllHex, bool Append);

  // ---------------- dispatch log (own lock) ----------------
  // Empties the log; MaxBytes 0 = no limit.
  void InitLog(std::uint32_t MaxBytes);
  void ClearLog();
  // Drops the oldest entries while the queued bytes exceed the limit, then queues this one.
  // An entry without bytes counts as one byte, so a log of such entries stays bounded too.
  void AddLog(TDispatchType DT, TDispatchSubType DST, std::uint32_t Time, std::uint32_t Data,
              const void* Buffer, std::uint32_t BufferLen);
  std::size_t LogCount();
  std::uint64_t LogBytes();
  // The text of one entry line (with its line end) and of the header.
  static std::string LogEntryText(const TLogBuffer& E, bool InHex, bool AllHex);
  std::string LogHeaderText(const std::string& DeviceName) const;
  // Writes the header and the entries queued at the start, which leave the log. Empty log:
  // 0 and no file. A file error: its negated errno, and the entries stay queued.
  std::int32_t WriteLog(const std::string& FName, bool InHex, bool AllHex, bool Append,
                        const std::string& DeviceName);

  // Facts of the header, replaceable for tests: the local date and time as
  // "dd/mm/yy, hh:mm:ss" and the system description (default: uname, at most 80 characters).
  std::function<std::string()> DateTimeText;
  std::function<std::string()> SystemText;

 private:
  std::vector<TTraceRecord> FTrace;
  std::uint32_t FTraceIndex = 0;
  bool FTraceWrapped = false;

  std::mutex FLogLock;
  std::deque<std::unique_ptr<TLogBuffer>> FLog;
  std::uint64_t FLogBytes = 0;  // sum of max(bytes, 1) over FLog
  std::uint32_t FLogMax = 0;
};
