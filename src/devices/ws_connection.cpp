#include "ws_connection.h"

#include <algorithm>
#include <cstring>

TWsConnection::TWsConnection(TWsTransport& AOwner, std::uint32_t AInSize, std::uint32_t AOutSize)
    : FOwner(AOwner), FInSize(std::max<std::uint32_t>(AInSize, 16)), FOutSize(AOutSize) {
  FSocketHandle = FOwner.CreateSocket();
  FInBuf.assign(FInSize, 0);
  FOutBuf.assign(std::size_t(FOutSize) + WsOutSlack, 0);
}

TWsConnection::~TWsConnection() = default;

// ------------------------------------------------------------------------------- state

void TWsConnection::SetConnectionState(TWsConnectionState Value) {
  if (Value == FConnectionState) return;
  FConnectionState = Value;
  if (OnCarrier) OnCarrier(Value == wcsConnected);
}

int TWsConnection::Shutdown() {
  if (!FIsClient && FCommSocket != -1 && FCommSocket != FSocketHandle) FOwner.CloseSocket(FCommSocket);
  FCommSocket = -1;
  if (FSocketHandle != -1) {
    const TSocket S = FSocketHandle;
    FSocketHandle = -1;  // never used again, whatever the close reports
    FOwner.CloseSocket(S);
  }
  return 0;
}

void TWsConnection::FlushInBuffer() {
  FInStart = FInEnd = 0;
  FInBufFull = false;
  FCrPending = false;
}

void TWsConnection::FlushOutBuffer() {
  FOutStart = FOutEnd = 0;
  FOutBufFull = false;
}

// ------------------------------------------------------------------------------- input

std::uint32_t TWsConnection::InUsed() const {
  if (FInBufFull) return FInSize;
  return FInEnd >= FInStart ? FInEnd - FInStart : FInEnd + FInSize - FInStart;
}

void TWsConnection::InConsume(std::uint32_t Count) {
  if (Count == 0) return;
  FInStart += Count;
  if (FInStart >= FInSize) FInStart -= FInSize;
  FInBufFull = false;
  if (FInStart == FInEnd) FInStart = FInEnd = 0;  // empty: the next receive is contiguous
}

int TWsConnection::ReceiveInto(std::uint32_t Pos, std::uint32_t Len) {
  int N = FOwner.ReadSocket(FCommSocket, reinterpret_cast<char*>(FInBuf.data() + Pos), int(Len), 0);
  return N > 0 ? N : 0;
}

void TWsConnection::Receive(bool Twice) {
  if (FInBufFull || FCommSocket == -1) return;
  if (FInEnd >= FInStart) {
    const std::uint32_t Space = FInSize - FInEnd;
    const int N = ReceiveInto(FInEnd, Space);
    if (N <= 0) return;
    FInEnd = (FInEnd + std::uint32_t(N)) % FInSize;
    FInBufFull = FInEnd == FInStart;
    if (std::uint32_t(N) == Space && Twice && !FInBufFull) {
      const int M = ReceiveInto(0, FInStart);
      if (M <= 0) return;
      FInEnd = std::uint32_t(M);
      FInBufFull = FInEnd == FInStart;
    }
  } else {
    const int N = ReceiveInto(FInEnd, FInStart - FInEnd);
    if (N <= 0) return;
    FInEnd += std::uint32_t(N);
    FInBufFull = FInEnd == FInStart;
  }
}

void TWsConnection::FeedRawReader() {
  while (FRawReader && InUsed() > 0) {
    const std::uint32_t Contig = (FInStart < FInEnd) ? FInEnd - FInStart : FInSize - FInStart;
    const std::size_t N = FRawReader->Take(FInBuf.data() + FInStart, Contig);
    InConsume(std::uint32_t(N));
    if (FRawReader->Done())
      FRawReader = nullptr;
    else if (N == 0)
      break;
  }
}

namespace {

// Copies the plain bytes of a telnet stream from P (Limit of them may be taken; Contig are
// there) to D at O (up to Room), stopping before an IAC. With CrSpecial, the NUL after a CR is
// dropped; when the run ends just after a CR, CrPending is set, since the byte after it is
// looked at on the next round. Returns the bytes taken from P; O advances by those written.
std::uint32_t CopyPlainRun(const std::uint8_t* P, std::uint32_t Limit, bool CrSpecial, std::uint8_t* D,
                           std::uint32_t& O, std::uint32_t Room, bool& CrPending) {
  // Only IAC and, in text mode, NUL need a look; device text has neither, so the library's
  // search and copy take whole blocks, lines and all.
  const auto* Iac = static_cast<const std::uint8_t*>(std::memchr(P, TELNET_IAC, Limit));
  const std::uint32_t IacAt = Iac ? std::uint32_t(Iac - P) : Limit;
  std::uint32_t I = 0;
  while (I < IacAt && O < Room) {
    const std::uint32_t Span = std::min(IacAt - I, Room - O);
    const auto* Run = P + I;
    const auto* Nul = CrSpecial ? static_cast<const std::uint8_t*>(std::memchr(Run, TELNET_NULL, Span)) : nullptr;
    const std::uint32_t Plain = Nul ? std::uint32_t(Nul - Run) : Span;
    std::memcpy(D + O, Run, Plain);
    I += Plain;
    O += Plain;
    if (!Nul) continue;
    // A NUL right after a CR of this run goes; one after a CR of an earlier round was taken
    // by the caller through CrPending.
    if (I == 0 || P[I - 1] != TELNET_CR) D[O++] = TELNET_NULL;
    ++I;
  }
  CrPending = CrSpecial && I > 0 && P[I - 1] == TELNET_CR;
  return I;
}

}  // namespace

int TWsConnection::ReadBuf(char* Buf, int Size) {
  Receive(Size > 0);
  if (FRawReader) {
    FeedRawReader();
    if (FRawReader) return 0;
  }
  if (Size <= 0) return 0;
  int Out = 0;
  while (Out < Size) {
    const std::uint32_t Avail = InUsed();
    if (Avail == 0) break;
    if (FIsTelnet && FInSubneg) {
      ConsumeSubnegotiation();
      continue;
    }
    if (FCrPending) {
      FCrPending = false;
      if (FIsTelnet && FOptBinary == tnoFalse && InAt(0) == TELNET_NULL) {
        InConsume(1);  // the NUL of a CR NUL split over two arrivals
        continue;
      }
    }
    // Plain bytes and CRs straight from the contiguous part of the ring; a telnet command
    // (IAC) leaves this loop for ProcessCommands.
    const std::uint32_t Contig = (FInStart < FInEnd) ? FInEnd - FInStart : FInSize - FInStart;
    const std::uint8_t* P = FInBuf.data() + FInStart;
    const std::uint32_t Limit = std::min<std::uint32_t>(Contig, std::uint32_t(Size - Out));
    std::uint32_t I = 0;
    if (!FIsTelnet) {
      I = Limit;
      std::memcpy(Buf + Out, P, I);
      Out += int(I);
    } else {
      std::uint32_t O = std::uint32_t(Out);
      I = CopyPlainRun(P, Limit, FOptBinary == tnoFalse, reinterpret_cast<std::uint8_t*>(Buf), O, std::uint32_t(Size),
                       FCrPending);
      Out = int(O);
    }
    if (I > 0) {
      InConsume(I);
      continue;
    }
    bool Stalled = false;
    Out += ProcessCommands(Buf + Out, Size - Out, Stalled);
    if (Stalled) break;
  }
  return Out;
}

int TWsConnection::ProcessCommands(char* Dest, int Size, bool& Stalled) {
  int Out = 0;
  while (Out < Size && !FInSubneg) {
    const std::uint32_t Avail = InUsed();
    if (Avail == 0) return Out;
    const std::uint8_t B = InAt(0);
    if (!IsSpecial(B)) return Out;
    if (B == TELNET_CR) {
      Dest[Out++] = char(TELNET_CR);
      if (Avail >= 2) {
        InConsume(InAt(1) == TELNET_NULL ? 2 : 1);
      } else {
        InConsume(1);
        FCrPending = true;
      }
      continue;
    }
    // IAC: wait for the whole sequence.
    if (Avail < 2) {
      Stalled = true;
      return Out;
    }
    const std::uint8_t Cmd = InAt(1);
    if (Cmd == TELNET_IAC) {
      Dest[Out++] = char(0xFF);
      InConsume(2);
    } else if (Cmd >= TELNET_WILL && Cmd <= TELNET_DONT) {
      if (Avail < 3) {
        Stalled = true;
        return Out;
      }
      const std::uint8_t Opt = InAt(2);
      InConsume(3);
      HandleCommand(Cmd, Opt);
    } else if (Cmd == TELNET_SB) {
      if (Avail < 3) {
        Stalled = true;
        return Out;
      }
      FSubnegOption = InAt(2);
      InConsume(3);
      FInSubneg = true;
      FSubnegIac = false;
      FSubnegLen = 0;
    } else {
      InConsume(2);
      HandleCommand(Cmd, 0);
    }
  }
  return Out;
}

// The body of a subnegotiation is taken as it arrives, so a long or unterminated one can
// neither fill the ring nor hold up the data behind it for long.
void TWsConnection::ConsumeSubnegotiation() {
  while (FInSubneg && InUsed() > 0) {
    const std::uint8_t B = InAt(0);
    InConsume(1);
    if (FSubnegIac) {
      FSubnegIac = false;
      if (B == TELNET_IAC) {
        ++FSubnegLen;  // a doubled 0xFF inside the body
      } else {
        FInSubneg = false;  // IAC SE ends it; any other command ends a malformed one
        if (B == TELNET_SE && FSubnegOption == TELNETOPT_TERM) SendTerminal();
        return;
      }
    } else if (B == TELNET_IAC) {
      FSubnegIac = true;
    } else {
      ++FSubnegLen;
    }
    if (FSubnegLen > WsMaxSubnegotiation) {
      FInSubneg = false;
      Log(tlkSubnegDropped, std::string(1, char(FSubnegOption)));
    }
  }
}

std::uint32_t TWsConnection::GetInChars() {
  if (FInBufFull) return FInSize;
  if (GetConnected()) ReadBuf(nullptr, 0);
  return InUsed();
}

// ------------------------------------------------------------------------------- telnet answers

bool TWsConnection::HandleCommand(std::uint8_t Command, std::uint8_t Option) {
  const std::string Opt(1, char(Option));
  auto StateOf = [&](std::uint8_t O) -> TTelnetOpt* {
    switch (O) {
      case TELNETOPT_BINARY: return &FOptBinary;
      case TELNETOPT_ECHO: return &FOptEcho;
      case TELNETOPT_SUPGA: return &FOptSupga;
      default: return nullptr;
    }
  };
  switch (Command) {
    case TELNET_WILL: {
      Log(tlkRWill, Opt);
      TTelnetOpt* S = StateOf(Option);
      if (Option == TELNETOPT_BINARY) {
        if (*S != tnoNegotiating) SendDo(Option);
        *S = tnoTrue;
      } else if (Option == TELNETOPT_ECHO || Option == TELNETOPT_SUPGA) {
        if (*S == tnoNegotiating)
          *S = tnoTrue;
        else
          SendDo(Option);
      } else {
        SendDont(Option);
      }
      return true;
    }
    case TELNET_WONT: {
      Log(tlkRWont, Opt);
      if (TTelnetOpt* S = StateOf(Option)) {
        if (*S != tnoNegotiating) SendDont(Option);
        *S = tnoFalse;
      } else {
        SendDont(Option);
      }
      return true;
    }
    case TELNET_DO: {
      Log(tlkRDo, Opt);
      if (Option == TELNETOPT_BINARY) {
        if (FOptBinary != tnoNegotiating) SendWill(Option);
        FOptBinary = tnoTrue;
      } else if (Option == TELNETOPT_SUPGA) {
        if (FOptSupga == tnoNegotiating)
          FOptSupga = tnoTrue;
        else if (FOptSupga == tnoTrue)
          SendWill(Option);
        else
          SendWont(Option);
      } else if (Option == TELNETOPT_TERM) {
        SendWill(Option);
      } else {
        SendWont(Option);
      }
      return true;
    }
    case TELNET_DONT: {
      Log(tlkRDont, Opt);
      if (Option == TELNETOPT_BINARY || Option == TELNETOPT_SUPGA) {
        TTelnetOpt* S = StateOf(Option);
        if (*S != tnoNegotiating) SendWont(Option);
        *S = tnoFalse;
      } else {
        SendWont(Option);
      }
      return true;
    }
    default:
      Log(tlkCommand, std::string(1, char(Command)));
      return false;
  }
}

void TWsConnection::SendDo(std::uint8_t Option) {
  const std::uint8_t B[3] = {TELNET_IAC, TELNET_DO, Option};
  SendAnswer(B, 3);
  Log(tlkSDo, std::string(1, char(Option)));
}
void TWsConnection::SendDont(std::uint8_t Option) {
  const std::uint8_t B[3] = {TELNET_IAC, TELNET_DONT, Option};
  SendAnswer(B, 3);
  Log(tlkSDont, std::string(1, char(Option)));
}
void TWsConnection::SendWill(std::uint8_t Option) {
  const std::uint8_t B[3] = {TELNET_IAC, TELNET_WILL, Option};
  SendAnswer(B, 3);
  Log(tlkSWill, std::string(1, char(Option)));
}
void TWsConnection::SendWont(std::uint8_t Option) {
  const std::uint8_t B[3] = {TELNET_IAC, TELNET_WONT, Option};
  SendAnswer(B, 3);
  Log(tlkSWont, std::string(1, char(Option)));
}

void TWsConnection::SendTerminal() {
  const std::string Term = FOwner.WsTerminal();
  std::vector<std::uint8_t> B = {TELNET_IAC, TELNET_SB, TELNETOPT_TERM, 0};
  for (char C : Term) {
    B.push_back(std::uint8_t(C));
    if (std::uint8_t(C) == TELNET_IAC) B.push_back(TELNET_IAC);
  }
  B.push_back(TELNET_IAC);
  B.push_back(TELNET_SE);
  SendAnswer(B.data(), std::uint32_t(B.size()));
  Log(tlkSTerm, Term);
}

// An answer goes straight to the socket only when nothing is waiting in the output ring;
// otherwise it queues behind the waiting bytes, so it can never split a two-byte escape
// (IAC IAC, CR NUL) that went out only in part. What the socket does not take now waits too.
void TWsConnection::SendAnswer(const std::uint8_t* Bytes, std::uint32_t Len) {
  if (OutRingUsed() == 0 && FRawOut.empty() && !FHoldOutput && FCommSocket != -1) {
    const int N = Send(Bytes, Len);
    const std::uint32_t Sent = N > 0 ? std::uint32_t(N) : 0;
    if (Sent == Len) return;
    Bytes += Sent;
    Len -= Sent;
  }
  OutPut(Bytes, Len);  // the ring's slack holds answers; without room one is dropped
  SendPending();
}

// ------------------------------------------------------------------------------- output

std::uint32_t TWsConnection::OutRingUsed() const {
  const std::uint32_t Cap = std::uint32_t(FOutBuf.size());
  if (FOutBufFull) return Cap;
  return FOutEnd >= FOutStart ? FOutEnd - FOutStart : FOutEnd + Cap - FOutStart;
}

bool TWsConnection::OutPut(const std::uint8_t* Bytes, std::uint32_t Len) {
  const std::uint32_t Cap = std::uint32_t(FOutBuf.size());
  if (Len > Cap - OutRingUsed()) return false;
  const std::uint32_t First = std::min(Len, Cap - FOutEnd);
  std::memcpy(FOutBuf.data() + FOutEnd, Bytes, First);
  if (Len > First) std::memcpy(FOutBuf.data(), Bytes + First, Len - First);
  FOutEnd = (FOutEnd + Len) % Cap;
  if (Len > 0) FOutBufFull = FOutEnd == FOutStart;
  return true;
}

int TWsConnection::Send(const std::uint8_t* Bytes, std::uint32_t Len) {
  return FOwner.WriteSocket(FCommSocket, reinterpret_cast<const char*>(Bytes), int(Len), 0);
}

void TWsConnection::SetHoldOutput(bool Hold) {
  FHoldOutput = Hold;
  if (!Hold) SendPending();
}

void TWsConnection::WriteRaw(const std::string& Bytes) {
  FRawOut += Bytes;
  SendPending();
}

void TWsConnection::SendPending() {
  // Nothing goes out before there is a connection: the bytes wait for it.
  if (FCommSocket == -1) return;
  while (!FRawOut.empty()) {
    const int N = Send(reinterpret_cast<const std::uint8_t*>(FRawOut.data()),
                       std::uint32_t(FRawOut.size()));
    if (N <= 0) return;
    FRawOut.erase(0, std::size_t(N));
  }
  if (FHoldOutput) return;
  const std::uint32_t Cap = std::uint32_t(FOutBuf.size());
  while (OutRingUsed() > 0) {
    const std::uint32_t Chunk = (FOutEnd > FOutStart) ? FOutEnd - FOutStart : Cap - FOutStart;
    const int N = Send(FOutBuf.data() + FOutStart, Chunk);
    if (N <= 0) return;
    FOutBufFull = false;
    FOutStart = (FOutStart + std::uint32_t(N)) % Cap;
    if (FOutStart == FOutEnd) {
      FOutStart = FOutEnd = 0;
      return;
    }
    if (std::uint32_t(N) < Chunk) return;  // the socket is full for now
  }
}

int TWsConnection::WriteBuf(const char* Buf, int Size) {
  const int Taken = QueueBuf(Buf, Size);
  SendPending();
  return Taken;
}

int TWsConnection::QueueBuf(const char* Buf, int Size) {
  int Taken = 0;
  if (Size > 0 && !FOutBufFull) {
    const auto* P = reinterpret_cast<const std::uint8_t*>(Buf);
    bool Plain = true;
    std::uint32_t Expanded = std::uint32_t(Size);
    if (FIsTelnet) {
      const bool CrEscape = FOptBinary == tnoFalse;
      for (int I = 0; I < Size; ++I) {
        if (P[I] == TELNET_IAC || (CrEscape && P[I] == TELNET_CR && (I + 1 == Size || P[I + 1] != TELNET_LF))) {
          ++Expanded;
          Plain = false;
        }
      }
    }
    const std::uint32_t Cap = std::uint32_t(FOutBuf.size());
    // The whole block or nothing: a block whose tail does not fit is refused, not cut.
    if (Expanded <= Cap - OutRingUsed()) {
      if (Plain) {
        OutPut(P, std::uint32_t(Size));
      } else {
        std::vector<std::uint8_t> Wire;
        Wire.reserve(Expanded);
        const bool CrEscape = FOptBinary == tnoFalse;
        for (int I = 0; I < Size; ++I) {
          Wire.push_back(P[I]);
          if (P[I] == TELNET_IAC)
            Wire.push_back(TELNET_IAC);
          else if (CrEscape && P[I] == TELNET_CR && (I + 1 == Size || P[I + 1] != TELNET_LF))
            Wire.push_back(TELNET_NULL);
        }
        OutPut(Wire.data(), std::uint32_t(Wire.size()));
      }
      Taken = Size;
    }
  }
  FSimBuf += std::uint32_t(Taken);
  return Taken;
}

std::uint32_t TWsConnection::GetOutChars() {
  if (GetConnected()) {
    if (OutRingUsed() > 0)
      SendPending();
    else
      FSimBuf = 0;
  }
  return FSimBuf;
}

std::uint32_t TWsConnection::QueuedOutChars() {
  if (GetConnected() && OutRingUsed() == 0) FSimBuf = 0;
  return FSimBuf;
}
