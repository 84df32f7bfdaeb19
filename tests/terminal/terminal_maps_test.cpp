// Character-set and keyboard maps: the built-in tables, the text and binary forms, and
// binary data that is cut short or malformed.

#include "terminal/terminal_maps.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

std::string Resource(const char* Name) {
  const std::uint8_t* D = nullptr;
  std::size_t N = 0;
  EXPECT_TRUE(FindTermResource(Name, D, N));
  return std::string(reinterpret_cast<const char*>(D), N);
}

const std::uint8_t* Bytes(const std::string& S) { return reinterpret_cast<const std::uint8_t*>(S.data()); }

TEST(TermMaps, HashOverUnsignedBytes) {
  EXPECT_EQ(HashELF(""), 0u);
  EXPECT_EQ(HashELF("A"), 0x41u);
  EXPECT_EQ(HashELF("\xE9"), 0xE9u);
  EXPECT_EQ(HashELF("AB"), 0x41u * 16 + 0x42u);
  EXPECT_EQ(HashELFPlusChar("", 0xE9), 0xE9u);
  EXPECT_EQ(HashELFPlusChar("A", 1), 16u + 0x41u);
  // Long enough for the top nibble to fold back in: the result keeps below 2^28.
  EXPECT_LT(HashELF("VT100-linedraw VT100-linedraw"), 0x10000000u);
}

TEST(KeyboardMap, AddGetAndTheBuiltInMap) {
  TQpKeyboardMapping M;
  EXPECT_TRUE(M.Add("VK_F1", "one"));
  EXPECT_FALSE(M.Add("VK_F1", "two"));
  EXPECT_EQ(M.Get("VK_F1"), "one");
  EXPECT_EQ(M.Get("vk_f1"), "");
  EXPECT_TRUE(M.Add(std::string(70, 'k'), "cut"));  // keys longer than 63 characters are cut
  EXPECT_EQ(M.Get(std::string(63, 'k')), "cut");
  ASSERT_TRUE(M.LoadFromRes("QPVT100KEYMAP"));
  EXPECT_EQ(M.Count(), 221);
  const std::pair<const char*, const char*> Samples[] = {
      {"\\x70", "VK_F1"},       {"\\x5A", "VK_Z"},     {"\\x91", "VK_SCROLL"}, {"shift+VK_BACK", "DEC_BS"},
      {"ctrl+VK_SPACE", "DEC_NULL"}, {"DEC_UP1", "\\e[A"}, {"DEC_PF15", "\\eOP"}, {"DEC_KP04", "\\e?p"},
      {"DEC_KPE6", "\\eOM"},    {"DEC_KPE3", "\\x0D"}, {"DEC_KP,6", "\\eOl"},  {"DEC_NULL", "\\x00"}};
  for (const auto& [K, V] : Samples) EXPECT_EQ(M.Get(K), V) << K;
  EXPECT_FALSE(M.LoadFromRes("NOSUCH"));
  EXPECT_EQ(M.Count(), 0);
}

TEST(KeyboardMap, BinaryRoundTripAndTrailingSignature) {
  const std::string Data = Resource("QPVT100KEYMAP");
  TQpKeyboardMapping M;
  ASSERT_TRUE(M.LoadFromBinData(Bytes(Data), Data.size()));
  // Stored from each bucket's head and loaded to the head: one round turns every bucket
  // round, a second restores the bytes.
  const std::string Once = M.StoreToBinData();
  EXPECT_EQ(Once.size(), Data.size());
  ASSERT_TRUE(M.LoadFromBinData(Bytes(Once), Once.size()));
  EXPECT_TRUE(M.StoreToBinData() == Data);
  std::string Bad = Data;
  Bad[Bad.size() - 1] = 'X';
  EXPECT_FALSE(M.LoadFromBinData(Bytes(Bad), Bad.size()));
  EXPECT_EQ(M.Count(), 0);
}

TEST(KeyboardMap, TextForm) {
  TQpKeyboardMapping M;
  M.LoadFromText("* comment line\n\nVK_F1 \\eOP   \r\nlonely\nVK_F2  \\eOQ extra\nVK_F1 again\n");
  EXPECT_EQ(M.Count(), 2);
  EXPECT_EQ(M.Get("VK_F1"), "\\eOP");
  EXPECT_EQ(M.Get("VK_F2"), "\\eOQ");
  TempDir Dir;
  WriteFile(Dir.File("keys.txt"), "A b\n");
  EXPECT_TRUE(M.LoadFromFile(Dir.File("keys.txt")));
  EXPECT_EQ(M.Count(), 1);
  EXPECT_FALSE(M.LoadFromFile(Dir.File("missing.txt")));
  EXPECT_EQ(M.Count(), 0);
}

TEST(CharSetMap, BuiltInMapAndLookup) {
  TQpCharSetMapping M;
  ASSERT_TRUE(M.LoadFromRes("QPVT100CHARSET"));
  EXPECT_EQ(M.Count(), 603);
  struct TCase {
    const char* Set;
    int Ch;
    const char* Font;
    int Glyph;
  };
  const TCase Cases[] = {{"VT100-USASCII", 'A', "<Default>", 'A'}, {"VT100-USASCII", 200, "Terminal", 200},
                         {"VT100-UK", '#', "<Default>", 163},      {"VT100-ROM1", '~', "<Default>", '~'},
                         {"VT100-linedraw", 'q', "Terminal", 196}, {"VT100-ROM2", 'l', "Terminal", 218},
                         {"VT100-linedraw", '_', "Terminal", 32},  {"VT100-linedraw", 'A', "Terminal", 'A'}};
  for (const TCase& C : Cases) {
    std::string Font;
    std::uint8_t Glyph = 0;
    ASSERT_TRUE(M.Lookup(C.Set, std::uint8_t(C.Ch), Font, Glyph)) << C.Set << " " << C.Ch;
    EXPECT_EQ(Font, C.Font);
    EXPECT_EQ(Glyph, C.Glyph);
  }
  std::string Font;
  std::uint8_t Glyph = 0;
  EXPECT_FALSE(M.Lookup("VT100-UK", 200, Font, Glyph));
  EXPECT_FALSE(M.Lookup("vt100-uk", '#', Font, Glyph));
  std::vector<std::string> Fonts;
  M.GetFontNames(Fonts);
  std::sort(Fonts.begin(), Fonts.end());
  EXPECT_EQ(Fonts, (std::vector<std::string>{"<Default>", "Terminal"}));
  const std::string Once = M.StoreToBinData();
  ASSERT_TRUE(M.LoadFromBinData(Bytes(Once), Once.size()));
  EXPECT_TRUE(M.StoreToBinData() == Resource("QPVT100CHARSET"));
}

TEST(CharSetMap, AddRanges) {
  TQpCharSetMapping M;
  EXPECT_TRUE(M.Add("S", 'b', 'a', "F", 1));  // empty range
  EXPECT_EQ(M.Count(), 0);
  EXPECT_TRUE(M.Add("S", 'a', 'c', "F", 100));
  EXPECT_FALSE(M.Add("S", 'c', 'e', "F", 1));  // 'c' is taken: nothing added
  EXPECT_EQ(M.Count(), 3);
  EXPECT_FALSE(M.Add("S", 'x', 'z', "F", 254));  // glyphs would pass 255
  EXPECT_EQ(M.Count(), 3);
  std::string Font;
  std::uint8_t Glyph = 0;
  ASSERT_TRUE(M.Lookup("S", 'c', Font, Glyph));
  EXPECT_EQ(Glyph, 102);
}

TEST(CharSetMap, TextLines) {
  struct TCase {
    const char* Line;
    int Added;
  };
  const TCase Cases[] = {
      {" VT100-UK \\x23 \\x23 <Default> \\xA3", 1},
      {"VT100-UK \\x23 \\x23 <Default> \\xA3", 0},   // no leading space: not data
      {" S a c 'Courier New' A", 3},
      {" S a c \"Courier New\" A", 3},
      {" S a c '' A", 0},                              // empty quoted word
      {" S a c 'Courier New A", 0},                    // quote left open
      {" S a c F", 0},                                 // four words
      {" S a c F A B", 0},                             // six words
      {" S ab c F A", 0},                              // two characters
      {" S \\x4 c F A", 0},
      {" S \\xZZ c F A", 0},
      {" S a c F \\xFF", 0},                           // glyphs past 255
  };
  for (const TCase& C : Cases) {
    TQpCharSetMapping M;
    M.LoadFromText(C.Line);
    EXPECT_EQ(M.Count(), C.Added) << C.Line;
  }
  TQpCharSetMapping M;
  M.LoadFromText(" S a a 'Courier New' A\n");
  std::string Font;
  std::uint8_t Glyph = 0;
  ASSERT_TRUE(M.Lookup("S", 'a', Font, Glyph));
  EXPECT_EQ(Font, "Courier New");
  EXPECT_EQ(Glyph, 'A');
}

TEST(CharSetMap, DrawScript) {
  TQpCharSetMapping M;
  M.Add("S", 'b', 'b', "Terminal", 196);
  std::string Font, Text;
  EXPECT_FALSE(M.GetNextDrawCommand(Font, Text));
  M.Add("T", 'a', 'a', "TERMINAL", 1);  // the same font in other letters: listed once
  std::vector<std::string> Fonts;
  M.GetFontNames(Fonts);
  EXPECT_EQ(Fonts.size(), 1u);
  M.GenerateDrawScript("S", "abc");
  std::vector<std::pair<std::string, std::string>> Got;
  while (M.GetNextDrawCommand(Font, Text)) Got.emplace_back(Font, Text);
  const std::vector<std::pair<std::string, std::string>> Expected{{"<Default>", "a"}, {"Terminal", "\xC4"}, {"<Default>", "c"}};
  EXPECT_EQ(Got, Expected);
  M.GenerateDrawScript("S", "xy");
  M.GenerateDrawScript("S", "");  // keeps the previous script
  ASSERT_TRUE(M.GetNextDrawCommand(Font, Text));
  EXPECT_EQ(Text, "xy");
  EXPECT_FALSE(M.GetNextDrawCommand(Font, Text));
}

TEST(CharSetMap, DebugDump) {
  TQpCharSetMapping M;
  M.Add("S", 'a', 'a', "F", 66);
  const std::string T = M.DebugText();
  EXPECT_NE(T.find("---0---\n"), std::string::npos);
  EXPECT_NE(T.find("---198---\n"), std::string::npos);
  EXPECT_NE(T.find("                   S  97                   F  66\n"), std::string::npos);
  EXPECT_NE(T.find("\nCount: 1 (mean: 0.005)\n"), std::string::npos);
}

// Every cut of valid data is refused and leaves the map empty; so is every malformed field.
TEST(MapLoaders, RejectTruncatedAndMalformedData) {
  const std::string Keys = Resource("QPVT100KEYMAP");
  const std::string Sets = Resource("QPVT100CHARSET");
  for (std::size_t N = 0; N < Keys.size(); N += (N < 64 ? 1 : 7)) {
    TQpKeyboardMapping M;
    M.Add("x", "y");
    EXPECT_FALSE(M.LoadFromBinData(Bytes(Keys), N)) << N;
    EXPECT_EQ(M.Count(), 0);
  }
  for (std::size_t N = 0; N < Sets.size(); N += (N < 64 ? 1 : 11)) {
    TQpCharSetMapping M;
    EXPECT_FALSE(M.LoadFromBinData(Bytes(Sets), N)) << N;
    EXPECT_EQ(M.Count(), 0);
  }
  auto Blob = [](std::uint32_t Count, const std::string& Records) {
    std::string S = "AHT3";
    for (int I = 0; I < 4; ++I) S += char((Count >> (8 * I)) & 0xFF);
    return S + Records + "AHT3";
  };
  struct TCase {
    const char* Name;
    std::string Data;
    bool Ok;
  };
  const TCase KeyCases[] = {
      {"Good", Blob(1, std::string("\x01k\x01v", 4)), true},
      {"LengthOver63", Blob(1, std::string("\x40") + std::string(64, 'k') + "\x01v"), false},
      {"CountPastData", Blob(2, std::string("\x01k\x01v", 4)), false},
      {"NegativeCount", Blob(0xFFFFFFFFu, ""), false},
      {"HugeCount", Blob(0x7FFFFFFFu, std::string("\x01k\x01v", 4)), false},
      {"LengthPastData", Blob(1, std::string("\x01k\x3Fv", 4)), false},
      {"WrongLeadingSignature", "XHT3" + Blob(0, "").substr(4), false},
  };
  for (const TCase& C : KeyCases) {
    TQpKeyboardMapping M;
    EXPECT_EQ(M.LoadFromBinData(Bytes(C.Data), C.Data.size()), C.Ok) << C.Name;
    EXPECT_EQ(M.Count(), C.Ok ? 1 : 0) << C.Name;
  }
  const TCase SetCases[] = {
      {"Good", Blob(1, std::string("\x01S\x01" "Fab", 6)), true},
      {"MissingGlyph", Blob(1, std::string("\x01S\x01" "Fa", 5)), false},
      {"LengthOver63", Blob(1, std::string("\xFF") + std::string(255, 'S') + "\x01" "Fab"), false},
  };
  for (const TCase& C : SetCases) {
    TQpCharSetMapping M;
    EXPECT_EQ(M.LoadFromBinData(Bytes(C.Data), C.Data.size()), C.Ok) << C.Name;
    EXPECT_EQ(M.Count(), C.Ok ? 1 : 0) << C.Name;
  }
}

TEST(MapLoaders, StoreToFileAndLoadBack) {
  TempDir Dir;
  TQpKeyboardMapping K;
  K.LoadFromRes("QPVT100KEYMAP");
  ASSERT_TRUE(K.StoreToBinFile(Dir.File("k.bin")));
  TQpKeyboardMapping Back;
  const std::string Stored = ReadFile(Dir.File("k.bin"));
  ASSERT_TRUE(Back.LoadFromBinData(Bytes(Stored), Stored.size()));
  EXPECT_EQ(Back.Count(), 221);
  EXPECT_EQ(Back.Get("DEC_KPE6"), "\\eOM");
  ASSERT_TRUE(K.DebugPrint(Dir.File("k.txt")));
  EXPECT_NE(ReadFile(Dir.File("k.txt")).find("Count: 221 (mean: 3.877)"), std::string::npos);
}

}  // namespace
