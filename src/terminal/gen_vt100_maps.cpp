// Build-time generator of the two built-in maps, "QPVT100CHARSET" and "QPVT100KEYMAP", in
// their binary form: fills the maps from the tables below and writes a C++ source holding
// the bytes StoreToBinData gives (records bucket by bucket).
//
//   gen_vt100_maps OUTPUT.cpp

#include "terminal/terminal_maps.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>
#include <cstdlib>

// The generator runs before any resource exists.
bool FindTermResource(const std::string&, const std::uint8_t*&, std::size_t&) { return false; }

namespace {

std::string Hex2(int V) {
  char B[8];
  std::snprintf(B, sizeof B, "%02X", V);
  return B;
}

void Check(bool Ok, const char* What) {
  if (!Ok) {
    std::fprintf(stderr, "gen_vt100_maps: %s\n", What);
    std::exit(1);
  }
}

TQpCharSetMapping CharSets() {
  TQpCharSetMapping M;
  for (int C = 32; C <= 126; ++C) M.Add("VT100-USASCII", std::uint8_t(C), std::uint8_t(C), DefaultFontName, std::uint8_t(C));
  for (int C = 128; C <= 255; ++C) M.Add("VT100-USASCII", std::uint8_t(C), std::uint8_t(C), "Terminal", std::uint8_t(C));
  for (int C = 32; C <= 126; ++C)
    M.Add("VT100-UK", std::uint8_t(C), std::uint8_t(C), DefaultFontName, std::uint8_t(C == '#' ? 163 : C));
  for (int C = 32; C <= 126; ++C) M.Add("VT100-ROM1", std::uint8_t(C), std::uint8_t(C), DefaultFontName, std::uint8_t(C));
  // Line-drawing glyphs of the "Terminal" font (code page 437 positions) for 95..126.
  static const int LineDraw[32] = {32, 4, 177, 16, 23, 17, 31, 248, 241, 27, 25, 217, 191, 218, 192, 197,
                                   196, 196, 196, 196, 196, 195, 180, 193, 194, 179, 243, 242, 227, 216, 156, 250};
  for (const char* Set : {"VT100-linedraw", "VT100-ROM2"})
    for (int C = 32; C <= 126; ++C)
      M.Add(Set, std::uint8_t(C), std::uint8_t(C), "Terminal", std::uint8_t(C >= 95 ? LineDraw[C - 95] : C));
  Check(M.Count() == 603, "character-set map does not hold 603 records");
  return M;
}

TQpKeyboardMapping KeyMap() {
  TQpKeyboardMapping M;
  auto Key = [&](int Code, const std::string& Name) { Check(M.Add("\\x" + Hex2(Code), Name), "duplicate key code"); };
  const std::pair<int, const char*> Named[] = {
      {0x08, "VK_BACK"},   {0x09, "VK_TAB"},      {0x0C, "VK_CLEAR"},    {0x0D, "VK_RETURN"},   {0x13, "VK_PAUSE"},
      {0x14, "VK_CAPITAL"}, {0x1B, "VK_ESCAPE"},  {0x20, "VK_SPACE"},    {0x21, "VK_PRIOR"},    {0x22, "VK_NEXT"},
      {0x23, "VK_END"},    {0x24, "VK_HOME"},     {0x25, "VK_LEFT"},     {0x26, "VK_UP"},       {0x27, "VK_RIGHT"},
      {0x28, "VK_DOWN"},   {0x29, "VK_SELECT"},   {0x2B, "VK_EXECUTE"},  {0x2C, "VK_SNAPSHOT"}, {0x2D, "VK_INSERT"},
      {0x2E, "VK_DELETE"}, {0x2F, "VK_HELP"}};
  for (const auto& [Code, Name] : Named) Key(Code, Name);
  for (int I = 0; I <= 9; ++I) Key(0x30 + I, "VK_" + std::to_string(I));
  for (int I = 0; I < 26; ++I) Key(0x41 + I, std::string("VK_") + char('A' + I));
  for (int I = 0; I <= 9; ++I) Key(0x60 + I, "VK_NUMPAD" + std::to_string(I));
  const std::pair<int, const char*> Pad[] = {{0x6A, "VK_MULTIPLY"}, {0x6B, "VK_ADD"},     {0x6C, "VK_SEPARATOR"},
                                             {0x6D, "VK_SUBTRACT"}, {0x6E, "VK_DECIMAL"}, {0x6F, "VK_DIVIDE"}};
  for (const auto& [Code, Name] : Pad) Key(Code, Name);
  for (int I = 1; I <= 24; ++I) Key(0x6F + I, "VK_F" + std::to_string(I));
  Key(0x90, "VK_NUMLOCK");
  Key(0x91, "VK_SCROLL");

  auto Map = [&](const std::string& K, const std::string& V) { Check(M.Add(K, V), "duplicate key name"); };
  Map("VK_UP", "DEC_UPc");
  Map("VK_DOWN", "DEC_DOWNc");
  Map("VK_RIGHT", "DEC_RIGHTc");
  Map("VK_LEFT", "DEC_LEFTc");
  Map("VK_NUMLOCK", "DEC_PF1k");
  Map("VK_F1", "DEC_PF1k");
  Map("VK_DIVIDE", "DEC_PF2k");
  Map("VK_F2", "DEC_PF2k");
  Map("VK_MULTIPLY", "DEC_PF3k");
  Map("VK_F3", "DEC_PF3k");
  Map("VK_SUBTRACT", "DEC_PF4k");
  Map("VK_F4", "DEC_PF4k");
  for (int I = 0; I <= 9; ++I) Map("VK_NUMPAD" + std::to_string(I), "DEC_KP" + std::to_string(I) + "k");
  Map("VK_ADD", "DEC_KP-k");
  Map("VK_DECIMAL", "DEC_KP.k");
  Map("ctrl+VK_DECIMAL", "DEC_KP,k");
  Map("VK_EXECUTE", "DEC_KPEk");
  Map("VK_BACK", "DEC_DEL");
  Map("shift+VK_BACK", "DEC_BS");
  Map("VK_F11", "DEC_BS");
  Map("VK_F12", "DEC_LF");
  Map("shift+VK_RETURN", "DEC_LF");
  Map("shift+VK_EXECUTE", "DEC_LF");
  Map("ctrl+VK_SPACE", "DEC_NULL");

  const std::pair<const char*, char> Cursor[] = {{"UP", 'A'}, {"DOWN", 'B'}, {"RIGHT", 'C'}, {"LEFT", 'D'}};
  for (const auto& [Name, L] : Cursor) {
    const std::string K = std::string("DEC_") + Name;
    Map(K + "0", std::string("\\e") + L);
    Map(K + "1", std::string("\\e[") + L);
    Map(K + "2", std::string("\\eO") + L);
  }
  for (int I = 1; I <= 4; ++I) {
    const char L = char('P' + I - 1);
    const std::string K = "DEC_PF" + std::to_string(I);
    Map(K + "3", std::string("\\e") + L);
    Map(K + "4", std::string("\\e") + L);
    Map(K + "5", std::string("\\eO") + L);
    Map(K + "6", std::string("\\eO") + L);
  }
  std::vector<std::tuple<std::string, std::string, char>> Keypad;
  for (int I = 0; I <= 9; ++I) Keypad.emplace_back(std::to_string(I), std::to_string(I), char('p' + I));
  Keypad.emplace_back("-", "-", 'm');
  Keypad.emplace_back(",", ",", 'l');
  Keypad.emplace_back(".", ".", 'n');
  Keypad.emplace_back("E", "\\x0D", 'M');
  for (const auto& [Name, Text, L] : Keypad) {
    const std::string K = "DEC_KP" + Name;
    Map(K + "3", Text);
    Map(K + "4", std::string("\\e?") + L);
    Map(K + "5", Text);
    Map(K + "6", std::string("\\eO") + L);
  }
  Map("DEC_BS", "\\x08");
  Map("DEC_DEL", "\\x7F");
  Map("DEC_LF", "\\x0A");
  Map("DEC_NULL", "\\x00");
  Check(M.Count() == 221, "keyboard map does not hold 221 records");
  return M;
}

void Array(std::ofstream& Out, const char* Name, const std::string& Data) {
  Out << "const std::uint8_t " << Name << "[] = {";
  for (std::size_t I = 0; I < Data.size(); ++I) Out << (I % 20 == 0 ? "\n    " : "") << int(std::uint8_t(Data[I])) << ",";
  Out << "\n};\n";
}

}  // namespace

int main(int argc, char** argv) {
  Check(argc == 2, "usage: gen_vt100_maps OUTPUT.cpp");
  std::ofstream Out(argv[1], std::ios::trunc);
  Out << "// Generated at build time by gen_vt100_maps; do not edit.\n"
         "#include \"terminal/terminal_maps.h\"\n\n#include <cstring>\n\nnamespace {\n";
  Array(Out, "GCharSet", CharSets().StoreToBinData());
  Array(Out, "GKeyMap", KeyMap().StoreToBinData());
  Out << "}  // namespace\n\n"
         "bool FindTermResource(const std::string& Name, const std::uint8_t*& Data, std::size_t& Size) {\n"
         "  if (Name == \"QPVT100CHARSET\") return Data = GCharSet, Size = sizeof GCharSet, true;\n"
         "  if (Name == \"QPVT100KEYMAP\") return Data = GKeyMap, Size = sizeof GKeyMap, true;\n"
         "  return false;\n}\n";
  Out.close();
  Check(bool(Out), "cannot write the output");
  return 0;
}
