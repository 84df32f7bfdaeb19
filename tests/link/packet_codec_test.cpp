#include <gtest/gtest.h>

#include <vector>

#include "defs/defines_u.h"
#include "link/net_defs.h"
#include "link/packet_codec.h"

namespace {

struct Reactions : TPacketReactions {
  std::vector<TLinkStatus> Statuses;
  std::vector<int> Actions;
  TPacketCodec* Codec = nullptr;
  TNetPacket SeenInAction;
  void SetLinkStatus(TLinkStatus S) override { Statuses.push_back(S); }
  void DoAction(int A) override {
    Actions.push_back(A);
    SeenInAction = Codec->GetPacket();
  }
};

class Codec : public ::testing::Test {
 protected:
  void SetUp() override {
    R.Codec = &C;
    NetAddress = 0xC1;
  }
  void TearDown() override { NetAddress = 0; }
  Reactions R;
  TPacketCodec C{R};
};

TNetPacket Packet(std::uint8_t Cmd, std::uint8_t Dest, std::uint8_t Source, std::string Data) {
  TNetPacket P;
  P.Cmd = Cmd;
  P.Dest = Dest;
  P.Source = Source;
  P.Data = std::move(Data);
  return P;
}

}  // namespace

TEST_F(Codec, FormatsCommandPackets) {
  const std::string Antenna3 = C.FormatPacket(cmdRadioAntenna, std::string("\x01\x03", 2));
  EXPECT_EQ(Antenna3, "[C105350103]\r");
  EXPECT_EQ(std::vector<unsigned char>(Antenna3.begin(), Antenna3.end()),
            (std::vector<unsigned char>{0x5B, 0x43, 0x31, 0x30, 0x35, 0x33, 0x35, 0x30, 0x31, 0x30, 0x33,
                                        0x5D, 0x0D}));
  EXPECT_EQ(C.FormatPacket(cmdTestLink, ""), "[C10503]\r");
  NetAddress = 0xC2;
  EXPECT_EQ(C.FormatPacket(cmdSetAutoMode, "\x01"), "[C2055301]\r");
  EXPECT_EQ(C.FormatPacket(cmdRadioAntenna, std::string("\x01\x03", 2)), "[C205350103]\r");
  NetAddress = baseQuill;  // nothing selected
  EXPECT_EQ(C.FormatPacket(0x0A, std::string("\x00\xFF", 2)), "[C0050A00FF]\r");
}

TEST_F(Codec, DecodesLines) {
  struct Case {
    const char* Line;
    TNetPacket Expected;
  };
  const Case Cases[] = {
      {"[05C1C501050103]", Packet(0xC5, 0x05, 0xC1, std::string("\x01\x05\x01\x03", 4))},
      {"[0000A0]", Packet(0xA0, 0, 0, "")},
      // Odd tail: the pair is "A" and "]", and "]" counts as 0.
      {"[05C1C5A]", Packet(0xC5, 0x05, 0xC1, "\xA0")},
      // Lower-case letters count as 0; a pair starting with one ends the data.
      {"[05c1c5010501]", Packet(0x05, 0x05, 0x01, std::string("\x01\x05\x01", 3))},
      {"[05C1C501c5]", Packet(0xC5, 0x05, 0xC1, "\x01")},
      // A pair whose second character is not a digit still yields a byte.
      {"[05C1C51G]", Packet(0xC5, 0x05, 0xC1, "\x10")},
      {"[A0]", Packet(0, 0xA0, 0, "")},
      {"[05C1C5]", Packet(0xC5, 0x05, 0xC1, "")},
      {"[05C1C", Packet(0xC0, 0x05, 0xC1, "")},  // one digit of the command: 16 × C
      {"[LINKOK]", Packet(0, 0, 0, "")},
      {"[", Packet(0, 0, 0, "")},
      // Data without the closing bracket: the last character never starts a pair.
      {"[05C1C50102", Packet(0xC5, 0x05, 0xC1, std::string("\x01\x02", 2))},
  };
  for (const auto& Case : Cases) {
    C.DecodePacket(Case.Line);
    EXPECT_EQ(C.GetPacket(), Case.Expected) << Case.Line;
    EXPECT_EQ(C.GetPacket().Channel, 0);
  }
}

TEST_F(Codec, StatusPacketReachesTheMainWindowWithThePacketInPlace) {
  C.DecodePacket("[05C1C501050103]");
  EXPECT_EQ(R.Actions, std::vector<int>{mcQuillStatus});
  EXPECT_EQ(R.SeenInAction.Data, std::string("\x01\x05\x01\x03", 4));
  EXPECT_TRUE(R.Statuses.empty());
}

TEST_F(Codec, LinkGoodSetsReady) {
  C.DecodePacket("[0000A0]");
  EXPECT_EQ(R.Statuses, std::vector<TLinkStatus>{lsReady});
  EXPECT_TRUE(R.Actions.empty());
  // Lower-case letters never make a status packet.
  C.DecodePacket("[05c1c5010501]");
  EXPECT_TRUE(R.Actions.empty());
}

TEST_F(Codec, AwaitedResponseIsCleared) {
  C.Response = msgCommandReply;
  C.DecodePacket("[05C1C5010501]");
  EXPECT_EQ(C.Response, msgCommandReply);
  C.DecodePacket("[05C1C3]");
  EXPECT_EQ(C.Response, 0);
  // The keep-alive decodes as command 0, which matches only when nothing is awaited.
  C.Response = msgCommandReply;
  C.DecodePacket("[LINKOK]");
  EXPECT_EQ(C.Response, msgCommandReply);
  EXPECT_TRUE(R.Statuses.empty());
}

TEST_F(Codec, EveryLineOverwritesThePacket) {
  C.DecodePacket("[05C1C501050103]");
  C.DecodePacket("[LINKOK]");
  EXPECT_EQ(C.GetPacket(), TNetPacket{});
}
