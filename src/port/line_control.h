#pragma once
// Line settings record, device status record and the modem/line status constants used by the
// dispatcher's line and modem control and by the serial device layer.

#include <cstdint>

// Device control block flag bits (TDCB::Flags).
constexpr std::uint32_t dcb_Binary = 0x0001;
constexpr std::uint32_t dcb_Parity = 0x0002;
constexpr std::uint32_t dcb_OutxCtsFlow = 0x0004;
constexpr std::uint32_t dcb_OutxDsrFlow = 0x0008;
constexpr std::uint32_t dcb_DTRBit1 = 0x0010;  // DTR control on
constexpr std::uint32_t dcb_DTRBit2 = 0x0020;  // DTR control handshake
constexpr std::uint32_t dcb_DTRMask = 0x0030;
constexpr std::uint32_t dcb_DsrSensitivity = 0x0040;
constexpr std::uint32_t dcb_TXContinueOnXoff = 0x0080;
constexpr std::uint32_t dcb_OutX = 0x0100;
constexpr std::uint32_t dcb_InX = 0x0200;
constexpr std::uint32_t dcb_Null = 0x0800;
constexpr std::uint32_t dcb_RTSBit1 = 0x1000;  // RTS control on
constexpr std::uint32_t dcb_RTSBit2 = 0x2000;  // RTS control handshake
constexpr std::uint32_t dcb_RTSMask = 0x3000;  // both: toggle

// Stop bit codes in TDCB::StopBits.
constexpr std::uint8_t ONESTOPBIT = 0;
constexpr std::uint8_t ONE5STOPBITS = 1;
constexpr std::uint8_t TWOSTOPBITS = 2;

// Escape functions (EscapeComFunction).
constexpr int SETXOFF = 1, SETXON = 2, SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6,
              RESETDEV = 7, SETBREAK = 8, CLRBREAK = 9, GETBASEIRQ = 10;

// The serial line settings.
struct TDCB {
  std::uint32_t BaudRate = 19200;
  std::uint32_t Flags = dcb_Binary;
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 8;
  std::uint8_t Parity = 0;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t StopBits = ONESTOPBIT;
  char XonChar = 17;
  char XoffChar = 19;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
};

// Device status flags (TComStat::Flags).
constexpr std::uint32_t fCtsHold = 0x01;
constexpr std::uint32_t fDsrHold = 0x02;
constexpr std::uint32_t fRlsdHold = 0x04;
constexpr std::uint32_t fXoffHold = 0x08;
constexpr std::uint32_t fXoffSent = 0x10;

struct TComStat {
  std::uint32_t Flags = 0;
  std::uint32_t cbInQue = 0;
  std::uint32_t cbOutQue = 0;
};

// SetLine values that keep a setting.
constexpr std::int32_t DontChangeBaud = 0;
constexpr std::uint32_t DontChangeParity = 5;
constexpr std::uint32_t DontChangeDatabits = 9;
constexpr std::uint32_t DontChangeStopbits = 3;

// Modem status byte.
constexpr std::uint8_t DeltaCTSMask = 0x01;
constexpr std::uint8_t DeltaDSRMask = 0x02;
constexpr std::uint8_t DeltaRIMask = 0x04;
constexpr std::uint8_t DeltaDCDMask = 0x08;
constexpr std::uint8_t CTSMask = 0x10;
constexpr std::uint8_t DSRMask = 0x20;
constexpr std::uint8_t RIMask = 0x40;
constexpr std::uint8_t DCDMask = 0x80;
constexpr std::uint8_t ClearDelta = 0xF0;
constexpr std::uint8_t ClearNone = 0xFF;
constexpr std::uint8_t ClearDeltaCTS = 0xFE;
constexpr std::uint8_t ClearDeltaDSR = 0xFD;
constexpr std::uint8_t ClearDeltaRI = 0xFB;
constexpr std::uint8_t ClearDeltaDCD = 0xF7;
// Status trigger masks for modem lines.
constexpr std::uint16_t msCTSDelta = 0x10;
constexpr std::uint16_t msDSRDelta = 0x20;
constexpr std::uint16_t msRingDelta = 0x04;
constexpr std::uint16_t msDCDDelta = 0x80;

// Line error bits (LastError) and codes (GetLineError).
constexpr std::uint32_t ValidErrorMask = 0x1F;
constexpr std::uint32_t ce_RxOver = 0x01, ce_Overrun = 0x02, ce_RxParity = 0x04,
                        ce_Frame = 0x08, ce_Break = 0x10;
constexpr std::uint16_t leNoError = 0, leBuffer = 1, leOverrun = 2, leParity = 3, leFraming = 4,
                        leCTSTO = 5, leDSRTO = 6, leDCDTO = 7, leTxFull = 8, leBreak = 9;
constexpr std::uint16_t lsOverrun = 1, lsParity = 2, lsFraming = 4, lsBreak = 8;

// Device event bits carried by status buffers.
constexpr std::uint32_t ev_RxChar = 0x0001, ev_Cts = 0x0008, ev_Dsr = 0x0010, ev_Rlsd = 0x0020,
                        ev_Break = 0x0040, ev_Err = 0x0080, ev_Ring = 0x0100,
                        ev_RingTe = 0x2000;
constexpr std::uint32_t ModemEvent = 0x2138;
constexpr std::uint32_t LineEvent = 0xC0;

// Flow options passed to InitPort.
constexpr std::uint32_t ipAssertDTR = 0x01, ipAssertRTS = 0x02, ipAutoDTR = 0x10,
                        ipAutoRTS = 0x20;
// Hardware flow option bits (HWFlowOptions) and software flow bits (SWFlowEnable).
constexpr std::uint32_t hfUseDTR = 1, hfUseRTS = 2, hfRequireDSR = 4, hfRequireCTS = 8;
constexpr std::uint32_t sfTransmitFlow = 1, sfReceiveFlow = 2;

// Legacy baud codes 0xFF10 ... 0xFF27 and 0xFEFF to rates; any other value is a rate already.
std::int32_t ActualBaud(std::int32_t BaudCode);
