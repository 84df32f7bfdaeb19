// The connection's rings and telnet handling, driven with scripted bytes instead of a socket.

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <vector>

#include "devices/ws_connection.h"

namespace {

using namespace std::string_literals;

const std::string TermAnswer = "\xff\xfa\x18\x00vt100\xff\xf0"s;

class TFakeWire : public TWsTransport {
 public:
  std::deque<std::string> Segments;  // each receive call takes from the first one
  std::string Sent;
  int SendLimit = -1;                // bytes one send call takes; -1 all, 0 would block
  std::vector<TSocket> Closed;
  int Reads = 0;

  TSocket CreateSocket() override { return 42; }
  int ReadSocket(TSocket, char* Buf, int BufSize, int) override {
    ++Reads;
    if (Segments.empty()) return -1;
    std::string& S = Segments.front();
    const int N = std::min<int>(BufSize, int(S.size()));
    S.copy(Buf, size_t(N));
    S.erase(0, size_t(N));
    if (S.empty()) Segments.pop_front();
    return N;
  }
  int WriteSocket(TSocket, const char* Buf, int BufSize, int) override {
    const int N = SendLimit < 0 ? BufSize : std::min(SendLimit, BufSize);
    if (N == 0) return -1;
    Sent.append(Buf, size_t(N));
    return N;
  }
  int CloseSocket(TSocket S) override {
    Closed.push_back(S);
    return 0;
  }
};

struct Connected {
  explicit Connected(std::uint32_t InSize = 4096, std::uint32_t OutSize = 4096)
      : C(Wire, InSize, OutSize) {
    C.SetCommSocket(42);
    C.SetConnectionState(wcsConnected);
  }
  // Everything deliverable now, in reads of at most Chunk bytes.
  std::string ReadAll(int Chunk = 4096) {
    std::string Out;
    std::vector<char> Buf(static_cast<size_t>(Chunk));
    for (int Guard = 0; Guard < 10000; ++Guard) {
      const int N = C.ReadBuf(Buf.data(), Chunk);
      Out.append(Buf.data(), size_t(N));
      if (N == 0 && Wire.Segments.empty()) break;
    }
    return Out;
  }
  int Write(const std::string& S) { return C.WriteBuf(S.data(), int(S.size())); }
  TFakeWire Wire;
  TWsConnection C;
};

std::string Hex(const std::string& S) {
  static const char* D = "0123456789ABCDEF";
  std::string Out;
  for (unsigned char Ch : S) {
    if (!Out.empty()) Out += ' ';
    Out += D[Ch >> 4];
    Out += D[Ch & 15];
  }
  return Out;
}

TEST(WsConnectionTelnet, OutgoingBytesAreEscaped) {
  struct Case {
    bool Telnet;
    std::string In, Wire;
  } Cases[] = {
      {true, "[C105035]\r", "[C105035]\r\0"s},
      {true, "\r\n", "\r\n"},
      {true, "\xff", "\xff\xff"},
      {true, "a\rb\xff\r", "a\r\0b\xff\xff\r\0"s},
      {false, "\r\xff\r\n", "\r\xff\r\n"},
  };
  for (const auto& K : Cases) {
    Connected T;
    T.C.SetIsTelnet(K.Telnet);
    EXPECT_EQ(T.Write(K.In), int(K.In.size()));
    EXPECT_EQ(Hex(T.Wire.Sent), Hex(K.Wire)) << Hex(K.In);
  }
}

TEST(WsConnectionTelnet, IncomingSequencesWholeOrSplit) {
  struct Case {
    std::vector<std::string> Segments;
    std::string Data, Answer;
  } Cases[] = {
      {{"\r\0"s}, "\r", ""},
      {{"\r\n"}, "\r\n", ""},
      {{"\xff\xff"}, "\xff", ""},
      {{"\xff\xfd\x18"}, "", "\xff\xfb\x18"},
      {{"\xff\xfa\x18\x01\xff\xf0"}, "", TermAnswer},
      {{"\xff\xf1"}, "", ""},
      {{"\xff\xfd\x20"}, "", "\xff\xfc\x20"},
      {{"\xff\xfd\x01"}, "", "\xff\xfc\x01"},
      {{"\xff\xfb\x05"}, "", "\xff\xfe\x05"},
      {{"\xff\xfe\x03"}, "", "\xff\xfc\x03"},
      {{"\xff\xfd\x03"}, "", "\xff\xfc\x03"},
      // Split over arrivals: handled as if it had come whole.
      {{"ab\xff", "\xfd", "\x18" "cd"}, "abcd", "\xff\xfb\x18"},
      {{"x\xff", "\xff" "y"}, "x\xffy", ""},
      {{"\xff\xfa\x18", "\x01\xff", "\xf0z"}, "z", TermAnswer},
      {{"x\r", "\0y"s}, "x\ry", ""},
      {{"x\r", "\ny"}, "x\r\ny", ""},
      // A doubled 0xFF inside a subnegotiation does not end it.
      {{"\xff\xfa\x18\x01\xff\xff\xf0\xff\xf0q"}, "q", TermAnswer},
  };
  for (const auto& K : Cases) {
    Connected T;
    std::string Data;
    for (const auto& S : K.Segments) {
      T.Wire.Segments.push_back(S);
      Data += T.ReadAll();
    }
    EXPECT_EQ(Hex(Data), Hex(K.Data)) << Hex(K.Segments.front());
    EXPECT_EQ(Hex(T.Wire.Sent), Hex(K.Answer)) << Hex(K.Segments.front());
  }
}

TEST(WsConnectionTelnet, OptionStatesChangeTheTransformations) {
  Connected T;
  T.Wire.Segments = {"\xff\xfb\x01\xff\xfb\x01"};  // WILL echo, twice
  EXPECT_EQ(T.ReadAll(), "");
  EXPECT_EQ(Hex(T.Wire.Sent), Hex("\xff\xfd\x01\xff\xfd\x01"));

  T.Wire.Sent.clear();
  T.Wire.Segments = {"\xff\xfb\x00"s};  // WILL binary: CR is plain from now on
  EXPECT_EQ(T.ReadAll(), "");
  EXPECT_EQ(Hex(T.Wire.Sent), Hex("\xff\xfd\x00"s));
  EXPECT_EQ(T.C.OptBinary(), tnoTrue);
  T.Wire.Sent.clear();
  T.Wire.Segments = {"a\r\0b\xff\xff"s};
  EXPECT_EQ(Hex(T.ReadAll()), Hex("a\r\0b\xff"s));
  T.Write("\r\xff");
  EXPECT_EQ(Hex(T.Wire.Sent), Hex("\r\xff\xff"));

  T.Wire.Sent.clear();
  T.Wire.Segments = {"\xff\xfe\x00\r\0"s};  // DONT binary: CR NUL again
  EXPECT_EQ(Hex(T.ReadAll()), Hex("\r"));
  EXPECT_EQ(Hex(T.Wire.Sent), Hex("\xff\xfc\x00"s));
}

TEST(WsConnectionTelnet, OffPassesEveryByte) {
  Connected T;
  T.C.SetIsTelnet(false);
  std::string All;
  for (int I = 0; I < 256; ++I) All += char(I);
  T.Wire.Segments = {All};
  EXPECT_EQ(T.ReadAll(), All);
  EXPECT_EQ(T.Wire.Sent, "");
}

// Random device text (lines, CR NUL, doubled 0xFF) in random segments through a small ring,
// read in random amounts, must decode exactly as the whole stream would.
TEST(WsConnectionTelnet, RandomSegmentationDecodesLikeTheWholeStream) {
  std::mt19937 Rng(20261210);
  auto Pick = [&](int N) { return int(Rng() % unsigned(N)); };
  for (int Round = 0; Round < 20; ++Round) {
    std::string Wire, Want;
    for (int T = 0; T < 3000; ++T) {
      switch (Pick(8)) {
        case 0: Wire += "\r"s + '\0'; Want += '\r'; break;
        case 1: Wire += "\r\n"; Want += "\r\n"; break;
        case 2: Wire += "\xff\xff"; Want += '\xff'; break;
        case 3: Wire += '\0'; Want += '\0'; break;
        default: {
          const char C = char('A' + Pick(26));
          Wire += C;
          Want += C;
        }
      }
    }
    Connected T(64);
    std::string Got;
    std::size_t Pos = 0;
    char Buf[128];
    while (Pos < Wire.size() || !T.Wire.Segments.empty() || T.C.InChars() > 0) {
      if (Pos < Wire.size() && Pick(2) == 0) {
        const std::size_t N = std::min<std::size_t>(1 + Pick(100), Wire.size() - Pos);
        T.Wire.Segments.push_back(Wire.substr(Pos, N));
        Pos += N;
      }
      const int N = T.C.ReadBuf(Buf, 1 + Pick(int(sizeof Buf)));
      Got.append(Buf, size_t(N));
    }
    ASSERT_EQ(Hex(Got), Hex(Want)) << "round " << Round;
  }
}

TEST(WsConnectionTelnet, InCharsCountsRawBytes) {
  Connected T;
  T.Wire.Segments = {"\xff\xfd\x18"};
  EXPECT_EQ(T.C.InChars(), 3u);
  char Buf[16];
  EXPECT_EQ(T.C.ReadBuf(Buf, sizeof Buf), 0);
  EXPECT_EQ(T.C.InChars(), 0u);
}

TEST(WsConnectionTelnet, SequenceAcrossTheRingWrap) {
  Connected T(16);
  T.Wire.Segments = {"0123456789AB"};
  char Buf[16];
  ASSERT_EQ(T.C.ReadBuf(Buf, 8), 8);  // 4 bytes stay at the end of the storage
  T.Wire.Segments = {"ab\xff\xfd\x18" "cdefgh"};
  std::string Got = T.ReadAll(5);
  EXPECT_EQ(Got, "89ABabcdefgh");
  EXPECT_EQ(Hex(T.Wire.Sent), Hex("\xff\xfb\x18"));
}

TEST(WsConnectionTelnet, UnterminatedSubnegotiationCannotStallTheInput) {
  Connected T(256);
  T.Wire.Segments = {"\xff\xfa\x18" + std::string(5000, 'x')};
  const std::string Got = T.ReadAll(100);
  EXPECT_EQ(Got, std::string(5000 - (WsMaxSubnegotiation + 1), 'x'));
  EXPECT_TRUE(T.Wire.Segments.empty());
  T.Wire.Segments = {"after"};
  EXPECT_EQ(T.ReadAll(), "after");
}

TEST(WsConnectionOutput, ABlockThatDoesNotFitIsRefusedWhole) {
  Connected T(4096, 16);
  T.Wire.SendLimit = 0;  // the socket takes nothing for now
  const std::string First(4100, 'a');
  EXPECT_EQ(T.Write(First), 4100);
  EXPECT_EQ(T.Write(std::string(20, 'b')), 0);        // 12 bytes of room: none taken
  EXPECT_EQ(T.Write("\r\r\r\r\r\r"), 6);               // 12 bytes on the wire: fits exactly
  EXPECT_EQ(T.Write("c"), 0);
  EXPECT_EQ(T.C.OutChars(), 4106u);
  T.Wire.SendLimit = -1;
  T.C.OutChars();  // a status query sends what waits
  EXPECT_EQ(T.Wire.Sent, First + "\r\0\r\0\r\0\r\0\r\0\r\0"s);
  EXPECT_EQ(T.C.OutChars(), 0u);
}

TEST(WsConnectionOutput, AnswerNeverSplitsAPendingEscape) {
  Connected T;
  T.Wire.SendLimit = 1;  // the first 0xFF of the escape goes, the second waits
  T.Write("\xff");
  EXPECT_EQ(Hex(T.Wire.Sent), "FF");
  T.Wire.SendLimit = 0;
  T.Wire.Segments = {"\xff\xfd\x18"};
  T.ReadAll();
  T.Wire.SendLimit = -1;
  T.C.OutChars();
  EXPECT_EQ(Hex(T.Wire.Sent), "FF FF FF FB 18");
}

TEST(WsConnectionOutput, BytesWaitForTheConnection) {
  TFakeWire Wire;
  TWsConnection C(Wire, 4096, 4096);
  EXPECT_EQ(C.WriteBuf("hi\r", 3), 3);
  EXPECT_EQ(Wire.Sent, "");  // nothing is sent on a socket that does not exist yet
  EXPECT_EQ(C.OutChars(), 3u);
  C.SetCommSocket(42);
  bool Carrier = false;
  C.OnCarrier = [&](bool On) { Carrier = On; };
  C.SetConnectionState(wcsConnected);
  EXPECT_TRUE(Carrier);
  EXPECT_EQ(C.OutChars(), 3u);  // sent by this query; the count drops at the next one
  EXPECT_EQ(Wire.Sent, "hi\r\0"s);
  EXPECT_EQ(C.OutChars(), 0u);
  C.SetConnectionState(wcsInit);
  EXPECT_FALSE(Carrier);
}

TEST(WsConnectionLifecycle, ShutdownClosesEachSocketOnce) {
  TFakeWire Wire;
  {
    TWsConnection Server(Wire, 64, 64);
    Server.SetIsClient(false);
    Server.SetCommSocket(77);
    EXPECT_EQ(Server.Shutdown(), 0);
    EXPECT_EQ(Wire.Closed, (std::vector<TSocket>{77, 42}));
    EXPECT_EQ(Server.SocketHandle(), -1);
    EXPECT_EQ(Server.CommSocket(), -1);
    Server.Shutdown();
    EXPECT_EQ(Wire.Closed.size(), 2u);  // no stale handle is closed twice
  }
  Wire.Closed.clear();
  TWsConnection Client(Wire, 64, 64);
  Client.SetCommSocket(42);
  Client.Shutdown();
  EXPECT_EQ(Wire.Closed, (std::vector<TSocket>{42}));
}

}  // namespace
