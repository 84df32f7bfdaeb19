#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <vector>

#include "controls/indicator_panel.h"
#include "controls/shadow_accessible.h"
#include "controls/shadow_buttons.h"
#include "controls/shadow_utils.h"
#include "test_support.h"

namespace {

constexpr TColor Background = 0x00FFFF;  // yellow
constexpr TColor Face = 0x0000FF;        // red
constexpr TColor Outline = 0x000000;     // black
constexpr TColor ShadowFill = 0xFF0000;  // blue
constexpr TColor ShadowLine = 0x008000;  // dark green

// A button like those of the main window (135 x 30, pen 1, depth 3), in colours that tell the
// parts apart.
struct ButtonFixture : ::testing::Test {
  ButtonFixture() {
    Button.resize(135, 30);
    Button.SetDepth(3);
    Button.SetColor(Background);
    Button.Brush().SetColor(Face);
    Button.Pen().SetColor(Outline);
    Button.SetShadowColor(ShadowFill);
    Button.SetShadowOutline(ShadowLine);
    Button.SetCaption("Antenna 1");
    Button.OnClick = [this](QObject*) { ++Clicks; };
  }
  TColor At(const QImage& Image, int X, int Y) { return QColorToColor(Image.pixelColor(X, Y)); }
  QImage Grab() { return Button.grab().toImage(); }

  TQcShadowButton Button;
  int Clicks = 0;
};

void SendMouse(QWidget& W, QEvent::Type Type, Qt::MouseButton B, QPoint P) {
  const Qt::MouseButtons Held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(B);
  QMouseEvent E(Type, QPointF(P), W.mapToGlobal(QPointF(P)), Type == QEvent::MouseMove ? Qt::NoButton : B,
                Held, Qt::NoModifier);
  QApplication::sendEvent(&W, &E);
}

struct PixelCase {
  int X, Y;
  TColor Expected;
};

}  // namespace

TEST_F(ButtonFixture, DrawsFaceShadowAndMarginWhereTheGeometrySays) {
  // Face (1,1)-(131,26), shadow (4,4)-(134,29), right and bottom exclusive.
  const QImage Up = Grab();
  Up.save(QString::fromStdString(ScreenshotPath("shadow-button-up.png")));
  const std::vector<PixelCase> UpCases = {
      {66, 0, Background}, {66, 1, Outline},    {66, 2, Face},       {66, 25, Outline},
      {66, 26, ShadowFill}, {66, 27, ShadowFill}, {66, 28, ShadowLine}, {66, 29, Background},
      {0, 13, Background}, {1, 13, Outline},    {2, 13, Face},       {130, 13, Outline},
      {131, 13, ShadowFill}, {133, 13, ShadowLine}, {134, 13, Background}, {2, 28, Background},
  };
  for (const auto& C : UpCases)
    EXPECT_EQ(At(Up, C.X, C.Y), C.Expected) << "up at " << C.X << "," << C.Y;
  EXPECT_EQ(Button.CurrentRect, QRect(QPoint(2, 2), QPoint(129, 24)));

  // Pressed: shadow (2,2)-(132,27), face (3,3)-(133,28).
  Button.Down = true;
  const QImage Pressed = Grab();
  Pressed.save(QString::fromStdString(ScreenshotPath("shadow-button-down.png")));
  const std::vector<PixelCase> DownCases = {
      {66, 1, Background}, {66, 2, ShadowLine}, {66, 3, Outline}, {66, 4, Face},
      {66, 27, Outline},   {66, 28, Background}, {1, 13, Background}, {2, 13, ShadowLine},
      {3, 13, Outline},    {132, 13, Outline},  {133, 13, Background},
  };
  for (const auto& C : DownCases)
    EXPECT_EQ(At(Pressed, C.X, C.Y), C.Expected) << "down at " << C.X << "," << C.Y;
  EXPECT_EQ(Button.CurrentRect, QRect(QPoint(4, 4), QPoint(131, 26)));
}

TEST_F(ButtonFixture, ShadowLiesOnTheSideOfTheDirection) {
  Button.SetDirection(sdTopLeft);
  const QImage Image = Grab();
  // Face (4,4)-(134,29), shadow (1,1)-(131,26).
  EXPECT_EQ(At(Image, 66, 0), Background);
  EXPECT_EQ(At(Image, 66, 1), ShadowLine);
  EXPECT_EQ(At(Image, 66, 4), Outline);
  EXPECT_EQ(At(Image, 66, 28), Outline);
  EXPECT_EQ(At(Image, 66, 29), Background);
  EXPECT_EQ(At(Image, 133, 13), Outline);
}

TEST_F(ButtonFixture, DepthTakesOnlyValuesAboveTwo) {
  for (int V : {2, 1, 0, -4}) {
    Button.SetDepth(V);
    EXPECT_EQ(Button.Depth(), 3) << V;
  }
  Button.SetDepth(5);
  EXPECT_EQ(Button.Depth(), 5);
}

TEST_F(ButtonFixture, OneClickPerPressCompletedOnTheFace) {
  Grab();
  const QPoint Face(60, 12), Off(133, 28), Outside(300, 12);
  struct Step {
    QEvent::Type Type;
    QPoint At;
  };
  struct Case {
    const char* Name;
    std::vector<Step> Steps;
    int Clicks;
  };
  const std::vector<Case> Cases = {
      {"press and release on the face", {{QEvent::MouseButtonPress, Face}, {QEvent::MouseButtonRelease, Face}}, 1},
      {"press on the shadow", {{QEvent::MouseButtonPress, Off}, {QEvent::MouseButtonRelease, Face}}, 0},
      {"drag out and back in",
       {{QEvent::MouseButtonPress, Face}, {QEvent::MouseMove, Outside}, {QEvent::MouseMove, Face},
        {QEvent::MouseButtonRelease, Face}},
       1},
      {"drag out and release outside",
       {{QEvent::MouseButtonPress, Face}, {QEvent::MouseMove, Outside}, {QEvent::MouseButtonRelease, Outside}},
       0},
      {"double click is two presses",
       {{QEvent::MouseButtonPress, Face}, {QEvent::MouseButtonRelease, Face},
        {QEvent::MouseButtonDblClick, Face}, {QEvent::MouseButtonRelease, Face}},
       2},
  };
  for (const auto& C : Cases) {
    Clicks = 0;
    for (const auto& S : C.Steps) SendMouse(Button, S.Type, Qt::LeftButton, S.At);
    EXPECT_EQ(Clicks, C.Clicks) << C.Name;
    EXPECT_FALSE(Button.Down) << C.Name;
    EXPECT_FALSE(Button.Pressed) << C.Name;
  }
}

TEST_F(ButtonFixture, PressedStateFollowsThePointer) {
  Grab();
  SendMouse(Button, QEvent::MouseButtonPress, Qt::LeftButton, {60, 12});
  EXPECT_TRUE(Button.Pressed);
  EXPECT_TRUE(Button.Down);
  SendMouse(Button, QEvent::MouseMove, Qt::LeftButton, {60, 40});
  EXPECT_TRUE(Button.Pressed);
  EXPECT_FALSE(Button.Down);
  // The face has sprung back: the unpressed face is drawn.
  EXPECT_EQ(At(Grab(), 66, 1), Outline);
  SendMouse(Button, QEvent::MouseMove, Qt::LeftButton, {60, 12});
  EXPECT_TRUE(Button.Down);
  SendMouse(Button, QEvent::MouseButtonRelease, Qt::LeftButton, {60, 12});
  EXPECT_EQ(Clicks, 1);
}

TEST_F(ButtonFixture, RightAndMiddleButtonsOnlyReportThemselves) {
  Grab();
  std::vector<std::pair<TMouseButton, QPoint>> Downs, Ups;
  QObject* Sender = nullptr;
  Button.OnMouseDown = [&](QObject* S, TMouseButton B, TShiftState, int X, int Y) {
    Sender = S;
    Downs.push_back({B, {X, Y}});
  };
  Button.OnMouseUp = [&](QObject*, TMouseButton B, TShiftState, int X, int Y) { Ups.push_back({B, {X, Y}}); };
  for (Qt::MouseButton B : {Qt::RightButton, Qt::MiddleButton}) {
    SendMouse(Button, QEvent::MouseButtonPress, B, {60, 12});
    EXPECT_FALSE(Button.Down);
    SendMouse(Button, QEvent::MouseButtonRelease, B, {60, 12});
  }
  SendMouse(Button, QEvent::MouseButtonPress, Qt::LeftButton, {61, 13});
  SendMouse(Button, QEvent::MouseButtonRelease, Qt::LeftButton, {61, 13});
  ASSERT_EQ(Downs.size(), 3u);
  EXPECT_EQ(Downs[0].first, mbRight);
  EXPECT_EQ(Downs[1].first, mbMiddle);
  EXPECT_EQ(Downs[2].first, mbLeft);
  EXPECT_EQ(Downs[2].second, QPoint(61, 13));
  EXPECT_EQ(Ups.size(), 3u);
  EXPECT_EQ(Sender, &Button);
  EXPECT_EQ(Clicks, 1);
}

TEST_F(ButtonFixture, CaptionColourFollowsEnabledState) {
  QFont F("DejaVu Sans");
  F.setPixelSize(20);
  F.setBold(true);
  F.setStyleStrategy(QFont::NoAntialias);
  Button.setFont(F);
  Button.SetCaption("HHHH");
  Button.SetFontColor(0x00FF00);
  Button.SetDisabledTextColor(0xFF00FF);
  auto Count = [&](const QImage& I, TColor C) {
    int N = 0;
    for (int Y = Button.CurrentRect.top(); Y <= Button.CurrentRect.bottom(); ++Y)
      for (int X = Button.CurrentRect.left(); X <= Button.CurrentRect.right(); ++X) N += At(I, X, Y) == C;
    return N;
  };
  const QImage Enabled = Grab();
  EXPECT_GT(Count(Enabled, 0x00FF00), 20);
  EXPECT_EQ(Count(Enabled, 0xFF00FF), 0);
  Button.setEnabled(false);
  const QImage Disabled = Grab();
  Disabled.save(QString::fromStdString(ScreenshotPath("shadow-button-disabled.png")));
  EXPECT_GT(Count(Disabled, 0xFF00FF), 20);
  EXPECT_EQ(Count(Disabled, 0x00FF00), 0);
}

TEST(ShadowButton, TransparentShowsTheParentOpaqueShowsColor) {
  QWidget Parent;
  Parent.resize(200, 60);
  Parent.setAutoFillBackground(true);
  QPalette P = Parent.palette();
  P.setColor(QPalette::Window, QColor(255, 0, 255));
  Parent.setPalette(P);
  TQcShadowButton Button(&Parent);
  Button.setGeometry(20, 10, 135, 30);
  Button.SetDepth(3);
  Button.SetColor(0x00FFFF);
  Parent.show();
  auto Corner = [&] { return QColorToColor(Parent.grab().toImage().pixelColor(20, 10)); };
  EXPECT_EQ(Corner(), 0x00FFFFu);
  Button.SetTransparent(true);
  const QImage Image = Parent.grab().toImage();
  Image.save(QString::fromStdString(ScreenshotPath("shadow-button-transparent.png")));
  EXPECT_EQ(QColorToColor(Image.pixelColor(20, 10)), 0xFF00FFu);
  // The face still covers its own area.
  EXPECT_EQ(QColorToColor(Image.pixelColor(20 + 66, 10 + 1)), QColorToColor(Qt::green));
  Button.SetTransparent(false);
  EXPECT_EQ(Corner(), 0x00FFFFu);
}

TEST(ShadowButton, DefaultsAndBrushColourFillsAClearFace) {
  QWidget Parent;
  TQcShadowButton Button(&Parent);
  EXPECT_EQ(Button.size(), QSize(110, 30));
  EXPECT_EQ(Button.Brush().Color(), 0x000000u);
  EXPECT_EQ(Button.Pen().Color(), 0x00FF00u);
  EXPECT_EQ(Button.Pen().Width(), 1);
  EXPECT_EQ(Button.FontColor(), 0xFFFFFFu);
  EXPECT_EQ(Button.Depth(), 4);
  EXPECT_EQ(Button.DepthAdjust(), 2);
  EXPECT_EQ(Button.Style(), ssRoundRect);
  EXPECT_EQ(Button.Direction(), sdBottomRight);
  EXPECT_EQ(Button.TextAlign(), vtaCenter);
  EXPECT_FALSE(Button.Transparent());
  EXPECT_TRUE(Button.ParentColor());

  Button.Brush().SetStyle(bsClear);
  Button.SetColor(0xFFFFFF);
  EXPECT_EQ(QColorToColor(Button.grab().toImage().pixelColor(3, 3)), 0xFFFFFFu);
  Button.Brush().SetColor(0xC0C0C0);
  EXPECT_EQ(Button.Brush().Style(), bsSolid);
  EXPECT_EQ(QColorToColor(Button.grab().toImage().pixelColor(3, 3)), 0xC0C0C0u);
}

TEST(ShadowButton, AcceleratorClicksWhileEnabled) {
  QWidget Window;
  Window.resize(200, 60);
  TQcShadowButton Button(&Window);
  Button.SetCaption("&Auto");
  int Clicks = 0;
  Button.OnClick = [&](QObject*) { ++Clicks; };
  Window.show();
  Window.activateWindow();
  ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &Window; }));
  QTest::keyClick(&Window, Qt::Key_A, Qt::AltModifier);
  EXPECT_EQ(Clicks, 1);
  Button.setEnabled(false);
  QTest::keyClick(&Window, Qt::Key_A, Qt::AltModifier);
  EXPECT_EQ(Clicks, 1);
}

TEST(ShadowUtils, DrawShapeCentresSquaresAndCoversExactlyWByH) {
  struct Case {
    TQcShapeType Shape;
    QRect Expected;  // painted bounding box
  };
  for (const Case& C : {Case{stSquare, QRect(52, 0, 30, 30)}, Case{stRectangle, QRect(0, 0, 135, 30)},
                        Case{stCircle, QRect(52, 0, 30, 30)}, Case{stRoundRect, QRect(0, 0, 135, 30)}}) {
    QImage Image(140, 34, QImage::Format_ARGB32);
    Image.fill(Qt::white);
    {
      QPainter Canvas(&Image);
      Canvas.setPen(QPen(Qt::black, 1));
      Canvas.setBrush(Qt::red);
      DrawShape(Canvas, C.Shape, 0, 0, 135, 30);
    }
    int L = 1000, T = 1000, R = -1, B = -1;
    for (int Y = 0; Y < Image.height(); ++Y)
      for (int X = 0; X < Image.width(); ++X)
        if (Image.pixelColor(X, Y) != QColor(Qt::white)) {
          L = std::min(L, X), T = std::min(T, Y), R = std::max(R, X), B = std::max(B, Y);
        }
    EXPECT_EQ(QRect(QPoint(L, T), QPoint(R, B)), C.Expected) << int(C.Shape);
  }
}

TEST(ShadowAccessible, CaptionsAreReadWithoutTheirMnemonicMarks) {
  const std::vector<std::pair<std::string, QString>> Cases = {
      {"Antenna 3", "Antenna 3"}, {"&Auto", "Auto"},   {"Log && Yagi", "Log & Yagi"},
      {"A&&&B", "A&B"},           {"trailing&", "trailing"}, {"", ""},
  };
  for (const auto& [Caption, Read] : Cases) EXPECT_EQ(CaptionForReader(Caption), Read) << Caption;
}

// A label that may take the focus lays its text out differently; the indicator must not.
TEST(IndicatorPanel, LooksTheSameWhetherItMayTakeTheFocus) {
  const auto Grab = [](Qt::FocusPolicy Policy) {
    TIndicatorPanel P;
    P.setFocusPolicy(Policy);
    P.resize(89, 20);
    P.ShowState(0x00FF00, QStringLiteral("Connected"));
    return P.grab().toImage();
  };
  EXPECT_TRUE(Grab(Qt::TabFocus) == Grab(Qt::NoFocus));
}

// Radio buttons of one parent: one tab stop (the checked one once there is one), arrows round
// the group without clicking, Space and Enter click.
TEST(ShadowButton, RadioButtonsShareOneTabStopAndMoveWithTheArrows) {
  QWidget Parent;
  std::vector<TQcShadowButton*> B;
  std::vector<int> Clicks;
  for (int N = 0; N < 3; ++N) {
    B.push_back(new TQcShadowButton(&Parent));
    B.back()->SetKind(bkRadio);
    B.back()->OnClick = [&Clicks, N](QObject*) { Clicks.push_back(N); };
  }
  const auto Stops = [&] {
    std::vector<bool> R;
    for (TQcShadowButton* X : B) R.push_back(X->focusPolicy() == Qt::TabFocus);
    return R;
  };
  EXPECT_EQ(Stops(), (std::vector<bool>{true, false, false}));
  B[2]->SetChecked(true);
  EXPECT_EQ(Stops(), (std::vector<bool>{false, false, true}));
  Parent.show();
  QApplication::setActiveWindow(&Parent);
  ASSERT_TRUE(WaitFor([&] { return Parent.isActiveWindow(); }));
  B[2]->setFocus(Qt::TabFocusReason);
  QTest::keyClick(B[2], Qt::Key_Down);
  EXPECT_TRUE(B[0]->hasFocus());
  EXPECT_EQ(Stops(), (std::vector<bool>{true, false, false}));
  QTest::keyClick(B[0], Qt::Key_Left);
  EXPECT_TRUE(B[2]->hasFocus());
  EXPECT_TRUE(Clicks.empty());
  QTest::keyClick(B[2], Qt::Key_Space);
  QTest::keyClick(B[2], Qt::Key_Return);
  EXPECT_EQ(Clicks, (std::vector<int>{2, 2}));
  // A disabled member is passed over.
  B[0]->setEnabled(false);
  QTest::keyClick(B[2], Qt::Key_Right);
  EXPECT_TRUE(B[1]->hasFocus());
}
