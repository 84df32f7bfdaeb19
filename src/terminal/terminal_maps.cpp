#include "terminal/terminal_maps.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

const char* const DefaultFontName = "<Default>";

namespace {

std::string KeyString(const std::string& S) { return S.size() > MaxKeyString ? S.substr(0, MaxKeyString) : S; }

std::uint32_t HashFrom(std::uint32_t H, const std::string& S) {
  for (unsigned char C : S) {  // unsigned: the bucket order must not depend on char's sign
    H = (H << 4) + C;
    const std::uint32_t G = H & 0xF0000000u;
    if (G != 0) H ^= G >> 24;
    H &= ~G;
  }
  return H;
}

// Bounds-checked reader over binary map data.
class TBinReader {
 public:
  TBinReader(const std::uint8_t* D, std::size_t N) : FData(D), FSize(D ? N : 0) {}
  bool U32(std::uint32_t& V) {
    if (FSize - FPos < 4) return false;
    V = std::uint32_t(FData[FPos]) | std::uint32_t(FData[FPos + 1]) << 8 | std::uint32_t(FData[FPos + 2]) << 16 |
        std::uint32_t(FData[FPos + 3]) << 24;
    FPos += 4;
    return true;
  }
  bool Byte(std::uint8_t& V) {
    if (FPos >= FSize) return false;
    V = FData[FPos++];
    return true;
  }
  bool Str(std::string& S) {
    std::uint8_t Len = 0;
    if (!Byte(Len) || Len > MaxKeyString || FSize - FPos < Len) return false;
    S.assign(reinterpret_cast<const char*>(FData + FPos), Len);
    FPos += Len;
    return true;
  }
  std::size_t Left() const { return FSize - FPos; }

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
  std::size_t FPos = 0;
};

void PutU32(std::string& Out, std::uint32_t V) {
  for (int I = 0; I < 4; ++I) Out += char((V >> (8 * I)) & 0xFF);
}

void PutStr(std::string& Out, const std::string& S) {
  const std::string K = KeyString(S);
  Out += char(K.size());
  Out += K;
}

bool ReadFile(const std::string& Name, std::string& Out) {
  std::ifstream F(Name, std::ios::binary);
  if (!F) return false;
  Out.assign(std::istreambuf_iterator<char>(F), std::istreambuf_iterator<char>());
  return !F.bad();
}

bool WriteFile(const std::string& Name, const std::string& Data) {
  std::ofstream F(Name, std::ios::binary | std::ios::trunc);
  if (!F) return false;
  F.write(Data.data(), std::streamsize(Data.size()));
  return bool(F);
}

std::vector<std::string> SplitLines(const std::string& Text) {
  std::vector<std::string> Lines;
  std::size_t B = 0;
  while (B <= Text.size()) {
    std::size_t E = Text.find('\n', B);
    if (E == std::string::npos) E = Text.size();
    std::string L = Text.substr(B, E - B);
    if (!L.empty() && L.back() == '\r') L.pop_back();
    if (E < Text.size() || !L.empty()) Lines.push_back(L);
    B = E + 1;
  }
  return Lines;
}

std::string RightAlign(const std::string& S, std::size_t W) { return S.size() >= W ? S : std::string(W - S.size(), ' ') + S; }

std::string CountLine(int Count, int Buckets) {
  char Mean[32];
  std::snprintf(Mean, sizeof Mean, "%5.3f", double(Count) / Buckets);
  return "\nCount: " + std::to_string(Count) + " (mean: " + Mean + ")\n";
}

// One character word of a character-set line: a single character or "\x" and two hex digits.
bool CharWord(const std::string& W, std::uint8_t& C) {
  if (W.size() == 1) {
    C = std::uint8_t(W[0]);
    return true;
  }
  if (W.size() == 4 && W[0] == '\\' && (W[1] == 'x' || W[1] == 'X') && std::isxdigit((unsigned char)W[2]) &&
      std::isxdigit((unsigned char)W[3])) {
    C = std::uint8_t(std::stoi(W.substr(2), nullptr, 16));
    return true;
  }
  return false;
}

// Words separated by spaces; a quoted word may hold spaces. False for an empty quoted word
// or a quote left open.
bool SplitWords(const std::string& L, std::vector<std::string>& Words) {
  std::size_t I = 0;
  while (I < L.size()) {
    while (I < L.size() && L[I] == ' ') ++I;
    if (I >= L.size()) break;
    if (L[I] == '\'' || L[I] == '"') {
      const char Q = L[I];
      const std::size_t E = L.find(Q, I + 1);
      if (E == std::string::npos || E == I + 1) return false;
      Words.push_back(L.substr(I + 1, E - I - 1));
      I = E + 1;
    } else {
      std::size_t E = I;
      while (E < L.size() && L[E] != ' ') ++E;
      Words.push_back(L.substr(I, E - I));
      I = E;
    }
  }
  return true;
}

// The frame both binary maps share: signature, record count, the records, signature again.
// Read takes one record (false when it is cut short). A count the data cannot hold at MinRecord
// bytes a record, a short record or a wrong signature refuses the whole map.
template <class ReadRecord>
bool ReadBinMap(const std::uint8_t* Data, std::size_t Size, std::size_t MinRecord, ReadRecord&& Read) {
  TBinReader R(Data, Size);
  std::uint32_t Sig = 0, Count = 0;
  if (!R.U32(Sig) || Sig != OurSignature || !R.U32(Count)) return false;
  if (std::int32_t(Count) < 0 || Count > R.Left() / MinRecord) return false;
  for (std::uint32_t I = 0; I < Count; ++I)
    if (!Read(R)) return false;
  return R.U32(Sig) && Sig == OurSignature;
}

// A built-in map by name: empty when there is no such resource.
template <class Map>
bool LoadMapFromRes(Map& M, const std::string& Name) {
  const std::uint8_t* D = nullptr;
  std::size_t N = 0;
  if (!FindTermResource(Name, D, N)) {
    M.Clear();
    return false;
  }
  return M.LoadFromBinData(D, N);
}

}  // namespace

std::uint32_t HashELF(const std::string& S) { return HashFrom(0, S); }
std::uint32_t HashELFPlusChar(const std::string& S, std::uint8_t C) { return HashFrom(C, S); }

// ---- keyboard map ----

TQpKeyboardMapping::TQpKeyboardMapping() : FTable(KBHashTableSize) {}

bool TQpKeyboardMapping::Add(const std::string& aKey, const std::string& aValue) {
  const std::string Key = KeyString(aKey);
  auto& Bucket = FTable[HashELF(Key) % KBHashTableSize];
  for (const TKBHashNode& N : Bucket)
    if (N.kbnKey == Key) return false;
  Bucket.push_back({Key, KeyString(aValue)});
  ++FCount;
  return true;
}

void TQpKeyboardMapping::Clear() {
  for (auto& B : FTable) B.clear();
  FCount = 0;
}

std::string TQpKeyboardMapping::Get(const std::string& aKey) const {
  const std::string Key = KeyString(aKey);
  for (const TKBHashNode& N : FTable[HashELF(Key) % KBHashTableSize])
    if (N.kbnKey == Key) return N.kbnValue;
  return {};
}

void TQpKeyboardMapping::LoadFromText(const std::string& aText) {
  Clear();
  for (std::string L : SplitLines(aText)) {
    L.erase(L.find_last_not_of(' ') + 1);
    if (L.empty() || L[0] == '*') continue;
    const std::size_t Sp = L.find(' ');
    if (Sp == std::string::npos || Sp == 0) continue;
    const std::size_t VB = L.find_first_not_of(' ', Sp);
    const std::size_t VE = L.find(' ', VB);
    Add(L.substr(0, Sp), L.substr(VB, VE == std::string::npos ? std::string::npos : VE - VB));
  }
}

bool TQpKeyboardMapping::LoadFromFile(const std::string& aFileName) {
  Clear();
  std::string Text;
  if (!ReadFile(aFileName, Text)) return false;
  LoadFromText(Text);
  return true;
}

bool TQpKeyboardMapping::LoadFromBinData(const std::uint8_t* aData, std::size_t aSize) {
  Clear();
  // Each record takes at least two bytes (two empty strings).
  const bool Ok = ReadBinMap(aData, aSize, 2, [this](TBinReader& R) {
    std::string K, V;
    if (!R.Str(K) || !R.Str(V)) return false;
    Add(K, V);
    return true;
  });
  if (!Ok) Clear();
  return Ok;
}

bool TQpKeyboardMapping::LoadFromRes(const std::string& aResName) { return LoadMapFromRes(*this, aResName); }

std::string TQpKeyboardMapping::StoreToBinData() const {
  std::string Out;
  PutU32(Out, OurSignature);
  PutU32(Out, std::uint32_t(FCount));
  for (const auto& Bucket : FTable)
    for (auto It = Bucket.rbegin(); It != Bucket.rend(); ++It) PutStr(Out, It->kbnKey), PutStr(Out, It->kbnValue);
  PutU32(Out, OurSignature);
  return Out;
}

bool TQpKeyboardMapping::StoreToBinFile(const std::string& aFileName) const { return WriteFile(aFileName, StoreToBinData()); }

std::string TQpKeyboardMapping::DebugText() const {
  std::string Out;
  for (int B = 0; B < KBHashTableSize; ++B) {
    Out += "---" + std::to_string(B) + "---\n";
    const auto& Bucket = FTable[std::size_t(B)];
    for (auto It = Bucket.rbegin(); It != Bucket.rend(); ++It) Out += RightAlign(It->kbnKey, 20) + RightAlign(It->kbnValue, 20) + "\n";
  }
  return Out + CountLine(FCount, KBHashTableSize);
}

bool TQpKeyboardMapping::DebugPrint(const std::string& aFileName) const { return WriteFile(aFileName, DebugText()); }

// ---- character-set map ----

TQpCharSetMapping::TQpCharSetMapping() : FTable(CSHashTableSize) {}

const TQpCharSetMapping::TCSHashNode* TQpCharSetMapping::Find(const std::string& aCharSet, std::uint8_t aCh) const {
  for (const TCSHashNode& N : FTable[HashELFPlusChar(aCharSet, aCh) % CSHashTableSize])
    if (N.csnChar == aCh && N.csnCharSet == aCharSet) return &N;
  return nullptr;
}

bool TQpCharSetMapping::Add(const std::string& aCharSet, std::uint8_t aFromCh, std::uint8_t aToCh,
                            const std::string& aFont, std::uint8_t aGlyph) {
  if (aToCh < aFromCh) return true;
  if (int(aGlyph) + (aToCh - aFromCh) > 255) return false;
  const std::string Set = KeyString(aCharSet), Font = KeyString(aFont);
  for (int C = aFromCh; C <= aToCh; ++C)
    if (Find(Set, std::uint8_t(C))) return false;
  for (int C = aFromCh; C <= aToCh; ++C) {
    FTable[HashELFPlusChar(Set, std::uint8_t(C)) % CSHashTableSize].push_back(
        {Set, Font, std::uint8_t(C), std::uint8_t(aGlyph + (C - aFromCh))});
    ++FCount;
  }
  return true;
}

void TQpCharSetMapping::Clear() {
  FScript.clear();
  FScriptNext = 0;
  for (auto& B : FTable) B.clear();
  FCount = 0;
}

bool TQpCharSetMapping::Lookup(const std::string& aCharSet, std::uint8_t aCh, std::string& aFont, std::uint8_t& aGlyph) const {
  const TCSHashNode* N = Find(KeyString(aCharSet), aCh);
  if (!N) return false;
  aFont = N->csnFont;
  aGlyph = N->csnGlyph;
  return true;
}

void TQpCharSetMapping::GetFontNames(std::vector<std::string>& aList) const {
  aList.clear();
  auto Lower = [](std::string S) {
    std::transform(S.begin(), S.end(), S.begin(), [](unsigned char C) { return char(std::tolower(C)); });
    return S;
  };
  std::string Previous;
  bool HavePrevious = false;
  for (const auto& Bucket : FTable)
    for (auto It = Bucket.rbegin(); It != Bucket.rend(); ++It) {
      // Names compare ignoring case, as a string list's search does.
      const std::string L = Lower(It->csnFont);
      if (!(HavePrevious && L == Previous) &&
          std::none_of(aList.begin(), aList.end(), [&](const std::string& N) { return Lower(N) == L; }))
        aList.push_back(It->csnFont);
      Previous = L;
      HavePrevious = true;
    }
}

void TQpCharSetMapping::GenerateDrawScript(const std::string& aCharSet, const std::string& aText) {
  const std::string Text = aText.substr(0, aText.find('\0'));
  if (Text.empty()) return;
  FScript.clear();
  FScriptNext = 0;
  const std::string Set = KeyString(aCharSet);
  std::string Queue, Current;
  bool HaveCurrent = false;
  for (char Ch : Text) {
    const TCSHashNode* N = Find(Set, std::uint8_t(Ch));
    const std::string Font = N ? N->csnFont : DefaultFontName;
    const char Glyph = N ? char(N->csnGlyph) : Ch;
    if (!HaveCurrent) Current = Font, HaveCurrent = true;
    if (Font != Current) {
      FScript.push_back({Current, Queue});
      Queue.clear();
      Current = Font;
    }
    Queue += Glyph;
  }
  FScript.push_back({Current, Queue});
}

bool TQpCharSetMapping::GetNextDrawCommand(std::string& aFont, std::string& aText) {
  if (FScriptNext >= FScript.size()) return false;
  aFont = KeyString(FScript[FScriptNext].snFont);
  aText = FScript[FScriptNext].snText;
  if (++FScriptNext == FScript.size()) FScript.clear(), FScriptNext = 0;
  return true;
}

void TQpCharSetMapping::LoadFromText(const std::string& aText) {
  Clear();
  for (std::string L : SplitLines(aText)) {
    if (L.empty() || L[0] != ' ') continue;
    std::vector<std::string> W;
    std::uint8_t From = 0, To = 0, Glyph = 0;
    if (!SplitWords(L, W) || W.size() != 5 || !CharWord(W[1], From) || !CharWord(W[2], To) || !CharWord(W[4], Glyph))
      continue;
    Add(W[0], From, To, W[3], Glyph);
  }
}

bool TQpCharSetMapping::LoadFromFile(const std::string& aFileName) {
  Clear();
  std::string Text;
  if (!ReadFile(aFileName, Text)) return false;
  LoadFromText(Text);
  return true;
}

bool TQpCharSetMapping::LoadFromBinData(const std::uint8_t* aData, std::size_t aSize) {
  Clear();
  // At least four bytes a record (two empty strings and two bytes).
  const bool Ok = ReadBinMap(aData, aSize, 4, [this](TBinReader& R) {
    std::string Set, Font;
    std::uint8_t Ch = 0, Glyph = 0;
    if (!R.Str(Set) || !R.Str(Font) || !R.Byte(Ch) || !R.Byte(Glyph)) return false;
    Add(Set, Ch, Ch, Font, Glyph);
    return true;
  });
  if (!Ok) Clear();
  return Ok;
}

bool TQpCharSetMapping::LoadFromRes(const std::string& aResName) { return LoadMapFromRes(*this, aResName); }

std::string TQpCharSetMapping::StoreToBinData() const {
  std::string Out;
  PutU32(Out, OurSignature);
  PutU32(Out, std::uint32_t(FCount));
  for (const auto& Bucket : FTable)
    for (auto It = Bucket.rbegin(); It != Bucket.rend(); ++It) {
      PutStr(Out, It->csnCharSet);
      PutStr(Out, It->csnFont);
      Out += char(It->csnChar);
      Out += char(It->csnGlyph);
    }
  PutU32(Out, OurSignature);
  return Out;
}

bool TQpCharSetMapping::StoreToBinFile(const std::string& aFileName) const { return WriteFile(aFileName, StoreToBinData()); }

std::string TQpCharSetMapping::DebugText() const {
  std::string Out;
  for (int B = 0; B < CSHashTableSize; ++B) {
    Out += "---" + std::to_string(B) + "---\n";
    const auto& Bucket = FTable[std::size_t(B)];
    for (auto It = Bucket.rbegin(); It != Bucket.rend(); ++It)
      Out += RightAlign(It->csnCharSet, 20) + RightAlign(std::to_string(It->csnChar), 4) + RightAlign(It->csnFont, 20) +
             RightAlign(std::to_string(It->csnGlyph), 4) + "\n";
  }
  return Out + CountLine(FCount, CSHashTableSize);
}

bool TQpCharSetMapping::DebugPrint(const std::string& aFileName) const { return WriteFile(aFileName, DebugText()); }
