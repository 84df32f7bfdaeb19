#pragma once
// The port selection dialog's test fixture: a fake system (sysfs and /dev in a temporary
// folder) with a mapped pseudo-terminal, the serial layer registered over it, and a way to act
// on the modal dialog while an open waits in it. GUI thread only.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QStringList>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "devices/serial_layer.h"
#include "port/com_port.h"
#include "port/port_select.h"
#include "pseudo_terminal.h"
#include "test_support.h"

class PortSelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(Dir.File("sys/class/tty"));
    std::filesystem::create_directories(Dir.File("dev"));
    ASSERT_FALSE(Far.Path.empty());
    Pty = Far.Path;
    Use("");
    InstallPortSelectDialog();
  }
  void TearDown() override {
    TQpCustomComPort::SetDefaultPortSelector(nullptr);
    TQpCustomComPort::RegisterDeviceLayer(dlWin32, nullptr);
    SetPortSelectMapSources(std::nullopt);
  }
  // A kernel serial tty with hardware behind it and its node.
  void AddTty(const std::string& Name) {
    std::filesystem::create_directories(Dir.File("sys/class/tty/" + Name + "/device"));
    WriteFile(Dir.File("dev/" + Name), "");
  }
  // Serial dispatchers see this fake system with Env as the explicit map.
  void Use(const std::string& Env) {
    TSerialMapSources S;
    S.SysRoot = Dir.File("sys");
    S.DevRoot = Dir.File("dev");
    S.EnvironmentMap = Env;
    Use(S);
  }
  // Serial dispatchers and the dialog's descriptions see these sources.
  void Use(const TSerialMapSources& S) {
    SetPortSelectMapSources(S);
    TQpCustomComPort::RegisterDeviceLayer(dlWin32, [S](TQpCustomComPort* Owner) {
      TSerialLayerOptions O;
      O.MapSources = S;
      return std::make_shared<TQpWin32Dispatcher>(Owner, O);
    });
  }
  // Runs Act on the dialog once it is up (modal), while Fn waits in it.
  void WithDialog(const std::function<void(TComSelectForm&)>& Act, const std::function<void()>& Fn) {
    bool Done = false;
    QTimer Poll;
    QObject::connect(&Poll, &QTimer::timeout, [&] {
      auto* F = dynamic_cast<TComSelectForm*>(QApplication::activeModalWidget());
      if (!F || Done) return;
      Done = true;
      Seen = F->PortsComboBox->count();
      Act(*F);
    });
    Poll.start(5);
    Fn();
    EXPECT_TRUE(Done) << "the dialog was shown";
  }
  TempDir Dir;
  TPtyMaster Far;  // a real terminal for the map to name
  std::string Pty;
  int Seen = -1;
};

inline QStringList Items(const TComSelectForm& F) {
  QStringList L;
  for (int I = 0; I < F.PortsComboBox->count(); ++I) L << F.PortsComboBox->itemText(I);
  return L;
}
