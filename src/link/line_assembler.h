#pragma once
// Gathers the device's received bytes into lines ended by a carriage return. A push parser:
// bytes in, results out, no I/O. Bytes below 0x20 other than CR are dropped; a line that grows
// past its bound is dropped up to its end, so a stream without carriage returns never grows
// memory. GUI thread only (as its owner).

#include <cstddef>
#include <string>

class TLineAssembler {
 public:
  enum TResult { laNone, laLine, laOverflow };

  explicit TLineAssembler(std::size_t MaxLength) : FMaxLength(MaxLength) {}

  // Takes one byte. laLine: a carriage return ended a line, which LocalData() holds until the
  // next byte comes. laOverflow: the line being gathered just passed the bound and is dropped.
  TResult Push(char C) {
    if (FComplete) {
      LocalDataBuf.clear();
      FComplete = false;
    }
    if (C == '\r') {
      FDropping = false;
      FComplete = true;
      return laLine;
    }
    if (static_cast<unsigned char>(C) < 0x20 || FDropping) return laNone;
    if (LocalDataBuf.size() < FMaxLength) {
      LocalDataBuf += C;
      return laNone;
    }
    FDropping = true;
    LocalDataBuf.clear();
    return laOverflow;
  }

  // Takes N bytes, none of them a carriage return, as N calls of Push would: laOverflow when
  // the line passed its bound among them, else laNone. Printable stretches are appended whole.
  TResult PushRun(const char* P, std::size_t N) {
    if (N == 0) return laNone;
    if (FComplete) {
      LocalDataBuf.clear();
      FComplete = false;
    }
    std::size_t I = 0;
    while (I < N && !FDropping) {
      std::size_t J = I;
      while (J < N && static_cast<unsigned char>(P[J]) >= 0x20) ++J;
      if (J - I > FMaxLength - LocalDataBuf.size()) {
        // The first byte past the bound drops the line up to its end.
        FDropping = true;
        LocalDataBuf.clear();
        return laOverflow;
      }
      LocalDataBuf.append(P + I, J - I);
      I = J;
      while (I < N && static_cast<unsigned char>(P[I]) < 0x20) ++I;
    }
    return laNone;
  }

  const std::string& LocalData() const { return LocalDataBuf; }
  bool Dropping() const { return FDropping; }
  std::size_t MaxLength() const { return FMaxLength; }

 private:
  std::size_t FMaxLength;
  std::string LocalDataBuf;
  bool FDropping = false;
  bool FComplete = false;
};
