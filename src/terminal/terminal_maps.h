#pragma once
// Character-set and keyboard maps: hashed tables of short strings for emulators that translate
// keys into text to send and draw characters from alternative character sets. Both load from
// a line-oriented text file or from binary data ("AHT3" form, also what StoreToBinFile writes)
// and both reject data that is truncated or malformed, leaving the map empty.
// Plain logic without Qt; not shared between threads.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int KBHashTableSize = 57;
constexpr int CSHashTableSize = 199;
constexpr std::size_t MaxKeyString = 63;  // a TQpKeyString holds at most this many characters
constexpr std::uint32_t OurSignature = 0x33544841;  // "AHT3"
extern const char* const DefaultFontName;           // "<Default>"

std::uint32_t HashELF(const std::string& S);
std::uint32_t HashELFPlusChar(const std::string& S, std::uint8_t C);

// The built-in binary resources ("QPVT100CHARSET", "QPVT100KEYMAP"); false when unknown.
bool FindTermResource(const std::string& Name, const std::uint8_t*& Data, std::size_t& Size);

class TQpKeyboardMapping {
 public:
  TQpKeyboardMapping();
  // False when the key exists already (its value stays).
  bool Add(const std::string& aKey, const std::string& aValue);
  void Clear();
  std::string Get(const std::string& aKey) const;
  int Count() const { return FCount; }
  // Both clear the map first; false (and an empty map) for unreadable or malformed input.
  bool LoadFromFile(const std::string& aFileName);
  bool LoadFromRes(const std::string& aResName);
  bool LoadFromBinData(const std::uint8_t* aData, std::size_t aSize);
  void LoadFromText(const std::string& aText);
  std::string StoreToBinData() const;
  bool StoreToBinFile(const std::string& aFileName) const;
  std::string DebugText() const;
  bool DebugPrint(const std::string& aFileName) const;

 private:
  struct TKBHashNode {
    std::string kbnKey, kbnValue;
  };
  std::vector<std::vector<TKBHashNode>> FTable;  // each bucket oldest first; its head is the back
  int FCount = 0;
};

class TQpCharSetMapping {
 public:
  TQpCharSetMapping();
  // False when a character of the range is mapped already in that set, or when the range's
  // glyphs would pass 255. An empty range (aToCh < aFromCh) adds nothing and succeeds.
  bool Add(const std::string& aCharSet, std::uint8_t aFromCh, std::uint8_t aToCh, const std::string& aFont,
           std::uint8_t aGlyph);
  void Clear();
  int Count() const { return FCount; }
  // Font and glyph of a character; false when the set does not map it.
  bool Lookup(const std::string& aCharSet, std::uint8_t aCh, std::string& aFont, std::uint8_t& aGlyph) const;
  void GetFontNames(std::vector<std::string>& aList) const;
  // Splits the text (up to its first zero byte) into runs of one font each; an empty text
  // keeps the previous script.
  void GenerateDrawScript(const std::string& aCharSet, const std::string& aText);
  bool GetNextDrawCommand(std::string& aFont, std::string& aText);
  bool LoadFromFile(const std::string& aFileName);
  bool LoadFromRes(const std::string& aResName);
  bool LoadFromBinData(const std::uint8_t* aData, std::size_t aSize);
  void LoadFromText(const std::string& aText);
  std::string StoreToBinData() const;
  bool StoreToBinFile(const std::string& aFileName) const;
  std::string DebugText() const;
  bool DebugPrint(const std::string& aFileName) const;

 private:
  struct TCSHashNode {
    std::string csnCharSet, csnFont;
    std::uint8_t csnChar, csnGlyph;
  };
  struct TScriptNode {
    std::string snFont, snText;
  };
  const TCSHashNode* Find(const std::string& aCharSet, std::uint8_t aCh) const;
  std::vector<std::vector<TCSHashNode>> FTable;
  int FCount = 0;
  std::vector<TScriptNode> FScript;  // in drawing order
  std::size_t FScriptNext = 0;
};
