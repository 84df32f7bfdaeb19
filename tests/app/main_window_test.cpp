#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/net_defs.h"
#include "app/program.h"
#include "app/program_remote.h"
#include "app/quill_main_u.h"
#include "link/packet_codec.h"
#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;

// The device link as the main window sees it: formats what it is asked to send as the real
// codec would, hands out a packet the test sets, and records the calls.
class FakeLink : public TCommLink, public TPacketReactions {
 public:
  bool SendCommand(std::uint8_t Cmd, const std::string& Data, std::uint8_t Resp) override {
    Sent.push_back(Codec.FormatPacket(Cmd, Data));
    Responses.push_back(Resp);
    return true;
  }
  TNetPacket GetPacket() const override { return Packet; }
  void Shutdown() override {
    Calls.push_back("Shutdown");
    if (OnShutdown) OnShutdown();
  }
  void ShowWindow() override { Calls.push_back("ShowWindow"); }
  void SetLinkStatus(TLinkStatus) override {}
  void DoAction(int) override {}

  TPacketCodec Codec{*this};
  TNetPacket Packet;
  std::vector<std::string> Sent, Calls;
  std::vector<int> Responses;
  std::function<void()> OnShutdown;
};

struct Action {
  std::int32_t Tag;
};

struct MainWindowFixture : ::testing::Test {

  std::unique_ptr<TQuillMain> Make() {
    auto W = std::make_unique<TQuillMain>(Ini);
    W->SetCommLink(&Link);
    return W;
  }
  // A status packet from the device, handled as the decoder hands it over.
  void Status(TQuillMain& W, std::string Data) {
    Link.Packet = TNetPacket{0xC5, 0x05, 0xC1, 0, std::move(Data)};
    EXPECT_TRUE(W.ExecuteAction(Action{mcQuillStatus}));
  }

  TempDir Dir;
  std::string Ini = Dir.File("quill.ini");
  ScopedScriptedDialogs Script;
  FakeLink Link;
};

void Click(QWidget& W, Qt::MouseButton Button, QPoint At = {60, 12}) {
  for (QEvent::Type T : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent E(T, QPointF(At), W.mapToGlobal(QPointF(At)), Button,
                  T == QEvent::MouseButtonPress ? Qt::MouseButtons(Button) : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&W, &E);
  }
}

std::vector<TColor> Faces(const TQuillMain& W) {
  std::vector<TColor> R;
  for (int N = 1; N <= 8; ++N) R.push_back(W.AntButtons[size_t(N)]->Brush().Color());
  return R;
}

// Silver everywhere except antenna Lit, which has colour C.
std::vector<TColor> Lit(int N, TColor C) {
  std::vector<TColor> R(8, clSilver);
  if (N) R[size_t(N - 1)] = C;
  return R;
}

// The smallest rectangle holding every pixel that differs (the whole image when the sizes do).
QRect DiffersWithin(const QImage& A, const QImage& B) {
  if (A.size() != B.size()) return A.rect();
  QRect R;
  for (int Y = 0; Y < A.height(); ++Y)
    for (int X = 0; X < A.width(); ++X)
      if (A.pixel(X, Y) != B.pixel(X, Y)) R |= QRect(X, Y, 1, 1);
  return R;
}

}  // namespace

TEST_F(MainWindowFixture, LayoutCaptionsAndColoursWithoutSettings) {
  auto W = Make();
  EXPECT_EQ(W->windowTitle(), "QUILL-2 Controller V1.0");
  EXPECT_EQ(W->size(), QSize(407, 358));
  struct Place {
    QWidget* Control;
    QWidget* Parent;
    QRect Geometry;
  };
  std::vector<Place> Places = {
      {W->GroupBox1, W.get(), {12, 12, 185, 173}},      {W->CommLed, W->GroupBox1, {48, 20, 89, 20}},
      {W->EditBand, W->GroupBox1, {68, 52, 61, 31}},    {W->AutoBtn, W->GroupBox1, {30, 95, 135, 30}},
      {W->RadioNumber, W->GroupBox1, {28, 131, 145, 24}}, {W->GroupBox2, W.get(), {208, 12, 185, 329}},
  };
  for (int N = 1; N <= 8; ++N) Places.push_back({W->AntButtons[size_t(N)], W->GroupBox2, {26, 33 + 36 * (N - 1), 135, 30}});
  for (const auto& P : Places) {
    EXPECT_EQ(P.Control->parentWidget(), P.Parent) << P.Control->metaObject()->className();
    EXPECT_EQ(P.Control->geometry(), P.Geometry) << P.Control->metaObject()->className();
  }
  EXPECT_EQ(W->GroupBox1->title(), "Status");
  EXPECT_EQ(W->GroupBox2->title(), "Antennas");
  EXPECT_EQ(W->CommLed->text(), "Disconnected");
  EXPECT_EQ(W->CommLed->Color(), clRed);
  EXPECT_EQ(W->RadioNumber->count(), 2);
  EXPECT_EQ(W->RadioNumber->itemText(0), "Radio #1");
  EXPECT_EQ(W->RadioNumber->itemText(1), "Radio #2");
  EXPECT_EQ(W->RadioNumber->currentIndex(), 0);
  EXPECT_EQ(NetAddress, 0xC1);
  EXPECT_TRUE(W->EditBand->isReadOnly());
  EXPECT_EQ(W->EditBand->text(), "");
  EXPECT_EQ(W->EditBand->font().pixelSize(), 19);
  EXPECT_EQ(W->AutoBtn->Caption(), "Auto");
  EXPECT_EQ(W->AutoBtn->Tag(), 32);
  EXPECT_EQ(W->AutoBtn->Brush().Color(), clSilver);
  for (TQcShadowButton* B : {W->AutoBtn, W->AntBtn1, W->AntBtn8}) {
    EXPECT_EQ(B->Depth(), 3);
    EXPECT_EQ(B->ShadowColor(), clSilver);
    EXPECT_EQ(B->Pen().Color(), clBlack);
    EXPECT_TRUE(B->Transparent());
    EXPECT_TRUE(B->font().bold());
    EXPECT_EQ(B->font().pixelSize(), 13);
    EXPECT_EQ(B->FontColor(), clBlack);
  }
  for (int N = 1; N <= 8; ++N) {
    EXPECT_EQ(W->AntButtons[size_t(N)]->Caption(), "Antenna " + std::to_string(N));
    EXPECT_EQ(W->AntButtons[size_t(N)]->Tag(), N);
  }
  EXPECT_EQ(Faces(*W), Lit(0, 0));
  EXPECT_EQ(W->Antenna, 0);
  EXPECT_TRUE(Script->Errors.empty());
}

TEST_F(MainWindowFixture, StoredSettingsAreLoaded) {
  WriteFile(Ini, "[Form]\nTop=40\nLeft=$30\n[Radio]\nNumber=1\n[Antennas]\nName3=Yagi 20m\n");
  auto W = Make();
  EXPECT_EQ(W->pos(), QPoint(0x30, 40));
  EXPECT_EQ(W->RadioNumber->currentIndex(), 1);
  EXPECT_EQ(NetAddress, 0xC2);
  EXPECT_EQ(W->AntBtn3->Caption(), "Yagi 20m");
  EXPECT_EQ(W->AntBtn4->Caption(), "Antenna 4");

  // A radio number outside the list leaves nothing selected: address 0xC0, and only packets
  // for radio 0 are shown. A value that is no integer reads as the default.
  WriteFile(Ini, "[Form]\nTop=abc\n[Radio]\nNumber=5\n");
  W = Make();
  EXPECT_EQ(W->pos(), QPoint(10, 10));
  EXPECT_EQ(W->RadioNumber->currentIndex(), -1);
  EXPECT_EQ(NetAddress, 0xC0);
  Status(*W, "\x01\x05\x01\x03"s);
  EXPECT_EQ(W->EditBand->text(), "");
  Status(*W, "\x00\x05\x01\x03"s);
  EXPECT_EQ(W->EditBand->text(), "40");
}

TEST_F(MainWindowFixture, StatusPacketsDriveBandAutoAndAntennaColours) {
  auto W = Make();
  struct Step {
    const char* What;
    std::string Data;
    const char* Band;
    TColor Auto;
    std::vector<TColor> Faces;
    int Antenna;
  };
  const std::vector<Step> Steps = {
      {"radio 1, 40 m, Auto, antenna 3", "\x01\x05\x01\x03"s, "40", clOrange, Lit(3, clLime), 3},
      {"same antenna again", "\x01\x05\x01\x03"s, "40", clOrange, Lit(3, clLime), 3},
      {"other radio", "\x02\x07\x00\x01"s, "40", clOrange, Lit(3, clLime), 3},
      {"manual, band 12", "\x01\x0C\x00\x03"s, "6", clSilver, Lit(3, clAqua), 3},
      {"Auto on (0x55), band 13", "\x01\x0D\x55\x03"s, "", clOrange, Lit(3, clLime), 3},
      {"antenna 3 to 5, band 0", "\x01\x00\x00\x05"s, "", clSilver, Lit(5, clAqua), 5},
      {"band 14, no antenna", "\x01\x0E\x00\x00"s, "", clSilver, Lit(0, 0), 5},
      {"antenna 2 in Auto", "\x01\x01\x01\x02"s, "160", clOrange, Lit(2, clLime), 2},
      {"too short: three bytes", "\x01\x03\x00"s, "160", clOrange, Lit(2, clLime), 2},
      {"too short: nothing", "", "160", clOrange, Lit(2, clLime), 2},
      {"antenna 9 clears all", "\x01\x01\x01\x09"s, "160", clOrange, Lit(0, 0), 2},
  };
  for (const auto& S : Steps) {
    Status(*W, S.Data);
    EXPECT_EQ(W->EditBand->text().toStdString(), S.Band) << S.What;
    EXPECT_EQ(W->AutoBtn->Brush().Color(), S.Auto) << S.What;
    EXPECT_EQ(Faces(*W), S.Faces) << S.What;
    EXPECT_EQ(W->Antenna, S.Antenna) << S.What;
  }
  EXPECT_TRUE(Link.Sent.empty());
}

TEST_F(MainWindowFixture, LinkActionsRecolourTheIndicatorOthersAreIgnored) {
  auto W = Make();
  EXPECT_TRUE(W->ExecuteAction(Action{mcCommLinkOk}));
  EXPECT_EQ(W->CommLed->text(), "Connected");
  EXPECT_EQ(W->CommLed->Color(), clLime);
  for (std::int32_t Tag : {10030, 10031, 20017, 0, -1}) {
    EXPECT_TRUE(W->ExecuteAction(Tag)) << Tag;
    EXPECT_EQ(W->CommLed->text(), "Connected") << Tag;
  }
  EXPECT_TRUE(W->ExecuteAction(mcCommLinkFail));
  EXPECT_EQ(W->CommLed->text(), "Disconnected");
  EXPECT_EQ(W->CommLed->Color(), clRed);
  EXPECT_EQ(Faces(*W), Lit(0, 0));
}

TEST_F(MainWindowFixture, ButtonsSendCommandsToTheFollowedRadio) {
  auto W = Make();
  Click(*W->AntBtn3, Qt::LeftButton);
  Click(*W->AutoBtn, Qt::LeftButton);
  Click(*W->CommLed, Qt::LeftButton, {5, 5});
  // Choosing "Radio #2" moves every later command to that radio; the display stays.
  Status(*W, "\x01\x05\x01\x03"s);
  W->RadioNumber->setCurrentIndex(1);
  emit W->RadioNumber->activated(1);
  EXPECT_EQ(NetAddress, 0xC2);
  Click(*W->AntBtn3, Qt::LeftButton);
  Click(*W->AutoBtn, Qt::LeftButton);
  EXPECT_EQ(Link.Sent, (std::vector<std::string>{"[C105350103]\r", "[C1055301]\r", "[C205350103]\r", "[C2055301]\r"}));
  EXPECT_EQ(Link.Responses, (std::vector<int>{0xC3, 0xC3, 0xC3, 0xC3}));
  EXPECT_EQ(Link.Calls, (std::vector<std::string>{"ShowWindow"}));
  EXPECT_EQ(W->EditBand->text(), "40");
  EXPECT_EQ(Faces(*W), Lit(3, clLime));
  // Clicks change nothing on their own: the device's next status packet does.
  Click(*W->AntBtn6, Qt::LeftButton);
  EXPECT_EQ(Faces(*W), Lit(3, clLime));
}

TEST_F(MainWindowFixture, RenamingAntennas) {
  auto W = Make();
  // Cancel: the caption stays and the settings are written all the same.
  Script->Answers.push_back(std::nullopt);
  Click(*W->AntBtn4, Qt::RightButton);
  ASSERT_EQ(Script->Inputs.size(), 1u);
  EXPECT_EQ(Script->Inputs[0].Caption, "Antenna 4 Name");
  EXPECT_EQ(Script->Inputs[0].Prompt, "New name:");
  EXPECT_EQ(Script->Inputs[0].Default, "Antenna 4");
  EXPECT_EQ(W->AntBtn4->Caption(), "Antenna 4");
  EXPECT_EQ(TIniFile(Ini).ReadString("Antennas", "Name4", ""), "Antenna 4");
  EXPECT_EQ(TIniFile(Ini).ReadString("Antennas", "Name8", ""), "Antenna 8");
  EXPECT_TRUE(Link.Sent.empty());  // a right click is no command

  Script->Answers.push_back("Beam 20m");
  Click(*W->AntBtn4, Qt::RightButton);
  EXPECT_EQ(W->AntBtn4->Caption(), "Beam 20m");
  EXPECT_EQ(TIniFile(Ini).ReadString("Antennas", "Name4", ""), "Beam 20m");

  // An emptied name changes nothing and saves nothing.
  std::filesystem::remove(Ini);
  Script->Answers.push_back("");
  Click(*W->AntBtn4, Qt::RightButton);
  EXPECT_EQ(W->AntBtn4->Caption(), "Beam 20m");
  EXPECT_FALSE(std::filesystem::exists(Ini));

  // A line break cannot reach other settings; the caption shows what the file keeps.
  W->move(50, 60);
  Script->Answers.push_back("Loop\n[Form]\nTop=999\r\nName1=x");
  Click(*W->AntBtn2, Qt::RightButton);
  EXPECT_EQ(W->AntBtn2->Caption(), "Loop [Form] Top=999  Name1=x");
  TIniFile Saved(Ini);
  EXPECT_EQ(Saved.ReadInteger("Form", "Top", 0), 60);
  EXPECT_EQ(Saved.ReadString("Antennas", "Name1", ""), "Antenna 1");
  EXPECT_EQ(Saved.ReadString("Antennas", "Name2", ""), "Loop [Form] Top=999  Name1=x");
  W = Make();
  EXPECT_EQ(W->AntBtn2->Caption(), "Loop [Form] Top=999  Name1=x");
  EXPECT_EQ(W->AntBtn4->Caption(), "Beam 20m");
}

TEST_F(MainWindowFixture, ClosingShutsTheLinkDownThenSaves) {
  WriteFile(Ini, "[Comm]\nIP=10.1.2.3\n");
  auto W = Make();
  W->show();
  W->ExecuteAction(mcCommLinkOk);
  W->RadioNumber->setCurrentIndex(1);
  W->AntBtn5->SetCaption("Vertical");
  bool SavedBeforeShutdown = true;
  Link.OnShutdown = [&] {
    SavedBeforeShutdown = TIniFile(Ini).SectionExists("Form");
    W->ExecuteAction(mcCommLinkFail);  // as the link supervisor does when it goes down
  };
  bool Closed = false;
  W->OnFormClose = [&] { Closed = true; };
  const QPoint At = W->pos();
  // Every flush to the disk delays the end of the program: the whole save is one replacement.
  const int Watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(Watch, Dir.Path().c_str(), IN_MOVED_TO), 0);
  EXPECT_TRUE(W->close());
  alignas(inotify_event) char Events[4096];
  const ssize_t Got = read(Watch, Events, sizeof Events);
  close(Watch);
  int Replacements = 0;
  for (ssize_t At = 0; At < Got;) {
    const auto* E = reinterpret_cast<const inotify_event*>(Events + At);
    Replacements += E->len > 0 && std::string(E->name) == "quill.ini";
    At += ssize_t(sizeof(inotify_event) + E->len);
  }
  EXPECT_EQ(Replacements, 1);
  EXPECT_EQ(Link.Calls, (std::vector<std::string>{"Shutdown"}));
  EXPECT_FALSE(SavedBeforeShutdown);
  EXPECT_TRUE(Closed);
  EXPECT_EQ(W->CommLed->text(), "Disconnected");
  TIniFile Saved(Ini);
  EXPECT_EQ(Saved.ReadInteger("Form", "Top", -5), At.y());
  EXPECT_EQ(Saved.ReadInteger("Form", "Left", -5), At.x());
  EXPECT_EQ(Saved.ReadInteger("Radio", "Number", -5), 1);
  EXPECT_EQ(Saved.ReadString("Antennas", "Name5", ""), "Vertical");
  EXPECT_EQ(Saved.ReadString("Antennas", "Name1", ""), "Antenna 1");
  EXPECT_EQ(Saved.ReadString("Comm", "IP", ""), "10.1.2.3");
  EXPECT_TRUE(Script->Errors.empty());
}

TEST_F(MainWindowFixture, UnwritableSettingsAreReportedAndTheWindowStillCloses) {
  WriteFile(Dir.File("plain"), "x");
  const std::string Bad = Dir.File("plain/quill.ini");
  Ini = Bad;
  auto W = Make();
  W->show();
  EXPECT_TRUE(W->close());
  EXPECT_FALSE(W->isVisible());
  EXPECT_EQ(Link.Calls, (std::vector<std::string>{"Shutdown"}));
  EXPECT_EQ(Script->Errors, (std::vector<std::string>{"Unable to write to " + Bad}));

  // A rename that cannot be saved keeps the new caption and reports the error.
  Script->Answers.push_back("Dipole");
  Click(*W->AntBtn1, Qt::RightButton);
  EXPECT_EQ(W->AntBtn1->Caption(), "Dipole");
  EXPECT_EQ(Script->Errors.size(), 2u);
}

TEST_F(MainWindowFixture, OpensCentredAndLooksRight) {
  WriteFile(Ini, "[Form]\nTop=3\nLeft=4\n[Antennas]\nName6=Beverage\n");
  auto W = Make();
  W->show();
  ASSERT_TRUE(WaitFor([&] { return W->isVisible(); }));
  const QRect Work = W->screen()->availableGeometry();
  EXPECT_LE(std::abs(W->frameGeometry().center().x() - Work.center().x()), 1);
  EXPECT_LE(std::abs(W->frameGeometry().center().y() - Work.center().y()), 1);
  W->ExecuteAction(mcCommLinkOk);
  Status(*W, "\x01\x05\x01\x03"s);
  const QImage Image = W->grab().toImage();
  Image.save(QString::fromStdString(ScreenshotPath("main-window.png")));
  // The selected antenna's face is lime, the others silver; the band shows in the edit.
  const QPoint Face3 = W->AntBtn3->mapTo(W.get(), QPoint(10, 13));
  const QPoint Face4 = W->AntBtn4->mapTo(W.get(), QPoint(10, 13));
  const QPoint Auto = W->AutoBtn->mapTo(W.get(), QPoint(10, 13));
  EXPECT_EQ(QColorToColor(Image.pixelColor(Face3)), clLime);
  EXPECT_EQ(QColorToColor(Image.pixelColor(Face4)), clSilver);
  EXPECT_EQ(QColorToColor(Image.pixelColor(Auto)), clOrange);
  const QPoint Led = W->CommLed->mapTo(W.get(), QPoint(4, 10));
  EXPECT_EQ(QColorToColor(Image.pixelColor(Led)), clLime);
  W->close();
}

TEST(ProgramIcon, EveryThemeSizeIsCompiledIn) {
  const QIcon Icon = ProgramIcon();
  ASSERT_FALSE(Icon.isNull());
  const QList<QSize> Sizes = Icon.availableSizes();
  for (int S : {16, 22, 24, 32, 48, 64, 128, 256}) EXPECT_TRUE(Sizes.contains(QSize(S, S))) << S;
  // Drawn, not blank: the middle is opaque and the corners (outside the rounded square) clear.
  const QImage Image = Icon.pixmap(QSize(48, 48)).toImage();
  ASSERT_EQ(Image.size(), QSize(48, 48));
  EXPECT_EQ(qAlpha(Image.pixel(24, 24)), 255);
  EXPECT_EQ(qAlpha(Image.pixel(0, 0)), 0);
}

TEST_F(MainWindowFixture, WindowsCarryTheProgramIconAndDesktopEntry) {
  SetUpApplication();
  EXPECT_EQ(QGuiApplication::desktopFileName(), "local.quill.controller");
  auto W = Make();
  const QIcon Icon = W->windowIcon();
  EXPECT_EQ(Icon.availableSizes(), ProgramIcon().availableSizes());
  EXPECT_EQ(Icon.pixmap(QSize(32, 32)).toImage(), ProgramIcon().pixmap(QSize(32, 32)).toImage());
}

// Observers (the session bus service) hear of every change the window shows, and of every
// status packet of either radio, but not of codes the window ignores.
TEST_F(MainWindowFixture, ObserversHearOfEachChangeTheWindowShows) {
  auto W = Make();
  int Shown = 0;
  std::vector<int> Reported;
  W->OnDisplayChanged = [&] { ++Shown; };
  W->OnStatusPacket = [&](const TNetPacket& P) { Reported.push_back(P.Data[0]); };
  struct Step {
    const char* What;
    std::function<void()> Do;
    int Shown;
    std::vector<int> Reported;
  };
  const std::vector<Step> Steps = {
      {"link up", [&] { W->ExecuteAction(Action{mcCommLinkOk}); }, 1, {}},
      {"link down", [&] { W->ExecuteAction(Action{mcCommLinkFail}); }, 1, {}},
      {"status of the followed radio", [&] { Status(*W, "\x01\x05\x01\x03"s); }, 1, {1}},
      {"status of the other radio", [&] { Status(*W, "\x02\x07\x00\x01"s); }, 1, {2}},
      {"a status packet too short to read", [&] { Status(*W, "\x01\x05"s); }, 1, {}},
      {"a code the window ignores", [&] { W->ExecuteAction(Action{10030}); }, 0, {}},
      {"the radio choice", [&] {
         W->RadioNumber->setCurrentIndex(1);
         W->RadioNumberClick();
       }, 1, {}},
      {"a rename", [&] {
         Script->Answers.push_back("Beverage");
         Click(*W->AntBtn2, Qt::RightButton);
       }, 1, {}},
  };
  for (const Step& S : Steps) {
    Shown = 0;
    Reported.clear();
    S.Do();
    EXPECT_EQ(Shown, S.Shown) << S.What;
    EXPECT_EQ(Reported, S.Reported) << S.What;
  }
  EXPECT_EQ(W->AntBtn2->Caption(), "Beverage");
}

// A click made for a caller on the bus shows no box: the box's text (or the error that would
// reach the default error handler) is the caller's answer. Input boxes still reach the user,
// and the user's boxes are back afterwards.
TEST_F(MainWindowFixture, AClickForTheBusGivesBackTheErrorBoxInsteadOfShowingIt) {
  struct Case {
    const char* What;
    std::function<void()> Click;
    std::string Text;
  };
  const std::vector<Case> Cases = {
      {"error boxes", [] {
         GetDialogs().ErrorBox("Communications failed");
         GetDialogs().ErrorBox("a second box");
       }, "Communications failed"},
      {"an error left to the default handler", [] { throw std::runtime_error("Unable to write to q.ini"); },
       "Unable to write to q.ini"},
      {"no error", [] {}, ""},
  };
  for (const Case& C : Cases) EXPECT_EQ(CaptureErrorBoxes(C.Click), C.Text) << C.What;
  EXPECT_TRUE(Script->Errors.empty());
  Script->Answers.push_back("Beverage");
  std::string Answer;
  EXPECT_EQ(CaptureErrorBoxes([&] { Answer = GetDialogs().InputBox("Antenna 2 Name", "New name:", "Antenna 2"); }), "");
  EXPECT_EQ(Answer, "Beverage");
  GetDialogs().ErrorBox("after");
  EXPECT_EQ(Script->Errors, std::vector<std::string>{"after"});
}

// What a mouse user sees must not change with the keyboard and screen reader support: with no
// control holding keyboard focus (and with an antenna focused by the mouse, which draws no
// mark), the window is pixel for pixel the reference taken before that support existed.
TEST_F(MainWindowFixture, WithoutKeyboardFocusTheWindowLooksAsBefore) {
  const char* Source = std::getenv("QUILL_SOURCE_DIR");
  ASSERT_TRUE(Source);
  auto W = Make();
  W->ExecuteAction(mcCommLinkOk);
  Status(*W, "\x01\x05\x01\x03"s);
  const auto Grab = [&](const std::string& Name) {
    const QImage Image = W->grab().toImage().convertToFormat(QImage::Format_RGB32);
    Image.save(QString::fromStdString(ScreenshotPath(Name)));
    return Image;
  };
  const QImage Linked = Grab("main-window-unfocused.png");
  // The link lost: the values stay as they were (a reader is told they are the last known).
  W->ExecuteAction(mcCommLinkFail);
  const QImage Lost = Grab("main-window-unfocused-lost.png");
  // A click on an antenna gives it no keyboard focus mark.
  W->show();
  ASSERT_TRUE(WaitFor([&] { return W->isVisible(); }));
  Click(*W->AntBtn5, Qt::LeftButton);
  const QImage Clicked = Grab("main-window-unfocused-clicked.png");
  const auto Reference = [&](const char* Name) {
    return QImage(QString::fromUtf8(Source) + "/tests/app/" + Name).convertToFormat(QImage::Format_RGB32);
  };
  EXPECT_EQ(DiffersWithin(Linked, Reference("main-window-unfocused.png")), QRect());
  EXPECT_EQ(DiffersWithin(Lost, Reference("main-window-unfocused-lost.png")), QRect());
  EXPECT_EQ(DiffersWithin(Clicked, Lost), QRect());
}

// ---------------------------------------------------------------------------------------------
// Screen readers and the keyboard

namespace {

// Every accessibility event the program raises, as the reader's bridge would get it.
struct AccessibleEvents {
  struct Event {
    QObject* Object;
    QAccessible::Event Type;
    bool Checked;  // a state change of the checked state
  };
  AccessibleEvents() {
    QAccessible::setActive(true);
    Current = this;
    QAccessible::installUpdateHandler([](QAccessibleEvent* E) {
      const bool Checked = E->type() == QAccessible::StateChanged &&
                           static_cast<QAccessibleStateChangeEvent*>(E)->changedStates().checked;
      Current->Seen.push_back({E->object(), E->type(), Checked});
    });
  }
  ~AccessibleEvents() {
    QAccessible::installUpdateHandler(nullptr);
    Current = nullptr;
  }
  std::vector<QObject*> CheckedChanges() const {
    std::vector<QObject*> R;
    for (const Event& E : Seen)
      if (E.Checked) R.push_back(E.Object);
    return R;
  }
  std::size_t Count(QObject* O, QAccessible::Event Type) const {
    return std::size_t(std::count_if(Seen.begin(), Seen.end(), [&](const Event& E) { return E.Object == O && E.Type == Type; }));
  }
  std::vector<Event> Seen;
  static inline AccessibleEvents* Current = nullptr;
};

QAccessibleInterface* Accessible(QObject* O) { return QAccessible::queryAccessibleInterface(O); }

// The window shown and active, so keys and shortcuts reach it.
void ShowActive(QWidget& W) {
  W.show();
  QApplication::setActiveWindow(&W);
  ASSERT_TRUE(WaitFor([&] { return W.isActiveWindow(); }));
}

}  // namespace

TEST_F(MainWindowFixture, ScreenReadersSeeRolesNamesStatesAndActions) {
  WriteFile(Ini, "[Antennas]\nName6=&Beverage\nName7=Log && Yagi\n");
  auto W = Make();
  W->ExecuteAction(mcCommLinkOk);
  Status(*W, "\x01\x05\x01\x03"s);
  struct Row {
    QWidget* Control;
    QAccessible::Role Role;
    const char* Name;
    bool Checkable, Checked;
    const char* Description;
    bool Press;
  };
  const QString Press = QAccessibleActionInterface::pressAction();
  const std::vector<Row> Rows = {
      {W.get(), QAccessible::Window, "QUILL-2 Controller V1.0", false, false, "", false},
      {W->AntBtn3, QAccessible::RadioButton, "Antenna 3", true, true, "Alt+3", true},
      {W->AntBtn4, QAccessible::RadioButton, "Antenna 4", true, false, "Alt+4", true},
      {W->AntBtn6, QAccessible::RadioButton, "Beverage", true, false, "Alt+6", true},
      {W->AntBtn7, QAccessible::RadioButton, "Log & Yagi", true, false, "Alt+7", true},
      {W->AutoBtn, QAccessible::CheckBox, "Auto", true, true, "Alt+A", true},
      {W->CommLed, QAccessible::Button, "Link: Connected", false, false, "", true},
      {W->EditBand, QAccessible::EditableText, "Band", false, false, "", false},
  };
  for (const Row& R : Rows) {
    QAccessibleInterface* I = Accessible(R.Control);
    ASSERT_TRUE(I) << R.Name;
    EXPECT_EQ(I->role(), R.Role) << R.Name;
    EXPECT_EQ(I->text(QAccessible::Name), R.Name) << R.Name;
    EXPECT_EQ(bool(I->state().checkable), R.Checkable) << R.Name;
    EXPECT_EQ(bool(I->state().checked), R.Checked) << R.Name;
    EXPECT_EQ(I->text(QAccessible::Description), R.Description) << R.Name;
    if (R.Press) {
      ASSERT_TRUE(I->actionInterface()) << R.Name;
      EXPECT_TRUE(I->actionInterface()->actionNames().contains(Press)) << R.Name;
    }
  }
  // The antennas are one group, the box that holds them, and focusable one after another.
  QAccessibleInterface* Group = Accessible(W->AntBtn1)->parent();
  ASSERT_TRUE(Group);
  EXPECT_EQ(Group->role(), QAccessible::Grouping);
  EXPECT_EQ(Group->text(QAccessible::Name), "Antennas");
  EXPECT_TRUE(Accessible(W->AntBtn8)->state().focusable);
  EXPECT_EQ(Accessible(W->AntBtn3)->text(QAccessible::Accelerator), "Alt+3");
  QAccessibleTextInterface* BandText = Accessible(W->EditBand)->textInterface();
  EXPECT_EQ(BandText->text(0, BandText->characterCount()), "40");

  // While the link is down, band and lit antenna are described as the last known values.
  W->ExecuteAction(mcCommLinkFail);
  EXPECT_EQ(Accessible(W->CommLed)->text(QAccessible::Name), "Link: Disconnected");
  EXPECT_EQ(Accessible(W->EditBand)->text(QAccessible::Description), "last known value, the link is down");
  EXPECT_EQ(Accessible(W->AntBtn3)->text(QAccessible::Description), "Alt+3, last known value, the link is down");
  EXPECT_EQ(Accessible(W->AntBtn4)->text(QAccessible::Description), "Alt+4");
  W->ExecuteAction(mcCommLinkOk);
  EXPECT_EQ(Accessible(W->EditBand)->text(QAccessible::Description), "");
  EXPECT_EQ(Accessible(W->AntBtn3)->text(QAccessible::Description), "Alt+3");
}

TEST_F(MainWindowFixture, PressActionsRunTheClickHandlers) {
  auto W = Make();
  for (QWidget* C : std::initializer_list<QWidget*>{W->AntBtn6, W->AutoBtn, W->CommLed})
    Accessible(C)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(Link.Sent, (std::vector<std::string>{"[C105350106]\r", "[C1055301]\r"}));
  EXPECT_EQ(Link.Calls, (std::vector<std::string>{"ShowWindow"}));
  // A disabled button does nothing.
  W->AntBtn2->setEnabled(false);
  Accessible(W->AntBtn2)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(Link.Sent.size(), 2u);
}

// The toolkit sends events only where a platform bridges them to screen readers: this test runs
// under Xvfb with the accessibility bus (tests/e2e/a11y_session.sh); offscreen it is skipped.
TEST_F(MainWindowFixture, EventsComeOnlyWithARealChangeOfAShownWindow) {
  // The bridge turns on once it has reached the accessibility bus.
  if (QGuiApplication::platformName() == QLatin1String("offscreen") || !WaitFor([] { return QAccessible::isActive(); }))
    GTEST_SKIP() << "no accessibility bridge on this platform";
  auto W = Make();
  W->ExecuteAction(mcCommLinkOk);
  Status(*W, "\x01\x05\x00\x03"s);
  ShowActive(*W);
  AccessibleEvents Events;
  const auto Step = [&](const char* What, std::function<void()> Act) {
    Events.Seen.clear();
    Act();
    return What;
  };

  Step("same packet", [&] { Status(*W, "\x01\x05\x00\x03"s); });
  EXPECT_TRUE(Events.Seen.empty()) << Events.Seen.size() << " events";

  Step("antenna 3 to 5", [&] { Status(*W, "\x01\x05\x00\x05"s); });
  EXPECT_EQ(Events.CheckedChanges(), (std::vector<QObject*>{W->AntBtn3, W->AntBtn5}));
  EXPECT_EQ(Events.Count(W->EditBand, QAccessible::TextUpdated), 0u);

  Step("Auto on", [&] { Status(*W, "\x01\x05\x01\x05"s); });
  EXPECT_EQ(Events.CheckedChanges(), (std::vector<QObject*>{W->AutoBtn}));

  Step("band 40 to 20", [&] { Status(*W, "\x01\x07\x01\x05"s); });
  EXPECT_TRUE(Events.CheckedChanges().empty());
  EXPECT_GT(Events.Count(W->EditBand, QAccessible::TextUpdated) + Events.Count(W->EditBand, QAccessible::TextInserted), 0u);

  Step("antenna 0, twice", [&] {
    Status(*W, "\x01\x07\x01\x00"s);
    Status(*W, "\x01\x07\x01\x00"s);
  });
  EXPECT_EQ(Events.CheckedChanges(), (std::vector<QObject*>{W->AntBtn5}));

  // The link lost and back: an alert each time, nothing for the same state again.
  Step("link lost", [&] {
    W->ExecuteAction(mcCommLinkFail);
    W->ExecuteAction(mcCommLinkFail);
  });
  EXPECT_EQ(Events.Count(W->CommLed, QAccessible::Alert), 1u);
  EXPECT_GE(Events.Count(W->CommLed, QAccessible::NameChanged), 1u);
  // The notice a reader hears wherever the focus is.
  EXPECT_EQ(Events.Count(W->LinkNotice, QAccessible::ObjectShow), 1u);
  EXPECT_EQ(Accessible(W->LinkNotice)->role(), QAccessible::Notification);
  EXPECT_EQ(Accessible(W->LinkNotice)->text(QAccessible::Name), "Link: Disconnected");
  Step("link back", [&] { W->ExecuteAction(mcCommLinkOk); });
  EXPECT_EQ(Events.Count(W->CommLed, QAccessible::Alert), 1u);

  // Hidden: changes are kept, nothing is said.
  W->hide();
  Step("hidden, antenna 2", [&] { Status(*W, "\x01\x07\x01\x02"s); });
  EXPECT_TRUE(Events.CheckedChanges().empty());
  EXPECT_TRUE(Accessible(W->AntBtn2)->state().checked);
}

TEST_F(MainWindowFixture, KeyboardReachesEveryControl) {
  auto W = Make();
  Status(*W, "\x01\x05\x00\x03"s);
  ShowActive(*W);
  // The window opens with the radio choice focused, as before, and no focus mark anywhere.
  EXPECT_EQ(QApplication::focusWidget(), W->RadioNumber);
  const auto Key = [&](int K, Qt::KeyboardModifiers M = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : W.get(), Qt::Key(K), M);
  };
  // Tab lands on the lit antenna (the group's one stop), then Auto, then the link indicator.
  Key(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), W->AntBtn3);
  EXPECT_TRUE(W->AntBtn3->FocusMarkShown());
  // Named by the platform: under Xvfb (xcb) this is the window as a keyboard user sees it.
  W->grab().save(QString::fromStdString(ScreenshotPath("main-window-antenna-focused-" +
                                                       QGuiApplication::platformName().toStdString() + ".png")));
  // The arrows move round the group without selecting; Space and Enter select.
  Key(Qt::Key_Down);
  EXPECT_EQ(QApplication::focusWidget(), W->AntBtn4);
  Key(Qt::Key_Up);
  Key(Qt::Key_Up);
  Key(Qt::Key_Up);
  Key(Qt::Key_Up);
  EXPECT_EQ(QApplication::focusWidget(), W->AntBtn8);
  EXPECT_TRUE(Link.Sent.empty());
  Key(Qt::Key_Space);
  Key(Qt::Key_Right);
  Key(Qt::Key_Return);
  EXPECT_EQ(Link.Sent, (std::vector<std::string>{"[C105350108]\r", "[C105350101]\r"}));
  Key(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), W->AutoBtn);
  Key(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), W->CommLed);
  EXPECT_TRUE(W->CommLed->FocusMarkShown());
  W->grab().save(QString::fromStdString(ScreenshotPath("main-window-link-focused.png")));
  Key(Qt::Key_Enter);
  Key(Qt::Key_Space);
  EXPECT_EQ(Link.Calls, (std::vector<std::string>{"ShowWindow", "ShowWindow"}));
  // Back: Auto, then the antenna group at the member last focused.
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), W->AntBtn1);
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), W->RadioNumber);

  // Alt+5 and Alt+A from anywhere in the window; the painted captions stay as they were.
  Link.Sent.clear();
  Key(Qt::Key_5, Qt::AltModifier);
  Key(Qt::Key_A, Qt::AltModifier);
  EXPECT_EQ(Link.Sent, (std::vector<std::string>{"[C105350105]\r", "[C1055301]\r"}));
  EXPECT_EQ(W->AntBtn5->Caption(), "Antenna 5");
  EXPECT_EQ(W->AntBtn5->toolTip(), "Alt+5");

  // F2 and the Menu key open the rename box of the focused antenna, as a right click does.
  Script->Answers.push_back("Dipole");
  Script->Answers.push_back(std::nullopt);
  W->AntBtn6->setFocus(Qt::TabFocusReason);
  Key(Qt::Key_F2);
  Key(Qt::Key_Menu);
  ASSERT_EQ(Script->Inputs.size(), 2u);
  EXPECT_EQ(Script->Inputs[0].Caption, "Antenna 6 Name");
  EXPECT_EQ(W->AntBtn6->Caption(), "Dipole");
  EXPECT_EQ(Script->Inputs[1].Default, "Dipole");
  EXPECT_EQ(Accessible(W->AntBtn6)->text(QAccessible::Name), "Dipole");
  W->close();
}

// The focus mark: drawn inside the face of the focused antenna only while the focus came from
// the keyboard; a click on the window takes it away again.
TEST_F(MainWindowFixture, FocusMarkOnlyWithKeyboardFocus) {
  auto W = Make();
  ShowActive(*W);
  const QImage Before = W->AntBtn2->grab().toImage();
  W->AntBtn2->setFocus(Qt::MouseFocusReason);
  EXPECT_FALSE(W->AntBtn2->FocusMarkShown());
  EXPECT_EQ(DiffersWithin(W->AntBtn2->grab().toImage(), Before), QRect());
  W->RadioNumber->setFocus(Qt::MouseFocusReason);
  W->AntBtn2->setFocus(Qt::TabFocusReason);
  const QImage Marked = W->AntBtn2->grab().toImage();
  Marked.save(QString::fromStdString(ScreenshotPath("antenna-focus-mark.png")));
  const QRect Mark = DiffersWithin(Marked, Before);
  // Inside the face (135 x 30, depth 3): off the outline and the shadow.
  EXPECT_TRUE(QRect(2, 2, 128, 23).contains(Mark)) << Mark.x() << "," << Mark.y() << " " << Mark.width() << "x" << Mark.height();
  EXPECT_FALSE(Mark.isEmpty());
  W->RadioNumber->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(DiffersWithin(W->AntBtn2->grab().toImage(), Before), QRect());
  W->close();
}
