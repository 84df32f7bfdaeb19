// The dispatcher's line and modem control (part of TQpBaseDispatcher, with port_dispatch.cpp
// and trigger_engine.cpp).
#include "port/line_control.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "port/port_dispatch.h"

namespace {
const std::uint8_t StopBitArray[3] = {ONESTOPBIT, ONESTOPBIT, TWOSTOPBITS};  // index 1, 2
}  // namespace

std::int32_t ActualBaud(std::int32_t BaudCode) {
  static const std::int32_t Table[] = {110,    300,    600,    1200,   2400,   4800,
                                       9600,   14400,  19200,  0,      0,      38400,
                                       0,      0,      0,      56000,  0,      0,
                                       0,      128000, 0,      0,      0,      256000};
  if (BaudCode == 0xFEFF) return 115200;
  if (BaudCode >= 0xFF10 && BaudCode <= 0xFF27) {
    const std::int32_t Rate = Table[BaudCode - 0xFF10];
    return Rate != 0 ? Rate : BaudCode;
  }
  return BaudCode;
}

std::int32_t TQpBaseDispatcher::SetLine(std::int32_t Baud, std::uint32_t Parity,
                                        std::uint32_t DataBits, std::uint32_t StopBits) {
  std::uint32_t NewRate, NewFlags;
  std::uint8_t NewParity, NewSize, NewStop;
  {
    DispLock Guard(DataSection);
    TDCB Cur = DCB;
    GetComState(Cur);
    DCB = Cur;
    NewFlags = (Cur.Flags | dcb_Binary | dcb_TXContinueOnXoff) &
               ~(dcb_Parity | dcb_DsrSensitivity | dcb_Null);
    if (StopBits != DontChangeStopbits) StopBits = std::clamp<std::uint32_t>(StopBits, 1, 2);
    NewRate = Baud == DontChangeBaud ? Cur.BaudRate : static_cast<std::uint32_t>(Baud);
    NewParity = Parity == DontChangeParity ? Cur.Parity : static_cast<std::uint8_t>(Parity);
    NewSize = DataBits == DontChangeDatabits ? Cur.ByteSize : static_cast<std::uint8_t>(DataBits);
    if (StopBits == DontChangeStopbits) {
      NewStop = DataBits == 5 ? ONE5STOPBITS : Cur.StopBits;
    } else {
      NewStop = NewSize == 5 ? ONE5STOPBITS : StopBitArray[StopBits];
    }
    if (NewRate == Cur.BaudRate && NewParity == Cur.Parity && NewSize == Cur.ByteSize &&
        NewStop == Cur.StopBits && NewFlags == Cur.Flags)
      return ecOK;
  }
  WaitTxSent();
  DispLock Guard(DataSection);
  TDCB New = DCB;
  GetComState(New);
  New.BaudRate = NewRate;
  New.Parity = NewParity;
  New.ByteSize = NewSize;
  New.StopBits = NewStop;
  New.Flags = NewFlags;
  DCB = New;
  return SetCommStateFix(DCB);
}

void TQpBaseDispatcher::GetLine(std::int32_t& Baud, std::uint32_t& Parity,
                                std::uint32_t& DataBits, std::uint32_t& StopBits) {
  DispLock Guard(DataSection);
  Baud = ActualBaud(static_cast<std::int32_t>(DCB.BaudRate));
  Parity = DCB.Parity;
  DataBits = DCB.ByteSize;
  StopBits = DCB.StopBits != ONESTOPBIT ? 2 : 1;
}

std::int32_t TQpBaseDispatcher::SetCommStateFix(TDCB& ADCB) {
  DispLock Guard(DataSection);
  if (!DTRAuto) ADCB.Flags = (ADCB.Flags & ~dcb_DTRMask) | (DTRState ? dcb_DTRBit1 : 0);
  if (!RTSAuto) ADCB.Flags = (ADCB.Flags & ~dcb_RTSMask) | (RTSState ? dcb_RTSBit1 : 0);
  const std::int32_t Result = SetComState(ADCB);
  LastBaud = static_cast<std::int32_t>(ADCB.BaudRate);
  SetDtr(DTRState);
  if (!RS485Mode) SetRts(RTSState);
  return Result;
}

void TQpBaseDispatcher::WaitTxSent() {
  // Bounded: at most about two seconds for the output to drain.
  const std::uint64_t Deadline = GetTickCount64() + 2000;
  while (OutBuffUsed() > 0 && GetTickCount64() < Deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  std::uint32_t Bits;
  std::int32_t Rate;
  {
    DispLock Guard(DataSection);
    Bits = DCB.ByteSize + 2u + (DCB.Parity != 0 ? 1u : 0u) + (DCB.StopBits != ONESTOPBIT ? 1u : 0u);
    Rate = ActualBaud(LastBaud);
  }
  if (Rate <= 0) return;  // no speed known: nothing to time
  std::uint64_t Delay = (10000000ull / static_cast<std::uint64_t>(Rate)) * Bits * 18;  // 0.1 us
  if (Delay < 10000) Delay *= 2;
  const std::uint64_t Ms = (Delay + 9999) / 10000;
  std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::uint64_t>(Ms, 2000)));
}

std::int32_t TQpBaseDispatcher::SetDtr(bool OnOff) {
  DispLock Guard(DataSection);
  if (DTRAuto) return 1;  // flow control owns the line
  if (EscapeComFunction(OnOff ? SETDTR : CLRDTR) < 0) return ecBadArgument;
  DTRState = OnOff;
  return ecOK;
}

std::int32_t TQpBaseDispatcher::SetRts(bool OnOff) {
  DispLock Guard(DataSection);
  if (RTSAuto) return 1;
  if (EscapeComFunction(OnOff ? SETRTS : CLRRTS) < 0) return ecBadArgument;
  RTSState = OnOff;
  return ecOK;
}

std::int32_t TQpBaseDispatcher::SetModem(bool Dtr, bool Rts) {
  std::int32_t Result = SetDtr(Dtr);
  if (Result == ecOK) Result = SetRts(Rts);
  return Result;
}

std::uint8_t TQpBaseDispatcher::GetModemStatusPrim(std::uint8_t ClearMask) {
  const std::uint8_t Lines = GetComModemStatus() & 0xF0;
  DispLock Guard(DataSection);
  ModemStatus = static_cast<std::uint8_t>(Lines | (ModemStatus & 0x0F));
  if (RingFlag.exchange(false)) ModemStatus |= DeltaRIMask;
  const std::uint8_t Result = ModemStatus;
  ModemStatus &= ClearMask;
  return Result;
}

bool TQpBaseDispatcher::CheckCTS() { return GetModemStatusPrim(ClearDeltaCTS) & CTSMask; }
bool TQpBaseDispatcher::CheckDSR() { return GetModemStatusPrim(ClearDeltaDSR) & DSRMask; }
bool TQpBaseDispatcher::CheckRI() { return GetModemStatusPrim(ClearDeltaRI) & RIMask; }
bool TQpBaseDispatcher::CheckDCD() { return GetModemStatusPrim(ClearDeltaDCD) & DCDMask; }
bool TQpBaseDispatcher::CheckDeltaCTS() { return GetModemStatusPrim(ClearDeltaCTS) & DeltaCTSMask; }
bool TQpBaseDispatcher::CheckDeltaDSR() { return GetModemStatusPrim(ClearDeltaDSR) & DeltaDSRMask; }
bool TQpBaseDispatcher::CheckDeltaRI() { return GetModemStatusPrim(ClearDeltaRI) & DeltaRIMask; }
bool TQpBaseDispatcher::CheckDeltaDCD() { return GetModemStatusPrim(ClearDeltaDCD) & DeltaDCDMask; }

void TQpBaseDispatcher::MapEventsToMS(std::uint32_t /*Events*/) {
  DispLock Guard(DataSection);
  const std::uint8_t Old = ModemStatus & 0xF0;
  GetModemStatusPrim(ClearNone);
  const std::uint8_t New = ModemStatus & 0xF0;
  ModemStatus |= static_cast<std::uint8_t>((Old ^ New) >> 4);
}

std::uint16_t TQpBaseDispatcher::GetLineError() {
  DispLock Guard(DataSection);
  std::uint16_t Result = leNoError;
  if (LastError & ce_RxOver)
    Result = leBuffer;
  else if (LastError & ce_Overrun)
    Result = leOverrun;
  else if (LastError & ce_RxParity)
    Result = leParity;
  else if (LastError & ce_Frame)
    Result = leFraming;
  else if (LastError & ce_Break)
    Result = leBreak;
  if (Result != leNoError) LastError &= ~(ce_RxOver | ce_Overrun | ce_RxParity | ce_Frame);
  return Result;
}

bool TQpBaseDispatcher::CheckLineBreak() {
  DispLock Guard(DataSection);
  const bool Result = LastError & ce_Break;
  LastError &= ~ce_Break;
  return Result;
}

void TQpBaseDispatcher::SetBreak(bool BreakOn) {
  if (BreakOn) {
    if (RS485Mode) SetRts(true);
    EscapeComFunction(SETBREAK);
  } else {
    EscapeComFunction(CLRBREAK);
    if (RS485Mode && OutBufUsed() == 0) SetRts(false);
  }
}

void TQpBaseDispatcher::SendBreak(std::int32_t Ticks, bool Yield) {
  SetBreak(true);
  DelayTicks(Ticks, Yield);
  SetBreak(false);
}

std::int32_t TQpBaseDispatcher::HWFlowOptions(std::uint32_t BufferFull, std::uint32_t BufferResume,
                                              std::uint32_t Options) {
  if (BufferFull < BufferResume || BufferFull > InQue) return ecBadArgument;
  DispLock Guard(DataSection);
  GetComState(DCB);
  DCB.Flags &= ~(dcb_OutxCtsFlow | dcb_OutxDsrFlow | dcb_DTRMask | dcb_RTSMask);
  DTRAuto = RTSAuto = false;
  if (Options & hfUseDTR) {
    DCB.Flags |= dcb_DTRBit2;
    DTRAuto = true;
  } else if (DTRState) {
    DCB.Flags |= dcb_DTRBit1;
  }
  if (RS485Mode) {
    DCB.Flags |= dcb_RTSMask;  // toggle
    RTSAuto = true;
  } else if (Options & hfUseRTS) {
    DCB.Flags |= dcb_RTSBit2;
    RTSAuto = true;
  } else if (RTSState) {
    DCB.Flags |= dcb_RTSBit1;
  }
  DCB.XoffLim = static_cast<std::uint16_t>(InQue - BufferFull);
  DCB.XonLim = static_cast<std::uint16_t>(BufferResume);
  if (Options & hfRequireDSR) DCB.Flags |= dcb_OutxDsrFlow;
  if (Options & hfRequireCTS) DCB.Flags |= dcb_OutxCtsFlow;
  return SetCommStateFix(DCB);
}

std::int32_t TQpBaseDispatcher::HWFlowState() {
  std::uint32_t F;
  {
    DispLock Guard(DataSection);
    F = DCB.Flags;
  }
  if ((F & (dcb_OutxCtsFlow | dcb_OutxDsrFlow | dcb_DTRBit2 | dcb_RTSBit2)) == 0) return 1;
  if ((F & (dcb_DTRBit2 | dcb_RTSBit2)) == 0) return 2;
  RefreshStatus();
  DispLock Guard(DataSection);
  if ((F & dcb_OutxCtsFlow) && (ComStatus.Flags & fCtsHold)) return 4;
  if ((F & dcb_OutxDsrFlow) && (ComStatus.Flags & fDsrHold)) return 3;
  return 2;
}

std::int32_t TQpBaseDispatcher::SWFlowEnable(std::uint32_t BufferFull, std::uint32_t BufferResume,
                                             std::uint32_t Options) {
  if (BufferFull < BufferResume || BufferFull > InQue) return ecBadArgument;
  DispLock Guard(DataSection);
  GetComState(DCB);
  if (Options & sfReceiveFlow) {
    DCB.Flags |= dcb_InX;
    DCB.XoffLim = static_cast<std::uint16_t>(InQue - BufferFull);
    DCB.XonLim = static_cast<std::uint16_t>(BufferResume);
    DCB.XonChar = 17;
    DCB.XoffChar = 19;
  }
  if (Options & sfTransmitFlow) {
    DCB.Flags |= dcb_OutX;
    DCB.XonChar = 17;
    DCB.XoffChar = 19;
  }
  return SetCommStateFix(DCB);
}

std::int32_t TQpBaseDispatcher::SWFlowDisable() {
  DispLock Guard(DataSection);
  GetComState(DCB);
  DCB.Flags &= ~(dcb_InX | dcb_OutX);
  return SetCommStateFix(DCB);
}

std::int32_t TQpBaseDispatcher::SWFlowState() {
  std::uint32_t F;
  {
    DispLock Guard(DataSection);
    F = DCB.Flags;
  }
  if ((F & (dcb_InX | dcb_OutX)) == 0) return 1;
  RefreshStatus();
  DispLock Guard(DataSection);
  const bool Sent = ComStatus.Flags & fXoffSent, Held = ComStatus.Flags & fXoffHold;
  if (Sent && Held) return 8;
  if (Sent) return 7;
  if (Held) return 6;
  return 2;
}

std::int32_t TQpBaseDispatcher::SWFlowChars(std::uint8_t OnChar, std::uint8_t OffChar) {
  DispLock Guard(DataSection);
  GetComState(DCB);
  DCB.XonChar = static_cast<char>(OnChar);
  DCB.XoffChar = static_cast<char>(OffChar);
  return SetCommStateFix(DCB);
}

std::int32_t TQpBaseDispatcher::GetFlowOptions(std::uint32_t& HWOpts, std::uint32_t& SWOpts,
                                               std::uint32_t& BufferFull,
                                               std::uint32_t& BufferResume, std::uint8_t& OnChar,
                                               std::uint8_t& OffChar) {
  DispLock Guard(DataSection);
  HWOpts = 0;
  if ((DCB.Flags & dcb_DTRMask) == dcb_DTRBit2) HWOpts |= hfUseDTR;
  if ((DCB.Flags & dcb_RTSMask) == dcb_RTSBit2) HWOpts |= hfUseRTS;
  if (DCB.Flags & dcb_OutxDsrFlow) HWOpts |= hfRequireDSR;
  if (DCB.Flags & dcb_OutxCtsFlow) HWOpts |= hfRequireCTS;
  SWOpts = 0;
  if (DCB.Flags & dcb_InX) SWOpts |= sfReceiveFlow;
  if (DCB.Flags & dcb_OutX) SWOpts |= sfTransmitFlow;
  BufferFull = InQue > DCB.XoffLim ? InQue - DCB.XoffLim : 0;
  BufferResume = DCB.XonLim;
  OnChar = static_cast<std::uint8_t>(DCB.XonChar);
  OffChar = static_cast<std::uint8_t>(DCB.XoffChar);
  return ecOK;
}

void TQpBaseDispatcher::SetRS485Mode(bool OnOff) {
  DispLock Guard(DataSection);
  RS485Mode = OnOff;
}
