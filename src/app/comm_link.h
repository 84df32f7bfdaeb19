#pragma once
// What the main window needs of the device link: set by the code that wires the windows, so
// the main window does not depend on the Communications window itself.

#include <cstdint>
#include <string>

#include "defs/defines_u.h"

class TCommLink {
 public:
  virtual ~TCommLink() = default;
  // Sends one command packet to the followed radio; Resp is the reply awaited (0 for none).
  virtual bool SendCommand(std::uint8_t Cmd, const std::string& Data, std::uint8_t Resp) = 0;
  // The packet decoded last.
  virtual TNetPacket GetPacket() const = 0;
  // Link down, link timer stopped, port closed.
  virtual void Shutdown() = 0;
  // Shows the Communications window (not modal).
  virtual void ShowWindow() = 0;
};
