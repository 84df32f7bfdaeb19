#include <gtest/gtest.h>

#include "defs/defines_u.h"
#include "defs/str_funct.h"

TEST(StrFunct, ValidInteger) {
  struct Case {
    const char* Text;
    bool Valid;
  };
  const Case Cases[] = {
      {"", false},     {"-5", false},  {"1.5", false}, {" 7", false},  {"0x1F", false},
      {"+1", false},   {"12a", false}, {"007", true},  {"0", true},    {"000000000000000000000000001", true},
      {"9223372036854775807", true},   {"9223372036854775808", false}, {"99999999999999999999", false},
      {"\xC3\xA9", false},
  };
  for (const auto& C : Cases) EXPECT_EQ(ValidInteger(C.Text), C.Valid) << '"' << C.Text << '"';
}

TEST(StrFunct, HexToByte) {
  struct Case {
    const char* Text;
    int Value;
  };
  const Case Cases[] = {{"C5", 197}, {"0A", 10}, {"A", 160}, {"c5", 5},  {"G1", 1},
                        {"", 0},     {"1F]", 31}, {"FF", 255}, {"90", 144}, {"0", 0}};
  // Lower-case letters count as 0 digit by digit, so "c5" is 5 (as "[05c1c5…" decodes to 0x05).
  for (const auto& C : Cases) EXPECT_EQ(HexToByte(C.Text), C.Value) << '"' << C.Text << '"';
}

TEST(StrFunct, GetValueCountsOnlyDigitsAndUpperCaseLetters) {
  EXPECT_EQ(GetValue('0'), 0);
  EXPECT_EQ(GetValue('9'), 9);
  EXPECT_EQ(GetValue('F'), 15);
  EXPECT_EQ(GetValue('f'), 0);
  EXPECT_EQ(GetValue('G'), 0);
  EXPECT_EQ(GetValue('\xFF'), 0);
}

TEST(Defines, BandNamesAndColours) {
  EXPECT_STREQ(BandList[1], "160");
  EXPECT_STREQ(BandList[5], "40");
  EXPECT_STREQ(BandList[12], "6");
  EXPECT_STREQ(BandList[14], "PRESET");
  // Stored as 0x00BBGGRR: orange is red 255, green 128, blue 0.
  EXPECT_EQ(clOrange, 33023u);
  EXPECT_EQ(ColorRed(clOrange), 255);
  EXPECT_EQ(ColorGreen(clOrange), 128);
  EXPECT_EQ(ColorBlue(clOrange), 0);
  EXPECT_EQ(ColorBlue(AntennaColor), 255);
  EXPECT_EQ(ColorRed(AntennaColor), 0);
}
