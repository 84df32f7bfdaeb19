// Tracing and dispatch logging: the recorder, the dispatcher's operations on it, and the port
// component's Tracing / Logging properties and methods.

#include "port/port_trace.h"

#include <sys/utsname.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/text_util.h"
#include "port/com_port.h"
#include "port/port_dispatch.h"
#include "port/port_errors.h"

namespace {

// The text of one recorded byte (at most 5 characters) and its width.
int ByteText(char* Out, std::uint8_t B, bool InHex, bool AllHex) {
  static const char Hex[] = "0123456789ABCDEF";
  auto AsHex = [&] {
    Out[0] = '[';
    Out[1] = Hex[B >> 4];
    Out[2] = Hex[B & 15];
    Out[3] = ']';
    return 4;
  };
  if (AllHex) return AsHex();
  const std::uint8_t Low = InHex ? '!' : ' ';
  if (B >= Low && B <= '~') {
    Out[0] = char(B);
    return 1;
  }
  if (InHex) return AsHex();
  return std::snprintf(Out, 6, "[%u]", unsigned(B));
}

std::string DefaultDateTime() {
  const std::time_t Now = std::time(nullptr);
  std::tm Tm{};
  localtime_r(&Now, &Tm);
  char Buf[32];
  std::strftime(Buf, sizeof Buf, "%d/%m/%y, %H:%M:%S", &Tm);
  return Buf;
}

std::string DefaultSystem() {
  utsname U{};
  if (uname(&U) != 0) return "Unknown";
  return std::string(U.sysname) + " " + U.release;
}

// Opens for writing: appended to an existing file, else created or replaced.
std::FILE* OpenText(const std::string& FName, bool Append, std::int32_t& Error) {
  std::FILE* F = std::fopen(FName.c_str(), Append ? "ab" : "wb");
  Error = F ? 0 : -(errno ? errno : EIO);
  return F;
}

std::int32_t WriteAndClose(std::FILE* F, const std::string& Text) {
  std::int32_t Error = 0;
  if (!Text.empty() && std::fwrite(Text.data(), 1, Text.size(), F) != Text.size())
    Error = -(errno ? errno : EIO);
  if (std::fclose(F) != 0 && Error == 0) Error = -(errno ? errno : EIO);
  return Error;
}

}  // namespace

// ------------------------------------------------------------------------ trace

std::int32_t TQpPortRecorder::InitTrace(std::uint32_t NumEntries) {
  if (!FTrace.empty()) {
    ClearTrace();
    return 0;
  }
  if (NumEntries > HighestTrace) return ecBadArgument;
  FTrace.assign(NumEntries, TTraceRecord{});
  ClearTrace();
  return 0;
}

void TQpPortRecorder::AddTrace(char Type, const std::uint8_t* Data, std::uint32_t Len) {
  const std::uint32_t Size = std::uint32_t(FTrace.size());
  if (Size == 0) return;
  // In runs up to the end of the buffer: a plain loop the compiler can widen.
  while (Len > 0) {
    const std::uint32_t N = std::min(Len, Size - FTraceIndex);
    TTraceRecord* P = FTrace.data() + FTraceIndex;
    for (std::uint32_t I = 0; I < N; ++I) P[I] = {Type, Data[I]};
    Data += N;
    Len -= N;
    FTraceIndex += N;
    if (FTraceIndex == Size) {
      FTraceIndex = 0;
      FTraceWrapped = true;
    }
  }
}

void TQpPortRecorder::FreeTrace() {
  std::vector<TTraceRecord>().swap(FTrace);
  ClearTrace();
}

std::string TQpPortRecorder::TraceText(bool InHex, bool AllHex) const {
  std::string Out;
  if (FTrace.empty() || (!FTraceWrapped && FTraceIndex == 0)) return Out;
  const std::size_t Size = FTrace.size();
  const std::size_t Count = FTraceWrapped ? Size : FTraceIndex;
  const std::size_t Start = FTraceWrapped ? FTraceIndex : 0;
  Out.reserve(Count * 2);
  char Prev = 0;
  int Col = 0;
  char Tok[8];
  for (std::size_t I = 0; I < Count; ++I) {
    const TTraceRecord& R = FTrace[(Start + I) % Size];
    if (I == 0 || R.EventType != Prev) {
      if (I != 0) Out += "\n\n";
      if (R.EventType == 'R') {
        Out += "Receive: ";
      } else if (R.EventType == 'T') {
        Out += "Transmit: ";
      } else {
        Out += "Special-";
        Out += R.EventType;
        Out += ": ";
      }
      Out += '\n';
      Col = 0;
      Prev = R.EventType;
    }
    const int W = ByteText(Tok, R.C, InHex, AllHex);
    Col += W;
    if (Col > MaxTraceCol) {
      Out += '\n';
      Col = W;
    }
    Out.append(Tok, std::size_t(W));
  }
  return Out;
}

std::int32_t TQpPortRecorder::WriteTrace(const std::string& FName, bool InHex, bool AllHex,
                                         bool Append) {
  if (FTrace.empty() || (!FTraceWrapped && FTraceIndex == 0)) return 0;
  std::int32_t Error = 0;
  std::FILE* F = OpenText(FName, Append, Error);
  if (!F) {
    FreeTrace();
    return Error;
  }
  Error = WriteAndClose(F, TraceText(InHex, AllHex));
  ClearTrace();
  return Error;
}

// ------------------------------------------------------------------------ dispatch log

void TQpPortRecorder::InitLog(std::uint32_t MaxBytes) {
  std::lock_guard<std::mutex> Guard(FLogLock);
  FLog.clear();
  FLogBytes = 0;
  FLogMax = MaxBytes;
}

void TQpPortRecorder::ClearLog() {
  std::lock_guard<std::mutex> Guard(FLogLock);
  FLog.clear();
  FLogBytes = 0;
}

void TQpPortRecorder::AddLog(TDispatchType DT, TDispatchSubType DST, std::uint32_t Time,
                             std::uint32_t Data, const void* Buffer, std::uint32_t BufferLen) {
  if (!Buffer) BufferLen = 0;
  // The copy is made outside the lock: producers on other threads wait only for the links.
  auto Entry = std::make_unique<TLogBuffer>(DT, DST, Time, Data, Buffer, std::int32_t(BufferLen));
  const std::uint64_t Cost = BufferLen > 0 ? BufferLen : 1;
  std::deque<std::unique_ptr<TLogBuffer>> Dropped;  // freed outside the lock
  {
    std::lock_guard<std::mutex> Guard(FLogLock);
    while (FLogMax != 0 && !FLog.empty() && FLogBytes > FLogMax) {
      const std::int32_t N = FLog.front()->drMoreData();
      FLogBytes -= N > 0 ? std::uint64_t(N) : 1;
      Dropped.push_back(std::move(FLog.front()));
      FLog.pop_front();
    }
    FLog.push_back(std::move(Entry));
    FLogBytes += Cost;
  }
}

std::size_t TQpPortRecorder::LogCount() {
  std::lock_guard<std::mutex> Guard(FLogLock);
  return FLog.size();
}

std::uint64_t TQpPortRecorder::LogBytes() {
  std::lock_guard<std::mutex> Guard(FLogLock);
  return FLogBytes;
}

std::string TQpPortRecorder::LogEntryText(const TLogBuffer& E, bool InHex, bool AllHex) {
  // Time in ms with a point before the last three digits; unsigned, so the column stays
  // right past 2^31 ms. Past 10^7 ms the time is wider and the columns shift.
  char Time[16];
  std::snprintf(Time, sizeof Time, "%04u.%03u", unsigned(E.drTime() / 1000),
                unsigned(E.drTime() % 1000));
  const std::string Type = QpLoadStr(15001 + int(E.drType()));
  const std::string Sub = E.drSubType() == dstNone ? "" : QpLoadStr(15100 + int(E.drSubType()));
  char Head[128];
  std::snprintf(Head, sizeof Head, "%8s  %-8s  %-12s  %08X  ", Time, Type.c_str(),
                Sub.c_str(), unsigned(E.drData()));
  std::string Out = Head;
  const std::int32_t Len = E.drMoreData();
  if (Len > 0) {
    const std::uint8_t* B = E.drBuffer();
    if (E.drSubType() == dstStatusTrigger &&
        (E.drType() == dtTriggerAlloc || E.drType() == dtTriggerDispose)) {
      static const char* const Names[] = {"(Not active)",          "(Modem status)",
                                          "(Line status)",         "(Output buffer free)",
                                          "(Output buffer used)",  "(Output sent)"};
      if (B[0] < 6) Out += Names[B[0]];
    } else {
      const bool Hex = AllHex && E.drType() != dtUser;
      const std::string Indent(StartColumn - 1, ' ');
      int Col = StartColumn - 1;
      char Tok[8];
      for (std::int32_t I = 0; I < Len; ++I) {
        const int W = ByteText(Tok, B[I], InHex, Hex);
        if (Col + W > MaxTraceCol) {
          Out += '\n';
          Out += Indent;
          Col = StartColumn - 1;
        }
        Out.append(Tok, std::size_t(W));
        Col += W;
      }
      if (E.drSubType() == dstModemStatus) {
        std::string Bits = " (";
        for (int Bit = 0; Bit < 8; ++Bit)
          if (E.drData() & (1u << Bit)) Bits += QpLoadStr(15601 + Bit);
        Out += Trim(Bits) + ")";
      }
    }
  } else if (E.drType() == dtTelnet) {
    std::string Name = " [";
    if (E.drData() <= MaxTelnetTag) Name += QpLoadStr(15700 + int(E.drData()));
    Out += Trim(Name) + "]";
  }
  Out += '\n';
  return Out;
}

std::string TQpPortRecorder::LogHeaderText(const std::string& DeviceName) const {
  std::string System = SystemText ? SystemText() : DefaultSystem();
  if (System.size() > 80) System.resize(80);
  std::string Out = "QPORT v1.00\n";
  Out += "Compiler : Unknown\n";
  Out += "Operating System : " + System + "\n";
  Out += "Device: " + DeviceName + "\n";
  Out += "Date/time: " + (DateTimeText ? DateTimeText() : DefaultDateTime()) + "\n";
  Out += QpLoadStr(15501) + "\n";
  Out += QpLoadStr(15502) + "\n";
  return Out;
}

std::int32_t TQpPortRecorder::WriteLog(const std::string& FName, bool InHex, bool AllHex,
                                       bool Append, const std::string& DeviceName) {
  if (LogCount() == 0) return 0;
  std::int32_t Error = 0;
  std::FILE* F = OpenText(FName, Append, Error);
  if (!F) return Error;
  // What was queued when the dump began; entries added meanwhile wait for the next dump.
  std::deque<std::unique_ptr<TLogBuffer>> Taken;
  {
    std::lock_guard<std::mutex> Guard(FLogLock);
    Taken.swap(FLog);
    FLogBytes = 0;
  }
  std::string Text = LogHeaderText(DeviceName);
  for (const auto& E : Taken) Text += LogEntryText(*E, InHex, AllHex);
  return WriteAndClose(F, Text);
}

// ------------------------------------------------------------------------ the dispatcher

std::int32_t TQpBaseDispatcher::InitTracing(std::uint32_t NumEntries) {
  DispLock Data(DataSection);
  const std::int32_t Result = Recorder.InitTrace(NumEntries);
  if (Result < 0) return Result;
  TracingOn = true;
  return 0;
}

void TQpBaseDispatcher::AddTraceEntry(char CurEntry, std::uint8_t CurCh) {
  DispLock Data(DataSection);
  Recorder.AddTrace(CurEntry, CurCh);
}

void TQpBaseDispatcher::ClearTracing() {
  DispLock Data(DataSection);
  Recorder.ClearTrace();
}

void TQpBaseDispatcher::StartTracing() {
  DispLock Data(DataSection);
  if (Recorder.HasTrace()) TracingOn = true;
}

void TQpBaseDispatcher::StopTracing() { TracingOn = false; }

void TQpBaseDispatcher::AbortTracing() {
  DispLock Data(DataSection);
  TracingOn = false;
  Recorder.FreeTrace();
}

std::int32_t TQpBaseDispatcher::DumpTrace(const std::string& FName, bool InHex, bool AllHex) {
  DispLock Data(DataSection);
  const std::int32_t Result = Recorder.WriteTrace(FName, InHex, AllHex, false);
  if (!Recorder.HasTrace()) TracingOn = false;
  return Result;
}

std::int32_t TQpBaseDispatcher::AppendTrace(const std::string& FName, bool InHex, bool AllHex) {
  DispLock Data(DataSection);
  const std::int32_t Result = Recorder.WriteTrace(FName, InHex, AllHex, true);
  if (!Recorder.HasTrace()) TracingOn = false;
  return Result;
}

void TQpBaseDispatcher::InitDispatchLogging(std::uint32_t QueueSize) {
  Recorder.InitLog(QueueSize);
  DLoggingOn = true;
}

void TQpBaseDispatcher::StartDispatchLogging() { DLoggingOn = true; }
void TQpBaseDispatcher::StopDispatchLogging() { DLoggingOn = false; }
void TQpBaseDispatcher::ClearDispatchLogging() { Recorder.ClearLog(); }

void TQpBaseDispatcher::AbortDispatchLogging() {
  DLoggingOn = false;
  Recorder.ClearLog();
}

void TQpBaseDispatcher::AddDispatchEntry(TDispatchType DT, TDispatchSubType DST,
                                         std::uint32_t Data, const void* Buffer,
                                         std::uint32_t BufferLen) {
  if (!DLoggingOn) return;
  Recorder.AddLog(DT, DST, GetDispatchTime(), Data, Buffer, BufferLen);
}

void TQpBaseDispatcher::AddStringToLog(const std::string& S) {
  AddDispatchEntry(dtUser, dstNone, 0, S.data(), std::uint32_t(S.size()));
}

std::int32_t TQpBaseDispatcher::DumpDispatchLog(const std::string& FName, bool InHex,
                                                bool AllHex) {
  DispLock Data(DataSection);
  return Recorder.WriteLog(FName, InHex, AllHex, false, DeviceName);
}

std::int32_t TQpBaseDispatcher::AppendDispatchLog(const std::string& FName, bool InHex,
                                                  bool AllHex) {
  DispLock Data(DataSection);
  return Recorder.WriteLog(FName, InHex, AllHex, true, DeviceName);
}

// ------------------------------------------------------------------------ the port component

void TQpCustomComPort::ApplyRecorderState(bool Trace, TTraceLogState Value) {
  TTraceLogState& State = Trace ? FTracing : FLogging;
  if (ShuttingDown()) return;
  if (Value == State && !Force) return;
  const TTraceLogState Old = State;
  if (!IsOpenNow()) {
    State = Value == tlOn ? tlOn : tlOff;
    return;
  }
  TQpBaseDispatcher& D = *FDispatcher;
  const bool Running = Old == tlOn || Old == tlPause;
  auto Start = [&] { Trace ? D.StartTracing() : D.StartDispatchLogging(); };
  auto Abort = [&] { Trace ? D.AbortTracing() : D.AbortDispatchLogging(); };
  auto Write = [&](bool Append) {
    const std::string& Name = Trace ? FTraceName : FLogName;
    const bool Hex = Trace ? FTraceHex : FLogHex;
    const bool AllHex = Trace ? FTraceAllHex : FLogAllHex;
    if (Trace) return Append ? D.AppendTrace(Name, Hex, AllHex) : D.DumpTrace(Name, Hex, AllHex);
    return Append ? D.AppendDispatchLog(Name, Hex, AllHex) : D.DumpDispatchLog(Name, Hex, AllHex);
  };
  switch (Value) {
    case tlOff:
      if (Running) {
        Abort();
        State = tlOff;
      }
      break;
    case tlOn:
      if (Old == tlPause) {
        Start();
      } else if (Trace) {
        CheckException(this, D.InitTracing(FTraceSize));
      } else {
        D.InitDispatchLogging(FLogSize);
      }
      State = tlOn;
      break;
    case tlDump:
    case tlAppend:
      if (Running) {
        Start();
        const std::int32_t Result = Write(Value == tlAppend);
        // Off means off: the recorder goes, so a later tlOn starts afresh.
        Abort();
        State = tlOff;
        CheckException(this, Result);
      }
      break;
    case tlClear:
      if (Running) Trace ? D.ClearTracing() : D.ClearDispatchLogging();
      break;
    case tlPause:
      if (Old == tlOn) {
        Trace ? D.StopTracing() : D.StopDispatchLogging();
        State = tlPause;
      }
      break;
    case tlAppendAndContinue:
      if (Running) {
        Start();
        const std::int32_t Result = Write(true);
        State = Trace && Result < 0 ? tlOff : tlOn;  // a failed trace file frees the trace
        CheckException(this, Result);
      }
      break;
  }
}

void TQpCustomComPort::SetTracing(TTraceLogState V) { ApplyRecorderState(true, V); }
void TQpCustomComPort::SetLogging(TTraceLogState V) { ApplyRecorderState(false, V); }

void TQpCustomComPort::SetTraceSize(std::uint32_t V) {
  V = std::min(V, HighestTrace);
  if (V == FTraceSize) return;
  FTraceSize = V;
  const TTraceLogState Old = FTracing;
  if (IsOpenNow() && (Old == tlOn || Old == tlPause)) {
    SetTracing(tlOff);
    SetTracing(Old);  // a paused trace stays off
  }
}

void TQpCustomComPort::SetLogSize(std::uint32_t V) {
  V = std::min(V, MaxDLogQueueSize);
  if (V == FLogSize) return;
  FLogSize = V;
  const TTraceLogState Old = FLogging;
  if (IsOpenNow() && (Old == tlOn || Old == tlPause)) {
    SetLogging(tlOff);
    SetLogging(Old);
  }
}

void TQpCustomComPort::ApplyRecorderStates() {
  ApplyRecorderState(true, FTracing);
  ApplyRecorderState(false, FLogging);
}

std::exception_ptr TQpCustomComPort::DumpRecordersAtClose() {
  std::exception_ptr First;
  for (bool Trace : {true, false}) {
    try {
      ApplyRecorderState(Trace, tlDump);
    } catch (...) {
      if (!First) First = std::current_exception();
    }
  }
  return First;
}

// The methods do nothing while the port is shutting down; otherwise they need it open.
void TQpCustomComPort::InitTracing(std::uint32_t NumEntries) {
  if (ShuttingDown()) return;
  if (NumEntries != 0) FTraceSize = std::min(NumEntries, HighestTrace);
  CheckException(this, ValidDispatcher().InitTracing(NumEntries != 0 ? NumEntries : FTraceSize));
  FTracing = tlOn;
}

void TQpCustomComPort::DumpTrace(const std::string& FName, bool InHex) {
  if (ShuttingDown()) return;
  TQpBaseDispatcher& D = ValidDispatcher();
  const std::int32_t Result = D.DumpTrace(FName, InHex, FTraceAllHex);
  D.AbortTracing();
  FTracing = tlOff;
  CheckException(this, Result);
}

void TQpCustomComPort::AppendTrace(const std::string& FName, bool InHex, TTraceLogState NewState) {
  if (ShuttingDown()) return;
  TQpBaseDispatcher& D = ValidDispatcher();
  const std::int32_t Result = D.AppendTrace(FName, InHex, FTraceAllHex);
  if (Result < 0)
    FTracing = tlOff;  // the file failed: the trace is gone
  else
    SetTracing(NewState);
  CheckException(this, Result);
}

void TQpCustomComPort::ClearTracing() {
  if (!ShuttingDown()) ValidDispatcher().ClearTracing();
}

void TQpCustomComPort::AbortTracing() {
  if (ShuttingDown()) return;
  ValidDispatcher().AbortTracing();
  FTracing = tlOff;
}

void TQpCustomComPort::StartTracing() {
  if (ShuttingDown()) return;
  TQpBaseDispatcher& D = ValidDispatcher();
  D.StartTracing();
  if (D.TracingOn) FTracing = tlOn;
}

void TQpCustomComPort::StopTracing() {
  if (ShuttingDown()) return;
  ValidDispatcher().StopTracing();
  if (FTracing == tlOn) FTracing = tlPause;
}

void TQpCustomComPort::AddTraceEntry(char CurEntry, std::uint8_t CurCh) {
  if (!ShuttingDown()) ValidDispatcher().AddTraceEntry(CurEntry, CurCh);
}

void TQpCustomComPort::InitLogging(std::uint32_t Size) {
  if (ShuttingDown()) return;
  if (Size != 0) FLogSize = std::min(Size, MaxDLogQueueSize);
  ValidDispatcher().InitDispatchLogging(FLogSize);
  FLogging = tlOn;
}

void TQpCustomComPort::DumpLog(const std::string& FName, bool InHex) {
  if (ShuttingDown()) return;
  TQpBaseDispatcher& D = ValidDispatcher();
  const std::int32_t Result = D.DumpDispatchLog(FName, InHex, FLogAllHex);
  D.AbortDispatchLogging();
  FLogging = tlOff;
  CheckException(this, Result);
}

void TQpCustomComPort::AppendLog(const std::string& FName, bool InHex, TTraceLogState NewState) {
  if (ShuttingDown()) return;
  const std::int32_t Result = ValidDispatcher().AppendDispatchLog(FName, InHex, FLogAllHex);
  if (Result == 0) SetLogging(NewState);
  CheckException(this, Result);
}

void TQpCustomComPort::ClearLogging() {
  if (!ShuttingDown()) ValidDispatcher().ClearDispatchLogging();
}

void TQpCustomComPort::AbortLogging() {
  if (ShuttingDown()) return;
  ValidDispatcher().AbortDispatchLogging();
  FLogging = tlOff;
}

void TQpCustomComPort::StartLogging() {
  if (ShuttingDown()) return;
  ValidDispatcher().StartDispatchLogging();
  FLogging = tlOn;
}

void TQpCustomComPort::StopLogging() {
  if (ShuttingDown()) return;
  ValidDispatcher().StopDispatchLogging();
  if (FLogging == tlOn) FLogging = tlPause;
}

void TQpCustomComPort::AddStringToLog(const std::string& S) {
  if (!ShuttingDown()) ValidDispatcher().AddStringToLog(S);
}
