// libudev's monitor fed with real uevents: serial adapters in umockdev's test bed (the test runs
// under its preload, umockdev-wrapper), announced as udev announces them when an adapter is
// pulled out and plugged in again, and recovery following them.
//
// The port descriptions read the bed's folders directly (the map's roots pointed at them), not
// through the preload's /sys and /dev: umockdev's preload (0.17) answers realpath on those with
// memory of its own, which the C++ library then frees (and with a caller's buffer overwrites
// the stack), so the sysfs readers, which resolve links, cannot run through it. For the same
// reason recovery's look at the ports goes through the test's own table.
#include <gtest/gtest.h>

#include <umockdev.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <filesystem>

#include "link/port_recovery.h"
#include "platform/device_watch.h"
#include "platform/serial_device_map.h"
#include "platform/serial_port_info.h"
#include "test_support.h"

namespace {

struct TAdapter {
  std::string Usb, Tty, Driver, Vendor, Product, Serial, Manufacturer = {}, ProductName = {};
};

const std::string UsbRoot = "/devices/pci0000:00/0000:00:14.0/usb1/";

// The device the tty hangs off: a usb-serial driver's port, or a CDC ACM interface.
std::string PortPath(const TAdapter& A) {
  const std::string Intf = UsbRoot + A.Usb + "/" + A.Usb + ":1.0";
  return A.Driver == "cdc_acm" ? Intf : Intf + "/" + A.Tty;
}
std::string TtySysPath(const TAdapter& A) { return "/sys" + PortPath(A) + "/tty/" + A.Tty; }

// An adapter as umockdev-record writes one out: the USB device, its interface, for a
// usb-serial driver its port, and the tty with its node.
std::string Record(const TAdapter& A) {
  const std::string Dev = UsbRoot + A.Usb, Intf = Dev + "/" + A.Usb + ":1.0";
  const bool Acm = A.Driver == "cdc_acm";
  std::string R = "P: " + Dev + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: ID_VENDOR_ID=" + A.Vendor +
                  "\nE: ID_MODEL_ID=" + A.Product + "\nA: idVendor=" + A.Vendor + "\nA: idProduct=" + A.Product + "\n";
  if (!A.Manufacturer.empty()) R += "A: manufacturer=" + A.Manufacturer + "\n";
  if (!A.ProductName.empty()) R += "A: product=" + A.ProductName + "\n";
  if (!A.Serial.empty()) R += "A: serial=" + A.Serial + "\nE: ID_SERIAL_SHORT=" + A.Serial + "\n";
  R += "\nP: " + Intf + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: DRIVER=" + A.Driver + "\n\n";
  if (!Acm) R += "P: " + PortPath(A) + "\nE: SUBSYSTEM=usb-serial\nE: DRIVER=" + A.Driver + "\n\n";
  R += "P: " + PortPath(A) + "/tty/" + A.Tty + "\nN: " + A.Tty + "\nE: DEVNAME=/dev/" + A.Tty +
       "\nE: SUBSYSTEM=tty\nA: dev=" + (Acm ? "166:" : "188:") + std::string(1, A.Tty.back()) + "\n\n";
  return R;
}

struct TBed {
  TBed() : Bed(umockdev_testbed_new()) {}
  ~TBed() { g_object_unref(Bed); }
  TBed(const TBed&) = delete;
  TBed& operator=(const TBed&) = delete;
  bool Add(const TAdapter& A) {
    GError* Error = nullptr;
    if (umockdev_testbed_add_from_string(Bed, Record(A).c_str(), &Error)) return true;
    ADD_FAILURE() << Error->message;
    g_error_free(Error);
    return false;
  }
  void Plug(const TAdapter& A) {
    if (Add(A)) umockdev_testbed_uevent(Bed, TtySysPath(A).c_str(), "add");
  }
  void Unplug(const TAdapter& A) {
    umockdev_testbed_uevent(Bed, TtySysPath(A).c_str(), "remove");
    umockdev_testbed_remove_device(Bed, ("/sys" + UsbRoot + A.Usb).c_str());
  }
  // An event of another subsystem, which the tty monitor must not pass on.
  void UsbEvent(const TAdapter& A) { umockdev_testbed_uevent(Bed, ("/sys" + UsbRoot + A.Usb).c_str(), "change"); }
  std::string Root() const {
    gchar* R = umockdev_testbed_get_root_dir(Bed);
    const std::string Text = R;
    g_free(R);
    return Text;
  }
  UMockdevTestbed* Bed;
};

const TAdapter Ftdi{"1-1", "ttyUSB0", "ftdi_sio", "0403", "6001", "A50285BI"};

}  // namespace

TEST(UdevTestBed, TheMonitorHearsTtysComeAndGoAndNothingElse) {
  TBed Bed;
  auto Watch = UdevDeviceWatch();
  int Changes = 0;
  Watch->OnChange = [&] { ++Changes; };
  ASSERT_TRUE(Watch->Watch("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
  Bed.Plug(Ftdi);
  ASSERT_TRUE(WaitFor([&] { return Changes == 1; }, 30000));
  // A USB event of the same adapter, then the tty's removal: only the removal counts. Events
  // arrive in order, so once the removal is seen the USB event has been passed over.
  Bed.UsbEvent(Ftdi);
  Bed.Unplug(Ftdi);
  ASSERT_TRUE(WaitFor([&] { return Changes >= 2; }, 30000));
  EXPECT_EQ(Changes, 2);
  // Stopped, it hears nothing. (Each adapter goes into a bed once: umockdev keeps the bus
  // links of a removed device.)
  Watch->Stop();
  TAdapter Another = Ftdi;
  Another.Usb = "1-2";
  Another.Tty = "ttyUSB1";
  Bed.Plug(Another);
  TBed Other;  // a later event in another bed, delivered after the one above
  auto Late = UdevDeviceWatch();
  int LateChanges = 0;
  Late->OnChange = [&] { ++LateChanges; };
  ASSERT_TRUE(Late->Watch("/dev/ttyUSB9"));
  TAdapter Marker = Ftdi;
  Marker.Usb = "1-9";
  Marker.Tty = "ttyUSB9";
  Other.Plug(Marker);
  ASSERT_TRUE(WaitFor([&] { return LateChanges > 0; }, 30000));
  EXPECT_EQ(Changes, 2);
}

namespace {

// The real monitor, counting the changes it hands to its owner.
class TCountingWatch : public TDeviceWatch {
 public:
  TCountingWatch() : FInner(UdevDeviceWatch()) {
    FInner->OnChange = [this] {
      ++Changes;
      if (OnChange) OnChange();
    };
  }
  bool Watch(const std::string& Path) override { return FInner->Watch(Path); }
  void Stop() override { FInner->Stop(); }
  int Changes = 0;

 private:
  std::unique_ptr<TDeviceWatch> FInner;
};

// Recovery on the real monitor; what the bed holds is kept in a table beside it, changed
// before each event goes out; the reopen is recorded.
struct TRecoveryOnTheBed {
  TRecoveryOnTheBed() {
    TPortRecovery::THooks H;
    H.DevicePath = [](int N) { return "/dev/ttyUSB" + std::to_string(N - 33); };
    H.Present = [this](int N) { return Present.count(N) > 0; };
    H.Reopen = [this](int N) {
      Reopened.push_back(N);
      return TReopenOutcome{};
    };
    H.Identity = [this](int N) { return Present.count(N) ? Present[N] : TDeviceIdentity{}; };
    H.Ports = [this] {
      std::vector<int> Numbers;
      for (const auto& [N, Id] : Present) Numbers.push_back(N);
      return Numbers;
    };
    H.Report = [this](const std::string& L) { Log.push_back(L); };
    H.Later = [](int, std::function<void()>) {};  // only the monitor's events make it look
    auto W = std::make_unique<TCountingWatch>();
    Watch = W.get();
    Recovery = std::make_unique<TPortRecovery>(std::move(W), std::move(H));
  }
  static int Number(const TAdapter& A) { return 33 + std::stoi(A.Tty.substr(6)); }
  void Plug(const TAdapter& A) {
    Present[Number(A)] = TDeviceIdentity{A.Vendor, A.Product, A.Serial};
    Bed.Plug(A);
  }
  void Unplug(const TAdapter& A) {
    Present.erase(Number(A));
    Bed.Unplug(A);
  }
  TBed Bed;
  std::map<int, TDeviceIdentity> Present;
  std::vector<int> Reopened;
  std::vector<std::string> Log;
  TCountingWatch* Watch = nullptr;
  std::unique_ptr<TPortRecovery> Recovery;
};

}  // namespace

// An adapter reset by RF comes back under the next ttyUSB number (in the bed, as a device of
// its own: umockdev keeps a removed device's bus links): the monitor's event brings recovery
// to look, and it finds the adapter by its identity under its new COM number.
TEST(UdevTestBed, RecoveryFollowsTheMonitorToTheAdapterUnderItsNewNumber) {
  TRecoveryOnTheBed R;
  R.Plug(Ftdi);
  R.Recovery->Opened(33);
  R.Unplug(Ftdi);
  R.Recovery->Lost(33);
  ASSERT_TRUE(R.Recovery->Waiting());
  TAdapter Back = Ftdi;
  Back.Usb = "1-6";
  Back.Tty = "ttyUSB1";
  R.Plug(Back);
  ASSERT_TRUE(WaitFor([&] { return !R.Reopened.empty(); }, 30000)) << "no event reached recovery";
  EXPECT_EQ(R.Reopened, std::vector<int>{34});
  EXPECT_EQ(R.Log.back(), "COM33's adapter is back as COM34: reopened");
}

// Two alike adapters without serial numbers: which one was ours cannot be told, so neither is
// taken for it. When one of them goes, the other is the only one alike and is reopened.
TEST(UdevTestBed, TwoAlikeAdaptersWithoutSerialNumbersAreLeftAlone) {
  TRecoveryOnTheBed R;
  const TAdapter Ours{"1-3", "ttyUSB0", "ch341", "1a86", "7523", ""};
  R.Plug(Ours);
  R.Recovery->Opened(33);
  R.Unplug(Ours);
  R.Recovery->Lost(33);
  ASSERT_TRUE(R.Recovery->Waiting());
  const TAdapter Stranger{"1-4", "ttyUSB1", "ch341", "1a86", "7523", ""};
  const TAdapter OursBack{"1-7", "ttyUSB2", "ch341", "1a86", "7523", ""};
  // Both in before recovery hears of either: the look it takes sees two alike.
  R.Plug(Stranger);
  R.Plug(OursBack);
  ASSERT_TRUE(WaitFor([&] { return R.Watch->Changes > 0; }, 30000)) << "no event reached recovery";
  EXPECT_TRUE(R.Reopened.empty());
  EXPECT_TRUE(R.Recovery->Waiting());
  R.Unplug(Stranger);
  ASSERT_TRUE(WaitFor([&] { return !R.Reopened.empty(); }, 30000)) << "no event reached recovery";
  EXPECT_EQ(R.Reopened, std::vector<int>{35});
}

namespace {

// An adapter put in the bed with the links its record leaves out, as sysfs has them: the tty's
// device and the driver.
void AddWithLinks(TBed& Bed, const TAdapter& A) {
  if (!Bed.Add(A)) return;
  namespace fs = std::filesystem;
  const std::string Root = Bed.Root();
  const fs::path Port = Root + "/sys" + PortPath(A);
  fs::create_symlink("../..", Port / "tty" / A.Tty / "device");
  const fs::path Drivers = Root + "/sys/bus/usb-serial/drivers";
  fs::create_directories(Drivers / A.Driver);
  fs::create_symlink(Drivers / A.Driver, Port / "driver");
  // The bed backs a tty's node with a pseudo-terminal of its own, a link to /dev/pts/N: read
  // directly, that is what it would be taken for. A plain file stands for the node instead.
  const fs::path Node = Root + "/dev/" + A.Tty;
  fs::remove(Node);
  WriteFile(Node.string(), "");
}

}  // namespace

// What each kind of adapter is called in the port list, read from the folders umockdev makes
// of udev's records of them.
TEST(UdevTestBed, EachKindOfAdapterIsDescribedFromItsRecord) {
  TBed Bed;
  const std::string Root = Bed.Root();
  const TAdapter Kinds[] = {
      {"1-1", "ttyUSB0", "ftdi_sio", "0403", "6001", "A50285BI", "FTDI", "FT232R USB UART"},
      {"1-2", "ttyUSB1", "cp210x", "10c4", "ea60", "0001", "Silicon Labs", "CP2102 USB to UART Bridge Controller"},
      {"1-3", "ttyUSB2", "ch341", "1a86", "7523", "", "", "USB Serial"},
      {"1-4", "ttyACM0", "cdc_acm", "2341", "0043", "75833353035351F0E0B0", "Arduino (www.arduino.cc)", ""},
  };
  for (const TAdapter& K : Kinds) AddWithLinks(Bed, K);
  TSerialMapSources Sources;
  Sources.SysRoot = Root + "/sys";
  Sources.DevRoot = Root + "/dev";
  const struct {
    std::string Tty, Description;
  } Cases[] = {
      {"ttyUSB0", "FT232R USB UART (A50285BI), FTDI 0403:6001, ftdi_sio"},
      {"ttyUSB1", "CP2102 USB to UART Bridge Controller (0001), Silicon Labs 10c4:ea60, cp210x"},
      {"ttyUSB2", "USB Serial, 1a86:7523, ch341"},
      {"ttyACM0", "USB serial adapter (75833353035351F0E0B0), Arduino (www.arduino.cc) 2341:0043, cdc_acm"},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(DescribeSerialPort(Sources.DevRoot + "/" + C.Tty, Sources).Description, C.Description) << C.Tty;
  // Numbered by kind, as the port list shows them.
  std::vector<std::string> Ports;
  for (const auto& E : TSerialDeviceMap(Sources).Entries()) Ports.push_back(E.PortName + "=" + E.Path.substr(Root.size()));
  EXPECT_EQ(Ports, (std::vector<std::string>{"COM33=/dev/ttyUSB0", "COM34=/dev/ttyUSB1", "COM35=/dev/ttyUSB2", "COM65=/dev/ttyACM0"}));
}
