// The settings file against any file content and any names and values written into it: a value
// reads back as the one-line rule makes it (line breaks as spaces, no blanks around), a name
// the format cannot hold is refused and leaves the file as it was, and no write creates, hides
// or changes any other section or key.

#include <map>
#include <set>
#include <sstream>
#include <string>

#include "fuzz_files.h"
#include "fuzz_support.h"
#include "platform/ini_file.h"
#include "platform/text_util.h"

namespace {

std::string Lower(std::string S) {
  for (char& C : S)
    if (C >= 'A' && C <= 'Z') C = char(C - 'A' + 'a');
  return S;
}

bool HasBlankEnds(const std::string& S) { return Trim(S) != S; }

// The names the format can hold, stated apart from the code that enforces them.
bool SectionStorable(const std::string& S) {
  return !S.empty() && !HasBlankEnds(S) && S.find_first_of("\r\n") == std::string::npos;
}
bool KeyStorable(const std::string& K) {
  return !K.empty() && !HasBlankEnds(K) && K.find_first_of("\r\n=") == std::string::npos &&
         K[0] != ';' && K[0] != '#' && K[0] != '[';
}

// Everything the reading side shows: section (lower case) -> key (lower case) -> value.
using TView = std::map<std::string, std::map<std::string, std::string>>;

TView View(const TIniFile& Ini) {
  TView V;
  std::istringstream Lines(GetFile(Ini.FileName()));
  std::string Line;
  while (std::getline(Lines, Line)) {
    const std::string T = Trim(Line);
    if (T.size() < 2 || T.front() != '[' || T.back() != ']') continue;
    const std::string Name = Trim(T.substr(1, T.size() - 2));
    FUZZ_CHECK(Ini.SectionExists(Name), Name);
    auto& Keys = V[Lower(Name)];
    for (const auto& K : Ini.ReadSection(Name)) {
      if (Keys.count(Lower(K))) continue;  // a repeated key: the first one is the one read
      FUZZ_CHECK(Ini.ValueExists(Name, K), K);
      Keys[Lower(K)] = Ini.ReadString(Name, K, "\x01missing");
    }
  }
  return V;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Bytes, std::size_t Size) {
  static TFuzzFolder Folder;
  TFuzzInput In(Bytes, Size);
  const std::string Path = Folder.File("quill.ini");
  std::filesystem::remove(Path);
  const std::uint8_t Mode = In.Byte();
  if (Mode & 1) PutFile(Path, In.Text(255));  // else no file yet
  TIniFile Ini(Path);

  for (int Op = 0; Op < 8 && !In.Empty(); ++Op) {
    const std::string Section = In.Text(12), Key = In.Text(12), Value = In.Text(24);
    const TView Before = View(Ini);
    const std::string FileBefore = GetFile(Path);
    const bool Storable = SectionStorable(Section) && KeyStorable(Key);
    bool Written = true;
    try {
      if (Mode & 2) {
        std::uint32_t Hash = 0;
        for (char C : Value) Hash = Hash * 31 + static_cast<unsigned char>(C);
        const auto N = static_cast<std::int32_t>(Hash);
        Ini.WriteInteger(Section, Key, N);
        FUZZ_CHECK(Ini.ReadInteger(Section, Key, ~N) == N, Key);
      } else {
        Ini.WriteString(Section, Key, Value);
      }
    } catch (const EIniFileException& E) {
      Written = false;
      FUZZ_CHECK(std::string(E.what()).find(Path) != std::string::npos, E.what());
    }
    FUZZ_CHECK(Written == Storable, Section + "/" + Key);
    if (!Written) {
      FUZZ_CHECK(GetFile(Path) == FileBefore, "a refused write changed the file");
      continue;
    }
    const std::string Stored = Ini.ReadString(Section, Key, "\x01missing");
    if (!(Mode & 2)) FUZZ_CHECK(Stored == Trim(IniOneLine(Value)), Stored);
    TView Expected = Before;
    Expected[Lower(Section)][Lower(Key)] = Stored;
    FUZZ_CHECK(View(Ini) == Expected, "another section or key changed");
  }
  return 0;
}
