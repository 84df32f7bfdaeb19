#pragma once
// The serial device map: which serial ports exist and which COM number each one answers to.
//
// Two sources, read fresh on every call:
// - an explicit map, so any tty or pseudo-terminal can be a COM port: the [ComMap] section of the
//   settings file (COM5=/dev/pts/3) and the QUILL_COM_MAP environment variable
//   ("COM5=/dev/pts/3;COM6=/dev/ttyV1"), the environment winning for the same number;
// - the kernel's serial ttys (SysRoot/class/tty/<name>/device) by a fixed convention:
//   ttyS<n> -> COM<n+1> (COM1..COM32), ttyUSB<n> -> COM<n+33> (COM33..COM64),
//   ttyACM<n> -> COM<n+65> (COM65..COM96). Fixed bases keep a port's number the same whatever
//   else is plugged in.
// An explicit entry takes its COM number and its device away from the convention. Only ports
// whose device node exists are listed.

#include <string>
#include <vector>

struct TSerialDeviceEntry {
  std::string ValueName;  // "\Device\" + the device's name under DevRoot (ttyS0, pts/3)
  std::string PortName;   // "COM1"
  std::string Path;       // the device node
  int ComNumber = 0;
};

struct TSerialMapSources {
  std::string SysRoot = "/sys";
  std::string DevRoot = "/dev";
  std::string SettingsFile;    // its [ComMap] section; none when empty
  std::string EnvironmentMap;  // the text of QUILL_COM_MAP
};

inline constexpr const char* ComMapSection = "ComMap";
inline constexpr const char* ComMapVariable = "QUILL_COM_MAP";
inline constexpr int MaxComNumber = 256;

// The process-wide sources: the real /sys and /dev, the settings file named at start-up, the
// environment as it is at the call.
void SetSerialMapSettingsFile(std::string FileName);
TSerialMapSources DefaultSerialMapSources();

// COM number the convention gives a kernel tty name; 0 when it gives none.
int ConventionComNumber(const std::string& TtyName);
// Parses "COMn" (any case) with n in 1..MaxComNumber; 0 when Text is not one.
int ParseComName(const std::string& Text);

class TSerialDeviceMap {
 public:
  // Reads the process-wide sources at every call.
  TSerialDeviceMap();
  explicit TSerialDeviceMap(TSerialMapSources Sources);

  // The ports that exist now, by COM number.
  std::vector<TSerialDeviceEntry> Entries() const;
  // Whether COMn is among Entries(), looking at that one port only (cheap enough to ask for
  // every number).
  bool Exists(int ComNumber) const;
  // The device for COMn: the explicit map first (whether or not the node exists, so opening
  // reports the real error), then the convention; empty when neither names one.
  std::string DevicePath(int ComNumber) const;
  // The sources this map reads (the process-wide ones as they are now, by default).
  TSerialMapSources Sources() const;

 private:
  bool FUseDefaults = true;
  TSerialMapSources FSources;
};
