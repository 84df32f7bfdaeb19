// The error box on the real widgets (offscreen): which window it belongs to, where it shows,
// and that a second box raised while the first is open leaves the first in view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

#include "platform/qt_dialogs.h"
#include "test_support.h"

namespace {

struct TSeen {
  QWidget* Parent = nullptr;
  QRect Frame;
  QString Text;
};

// Our error boxes shown now, in no particular order.
std::vector<QMessageBox*> ShownBoxes() {
  std::vector<QMessageBox*> Boxes;
  for (QWidget* W : QApplication::topLevelWidgets())
    if (auto* B = qobject_cast<QMessageBox*>(W); B && B->isVisible()) Boxes.push_back(B);
  return Boxes;
}

class QtDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Main.setWindowTitle("main");
    Main.setGeometry(100, 80, 640, 480);
    Comm.setWindowTitle("comm");
    Comm.setGeometry(420, 300, 500, 400);
    QtDialogs::SetMainWindow(&Main);
  }
  void TearDown() override { QtDialogs::SetMainWindow(nullptr); }

  // Shows the box from Raise and answers it once it is up (Count boxes open), recording them.
  std::vector<TSeen> Run(const std::function<void()>& Raise, size_t Count = 1) {
    std::vector<TSeen> Seen;
    QTimer Answer;
    QObject::connect(&Answer, &QTimer::timeout, [&] {
      const auto Boxes = ShownBoxes();
      if (Boxes.size() < Count || !Seen.empty()) return;
      for (QMessageBox* B : Boxes) Seen.push_back({B->parentWidget(), B->frameGeometry(), B->text()});
      for (auto It = Boxes.rbegin(); It != Boxes.rend(); ++It) (*It)->accept();
    });
    Answer.start(5);
    Raise();
    return Seen;
  }

  QtDialogs Dialogs;
  QWidget Main, Comm;
};

QPoint Centre(const QRect& R) { return R.center(); }

}  // namespace

TEST_F(QtDialogsTest, ABoxBelongsToItsWindowAndIsCentredOnIt) {
  Main.show();
  Comm.show();
  struct Case {
    const char* Name;
    QWidget* Owner;
    bool CommShown;
    QWidget* Parent;
  };
  for (const Case& C : {Case{"owner shown", &Comm, true, &Comm}, Case{"owner hidden: main window", &Comm, false, &Main},
                        Case{"no owner, no active window: main window", nullptr, true, &Main}}) {
    Comm.setVisible(C.CommShown);
    // Nothing of ours active, as when the program runs in the background.
    QApplication::setActiveWindow(nullptr);
    const auto Seen = Run([&] { Dialogs.ErrorBoxFor(C.Owner, "Communications failed"); });
    ASSERT_EQ(Seen.size(), 1u) << C.Name;
    EXPECT_EQ(Seen[0].Parent, C.Parent) << C.Name;
    EXPECT_EQ(Seen[0].Text, "Communications failed") << C.Name;
    // Centred on its window, not at a corner of the screen.
    const QPoint Off = Centre(Seen[0].Frame) - Centre(C.Parent->frameGeometry());
    EXPECT_LE(Off.manhattanLength(), 4) << C.Name << ": " << Off.x() << "," << Off.y();
  }
}

TEST_F(QtDialogsTest, ASecondBoxLeavesTheFirstInView) {
  Main.show();
  QApplication::setActiveWindow(nullptr);
  // The read error's box is up when the link's failure raises the second one from the loop.
  bool SecondRaised = false;
  QTimer Second;
  QObject::connect(&Second, &QTimer::timeout, [&] {
    if (SecondRaised || ShownBoxes().size() != 1) return;
    SecondRaised = true;
    Dialogs.ErrorBox("Communications failed");
  });
  Second.start(5);
  const auto Seen = Run([&] { Dialogs.ErrorBox("Device read error"); }, 2);
  Second.stop();
  ASSERT_EQ(Seen.size(), 2u);
  // The toolkit lists its windows in no particular order: the boxes are told by their texts.
  const bool ReadFirst = Seen[0].Text == "Device read error";
  const TSeen& First = Seen[ReadFirst ? 0 : 1];
  const TSeen& Later = Seen[ReadFirst ? 1 : 0];
  EXPECT_EQ(First.Text, "Device read error");
  EXPECT_EQ(Later.Text, "Communications failed");
  // Both belong to the main window; the second sits down and to the right of the first.
  EXPECT_EQ(First.Parent, &Main);
  EXPECT_EQ(Later.Parent, &Main);
  EXPECT_EQ(Later.Frame.topLeft() - First.Frame.topLeft(), QPoint(QtDialogs::StackOffset, QtDialogs::StackOffset));
  EXPECT_TRUE(ShownBoxes().empty());
}
