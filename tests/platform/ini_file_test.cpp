#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ini_file.h"
#include "test_support.h"

TEST(IniFile, MissingFileSectionOrKeyGivesDefaults) {
  TempDir Dir;
  TIniFile Ini(Dir.File("none.ini"));
  EXPECT_EQ(Ini.ReadInteger("Form", "Top", 10), 10);
  EXPECT_EQ(Ini.ReadString("Antennas", "Name1", "Antenna 1"), "Antenna 1");
  EXPECT_FALSE(Ini.ValueExists("Form", "Top"));
  EXPECT_FALSE(std::filesystem::exists(Dir.File("none.ini")));  // reading creates nothing
}

TEST(IniFile, IntegerForms) {
  struct Case {
    const char* Text;
    std::int32_t Expected;
  };
  const Case Cases[] = {
      {"42", 42},          {"-7", -7},         {"0x1F", 31},       {"0X1f", 31},
      {"$FF", 255},        {" 12 ", 12},       {"0xFFFFFFFF", -1}, {"2147483647", 2147483647},
      {"2147483648", 99},  {"abc", 99},        {"", 99},           {"12abc", 99},
      {"0x", 99},          {"$", 99},          {"1.5", 99},        {"0x123456789", 99},
      {"-", 99},           {"-2147483648", INT32_MIN},
  };
  TempDir Dir;
  std::string Text = "[S]\n";
  // Keys built by appending: GCC 12's optimiser warns (wrongly) about a literal + a temporary.
  const auto Key = [](size_t I) { return std::string("k").append(std::to_string(I)); };
  for (size_t I = 0; I < std::size(Cases); ++I) Text += Key(I) + "=" + Cases[I].Text + "\n";
  WriteFile(Dir.File("a.ini"), Text);
  TIniFile Ini(Dir.File("a.ini"));
  for (size_t I = 0; I < std::size(Cases); ++I)
    EXPECT_EQ(Ini.ReadInteger("S", Key(I), 99), Cases[I].Expected) << Cases[I].Text;
}

TEST(IniFile, TextIsReturnedAsStoredAndNamesIgnoreCase) {
  TempDir Dir;
  WriteFile(Dir.File("a.ini"), "; comment\r\n[Comm]\r\nIP=10.0.0.2\r\nName=  Beam = 20m \r\n");
  TIniFile Ini(Dir.File("a.ini"));
  EXPECT_EQ(Ini.ReadString("comm", "ip", ""), "10.0.0.2");
  EXPECT_EQ(Ini.ReadString("Comm", "Name", ""), "Beam = 20m");
}

TEST(IniFile, ReadSectionListsKeysInFileOrder) {
  TempDir Dir;
  WriteFile(Dir.File("a.ini"), "[ComMap]\nCOM5=/dev/pts/3\n; note\nbroken line\nCOM2 = /dev/ttyV0\n[Other]\nX=1\n");
  TIniFile Ini(Dir.File("a.ini"));
  EXPECT_EQ(Ini.ReadSection("commap"), (std::vector<std::string>{"COM5", "COM2"}));
  EXPECT_TRUE(Ini.ReadSection("Missing").empty());
  EXPECT_TRUE(TIniFile(Dir.File("none.ini")).ReadSection("ComMap").empty());
}

TEST(IniFile, WriteKeepsOtherSectionsKeysAndComments) {
  TempDir Dir;
  const std::string Path = Dir.File("a.ini");
  WriteFile(Path, "; keep me\n[Comm]\nIP=1.2.3.4\nPort=5495\n\n[Form]\nTop=5\n");
  TIniFile Ini(Path);
  Ini.WriteInteger("Form", "Top", 77);
  Ini.WriteInteger("Form", "Left", 8);
  Ini.WriteString("Comm", "Mode", "0");
  Ini.WriteString("Antennas", "Name1", "Dipole");
  EXPECT_EQ(ReadFile(Path),
            "; keep me\n[Comm]\nIP=1.2.3.4\nPort=5495\nMode=0\n\n[Form]\nTop=77\nLeft=8\n\n"
            "[Antennas]\nName1=Dipole\n");
}

TEST(IniFile, LineBreakInValueCannotCreateKeysOrSections) {
  TempDir Dir;
  const std::string Path = Dir.File("a.ini");
  TIniFile Ini(Path);
  Ini.WriteString("Comm", "IP", "192.168.0.19");
  Ini.WriteString("Antennas", "Name1", "Yagi\n[Comm]\r\nIP=6.6.6.6");
  EXPECT_EQ(Ini.ReadString("Comm", "IP", ""), "192.168.0.19");
  EXPECT_EQ(Ini.ReadString("Antennas", "Name1", ""), "Yagi [Comm]  IP=6.6.6.6");
  EXPECT_FALSE(Ini.ValueExists("Antennas", "IP"));
}

TEST(IniFile, WriteReplacesTheFileAtomically) {
  TempDir Dir;
  const std::string Path = Dir.File("a.ini");
  WriteFile(Path, "[Form]\nTop=1\n");
  struct stat Before;
  ASSERT_EQ(stat(Path.c_str(), &Before), 0);
  TIniFile(Path).WriteInteger("Form", "Top", 2);
  struct stat After;
  ASSERT_EQ(stat(Path.c_str(), &After), 0);
  // A new inode: the file was renamed into place, never rewritten where it lay.
  EXPECT_NE(Before.st_ino, After.st_ino);
  EXPECT_EQ(TIniFile(Path).ReadInteger("Form", "Top", 0), 2);
  // No temporary file is left behind.
  int Files = 0;
  for (auto& E : std::filesystem::directory_iterator(Dir.Path())) (void)E, ++Files;
  EXPECT_EQ(Files, 1);
}

TEST(IniFile, UnwritableFolderRaisesWithThePath) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
  TempDir Dir;
  const std::string Path = Dir.File("a.ini");
  WriteFile(Path, "[Form]\nTop=1\n");
  chmod(Dir.Path().c_str(), 0555);
  TIniFile Ini(Path);
  try {
    Ini.WriteInteger("Form", "Top", 2);
    FAIL() << "write succeeded";
  } catch (const EIniFileException& E) {
    EXPECT_EQ(std::string(E.what()), "Unable to write to " + Path);
  }
  chmod(Dir.Path().c_str(), 0755);
  EXPECT_EQ(Ini.ReadInteger("Form", "Top", 0), 1);  // the old file is untouched
}

TEST(IniFile, WriteThatCannotBeDoneRaisesEvenForRoot) {
  // Neither a folder that is a plain file nor /proc can take a new file, whoever asks.
  TempDir Dir;
  WriteFile(Dir.File("plain"), "x");
  for (const std::string& Path : {Dir.File("plain/a.ini"), std::string("/proc/self/quill-test.ini")}) {
    try {
      TIniFile(Path).WriteString("Form", "Top", "1");
      ADD_FAILURE() << "write succeeded: " << Path;
    } catch (const EIniFileException& E) {
      EXPECT_EQ(std::string(E.what()), "Unable to write to " + Path);
    }
  }
}

TEST(IniFile, DefaultPathBesideExecutableOrInConfigFolder) {
  TempDir Dir;
  EXPECT_EQ(DefaultSettingsPath(Dir.File("quill")), Dir.File("quill.ini"));
  EXPECT_EQ(DefaultSettingsPath(Dir.File("quill.exe")), Dir.File("quill.ini"));
  setenv("XDG_CONFIG_HOME", Dir.File("cfg").c_str(), 1);
  // A folder that cannot be written (missing here, so the case holds for root too).
  EXPECT_EQ(DefaultSettingsPath(Dir.File("gone/quill")), Dir.File("cfg/quill/quill.ini"));
  // The configuration folder is made on the first write.
  TIniFile Ini(DefaultSettingsPath(Dir.File("gone/quill")));
  Ini.WriteInteger("Form", "Top", 3);
  EXPECT_EQ(TIniFile(Dir.File("cfg/quill/quill.ini")).ReadInteger("Form", "Top", 0), 3);
  unsetenv("XDG_CONFIG_HOME");
}

TEST(IniFile, InstalledProgramKeepsSettingsInConfigFolder) {
  // An installed tree: bin/quill with its menu entry under share/. The bin folder is writable
  // here, as /usr/bin is for root; a file beside the executable does not count either.
  TempDir Dir;
  std::filesystem::create_directories(Dir.File("usr/bin"));
  std::filesystem::create_directories(Dir.File("usr/share/applications"));
  WriteFile(Dir.File("usr/bin/quill.ini"), "[Form]\nTop=1\n");
  const std::string Marker = "../share/applications/quill.desktop";
  setenv("XDG_CONFIG_HOME", Dir.File("cfg").c_str(), 1);
  // Where it was built: no menu entry beside it, so the settings stay beside the executable.
  EXPECT_EQ(DefaultSettingsPath(Dir.File("usr/bin/quill"), Marker), Dir.File("usr/bin/quill.ini"));
  WriteFile(Dir.File("usr/share/applications/quill.desktop"), "[Desktop Entry]\n");
  EXPECT_EQ(DefaultSettingsPath(Dir.File("usr/bin/quill"), Marker), Dir.File("cfg/quill/quill.ini"));
  // No marker given: the folder rule alone.
  EXPECT_EQ(DefaultSettingsPath(Dir.File("usr/bin/quill")), Dir.File("usr/bin/quill.ini"));
  unsetenv("XDG_CONFIG_HOME");
}

TEST(IniFile, UpdateWritesEverythingAtOnce) {
  TempDir Dir;
  const std::string Path = Dir.File("a.ini");
  WriteFile(Path, "[Form]\nTop=1\n");
  TIniFile Ini(Path);
  Ini.BeginUpdate();
  Ini.WriteInteger("Form", "Top", 2);
  Ini.WriteString("Radio", "Number", "1");
  // The writer reads its own writes; the file is untouched until the update ends.
  EXPECT_EQ(Ini.ReadInteger("Form", "Top", 0), 2);
  EXPECT_EQ(ReadFile(Path), "[Form]\nTop=1\n");
  Ini.EndUpdate();
  EXPECT_EQ(ReadFile(Path), "[Form]\nTop=2\n\n[Radio]\nNumber=1\n");

  // A failure is raised where the file is written, at the end.
  WriteFile(Dir.File("plain"), "x");
  TIniFile Bad(Dir.File("plain/a.ini"));
  Bad.BeginUpdate();
  Bad.WriteInteger("Form", "Top", 3);
  EXPECT_THROW(Bad.EndUpdate(), EIniFileException);
}

TEST(IniFile, NamesTheFormatCannotHoldAreRefused) {
  struct Case {
    const char* Section;
    const char* Key;
    const char* Why;
    const char* Shown;  // the wrong name as the message shows it
  };
  const Case Cases[] = {
      {"", "k", "the name is empty", ""},
      {"S", "", "the name is empty", ""},
      {" S", "k", "the name starts or ends with a blank", " S"},
      {"S", "k\t", "the name starts or ends with a blank", "k\\x09"},
      {"S\nT", "k", "the name holds a line break", "S\\x0AT"},
      {"S", "a\rb", "the name holds a line break", "a\\x0Db"},
      {"S", "a=b", "a key name cannot hold \"=\"", "a=b"},
      {"S", ";k", "a key name cannot start with \";\" or \"#\"", ";k"},
      {"S", "#k", "a key name cannot start with \";\" or \"#\"", "#k"},
      {"S", "[T", "a key name cannot start with \"[\"", "[T"},
  };
  TempDir Dir;
  const std::string Path = Dir.File("a.ini");
  WriteFile(Path, "[S]\na=1\n");
  TIniFile Ini(Path);
  for (const auto& K : Cases) {
    const bool KeyWrong = K.Section == std::string("S");
    const std::string What = std::string(KeyWrong ? "key \"" : "section \"") + K.Shown + "\"";
    try {
      Ini.WriteString(K.Section, K.Key, "x]");
      ADD_FAILURE() << "accepted " << What;
    } catch (const EIniFileException& E) {
      EXPECT_EQ(std::string(E.what()), "Cannot store " + What + " in " + Path + ": " + K.Why);
    }
    EXPECT_EQ(ReadFile(Path), "[S]\na=1\n") << What;
  }
  // What the format can hold: any other byte, "=" and "]" in a section name, "[" inside a key.
  Ini.WriteString("[x=y]", "a[b]", "v");
  Ini.WriteString("S", "Name 2", " spaced value ");
  EXPECT_EQ(Ini.ReadString("[x=y]", "A[B]", ""), "v");
  EXPECT_EQ(Ini.ReadString("s", "name 2", ""), "spaced value");
  EXPECT_EQ(Ini.ReadInteger("S", "a", 0), 1);
}

TEST(IniFile, WriteRemovesTemporaryFilesOfKilledWrites) {
  TempDir Dir;
  const std::string Path = Dir.File("quill.ini");
  WriteFile(Path, "[Form]\nTop=1\n");
  const char* Old[] = {".quill.ini.a1B2c3", ".quill.ini.XXXXXX"};
  // Not leftovers of this file's writes, or too recent to be sure another writer is done.
  const char* Kept[] = {".quill.ini.fresh1", ".quill.ini.ab12", ".quill.ini.ab-123", "quill.ini.abc123",
                        ".other.ini.abc123", ".quill.ini.bak"};
  const time_t Then = time(nullptr) - 2 * IniStaleTempSeconds;
  auto MakeOld = [&](const char* Name) {
    const timespec Times[2] = {{Then, 0}, {Then, 0}};
    return utimensat(AT_FDCWD, Dir.File(Name).c_str(), Times, 0) == 0;
  };
  for (const char* Name : Old) {
    WriteFile(Dir.File(Name), "[Form]\n");
    ASSERT_TRUE(MakeOld(Name));
  }
  for (const char* Name : Kept) {
    WriteFile(Dir.File(Name), "x");
    if (std::string(Name) != ".quill.ini.fresh1") {
      ASSERT_TRUE(MakeOld(Name));
    }
  }
  // An old leftover name that is a folder is not ours either.
  std::filesystem::create_directory(Dir.File(".quill.ini.dir123"));
  ASSERT_TRUE(MakeOld(".quill.ini.dir123"));

  TIniFile(Path).WriteInteger("Form", "Top", 2);
  for (const char* Name : Old) EXPECT_FALSE(std::filesystem::exists(Dir.File(Name))) << Name;
  for (const char* Name : Kept) EXPECT_TRUE(std::filesystem::exists(Dir.File(Name))) << Name;
  EXPECT_TRUE(std::filesystem::exists(Dir.File(".quill.ini.dir123")));
  EXPECT_EQ(TIniFile(Path).ReadInteger("Form", "Top", 0), 2);
}
