// The language the program speaks, and translated texts in the windows' fixed layouts.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

#include <string>
#include <vector>

#include "app/program.h"
#include "app/program_remote.h"
#include "app/quill_main_u.h"
#include "controls/indicator_panel.h"
#include "controls/shadow_buttons.h"
#include "link/comm_control_u.h"
#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "platform/qt_dialogs.h"
#include "platform/translations.h"
#include "port/port_select.h"
#include "terminal/terminal_control.h"
#include "test_support.h"

namespace {

// The languages the build translates into ("de,es,ja").
std::vector<std::string> BuiltLanguages() {
  std::vector<std::string> Names;
  for (const QString& N : QString::fromLatin1(QUILL_LANGUAGE_LIST).split(',', Qt::SkipEmptyParts)) Names.push_back(N.toStdString());
  return Names;
}

// Back to English whatever a test installed.
struct EnglishAfterwards {
  ~EnglishAfterwards() { InstallTranslations({}); }
};

}  // namespace

TEST(Language, ChosenBySettingThenLanguageListThenLocale) {
  const struct {
    const char* What;
    std::string Setting;
    TLocaleEnvironment Env;
    QStringList Wanted;
  } Cases[] = {
      {"nothing set", "", {}, {}},
      {"LANG alone", "", {"", "", "", "de_DE.UTF-8"}, {"de_DE"}},
      {"LC_MESSAGES over LANG", "", {"", "", "es_ES.UTF-8", "de_DE.UTF-8"}, {"es_ES"}},
      {"LC_ALL over both", "", {"", "ja_JP.UTF-8", "es_ES.UTF-8", "de_DE.UTF-8"}, {"ja_JP"}},
      {"LANGUAGE's list first", "", {"ja:es", "", "", "de_DE.UTF-8"}, {"ja", "es", "de_DE"}},
      {"the C locale ignores LANGUAGE", "", {"de", "C", "", "de_DE.UTF-8"}, {}},
      {"C.UTF-8 is the C locale too", "", {"de", "", "", "C.UTF-8"}, {}},
      {"English in the list ends it", "", {"en_GB:de", "", "", "de_DE.UTF-8"}, {}},
      {"a modifier is dropped", "", {"", "", "", "de_DE.UTF-8@euro"}, {"de_DE"}},
      {"the setting decides alone", "es", {"ja", "", "", "de_DE.UTF-8"}, {"es"}},
      {"the setting keeps English", "en", {"", "", "", "de_DE.UTF-8"}, {}},
      {"a setting with blanks", " ja ", {}, {"ja"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    EXPECT_EQ(WantedLanguages(C.Setting, C.Env), C.Wanted);
  }
}

TEST(Language, TheFirstTranslatedLanguageIsInstalledElseEnglishSilently) {
  EnglishAfterwards Restore;
  EXPECT_EQ(TranslatedLanguages(), QString::fromLatin1(QUILL_LANGUAGE_LIST).split(','));
  const struct {
    QStringList Wanted;
    QString Installed;
  } Cases[] = {
      {{"de_AT"}, "de"}, {{"xx", "es_MX"}, "es"}, {{"ja_JP"}, "ja"}, {{"fr_FR"}, ""}, {{"xx"}, ""}, {{}, ""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Wanted.join(':').toStdString());
    EXPECT_EQ(InstallTranslations(C.Wanted), C.Installed);
    const QString Title = QCoreApplication::translate("TQuillMain", "QUILL-2 Controller V1.0");
    const QString Status = QCoreApplication::translate("TQuillMain", "Antennas");
    if (C.Installed.isEmpty()) {
      EXPECT_EQ(Status, "Antennas");
    } else {
      EXPECT_NE(Status, "Antennas");
      // The toolkit's own buttons come along.
      EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
    }
    EXPECT_TRUE(Title.contains("QUILL-2"));
  }
}

// Paths and names go into texts byte for byte, once each, whatever bytes they hold.
TEST(Language, FilledReplacesPlaceholdersOncePerPassByteForByte) {
  const struct {
    std::string Text;
    std::vector<std::string> Args;
    std::string Filled;
  } Cases[] = {
      {"%1 is not there", {"/dev/tty\xff"}, "/dev/tty\xff is not there"},
      {"group %1: usermod -aG %1", {"dialout"}, "group dialout: usermod -aG dialout"},
      {"%2 before %1", {"a", "b"}, "b before a"},
      {"%1 holds %2", {"%2", "x"}, "%2 holds x"},
      {"%3 and 100%", {"a"}, "%3 and 100%"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Text);
    std::string Got;
    if (C.Args.size() == 1) Got = Filled(C.Text, {C.Args[0]});
    else Got = Filled(C.Text, {C.Args[0], C.Args[1]});
    EXPECT_EQ(Got, C.Filled);
  }
}

// Antenna names nobody chose follow the language; the settings file keeps them in English, and
// a name the user gave is kept as it is.
TEST(Language, DefaultAntennaNamesAreStoredInEnglish) {
  EnglishAfterwards Restore;
  TempDir Dir;
  ScopedScriptedDialogs Script;
  const std::string Ini = Dir.File("q.ini");
  WriteFile(Ini, "[Antennas]\nName2=Beam\n");
  ASSERT_EQ(InstallTranslations({"de"}), "de");
  {
    TQuillMain W(Ini);
    EXPECT_NE(W.AntBtn1->Caption(), "Antenna 1");
    EXPECT_EQ(W.AntBtn2->Caption(), "Beam");
    W.SaveConfiguration();
  }
  EXPECT_EQ(TIniFile(Ini).ReadString("Antennas", "Name1", ""), "Antenna 1");
  EXPECT_EQ(TIniFile(Ini).ReadString("Antennas", "Name2", ""), "Beam");
  InstallTranslations({});
  TQuillMain W(Ini);
  EXPECT_EQ(W.AntBtn1->Caption(), "Antenna 1");
}

// What other programs read of a controller in another language stays English.
TEST(Language, RemoteStateStaysEnglish) {
  EnglishAfterwards Restore;
  TempDir Dir;
  ScopedScriptedDialogs Script;
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=9\n[Antennas]\nName2=Beam\n");
  ASSERT_EQ(InstallTranslations({"ja"}), "ja");
  TProgram Program(Dir.File("q.ini"));
  const TRemoteState State = TProgramRemote(Program).State();
  EXPECT_EQ(State.LinkState, "Disconnected");
  EXPECT_EQ(State.Mode, "LAN");
  EXPECT_EQ(State.AntennaNames[0], "Antenna 1");
  EXPECT_EQ(State.AntennaNames[1], "Beam");
  EXPECT_NE(Program.QuillMain->AntBtn1->Caption(), "Antenna 1");
}

namespace {

QString Plain(QString Text) {
  // An accelerator's "&" takes no room; "&&" shows one "&".
  Text.replace(QLatin1String("&&"), QLatin1String("\x01"));
  Text.remove(QLatin1Char('&'));
  return Text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

// Each text of Root's shown controls that does not fit the room its control gives it, or that
// runs into a control beside it: "what: text (needs N, has M)".
std::vector<std::string> Misfits(QWidget* Root) {
  std::vector<std::string> Out;
  const auto Check = [&](QWidget* W, const QString& Text, int Need, int Room) {
    if (Need > Room)
      Out.push_back(W->metaObject()->className() + std::string(": ") + Text.toStdString() + " (needs " +
                    std::to_string(Need) + ", has " + std::to_string(Room) + ")");
  };
  for (QWidget* W : Root->findChildren<QWidget*>()) {
    if (!W->isVisibleTo(Root) || W->isWindow()) continue;
    const QFontMetrics M(W->font());
    const auto Width = [&](const QString& T) { return M.horizontalAdvance(Plain(T)); };
    if (auto* S = qobject_cast<TQcShadowButton*>(W)) {
      const QString T = QString::fromStdString(S->Caption());
      // The face less the shadow's depth and the pen on both sides, twice.
      Check(W, T, Width(T), S->width() - S->Depth() - 4 * S->Pen().Width());
    } else if (auto* G = qobject_cast<QGroupBox*>(W)) {
      Check(W, G->title(), Width(G->title()) + 16, G->width());
    } else if (auto* L = qobject_cast<QLabel*>(W)) {
      if (L->text().isEmpty() || L->wordWrap()) continue;
      Check(W, L->text(), Width(L->text()), L->contentsRect().width());
      // A label sized to its text must not reach into its neighbours or out of its parent.
      const QRect Used(L->pos(), QSize(Width(L->text()), L->height()));
      Check(W, L->text(), Used.right() + 1, L->parentWidget()->width());
      for (QObject* O : L->parentWidget()->children()) {
        auto* N = qobject_cast<QWidget*>(O);
        if (!N || N == L || !N->isVisibleTo(Root) || !(qobject_cast<QAbstractButton*>(N) || qobject_cast<QLabel*>(N) ||
                                                        qobject_cast<QComboBox*>(N) || qobject_cast<QLineEdit*>(N)))
          continue;
        if (N->geometry().intersects(Used))
          Out.push_back("QLabel: " + L->text().toStdString() + " runs into " + N->metaObject()->className());
      }
    } else if (qobject_cast<QRadioButton*>(W) || qobject_cast<QCheckBox*>(W)) {
      auto* B = static_cast<QAbstractButton*>(W);
      Check(W, B->text(), B->sizeHint().width(), B->width());
    } else if (auto* P = qobject_cast<QPushButton*>(W)) {
      const int Icon = P->icon().isNull() ? 0 : P->iconSize().width() + 4;
      Check(W, P->text(), Width(P->text()) + Icon + P->style()->pixelMetric(QStyle::PM_ButtonMargin), P->width());
    } else if (auto* C = qobject_cast<QComboBox*>(W)) {
      const int Arrow = C->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
      for (int I = 0; I < C->count(); ++I) Check(W, C->itemText(I), Width(C->itemText(I)) + Arrow + 8, C->width());
    }
  }
  return Out;
}

std::string Joined(const std::vector<std::string>& Lines) {
  std::string All;
  for (const auto& L : Lines) All += "\n  " + L;
  return All;
}

// The box the next turn of the loop brings up, grabbed and closed.
void GrabNextBox(const std::string& Name, std::vector<std::string>& Problems) {
  QTimer::singleShot(0, [Name, &Problems] {
    QWidget* Box = QApplication::activeModalWidget();
    if (!Box) {
      Problems.push_back(Name + ": no box came up");
      return;
    }
    for (auto* B : Box->findChildren<QPushButton*>())
      if (B->sizeHint().width() > B->width()) Problems.push_back(Name + ": button " + B->text().toStdString() + " clipped");
    Box->grab().save(QString::fromStdString(ScreenshotPath(Name + ".png")));
    Box->close();
  });
}

class TranslatedLayout : public ::testing::TestWithParam<std::string> {};

}  // namespace

// Both windows and each box, in each language: every label, button and group title fits its
// control. The grabs are saved under the build tree to be looked at.
TEST_P(TranslatedLayout, EveryTextFitsItsControl) {
  EnglishAfterwards Restore;
  const QString Language = QString::fromStdString(GetParam());
  ASSERT_EQ(InstallTranslations({Language}), Language == "en" ? QString() : Language);
  const std::string Prefix = "translated-" + Language.toStdString() + "-";
  TempDir Dir;
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=9\n");
  std::vector<std::string> Problems;
  {
    ScopedScriptedDialogs Script;
    TProgram Program(Dir.File("q.ini"));
    TQuillMain& Main = *Program.QuillMain;
    TCommControl& Comm = *Program.CommControl;
    Main.show();
    Comm.show();
    // The texts the link's states bring, each in place.
    for (const auto& [Colour, State] : {std::pair{clLime, "Connected"}, std::pair{clRed, "Disconnected"}})
      Main.CommLed->ShowState(Colour, QCoreApplication::translate("TQuillMain", State));
    for (const char* State : {"Connecting", "Connected", "Updating", "Disconnected"}) {
      Comm.LinkLed->ShowState(clYellow, QCoreApplication::translate("TCommControl", State));
      for (const auto& M : Misfits(&Comm)) Problems.push_back(M);
    }
    for (const char* Label : {"Disabled", "COM disabled"}) {
      Comm.ComLabel->setText(QCoreApplication::translate("TCommControl", Label));
      for (const auto& M : Misfits(&Comm)) Problems.push_back(M);
    }
    Comm.ComLabel->setText(QCoreApplication::translate("TCommControl", "Using COM%1").arg(255));
    // The log shows the program's own words as they are, whatever their script.
    const QString Tries = QCoreApplication::translate("TCommControl", "Tries: %1").arg(1);
    Comm.Log(Tries);
    EXPECT_TRUE(Comm.Memo1->toPlainText().contains(Tries)) << Comm.Memo1->toPlainText().toStdString();
    for (const auto& M : Misfits(&Main)) Problems.push_back("main window: " + M);
    for (const auto& M : Misfits(&Comm)) Problems.push_back("Communications: " + M);
    Main.grab().save(QString::fromStdString(ScreenshotPath(Prefix + "main.png")));
    Comm.grab().save(QString::fromStdString(ScreenshotPath(Prefix + "communications.png")));
    Main.close();
  }
  {
    TComSelectForm Select;
    Select.show();
    for (const auto& M : Misfits(&Select)) Problems.push_back("Select Port: " + M);
    Select.grab().save(QString::fromStdString(ScreenshotPath(Prefix + "select-port.png")));
  }
  QtDialogs Dialogs;
  GrabNextBox(Prefix + "error-box", Problems);
  Dialogs.ErrorBox(QCoreApplication::translate("TCommControl", "Communications failed").toStdString());
  GrabNextBox(Prefix + "rename-box", Problems);
  Dialogs.InputBox(QCoreApplication::translate("TQuillMain", "Antenna %1 Name").arg(3).toStdString(),
                   QCoreApplication::translate("TQuillMain", "New name:").toStdString(), "Beam");
  EXPECT_TRUE(Problems.empty()) << Joined(Problems);
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslatedLayout,
                         ::testing::ValuesIn([] {
                           std::vector<std::string> All{"en"};
                           for (const auto& N : BuiltLanguages()) All.push_back(N);
                           return All;
                         }()),
                         [](const auto& Info) { return Info.param; });
