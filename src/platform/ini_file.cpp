#include "ini_file.h"

#include "platform/text_util.h"
#include "platform/translations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

bool SameName(const std::string& A, const std::string& B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I) {
    auto Lower = [](char C) { return (C >= 'A' && C <= 'Z') ? char(C - 'A' + 'a') : C; };
    if (Lower(A[I]) != Lower(B[I])) return false;
  }
  return true;
}

// The section name when Line is a header, else empty with IsHeader false.
bool SectionHeader(const std::string& Line, std::string& Name) {
  std::string T = Trim(Line);
  if (T.size() < 2 || T.front() != '[' || T.back() != ']') return false;
  Name = Trim(T.substr(1, T.size() - 2));
  return true;
}

bool KeyLine(const std::string& Line, std::string& Key, std::string& Value) {
  std::string T = Trim(Line);
  if (T.empty() || T[0] == ';' || T[0] == '#') return false;
  auto Eq = T.find('=');
  if (Eq == std::string::npos) return false;
  Key = Trim(T.substr(0, Eq));
  Value = Trim(T.substr(Eq + 1));
  return !Key.empty();
}

// Index range [Begin, End) of the lines that belong to Section (after its header).
bool FindSection(const std::vector<std::string>& Lines, const std::string& Section, size_t& Header,
                 size_t& End) {
  std::string Name;
  for (size_t I = 0; I < Lines.size(); ++I) {
    if (SectionHeader(Lines[I], Name) && SameName(Name, Section)) {
      Header = I;
      End = I + 1;
      std::string Other;
      while (End < Lines.size() && !SectionHeader(Lines[End], Other)) ++End;
      return true;
    }
  }
  return false;
}

bool FindValue(const std::vector<std::string>& Lines, const std::string& Section,
               const std::string& Key, std::string* Value, size_t* Index) {
  size_t Header, End;
  if (!FindSection(Lines, Section, Header, End)) return false;
  std::string K, V;
  for (size_t I = Header + 1; I < End; ++I) {
    if (KeyLine(Lines[I], K, V) && SameName(K, Key)) {
      if (Value) *Value = V;
      if (Index) *Index = I;
      return true;
    }
  }
  return false;
}

// Why Name cannot be stored as a section (IsKey false) or key name; empty when it can.
std::string UnstorableName(const std::string& Name, bool IsKey) {
  if (Name.empty()) return TrText("Settings", "the name is empty");
  if (Name.find_first_of("\r\n") != std::string::npos) return TrText("Settings", "the name holds a line break");
  if (Trim(Name) != Name) return TrText("Settings", "the name starts or ends with a blank");
  if (!IsKey) return {};
  // "k=v" would read as key "k"; ";x=v" and "#x=v" as comments; "[x=v]" as a section header.
  if (Name.find('=') != std::string::npos) return TrText("Settings", "a key name cannot hold \"=\"");
  if (Name[0] == ';' || Name[0] == '#') return TrText("Settings", "a key name cannot start with \";\" or \"#\"");
  if (Name[0] == '[') return TrText("Settings", "a key name cannot start with \"[\"");
  return {};
}

// Name for a message: control characters as \xNN, so the text stays one readable line.
std::string Shown(const std::string& Name) {
  std::string S;
  for (unsigned char C : Name) {
    if (C >= 0x20 && C != 0x7F) {
      S += char(C);
      continue;
    }
    static constexpr char Digits[] = "0123456789ABCDEF";
    S += "\\x";
    S += Digits[C >> 4];
    S += Digits[C & 15];
  }
  return S;
}

// "." + file name + "." + six letters or digits: the temporary names StoreLines makes.
bool IsTempName(const std::string& Name, const std::string& FileName) {
  const std::string Prefix = "." + FileName + ".";
  if (Name.size() != Prefix.size() + 6 || Name.compare(0, Prefix.size(), Prefix) != 0) return false;
  for (size_t I = Prefix.size(); I < Name.size(); ++I) {
    const char C = Name[I];
    if (!((C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9'))) return false;
  }
  return true;
}

// A write killed between creating its temporary file and renaming it leaves the file behind;
// each later write removes such leftovers. Only ours (name, owner, a plain file) and only old
// ones: another instance may be in the middle of its own write right now.
void RemoveStaleTemps(const std::filesystem::path& Folder, const std::string& FileName) {
  const time_t Before = time(nullptr) - IniStaleTempSeconds;
  std::error_code Ec;
  for (std::filesystem::directory_iterator It(Folder, Ec), End; !Ec && It != End; It.increment(Ec)) {
    const std::string Name = It->path().filename().string();
    if (!IsTempName(Name, FileName)) continue;
    struct stat St;
    if (lstat(It->path().c_str(), &St) != 0 || !S_ISREG(St.st_mode) || St.st_uid != geteuid()) continue;
    if (St.st_mtime < Before) unlink(It->path().c_str());
  }
}

}  // namespace

std::string IniOneLine(std::string S) {
  for (char& C : S)
    if (C == '\r' || C == '\n') C = ' ';
  return S;
}

bool ParseIniInteger(const std::string& Raw, std::int32_t& Value) {
  std::string Text = Trim(Raw);
  if (Text.empty()) return false;
  auto HexDigits = [](const std::string& Digits, std::int32_t& Out) {
    if (Digits.empty() || Digits.size() > 8) return false;
    std::uint32_t V = 0;
    for (char C : Digits) {
      int D;
      if (C >= '0' && C <= '9') D = C - '0';
      else if (C >= 'a' && C <= 'f') D = C - 'a' + 10;
      else if (C >= 'A' && C <= 'F') D = C - 'A' + 10;
      else return false;
      V = V * 16 + std::uint32_t(D);
    }
    Out = static_cast<std::int32_t>(V);
    return true;
  };
  if (Text[0] == '$') return HexDigits(Text.substr(1), Value);
  if (Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X'))
    return HexDigits(Text.substr(2), Value);
  size_t Pos = 0;
  bool Negative = false;
  if (Text[0] == '-' || Text[0] == '+') {
    Negative = Text[0] == '-';
    Pos = 1;
  }
  if (Pos >= Text.size()) return false;
  std::int64_t V = 0;
  for (; Pos < Text.size(); ++Pos) {
    char C = Text[Pos];
    if (C < '0' || C > '9') return false;
    V = V * 10 + (C - '0');
    if (V > std::int64_t(INT32_MAX) + 1) return false;
  }
  if (Negative) V = -V;
  if (V > INT32_MAX || V < INT32_MIN) return false;
  Value = static_cast<std::int32_t>(V);
  return true;
}

TIniFile::TIniFile(std::string FileName) : FFileName(std::move(FileName)) {}

std::vector<std::string> TIniFile::LoadLines() const {
  if (FPending) return *FPending;
  std::vector<std::string> Lines;
  std::ifstream In(FFileName, std::ios::binary);
  std::string Line;
  while (std::getline(In, Line)) {
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    Lines.push_back(Line);
  }
  return Lines;
}

void TIniFile::StoreLines(const std::vector<std::string>& Lines) {
  if (FPending) {
    *FPending = Lines;
    return;
  }
  const EIniFileException Failure(Filled(TrText("Settings", "Unable to write to %1"), {FFileName}));
  namespace fs = std::filesystem;
  fs::path Path(FFileName);
  fs::path Folder = Path.has_parent_path() ? Path.parent_path() : fs::path(".");
  std::error_code Ec;
  if (!fs::exists(Folder, Ec)) fs::create_directories(Folder, Ec);

  std::string Text;
  for (const auto& L : Lines) Text += L + "\n";

  std::string TempName = Path.filename().string();
  TempName.insert(TempName.begin(), '.');
  TempName += ".XXXXXX";
  std::string Temp = (Folder / TempName).string();
  int Fd = mkstemp(Temp.data());
  if (Fd < 0) throw Failure;
  struct stat Old;
  mode_t Mode = 0644;
  if (stat(FFileName.c_str(), &Old) == 0) Mode = Old.st_mode & 07777;
  fchmod(Fd, Mode);
  const char* P = Text.data();
  size_t Left = Text.size();
  bool Ok = true;
  while (Left > 0) {
    ssize_t N = write(Fd, P, Left);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) {
      Ok = false;
      break;
    }
    P += N;
    Left -= size_t(N);
  }
  if (Ok && fsync(Fd) != 0) Ok = false;
  if (close(Fd) != 0) Ok = false;
  if (!Ok || rename(Temp.c_str(), FFileName.c_str()) != 0) {
    unlink(Temp.c_str());
    throw Failure;
  }
  RemoveStaleTemps(Folder, Path.filename().string());
}

void TIniFile::BeginUpdate() {
  if (!FPending) FPending = LoadLines();
}

void TIniFile::EndUpdate() {
  if (!FPending) return;
  std::vector<std::string> Lines = std::move(*FPending);
  FPending.reset();
  StoreLines(Lines);
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Key,
                                 const std::string& Default) const {
  std::string Value;
  return FindValue(LoadLines(), Section, Key, &Value, nullptr) ? Value : Default;
}

std::int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Key,
                                   std::int32_t Default) const {
  std::int32_t Value;
  return ParseIniInteger(ReadString(Section, Key, ""), Value) ? Value : Default;
}

bool TIniFile::ValueExists(const std::string& Section, const std::string& Key) const {
  return FindValue(LoadLines(), Section, Key, nullptr, nullptr);
}

bool TIniFile::SectionExists(const std::string& Section) const {
  size_t H, E;
  return FindSection(LoadLines(), Section, H, E);
}

std::vector<std::string> TIniFile::ReadSection(const std::string& Section) const {
  std::vector<std::string> Keys;
  const auto Lines = LoadLines();
  size_t Header, End;
  if (!FindSection(Lines, Section, Header, End)) return Keys;
  std::string K, V;
  for (size_t I = Header + 1; I < End; ++I)
    if (KeyLine(Lines[I], K, V)) Keys.push_back(K);
  return Keys;
}

void TIniFile::WriteString(const std::string& Section, const std::string& Key,
                           const std::string& Value) {
  if (auto Why = UnstorableName(Section, false); !Why.empty())
    //: %2 is the settings file, %3 why the name cannot be stored.
    throw EIniFileException(
        Filled(TrText("Settings", "Cannot store section \"%1\" in %2: %3"), {Shown(Section), FFileName, Why}));
  if (auto Why = UnstorableName(Key, true); !Why.empty())
    throw EIniFileException(Filled(TrText("Settings", "Cannot store key \"%1\" in %2: %3"), {Shown(Key), FFileName, Why}));
  auto Lines = LoadLines();
  const std::string Line = Key + "=" + IniOneLine(Value);
  size_t Index, Header, End;
  if (FindValue(Lines, Section, Key, nullptr, &Index)) {
    Lines[Index] = Line;
  } else if (FindSection(Lines, Section, Header, End)) {
    size_t At = End;  // after the section's last non-blank line
    while (At > Header + 1 && Trim(Lines[At - 1]).empty()) --At;
    Lines.insert(Lines.begin() + long(At), Line);
  } else {
    if (!Lines.empty() && !Trim(Lines.back()).empty()) Lines.push_back("");
    Lines.push_back("[" + Section + "]");
    Lines.push_back(Line);
  }
  StoreLines(Lines);
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Key, std::int32_t Value) {
  WriteString(Section, Key, std::to_string(Value));
}

std::string DefaultSettingsPath(const std::string& ExecutablePath, const std::string& InstalledMarker) {
  namespace fs = std::filesystem;
  fs::path Exe(ExecutablePath);
  fs::path Beside = Exe;
  Beside.replace_extension(".ini");
  std::error_code Ec;
  fs::path Folder = Beside.has_parent_path() ? Beside.parent_path() : fs::path(".");
  // A program folder such as /usr/bin is no place for one user's settings, whoever can write it.
  const bool Installed = !InstalledMarker.empty() && fs::exists(Folder / InstalledMarker, Ec);
  if (!Installed && (fs::exists(Beside, Ec) || access(Folder.c_str(), W_OK) == 0)) return Beside.string();
  fs::path Config;
  if (const char* X = std::getenv("XDG_CONFIG_HOME"); X && *X) {
    Config = X;
  } else if (const char* H = std::getenv("HOME"); H && *H) {
    Config = fs::path(H) / ".config";
  } else {
    Config = fs::temp_directory_path(Ec);
  }
  return (Config / "quill" / "quill.ini").string();
}
