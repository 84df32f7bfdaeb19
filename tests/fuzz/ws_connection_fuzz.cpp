// The telnet receive side against any bytes from the peer: the data delivered and the answers
// sent are the same whatever the arrivals the bytes come in, the size of the input ring and
// the size of each read. The reference takes the stream in one arrival through a large ring.

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "devices/ws_connection.h"
#include "fuzz_support.h"

namespace {

class TScriptedWire : public TWsTransport {
 public:
  std::deque<std::string> Segments;  // each receive call takes from the first one only
  std::string Sent;

  TSocket CreateSocket() override { return 7; }
  int ReadSocket(TSocket, char* Buf, int BufSize, int) override {
    if (Segments.empty()) return -1;
    std::string& S = Segments.front();
    const int N = std::min<int>(BufSize, int(S.size()));
    S.copy(Buf, std::size_t(N));
    S.erase(0, std::size_t(N));
    if (S.empty()) Segments.pop_front();
    return N;
  }
  int WriteSocket(TSocket, const char* Buf, int BufSize, int) override {
    Sent.append(Buf, std::size_t(BufSize));
    return BufSize;
  }
  int CloseSocket(TSocket) override { return 0; }
};

struct TOutcome {
  std::string Data, Answers;
};

struct TShape {
  bool Telnet = true;
  std::uint32_t RingSize = 1 << 16;
  int ReadSize = 1 << 16;
  std::vector<std::size_t> Arrivals;  // sizes, used in turn; empty: the whole stream at once
};

TOutcome Run(const std::string& Stream, const TShape& Shape) {
  TScriptedWire Wire;
  TWsConnection C(Wire, Shape.RingSize, 4096);
  C.SetIsTelnet(Shape.Telnet);
  C.SetCommSocket(7);
  C.SetConnectionState(wcsConnected);
  TOutcome Out;
  std::vector<char> Buf(std::size_t(Shape.ReadSize));
  auto Drain = [&] {
    // Every read either delivers, or takes from the wire, or the wire is empty: the number of
    // rounds is bounded by the stream.
    for (std::size_t Guard = 0; Guard < 4 * Stream.size() + 16; ++Guard) {
      const std::size_t Waiting = Wire.Segments.size();
      const int N = C.ReadBuf(Buf.data(), Shape.ReadSize);
      FUZZ_CHECK(N >= 0 && N <= Shape.ReadSize, std::to_string(N));
      Out.Data.append(Buf.data(), std::size_t(N));
      if (N == 0 && Waiting == 0) return;
    }
    FUZZ_CHECK(false, "reading does not come to an end");
  };
  std::size_t Pos = 0, Arrival = 0;
  while (Pos < Stream.size()) {
    const std::size_t N = Shape.Arrivals.empty() ? Stream.size() : Shape.Arrivals[Arrival++ % Shape.Arrivals.size()];
    Wire.Segments.push_back(Stream.substr(Pos, N));
    Pos += N;
    Drain();
  }
  Drain();
  // What stays is at most the start of a command still waiting for its option byte.
  FUZZ_CHECK(C.InChars() <= 2, "bytes left in the ring");
  Out.Answers = Wire.Sent;
  return Out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Bytes, std::size_t Size) {
  TFuzzInput In(Bytes, Size);
  TShape Shape;
  const std::uint8_t Flags = In.Byte();
  Shape.Telnet = !(Flags & 1);
  const std::uint8_t Ring = In.Byte();
  const std::uint8_t Read = In.Byte();
  std::vector<std::size_t> Arrivals;
  for (int I = In.Byte() % 8; I > 0; --I) Arrivals.push_back(1 + In.Byte() % 32);
  const std::string Stream = In.Rest();

  TShape Reference;
  Reference.Telnet = Shape.Telnet;
  const TOutcome Expected = Run(Stream, Reference);
  if (!Shape.Telnet) FUZZ_CHECK(Expected.Data == Stream && Expected.Answers.empty(), "plain stream changed");
  FUZZ_CHECK(Expected.Data.size() <= Stream.size(), "more data than bytes");

  // Small rings wrap often; the connection's own floor is 16 bytes.
  Shape.RingSize = (Ring & 0x80) ? 16 + (Ring & 0x7F) * 37u : Ring % 40u;
  Shape.ReadSize = 1 + Read % 48;
  Shape.Arrivals = Arrivals;
  const TOutcome Got = Run(Stream, Shape);
  FUZZ_CHECK(Got.Data == Expected.Data, "delivered data differs");
  FUZZ_CHECK(Got.Answers == Expected.Answers, "answers differ");
  return 0;
}
