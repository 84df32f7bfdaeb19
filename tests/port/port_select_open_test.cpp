// The port selection dialog's OK opening the chosen port. Apart from port_select_test.cpp
// because the open sets the line through TCGETS2/TCSETS2, which the user-mode emulator does
// not translate (label needs-native).
#include <QPushButton>

#include "port_select_fixture.h"

namespace {

TEST_F(PortSelectTest, OkOpensTheChosenPort) {
  Use("COM12=" + Pty);
  TQpComPort P;
  WithDialog([](TComSelectForm& F) { F.OkBtn->click(); }, [&] { P.SetOpen(true); });
  EXPECT_EQ(Seen, 1);
  EXPECT_EQ(P.ComNumber(), 12);
  EXPECT_TRUE(P.Open());
  P.SetOpen(false);
}

}  // namespace
