// What start-up says about the display before the toolkit is reached.
#include <gtest/gtest.h>

#include <string>

#include "app/program.h"

// A Wayland session without the toolkit's Wayland plugin has a display; what is missing is a
// package, and saying "no display found" would send the user looking for the wrong thing.
TEST(StartUp, AWaylandDisplayWithoutTheToolkitsPluginNamesThePackage) {
  const struct {
    const char* What;
    std::string Wayland;
    bool XAnswers, WaylandAnswers, Plugin;
    bool Advises;
  } Cases[] = {
      {"Wayland only, no plugin", "wayland-1", false, true, false, true},
      {"the default socket, no plugin", "", false, true, false, true},
      {"XWayland answers: the toolkit falls back to X", "wayland-1", true, true, false, false},
      {"the plugin is there", "wayland-1", false, true, true, false},
      {"no Wayland display either: no display found", "wayland-1", false, false, false, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const std::string Text = WaylandPluginAdvice(C.Wayland, C.XAnswers, C.WaylandAnswers, C.Plugin);
    EXPECT_EQ(!Text.empty(), C.Advises);
    if (!C.Advises) continue;
    EXPECT_NE(Text.find("install qt6-wayland"), std::string::npos) << Text;
    EXPECT_NE(Text.find("under X"), std::string::npos) << Text;
    EXPECT_NE(Text.find("WAYLAND_DISPLAY=" + (C.Wayland.empty() ? std::string("wayland-0") : C.Wayland)), std::string::npos) << Text;
    EXPECT_EQ(Text.find("no display"), std::string::npos) << Text;
  }
}
