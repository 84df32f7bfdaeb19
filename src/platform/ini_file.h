#pragma once
// The settings file: "[Section]" headers and "key=value" lines.
//
// Reading never fails: a missing file, section or key, or an integer that does not parse,
// gives the caller's default. Every write rewrites the whole file through a temporary file in
// the same folder and a rename, so a crash never leaves a torn file, and keeps every other
// section, key and line as it was. A temporary file a killed write left behind is removed by a
// later write. Section and key names match without regard to case. Reading gives values
// without the blanks around them.
// Thread rules: none of its own; two objects (or processes) writing the same file at once may
// lose one of the writes, never tear the file.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Raised when a write cannot be done; the text is "Unable to write to <path>", or for a name
// the format cannot hold, "Cannot store <what> in <path>: <why>".
class EIniFileException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A temporary file of a write older than this (seconds) is a killed write's leftover.
inline constexpr int IniStaleTempSeconds = 60;

class TIniFile {
 public:
  explicit TIniFile(std::string FileName);

  const std::string& FileName() const { return FFileName; }

  std::string ReadString(const std::string& Section, const std::string& Key,
                         const std::string& Default) const;
  // Decimal, "0x…" or "$…" hexadecimal; anything else (or missing) gives Default.
  std::int32_t ReadInteger(const std::string& Section, const std::string& Key,
                           std::int32_t Default) const;
  bool ValueExists(const std::string& Section, const std::string& Key) const;
  bool SectionExists(const std::string& Section) const;
  // The key names of Section in file order (empty when the section is missing).
  std::vector<std::string> ReadSection(const std::string& Section) const;

  // A value never spans lines: line breaks in Value are stored as spaces, so a value can
  // never start a key or section of its own. A name that could not be read back as itself is
  // refused with EIniFileException and the file stays as it was: an empty name, blanks at
  // either end, a line break; for a key also "=" or a first character of ";", "#" or "[".
  void WriteString(const std::string& Section, const std::string& Key, const std::string& Value);
  void WriteInteger(const std::string& Section, const std::string& Key, std::int32_t Value);

  // Writes between BeginUpdate and EndUpdate land in the file together, as one replacement:
  // one temporary file, one flush to the disk and one rename for a whole window's settings,
  // instead of one of each per key. EndUpdate raises when the file cannot be written.
  void BeginUpdate();
  void EndUpdate();

 private:
  std::vector<std::string> LoadLines() const;
  void StoreLines(const std::vector<std::string>& Lines);

  std::string FFileName;
  std::optional<std::vector<std::string>> FPending;  // the file's lines during an update
};

// Text as a value is stored: line breaks become spaces. (Read back, it also loses the blanks
// around it.)
std::string IniOneLine(std::string Text);

// Parses an integer the way settings are read; false when Text is not one.
bool ParseIniInteger(const std::string& Text, std::int32_t& Value);

// Where the program keeps its settings when no file is named on the command line: beside the
// executable (its path with ".ini") when that file exists or its folder is writable, otherwise
// $XDG_CONFIG_HOME/quill/quill.ini (~/.config/quill/quill.ini). An installed program always
// uses the configuration folder, even where it could write its own folder (root and /usr/bin):
// it counts as installed when InstalledMarker, a path relative to the executable's folder
// (its menu entry), exists.
std::string DefaultSettingsPath(const std::string& ExecutablePath, const std::string& InstalledMarker = {});
