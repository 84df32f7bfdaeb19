#include "port_errors.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include <QCoreApplication>

#include "platform/translations.h"

namespace {

struct TMessageRow {
  int Code;
  const char* Text;
};

// Sorted by the absolute value of the code; looked up by that value alone, so a status row and
// an error row never share one. Rows of codes no part of the program displays are left out and
// fall back to the system text. The messages are translated when looked up; the dispatch log's
// words are not (LogVocabulary).
const TMessageRow MessageTable[] = {
    {0, QT_TRANSLATE_NOOP("PortErrors", "OK")},
    {-2, QT_TRANSLATE_NOOP("PortErrors", "File not found")},
    {-3, QT_TRANSLATE_NOOP("PortErrors", "Path not found")},
    {-4, QT_TRANSLATE_NOOP("PortErrors", "Too many open files")},
    {-5, QT_TRANSLATE_NOOP("PortErrors", "File access denied")},
    {-6, QT_TRANSLATE_NOOP("PortErrors", "Invalid file handle")},
    {-8, QT_TRANSLATE_NOOP("PortErrors", "Insufficient memory")},
    {-15, QT_TRANSLATE_NOOP("PortErrors", "Invalid drive")},
    {-18, QT_TRANSLATE_NOOP("PortErrors", "No more files")},
    {-100, QT_TRANSLATE_NOOP("PortErrors", "Attempt to read beyond end of file")},
    {-101, QT_TRANSLATE_NOOP("PortErrors", "Disk is full")},
    {-102, QT_TRANSLATE_NOOP("PortErrors", "File/device not assigned")},
    {-103, QT_TRANSLATE_NOOP("PortErrors", "File/device not open")},
    {-104, QT_TRANSLATE_NOOP("PortErrors", "File/device not open for input")},
    {-105, QT_TRANSLATE_NOOP("PortErrors", "File/device not open for output")},
    {-150, QT_TRANSLATE_NOOP("PortErrors", "Disk is write-protected")},
    {-151, QT_TRANSLATE_NOOP("PortErrors", "Unknown disk unit")},
    {-152, QT_TRANSLATE_NOOP("PortErrors", "Drive is not ready")},
    {-153, QT_TRANSLATE_NOOP("PortErrors", "Unknown command")},
    {-154, QT_TRANSLATE_NOOP("PortErrors", "Data error")},
    {-155, QT_TRANSLATE_NOOP("PortErrors", "Bad request structure length")},
    {-156, QT_TRANSLATE_NOOP("PortErrors", "Seek error")},
    {-157, QT_TRANSLATE_NOOP("PortErrors", "Unknown media type")},
    {-158, QT_TRANSLATE_NOOP("PortErrors", "Disk sector not found")},
    {-159, QT_TRANSLATE_NOOP("PortErrors", "Printer is out of paper")},
    {-160, QT_TRANSLATE_NOOP("PortErrors", "Device write error")},
    {-161, QT_TRANSLATE_NOOP("PortErrors", "Device read error")},
    {-162, QT_TRANSLATE_NOOP("PortErrors", "General failure")},
    {-1001, QT_TRANSLATE_NOOP("PortErrors", "Bad handle passed to com function")},
    {-1002, QT_TRANSLATE_NOOP("PortErrors", "Bad argument passed to function")},
    {-1003, QT_TRANSLATE_NOOP("PortErrors", "Got quit message")},
    {-1004, QT_TRANSLATE_NOOP("PortErrors", "Terminal buffer greater than 65521")},
    {-1005, QT_TRANSLATE_NOOP("PortErrors", "ComPort component not assigned")},
    {-1006, QT_TRANSLATE_NOOP("PortErrors", "Internal error creating window class")},
    {-1007, QT_TRANSLATE_NOOP("PortErrors", "Modem component not assigned")},
    {-1008, QT_TRANSLATE_NOOP("PortErrors", "Phonebook component not assigned")},
    {-1009, QT_TRANSLATE_NOOP("PortErrors", "Component not compatible with WinSock")},
    {-2001, QT_TRANSLATE_NOOP("PortErrors", "ie_BadId - Specified comport doesn't exist")},
    {-2002, QT_TRANSLATE_NOOP("PortErrors", "ie_Baudrate - unsupported baud rate")},
    {-2003, QT_TRANSLATE_NOOP("PortErrors", "ie_Bytesize - invalid byte size")},
    {-2004, QT_TRANSLATE_NOOP("PortErrors", "ie_Default - error in default parameters")},
    {-2005, QT_TRANSLATE_NOOP("PortErrors", "ie_Hardware - Specified comport in use")},
    {-2006, QT_TRANSLATE_NOOP("PortErrors", "ie_Memory - unable to allocate queues")},
    {-2007, QT_TRANSLATE_NOOP("PortErrors", "ie_NOpen - device not open")},
    {-2008, QT_TRANSLATE_NOOP("PortErrors", "ie_Open - device already open")},
    {-2009, QT_TRANSLATE_NOOP("PortErrors", "No more handles, can't open port")},
    {-2010, QT_TRANSLATE_NOOP("PortErrors", "No timers available")},
    {-2011, QT_TRANSLATE_NOOP("PortErrors", "The ComNumber property of the TQpComPort has not been set")},
    {-2012, QT_TRANSLATE_NOOP("PortErrors", "Comport was not opened by Tapi")},
    {-3001, QT_TRANSLATE_NOOP("PortErrors", "No device layer specified")},
    {-3002, QT_TRANSLATE_NOOP("PortErrors", "Function not supported by driver")},
    {-3003, QT_TRANSLATE_NOOP("PortErrors", "EnableCommNotification failed")},
    {-3004, QT_TRANSLATE_NOOP("PortErrors", "Failed to put entire block")},
    {-3005, QT_TRANSLATE_NOOP("PortErrors", "Failed to get entire block")},
    {-3006, QT_TRANSLATE_NOOP("PortErrors", "Output buffer too small for block")},
    {-3007, QT_TRANSLATE_NOOP("PortErrors", "Buffer is empty")},
    {-3008, QT_TRANSLATE_NOOP("PortErrors", "Tracing not enabled")},
    {-3009, QT_TRANSLATE_NOOP("PortErrors", "Logging not enabled")},
    {-3010, QT_TRANSLATE_NOOP("PortErrors", "Base address not set")},
    {4101, QT_TRANSLATE_NOOP("PortErrors", "Are you sure you want to delete this entry?")},
    {-5001, QT_TRANSLATE_NOOP("PortErrors", "No more trigger slots")},
    {-5002, QT_TRANSLATE_NOOP("PortErrors", "Data trigger too long")},
    {-5003, QT_TRANSLATE_NOOP("PortErrors", "Bad trigger handle")},
    {-5501, QT_TRANSLATE_NOOP("PortErrors", "Start string is empty")},
    {-5502, QT_TRANSLATE_NOOP("PortErrors", "Packet size cannot be smaller than start string")},
    {-5503, QT_TRANSLATE_NOOP("PortErrors", "CharCount packets must have an end-condition")},
    {-5504, QT_TRANSLATE_NOOP("PortErrors", "End string is empty")},
    {-5505, QT_TRANSLATE_NOOP("PortErrors", "Packet size cannot be zero")},
    {-5506, QT_TRANSLATE_NOOP("PortErrors", "Packet too long")},
    {9001, QT_TRANSLATE_NOOP("PortErrors", "Port Toolkit Error")},
    {9002, QT_TRANSLATE_NOOP("PortErrors", "Error loading Winsock DLL")},
    {9003, QT_TRANSLATE_NOOP("PortErrors", "Incorrect version of Winsock")},
    //: %s stands for the reason and must stay as it is.
    {9004, QT_TRANSLATE_NOOP("PortErrors", "Winsock not initialized - %s")},
    {9005, QT_TRANSLATE_NOOP("PortErrors", "Specified port is not valid")},
    {9006, QT_TRANSLATE_NOOP("PortErrors", "Cannot change parameter while socket is connected")},
    {9007, QT_TRANSLATE_NOOP("PortErrors", "Cannot resolve destination address")},
    {9008, QT_TRANSLATE_NOOP("PortErrors", "SOCKS request rejected or failed")},
    {9009, QT_TRANSLATE_NOOP("PortErrors", "SOCKS server cannot reach the client's identification service")},
    {9010, QT_TRANSLATE_NOOP("PortErrors", "SOCKS server rejected the user identifier")},
    {9011, QT_TRANSLATE_NOOP("PortErrors", "Unexpected answer from the SOCKS server")},
    {9012, QT_TRANSLATE_NOOP("PortErrors", "General SOCKS server failure")},
    {9013, QT_TRANSLATE_NOOP("PortErrors", "Connection not allowed by the SOCKS server's rules")},
    {9014, QT_TRANSLATE_NOOP("PortErrors", "Network unreachable from the SOCKS server")},
    {9015, QT_TRANSLATE_NOOP("PortErrors", "Host unreachable from the SOCKS server")},
    {9016, QT_TRANSLATE_NOOP("PortErrors", "Connection refused by the destination host")},
    {9017, QT_TRANSLATE_NOOP("PortErrors", "TTL expired at the SOCKS server")},
    {9018, QT_TRANSLATE_NOOP("PortErrors", "Command not supported by the SOCKS server")},
    {9019, QT_TRANSLATE_NOOP("PortErrors", "Address type not supported by the SOCKS server")},
    {9020, QT_TRANSLATE_NOOP("PortErrors", "SOCKS server replied with an IPv6 address")},
    {9021, QT_TRANSLATE_NOOP("PortErrors", "Invalid SOCKS server reply")},
    {10000, QT_TRANSLATE_NOOP("PortErrors", "None")},
    {10004, QT_TRANSLATE_NOOP("PortErrors", "Interrupted function call")},
    {10009, QT_TRANSLATE_NOOP("PortErrors", "Bad file number")},
    {10013, QT_TRANSLATE_NOOP("PortErrors", "Permission denied")},
    {10014, QT_TRANSLATE_NOOP("PortErrors", "Unknown error")},
    {10022, QT_TRANSLATE_NOOP("PortErrors", "Invalid argument")},
    {10024, QT_TRANSLATE_NOOP("PortErrors", "Too many open files")},
    {10035, QT_TRANSLATE_NOOP("PortErrors", "Warning : the socket would block on this call")},
    {10036, QT_TRANSLATE_NOOP("PortErrors", "A blocking call is in progress")},
    {10037, QT_TRANSLATE_NOOP("PortErrors", "WSAEALREADY: watch out, Al is ready")},
    {10038, QT_TRANSLATE_NOOP("PortErrors", "Socket descriptor is (1) not a socket, or (2) is of wrong type")},
    {10039, QT_TRANSLATE_NOOP("PortErrors", "The destination address is required for this operation")},
    {10040, QT_TRANSLATE_NOOP("PortErrors", "The datagram was too large to fit into the buffer and was truncated")},
    {10041, QT_TRANSLATE_NOOP("PortErrors", "WSAEPROTOTYPE")},
    {10042, QT_TRANSLATE_NOOP("PortErrors", "The option is unknown or not supported")},
    {10043, QT_TRANSLATE_NOOP("PortErrors", "Either (1) not enough buffer space to create socket (2) protocol not supported")},
    {10044, QT_TRANSLATE_NOOP("PortErrors", "Specified socket type not supported in this address family")},
    {10045, QT_TRANSLATE_NOOP("PortErrors", "Operation is not supported by this socket")},
    {10046, QT_TRANSLATE_NOOP("PortErrors", "Specified protocol family is not supported")},
    {10047, QT_TRANSLATE_NOOP("PortErrors", "Specified address family is not supported by this protocol")},
    {10048, QT_TRANSLATE_NOOP("PortErrors", "The address is already in use for this operation")},
    {10049, QT_TRANSLATE_NOOP("PortErrors", "The address is not available from this machine")},
    {10050, QT_TRANSLATE_NOOP("PortErrors", "The network subsystem has failed")},
    {10051, QT_TRANSLATE_NOOP("PortErrors", "The network is unreachable from this machine at this time")},
    {10052, QT_TRANSLATE_NOOP("PortErrors", "The network has been reset")},
    {10053, QT_TRANSLATE_NOOP("PortErrors", "The virtual circuit has been aborted due to timeout, etc")},
    {10054, QT_TRANSLATE_NOOP("PortErrors", "The virtual circuit has been reset by the partner")},
    {10055, QT_TRANSLATE_NOOP("PortErrors", "The descriptor is not a socket, or no buffer space is available")},
    {10056, QT_TRANSLATE_NOOP("PortErrors", "The socket is already connected")},
    {10057, QT_TRANSLATE_NOOP("PortErrors", "The socket is not connected")},
    {10058, QT_TRANSLATE_NOOP("PortErrors", "The socket has been shutdown")},
    {10059, QT_TRANSLATE_NOOP("PortErrors", "WSAETOOMANYREFS")},
    {10060, QT_TRANSLATE_NOOP("PortErrors", "The operation timed out")},
    {10061, QT_TRANSLATE_NOOP("PortErrors", "The attempt to connect was forcibly refused")},
    {10062, QT_TRANSLATE_NOOP("PortErrors", "WSAELOOP: see WSAELOOP")},
    {10063, QT_TRANSLATE_NOOP("PortErrors", "The name is too long")},
    {10064, QT_TRANSLATE_NOOP("PortErrors", "The host machine is down")},
    {10065, QT_TRANSLATE_NOOP("PortErrors", "The host machine is unreachable")},
    {10066, QT_TRANSLATE_NOOP("PortErrors", "WSAENOTEMPTY")},
    {10067, QT_TRANSLATE_NOOP("PortErrors", "WSAEPROCLIM")},
    {10068, QT_TRANSLATE_NOOP("PortErrors", "WSAEUSERS")},
    {10069, QT_TRANSLATE_NOOP("PortErrors", "WSAEDQUOT")},
    {10070, QT_TRANSLATE_NOOP("PortErrors", "WSAESTALE")},
    {10071, QT_TRANSLATE_NOOP("PortErrors", "WSAEREMOTE")},
    {10091, QT_TRANSLATE_NOOP("PortErrors", "Network subsystem unusable")},
    {10092, QT_TRANSLATE_NOOP("PortErrors", "Version requested by WSAStartUp not supported by loaded Winsock DLL")},
    {10093, QT_TRANSLATE_NOOP("PortErrors", "WSAStartUp not yet called")},
    {10101, QT_TRANSLATE_NOOP("PortErrors", "WSAEDISCON")},
    {11001, QT_TRANSLATE_NOOP("PortErrors", "Host not found")},
    {11002, QT_TRANSLATE_NOOP("PortErrors", "Host not found, or SERVERFAIL, can try again")},
    {11003, QT_TRANSLATE_NOOP("PortErrors", "Non recoverable errors, FORMERR, REFUSED, NOTIMP")},
    {11004, QT_TRANSLATE_NOOP("PortErrors", "Valid name, but no data record of requested type")},
    {-13868, QT_TRANSLATE_NOOP("PortErrors", "Out of memory")},
    // Dispatch log vocabulary: entry types (15001 + type) and subtypes (15100 + subtype), the
    // column heads, modem line and telnet option names.
    {15001, "No event"},
    {15002, "Dispatch"},
    {15003, "Trigger"},
    {15004, "Error"},
    {15005, "Thread"},
    {15006, "TrigAllc"},
    {15007, "TrigDisp"},
    {15008, "TrgHdAlc"},
    {15009, "TrgHdDsp"},
    {15010, "TrDatChg"},
    {15011, "Telnet"},
    {15012, "Fax"},
    {15013, "XModem"},
    {15014, "YModem"},
    {15015, "ZModem"},
    {15016, "Kermit"},
    {15017, "Ascii"},
    {15018, "BPlus"},
    {15019, "Packet"},
    {15020, "User"},
    {15021, "Script"},
    {15101, "ReadCom"},
    {15102, "WriteCom"},
    {15103, "Line status"},
    {15104, "Modem status"},
    {15105, "Avail"},
    {15106, "Timer"},
    {15107, "Data"},
    {15108, "Status"},
    {15109, "Start"},
    {15110, "Exit"},
    {15111, "Sleep"},
    {15112, "Wake"},
    {15113, "Data"},
    {15114, "Timer"},
    {15115, "Status"},
    {15116, "Avail"},
    {15117, "Window"},
    {15118, "Procedure"},
    {15119, "Method"},
    {15120, "Sent WILL"},
    {15121, "Sent WON'T"},
    {15122, "Sent DO"},
    {15123, "Sent DON'T"},
    {15124, "Recv WILL"},
    {15125, "Recv WON'T"},
    {15126, "Recv DO"},
    {15127, "Recv DON'T"},
    {15128, "Command"},
    {15129, "Sent Term"},
    {15501, "Time      Type      SubType       Data      OtherData"},
    {15502, "--------  --------  ------------  --------  ---------"},
    {15601, "DCTS "},
    {15602, "DDSR "},
    {15603, "TERI "},
    {15604, "DDCD "},
    {15605, "CTS "},
    {15606, "DSR "},
    {15607, "RI "},
    {15608, "DCD "},
    {15700, "Binary"},
    {15701, "Echo"},
    {15702, "Reconnection"},
    {15703, "Supress Go Ahead"},
    {15704, "Approx Msg Size"},
    {15705, "Status"},
    {15706, "Timing Mark"},
    {15707, "Remote Trans & Echo"},
    {15708, "Output Line Width"},
    {15709, "Output Page Size"},
    {15710, "Output C/R Disp"},
    {15711, "Output Horz Tabs"},
    {15712, "Output Horz Tab Disp"},
    {15713, "Output FF Disp"},
    {15714, "Output Vert Tabs"},
    {15715, "Output Vert Tab Disp"},
    {15716, "Output Linefeed Disp"},
    {15717, "Extended ASCII"},
    {15718, "Logout"},
    {15719, "Byte Macro"},
    {15720, "Data Entry Terminal"},
    {15721, "SUPDUP"},
    {15722, "SUPDUP Output"},
    {15723, "Send Location"},
    {15724, "Terminal Type"},
    {15725, "End of Record"},
    {15726, "TACACS User ID"},
    {15727, "Output Marking"},
    {15728, "Terminal Loc Num"},
    {15729, "Telnet3270 Regime"},
    {15730, "X.3 PAD"},
    {15731, "Neg Window Size"},
    {15732, "Terminal Speed"},
    {15733, "Flow Control"},
    {15734, "LineMode"},
    {15735, "X Display Location"},
    {15736, "Environment"},
    {15737, "Authentication"},
    {15738, "Telnet code 38"},
    {15739, "New Environment"},
    {15740, "Telnet code 40"},
    {15741, "Telnet code 41"},
    {15742, "Character Set"},
};

int AbsCode(int Code) { return Code < 0 ? -Code : Code; }

// The dispatch log is a file read by tools and compared across machines: its words stay English.
bool LogVocabulary(int Code) { return Code > 15000; }

// The system's text for an error number; "" when the system has none.
std::string SystemErrorText(int Code) {
  if (Code <= 0) return {};
  char Buffer[256] = {};
  // GNU strerror_r returns the text (possibly not in Buffer).
  const char* Text = strerror_r(Code, Buffer, sizeof Buffer);
  if (!Text) return {};
  std::string Result(Text);
  if (Result.rfind("Unknown error", 0) == 0) return {};  // the system has no message for it
  if (Result.size() > 255) Result.resize(255);
  return Result;
}

}  // namespace

std::string MessageNumberToString(int MessageNumber) {
  const int Wanted = AbsCode(MessageNumber);
  auto It = std::lower_bound(std::begin(MessageTable), std::end(MessageTable), Wanted,
                             [](const TMessageRow& Row, int V) { return AbsCode(Row.Code) < V; });
  if (It == std::end(MessageTable) || AbsCode(It->Code) != Wanted) return {};
  std::string Text = LogVocabulary(Wanted) ? It->Text : TrText("PortErrors", It->Text);
  if (Text.size() > 255) Text.resize(255);
  return Text;
}

std::string QpCleanSystemText(std::string Text) {
  for (char& C : Text)
    if (static_cast<unsigned char>(C) < 32) C = ' ';
  for (auto Pos = Text.find("  "); Pos != std::string::npos; Pos = Text.find("  "))
    Text.erase(Pos, 1);
  return Text;
}

std::string QpLoadStr(int ErrorCode) {
  const int Code = AbsCode(ErrorCode);
  std::string Text = MessageNumberToString(Code);
  if (Text.empty()) Text = QpCleanSystemText(SystemErrorText(Code));
  return Text;
}

EQpException::EQpException(int EC, bool /*PassThru*/)
    : std::runtime_error(QpLoadStr(EC)), FErrorCode(EC) {}

EQpException EQpException::CreateUnknown(const std::string& Msg, std::uint8_t /*Dummy*/) {
  return EQpException(Msg, 0, 0);
}

namespace {

template <class E>
[[noreturn]] void Raise(int Res) {
  throw E(Res);
}

bool RaiseNamed(int Res) {
  switch (Res) {
    case ecBadArgument: Raise<EBadArgument>(Res);
    case ecGotQuitMsg: Raise<EGotQuitMsg>(Res);
    case ecBufferTooBig: Raise<EBufferTooBig>(Res);
    case ecPortNotAssigned: Raise<EPortNotAssigned>(Res);
    case ecModemNotAssigned: Raise<EModemNotAssigned>(Res);
    case ecPhonebookNotAssigned: Raise<EPhonebookNotAssigned>(Res);
    case ecCannotUseWithWinSock: Raise<ECannotUseWithWinSock>(Res);
    case ecBadId: Raise<EBadId>(Res);
    case ecBaudRate: Raise<EBaudRate>(Res);
    case ecByteSize: Raise<EByteSize>(Res);
    case ecDefault: Raise<EDefault>(Res);
    case ecHardware: Raise<EHardware>(Res);
    case ecMemory: Raise<EMemory>(Res);
    case ecCommNotOpen: Raise<ECommNotOpen>(Res);
    case ecAlreadyOpen: Raise<EAlreadyOpen>(Res);
    case ecNoHandles: Raise<ENoHandles>(Res);
    case ecNoTimers: Raise<ENoTimers>(Res);
    case ecNoPortSelected: Raise<ENoPortSelected>(Res);
    case ecNotOpenedByTapi: Raise<ENotOpenedByTapi>(Res);
    case ecNullApi: Raise<ENullApi>(Res);
    case ecRegisterHandlerFailed: Raise<ERegisterHandlerFailed>(Res);
    case ecPutBlockFail: Raise<EPutBlockFail>(Res);
    case ecGetBlockFail: Raise<EGetBlockFail>(Res);
    case ecOutputBufferTooSmall: Raise<EOutputBufferTooSmall>(Res);
    case ecBufferIsEmpty: Raise<EBufferIsEmpty>(Res);
    case ecTracingNotEnabled: Raise<ETracingNotEnabled>(Res);
    case ecLoggingNotEnabled: Raise<ELoggingNotEnabled>(Res);
    case ecBaseAddressNotSet: Raise<EBaseAddressNotSet>(Res);
    case ecNoMoreTriggers: Raise<ENoMoreTriggers>(Res);
    case ecTriggerTooLong: Raise<ETriggerTooLong>(Res);
    case ecBadTriggerHandle: Raise<EBadTriggerHandle>(Res);
    case ecModemNotStarted: Raise<EModemNotStarted>(Res);
    case ecModemBusy: Raise<EModemBusy>(Res);
    case ecModemNotDialing: Raise<EModemNotDialing>(Res);
    case ecNotDialing: Raise<ENotDialing>(Res);
    case ecAlreadyDialing: Raise<EAlreadyDialing>(Res);
    case ecModemNotResponding: Raise<EModemNotResponding>(Res);
    case ecModemRejectedCommand: Raise<EModemRejectedCommand>(Res);
    case ecModemStatusMismatch: Raise<EModemStatusMismatch>(Res);
    case ecKeyTooLong: Raise<EKeyTooLong>(Res);
    case ecDataTooLarge: Raise<EDataTooLarge>(Res);
    case ecIniWrite: Raise<EIniWrite>(Res);
    case ecIniRead: Raise<EIniRead>(Res);
    case ecRecordExists: Raise<ERecordExists>(Res);
    case ecRecordNotFound: Raise<ERecordNotFound>(Res);
    case ecDatabaseFull: Raise<EDatabaseFull>(Res);
    case ecDatabaseEmpty: Raise<EDatabaseEmpty>(Res);
    case ecBadFieldList: Raise<EBadFieldList>(Res);
    case ecBadFieldForIndex: Raise<EBadFieldForIndex>(Res);
    case -8001: Raise<EFaxBadFormat>(Res);
    case -8002: Raise<EBadGraphicsFormat>(Res);
    case -8003: Raise<EConvertAbort>(Res);
    case -8004: Raise<EUnpackAbort>(Res);
    case -8005: Raise<ECantMakeBitmap>(Res);
    case -8053: Raise<EInvalidPageNumber>(Res);
    case -8060: Raise<EFaxBadMachine>(Res);
    case -8061: Raise<EFaxBadModemResult>(Res);
    case -8062: Raise<EFaxTrainError>(Res);
    case -8063: Raise<EFaxInitError>(Res);
    case -8064: Raise<EFaxBusy>(Res);
    case -8065: Raise<EFaxVoiceCall>(Res);
    case -8066: Raise<EFaxDataCall>(Res);
    case -8067: Raise<EFaxNoDialTone>(Res);
    case -8068: Raise<EFaxNoCarrier>(Res);
    case -8069: Raise<EFaxSessionError>(Res);
    case -8070: Raise<EFaxPageError>(Res);
    case ecRasLoadFail: Raise<ERasLoadFail>(Res);
    case ecTimeout:
    case ecTooManyErrors:
    case ecSequenceError: Raise<EProtocol>(Res);
    case ecInternal:
    case ecNoFieldsDefined:
    case ecNoIndexKey:
    case ecDatabaseNotPrepared: Raise<EInternal>(Res);
    default: break;
  }
  // The telephony codes each have a class of their own in the full tree; this program never
  // produces them, so they share their group class.
  if ((Res <= -13801 && Res >= -13886) || (Res <= -13928 && Res >= -13932) || Res == -13935 ||
      Res == -13936 || Res == -13942)
    Raise<ETapi>(Res);
  return false;
}

}  // namespace

void RaiseQpError(int Res) {
  RaiseNamed(Res);
  if (Res == ecOutOfMemory) throw std::bad_alloc();
  if (Res <= -2 && Res >= -162) throw EInOutError(QpLoadStr(-Res), -Res);
  throw EQpException::CreateUnknown(TrText("PortErrors", "Port exception"));
}

int CheckException(const TQpLoadingState* Ctl, int Res) {
  if (Res >= 0) return Res;
  if (Ctl && Ctl->IsLoading()) return Res;
  RaiseQpError(Res);
}
