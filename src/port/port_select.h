#pragma once
// The port selection dialog: asks the user for a serial port when a port is opened without a
// number. Lists every COM number (1 to MaxComNumber) the system knows, held ports included,
// and never opens a port to find out (opening raises DTR and RTS). GUI thread only.

#include <QDialog>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/serial_device_map.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

// How availability is tested (both true in this program): through a serial dispatcher, and
// listing ports that another program holds. With ShowPortsInUse false (and the dispatcher) a
// port counts only when it can be opened now.
extern bool UseDispatcherForAvail;
extern bool ShowPortsInUse;

class TComSelectForm : public QDialog {
 public:
  // The dialog's results besides Rejected (closed from the system menu).
  enum TResult { mrOk = QDialog::Accepted, mrAbort = 3 };

  explicit TComSelectForm(QWidget* Parent = nullptr);

  // Fills the list with the available ports and selects the first.
  void FormCreate();
  // The selected item ("COM3"); empty when the list is empty.
  std::string SelectedCom() const;
  // The number in the selected item; 0 when nothing is selected.
  std::uint16_t SelectedComNum() const;
  // Whether the system knows COM<ComNum>; false for 0.
  static bool IsPortAvailable(std::uint16_t ComNum);

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QFrame* Bevel1 = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* AbortBtn = nullptr;
  QComboBox* PortsComboBox = nullptr;
};

// Where the dialog reads what each port is (its tooltips): the process's device map when unset.
// Tests point it at the fake tree their serial layer reads.
void SetPortSelectMapSources(std::optional<TSerialMapSources> Sources);

// Shows the dialog modally: true with Number set when the user chose a port with OK.
bool SelectPortWithDialog(std::uint16_t& Number);
// Makes the dialog the selector of every port that has none of its own.
void InstallPortSelectDialog();
