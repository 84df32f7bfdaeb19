#include "port/port_select.h"

#include <algorithm>

#include <QApplication>
#include <QCoreApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/serial_device_map.h"
#include "platform/serial_port_info.h"
#include "platform/ui_style.h"
#include "port/com_port.h"

bool UseDispatcherForAvail = true;
bool ShowPortsInUse = true;

namespace {
std::optional<TSerialMapSources> MapSources;  // GUI thread only, as the dialog
}  // namespace

void SetPortSelectMapSources(std::optional<TSerialMapSources> Sources) { MapSources = std::move(Sources); }

TComSelectForm::TComSelectForm(QWidget* Parent) : QDialog(Parent) {
  // A dialog border with the system menu only: no help, minimise or maximise buttons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QCoreApplication::translate("TComSelectForm", "Select Port"));
  setFixedSize(220, 131);
  // The stand-in for the 8-point face, narrowed until the longer line fits its frame.
  const QString First = QCoreApplication::translate("TComSelectForm", "The configured serial port is not valid.");
  const QString Second = QCoreApplication::translate("TComSelectForm", "Please choose another port.");
  QFont Face = UiFont(FontSansSerif, 11);
  const auto Widest = [&] { return std::max(QFontMetrics(Face).horizontalAdvance(First), QFontMetrics(Face).horizontalAdvance(Second)); };
  while (Face.pixelSize() > 8 && Widest() > 186) Face.setPixelSize(Face.pixelSize() - 1);
  setFont(Face);
  Label1 = new QLabel(First, this);
  Label1->move(18, 14);
  Label1->adjustSize();
  Label2 = new QLabel(Second, this);
  Label2->move(18, 30);
  Label2->adjustSize();
  Bevel1 = new QFrame(this);
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Bevel1->setGeometry(8, 8, 201, 42);
  Bevel1->lower();  // a frame around the labels, drawn beneath them
  OkBtn = new QPushButton(QCoreApplication::translate("TComSelectForm", "OK"), this);
  OkBtn->setGeometry(8, 95, 85, 27);
  OkBtn->setDefault(true);
  connect(OkBtn, &QPushButton::clicked, this, [this] { done(mrOk); });
  AbortBtn = new QPushButton(QCoreApplication::translate("TComSelectForm", "Cancel"), this);
  AbortBtn->setGeometry(124, 95, 85, 27);
  connect(AbortBtn, &QPushButton::clicked, this, [this] { done(mrAbort); });
  PortsComboBox = new QComboBox(this);  // a drop-down list: not editable
  PortsComboBox->setGeometry(8, 64, 201, 21);
  // The closed list shows the chosen port's device and what it is when the pointer rests on it.
  connect(PortsComboBox, &QComboBox::currentIndexChanged, this, [this](int Index) {
    PortsComboBox->setToolTip(PortsComboBox->itemData(Index, Qt::ToolTipRole).toString());
  });
  if (QScreen* Screen = QGuiApplication::primaryScreen()) {
    const QRect Area = Screen->availableGeometry();
    move(Area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TComSelectForm::FormCreate() {
  PortsComboBox->clear();
  // Every number the device map can name: ttyACM ports (COM65 and up) and mapped numbers
  // above 50 included.
  const TSerialDeviceMap Map = MapSources ? TSerialDeviceMap(*MapSources) : TSerialDeviceMap();
  const TSerialMapSources Sources = Map.Sources();
  for (int I = 1; I <= MaxComNumber; ++I) {
    if (!IsPortAvailable(std::uint16_t(I))) continue;
    PortsComboBox->addItem(QStringLiteral("COM%1").arg(I));
    // The items stay "COMn"; the device and what it is are each item's tooltip.
    const std::string Path = Map.DevicePath(I);
    PortsComboBox->setItemData(PortsComboBox->count() - 1,
                               QString::fromStdString(Path + " \u2014 " + DescribeSerialPort(Path, Sources).Description),
                               Qt::ToolTipRole);
  }
  if (PortsComboBox->count() > 0) PortsComboBox->setCurrentIndex(0);
  // The first item became current before its tooltip was there.
  PortsComboBox->setToolTip(PortsComboBox->itemData(PortsComboBox->currentIndex(), Qt::ToolTipRole).toString());
}

std::string TComSelectForm::SelectedCom() const { return PortsComboBox->currentText().toStdString(); }

std::uint16_t TComSelectForm::SelectedComNum() const {
  // An empty list selects nothing: 0, which the port refuses as "no port selected".
  const int N = ParseComName(SelectedCom());
  return std::uint16_t(N);
}

bool TComSelectForm::IsPortAvailable(std::uint16_t ComNum) {
  if (ComNum == 0) return false;
  // Through a serial dispatcher either way (this platform has no other way to ask).
  auto D = TQpCustomComPort::CreateDeviceLayer(dlWin32, nullptr);
  if (!D) return false;
  const std::string Name = "\\\\.\\COM" + std::to_string(ComNum);
  bool Available;
  if (ShowPortsInUse || !UseDispatcherForAvail) {
    // Known to the system: nothing is opened, so held ports show too.
    Available = D->CheckPort(Name);
  } else {
    // Only ports that can be opened now (opening raises DTR and RTS on the way).
    Available = D->OpenCom(Name.c_str(), 64, 64) >= 0;
    if (Available) D->CloseCom();
  }
  D->Destroy();
  return Available;
}

bool SelectPortWithDialog(std::uint16_t& Number) {
  TComSelectForm Form(QApplication::activeWindow());
  Form.FormCreate();
  if (Form.exec() != TComSelectForm::mrOk) return false;
  Number = Form.SelectedComNum();
  return Number != 0;
}

void InstallPortSelectDialog() { TQpCustomComPort::SetDefaultPortSelector(&SelectPortWithDialog); }
