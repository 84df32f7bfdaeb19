#pragma once
// Error codes, message texts and exceptions of the port library.
//
// Every port operation reports a signed 32-bit code: 0 success, negative an error, positive a
// status or socket error number. CheckException turns a negative code into an exception of the
// EQpException tree (or the runtime's I/O error / out-of-memory exception); QpLoadStr gives the
// text for any code, falling back to the system's own error text.

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

// ---- groups (thousands digit of a code) ----
constexpr int egDos = 0;
constexpr int egGeneral = -1;
constexpr int egOpenComm = -2;
constexpr int egSerialIO = -3;
constexpr int egModem = -4;
constexpr int egTrigger = -5;
constexpr int egProtocol = -6;
constexpr int egINI = -7;
constexpr int egFax = -8;
constexpr int egAdWinsock = 9;
constexpr int egWinsock = 10;
constexpr int egWinsockEx = 11;
constexpr int egTapi = -13;

// ---- file and device errors ----
constexpr int ecOK = 0;
constexpr int ecFileNotFound = -2;
constexpr int ecPathNotFound = -3;
constexpr int ecTooManyFiles = -4;
constexpr int ecAccessDenied = -5;
constexpr int ecInvalidHandle = -6;
constexpr int ecOutOfMemory = -8;
constexpr int ecInvalidDrive = -15;
constexpr int ecNoMoreFiles = -18;
constexpr int ecDiskRead = -100;
constexpr int ecDiskFull = -101;
constexpr int ecNotAssigned = -102;
constexpr int ecNotOpen = -103;
constexpr int ecNotOpenInput = -104;
constexpr int ecNotOpenOutput = -105;
constexpr int ecWriteProtected = -150;
constexpr int ecUnknownUnit = -151;
constexpr int ecDriveNotReady = -152;
constexpr int ecUnknownCommand = -153;
constexpr int ecCrcError = -154;
constexpr int ecBadStructLen = -155;
constexpr int ecSeekError = -156;
constexpr int ecUnknownMedia = -157;
constexpr int ecSectorNotFound = -158;
constexpr int ecOutOfPaper = -159;
constexpr int ecDeviceWrite = -160;
constexpr int ecDeviceRead = -161;
constexpr int ecHardwareFailure = -162;

// ---- general ----
constexpr int ecBadHandle = -1001;
constexpr int ecBadArgument = -1002;
constexpr int ecGotQuitMsg = -1003;
constexpr int ecBufferTooBig = -1004;
constexpr int ecPortNotAssigned = -1005;
constexpr int ecInternal = -1006;
constexpr int ecModemNotAssigned = -1007;
constexpr int ecPhonebookNotAssigned = -1008;
constexpr int ecCannotUseWithWinSock = -1009;

// ---- opening ----
constexpr int ecBadId = -2001;
constexpr int ecBaudRate = -2002;
constexpr int ecByteSize = -2003;
constexpr int ecDefault = -2004;
constexpr int ecHardware = -2005;
constexpr int ecMemory = -2006;
constexpr int ecCommNotOpen = -2007;
constexpr int ecAlreadyOpen = -2008;
constexpr int ecNoHandles = -2009;
constexpr int ecNoTimers = -2010;
constexpr int ecNoPortSelected = -2011;
constexpr int ecNotOpenedByTapi = -2012;

// ---- serial I/O ----
constexpr int ecNullApi = -3001;
constexpr int ecNotSupported = -3002;
constexpr int ecRegisterHandlerFailed = -3003;
constexpr int ecPutBlockFail = -3004;
constexpr int ecGetBlockFail = -3005;
constexpr int ecOutputBufferTooSmall = -3006;
constexpr int ecBufferIsEmpty = -3007;
constexpr int ecTracingNotEnabled = -3008;
constexpr int ecLoggingNotEnabled = -3009;
constexpr int ecBaseAddressNotSet = -3010;

// ---- modem and dialer ----
constexpr int ecModemNotStarted = -4001;
constexpr int ecModemBusy = -4002;
constexpr int ecModemNotDialing = -4003;
constexpr int ecNotDialing = -4004;
constexpr int ecAlreadyDialing = -4005;
constexpr int ecModemNotResponding = -4006;
constexpr int ecModemRejectedCommand = -4007;
constexpr int ecModemStatusMismatch = -4008;
constexpr int ecDeviceNotSelected = -4009;
constexpr int ecModemDetectedBusy = -4010;
constexpr int ecModemNoDialtone = -4011;
constexpr int ecModemNoCarrier = -4012;
constexpr int ecModemNoAnswer = -4013;
constexpr int ecInitFail = -4014;
constexpr int ecLoginFail = -4015;
constexpr int ecMinorSrvErr = -4016;
constexpr int ecFatalSrvErr = -4017;
constexpr int ecModemNotFound = -4020;
constexpr int ecInvalidFile = -4021;

// ---- triggers and data packets ----
constexpr int ecNoMoreTriggers = -5001;
constexpr int ecTriggerTooLong = -5002;
constexpr int ecBadTriggerHandle = -5003;
constexpr int ecStartStringEmpty = -5501;
constexpr int ecPacketTooSmall = -5502;
constexpr int ecNoEndCharCount = -5503;
constexpr int ecEmptyEndString = -5504;
constexpr int ecZeroSizePacket = -5505;
constexpr int ecPacketTooLong = -5506;

// ---- file transfer protocols ----
constexpr int ecBadFileList = -6001;
constexpr int ecNoSearchMask = -6002;
constexpr int ecNoMatchingFiles = -6003;
constexpr int ecDirNotFound = -6004;
constexpr int ecCancelRequested = -6005;
constexpr int ecTimeout = -6006;
constexpr int ecProtocolError = -6007;
constexpr int ecTooManyErrors = -6008;
constexpr int ecSequenceError = -6009;
constexpr int ecNoFilename = -6010;
constexpr int ecFileRejected = -6011;
constexpr int ecCantWriteFile = -6012;
constexpr int ecTableFull = -6013;
constexpr int ecAbortNoCarrier = -6014;
constexpr int ecBadProtocolFunction = -6015;
constexpr int ecProtocolAbort = -6016;

// ---- INI database and state machine ----
constexpr int ecKeyTooLong = -7001;
constexpr int ecDataTooLarge = -7002;
constexpr int ecNoFieldsDefined = -7003;
constexpr int ecIniWrite = -7004;
constexpr int ecIniRead = -7005;
constexpr int ecNoIndexKey = -7006;
constexpr int ecRecordExists = -7007;
constexpr int ecRecordNotFound = -7008;
constexpr int ecMustHaveIdxVal = -7009;
constexpr int ecDatabaseFull = -7010;
constexpr int ecDatabaseEmpty = -7011;
constexpr int ecDatabaseNotPrepared = -7012;
constexpr int ecBadFieldList = -7013;
constexpr int ecBadFieldForIndex = -7014;
constexpr int ecNoStateMachine = -7500;
constexpr int ecNoStartState = -7501;
constexpr int ecNoSapiEngine = -7502;

constexpr int ecUnknown = -8500;

// ---- telephony ----
constexpr int ecAllocated = -13801;
constexpr int ecNoMem = -13868;
constexpr int ecRasLoadFail = -13980;

// ---- network layer (positive; never raised by CheckException) ----
constexpr int ecADWSERROR = 9001;
constexpr int ecADWSLOADERROR = 9002;
constexpr int ecADWSVERSIONERROR = 9003;
constexpr int ecADWSNOTINIT = 9004;
constexpr int ecADWSINVPORT = 9005;
constexpr int ecADWSCANTCHANGE = 9006;
constexpr int ecADWSCANTRESOLVE = 9007;

constexpr int wsaBaseErr = 10000;
constexpr int wsaEIntr = 10004;
constexpr int wsaEBadF = 10009;
constexpr int wsaEAcces = 10013;
constexpr int wsaEFault = 10014;
constexpr int wsaEInVal = 10022;
constexpr int wsaEMFile = 10024;
constexpr int wsaEWouldBlock = 10035;
constexpr int wsaEInProgress = 10036;
constexpr int wsaEAlReady = 10037;
constexpr int wsaENotSock = 10038;
constexpr int wsaEDestAddrReq = 10039;
constexpr int wsaEMsgSize = 10040;
constexpr int wsaEPrototype = 10041;
constexpr int wsaENoProtoOpt = 10042;
constexpr int wsaEProtoNoSupport = 10043;
constexpr int wsaESocktNoSupport = 10044;
constexpr int wsaEOpNotSupp = 10045;
constexpr int wsaEPfNoSupport = 10046;
constexpr int wsaEAfNoSupport = 10047;
constexpr int wsaEAddrInUse = 10048;
constexpr int wsaEAddrNotAvail = 10049;
constexpr int wsaENetDown = 10050;
constexpr int wsaENetUnreach = 10051;
constexpr int wsaENetReset = 10052;
constexpr int wsaEConnAborted = 10053;
constexpr int wsaEConnReset = 10054;
constexpr int wsaENoBufs = 10055;
constexpr int wsaEIsConn = 10056;
constexpr int wsaENotConn = 10057;
constexpr int wsaEShutDown = 10058;
constexpr int wsaETooManyRefs = 10059;
constexpr int wsaETimedOut = 10060;
constexpr int wsaEConnRefused = 10061;
constexpr int wsaELoop = 10062;
constexpr int wsaENameTooLong = 10063;
constexpr int wsaEHostDown = 10064;
constexpr int wsaEHostUnreach = 10065;
constexpr int wsaENotEmpty = 10066;
constexpr int wsaEProcLim = 10067;
constexpr int wsaEUsers = 10068;
constexpr int wsaEDQuot = 10069;
constexpr int wsaEStale = 10070;
constexpr int wsaERemote = 10071;
constexpr int wsaSysNotReady = 10091;
constexpr int wsaVerNotSupported = 10092;
constexpr int wsaNotInitialised = 10093;
constexpr int wsaEDiscOn = 10101;
constexpr int wsaHost_Not_Found = 11001;
constexpr int wsaTry_Again = 11002;
constexpr int wsaNo_Recovery = 11003;
constexpr int wsaNo_Data = 11004;
constexpr int wsaNo_Address = wsaNo_Data;
constexpr int Host_Not_Found = wsaHost_Not_Found;
constexpr int Try_Again = wsaTry_Again;
constexpr int No_Recovery = wsaNo_Recovery;
constexpr int No_Data = wsaNo_Data;
constexpr int No_Address = wsaNo_Data;

// ---- message texts ----

// The table text for |MessageNumber|, or "" when the table has no such row. Messages come in
// the program's language; the dispatch log's words (15001 and up) always in English.
std::string MessageNumberToString(int MessageNumber);
// The table text, else the system's error text (control characters made spaces, runs of
// spaces squeezed to one), else "".
std::string QpLoadStr(int ErrorCode);
// Cleans a system message the way QpLoadStr does (exposed for the network layer's texts).
std::string QpCleanSystemText(std::string Text);

// ---- exceptions ----

// The runtime's I/O error exception: file and device codes, with the positive error number.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(const std::string& Msg, int Code) : std::runtime_error(Msg), FErrorCode(Code) {}
  int ErrorCode() const { return FErrorCode; }

 private:
  int FErrorCode;
};

class EQpException : public std::runtime_error {
 public:
  // Message = QpLoadStr(|EC|), ErrorCode = EC. PassThru has no effect.
  explicit EQpException(int EC, bool PassThru = false);
  // Message = Msg, ErrorCode = 0 (the generic outcome).
  static EQpException CreateUnknown(const std::string& Msg, std::uint8_t Dummy = 0);
  static int MapCodeToStringID(int Code) { return Code < 0 ? -Code : Code; }
  int ErrorCode() const { return FErrorCode; }

 protected:
  EQpException(const std::string& Msg, int EC, int /*Tag*/) : std::runtime_error(Msg), FErrorCode(EC) {}

 private:
  int FErrorCode;
};

// Outside the tree, with an error code of their own.
class EQpPagerException : public std::runtime_error {
 public:
  EQpPagerException(int Code, const std::string& Msg) : std::runtime_error(Msg), FErrorCode(Code) {}
  int ErrorCode() const { return FErrorCode; }

 private:
  int FErrorCode;
};
class EQpGSMPhoneException : public std::runtime_error {
 public:
  EQpGSMPhoneException(int Code, const std::string& Msg) : std::runtime_error(Msg), FErrorCode(Code) {}
  int ErrorCode() const { return FErrorCode; }

 private:
  int FErrorCode;
};

#define QP_EXCEPTION_CLASS(Name, Base)                              \
  class Name : public Base {                                        \
   public:                                                          \
    explicit Name(int EC, bool PassThru = false) : Base(EC, PassThru) {} \
  };

// Group classes.
QP_EXCEPTION_CLASS(EGeneral, EQpException)
QP_EXCEPTION_CLASS(EOpenComm, EQpException)
QP_EXCEPTION_CLASS(ESerialIO, EQpException)
QP_EXCEPTION_CLASS(EModem, EQpException)
QP_EXCEPTION_CLASS(ETrigger, EQpException)
QP_EXCEPTION_CLASS(EPacket, EQpException)
QP_EXCEPTION_CLASS(EProtocol, EQpException)
QP_EXCEPTION_CLASS(EINI, EQpException)
QP_EXCEPTION_CLASS(EFax, EQpException)
QP_EXCEPTION_CLASS(ETapi, EQpException)
QP_EXCEPTION_CLASS(ERas, EQpException)
QP_EXCEPTION_CLASS(EAdTerminal, EQpException)
QP_EXCEPTION_CLASS(EXML, EQpException)
QP_EXCEPTION_CLASS(EStateMachine, EQpException)

// General.
QP_EXCEPTION_CLASS(EBadArgument, EGeneral)
QP_EXCEPTION_CLASS(EGotQuitMsg, EGeneral)
QP_EXCEPTION_CLASS(EBufferTooBig, EGeneral)
QP_EXCEPTION_CLASS(EPortNotAssigned, EGeneral)
QP_EXCEPTION_CLASS(EInternal, EGeneral)
QP_EXCEPTION_CLASS(EModemNotAssigned, EGeneral)
QP_EXCEPTION_CLASS(EPhonebookNotAssigned, EGeneral)
QP_EXCEPTION_CLASS(ECannotUseWithWinSock, EGeneral)
// Opening.
QP_EXCEPTION_CLASS(EBadId, EOpenComm)
QP_EXCEPTION_CLASS(EBaudRate, EOpenComm)
QP_EXCEPTION_CLASS(EByteSize, EOpenComm)
QP_EXCEPTION_CLASS(EDefault, EOpenComm)
QP_EXCEPTION_CLASS(EHardware, EOpenComm)
QP_EXCEPTION_CLASS(EMemory, EOpenComm)
QP_EXCEPTION_CLASS(ECommNotOpen, EOpenComm)
QP_EXCEPTION_CLASS(EAlreadyOpen, EOpenComm)
QP_EXCEPTION_CLASS(ENoHandles, EOpenComm)
QP_EXCEPTION_CLASS(ENoTimers, EOpenComm)
QP_EXCEPTION_CLASS(ENoPortSelected, EOpenComm)
QP_EXCEPTION_CLASS(ENotOpenedByTapi, EOpenComm)
// Serial I/O.
QP_EXCEPTION_CLASS(ENullApi, ESerialIO)
QP_EXCEPTION_CLASS(ERegisterHandlerFailed, ESerialIO)
QP_EXCEPTION_CLASS(EPutBlockFail, ESerialIO)
QP_EXCEPTION_CLASS(EGetBlockFail, ESerialIO)
QP_EXCEPTION_CLASS(EOutputBufferTooSmall, ESerialIO)
QP_EXCEPTION_CLASS(EBufferIsEmpty, ESerialIO)
QP_EXCEPTION_CLASS(ETracingNotEnabled, ESerialIO)
QP_EXCEPTION_CLASS(ELoggingNotEnabled, ESerialIO)
QP_EXCEPTION_CLASS(EBaseAddressNotSet, ESerialIO)
// Triggers and packets.
QP_EXCEPTION_CLASS(ENoMoreTriggers, ETrigger)
QP_EXCEPTION_CLASS(ETriggerTooLong, ETrigger)
QP_EXCEPTION_CLASS(EBadTriggerHandle, ETrigger)
QP_EXCEPTION_CLASS(EInvalidProperty, EPacket)
QP_EXCEPTION_CLASS(EStringSizeError, EPacket)
// Terminal.
QP_EXCEPTION_CLASS(EAdTermRangeError, EAdTerminal)
QP_EXCEPTION_CLASS(EAdTermInvalidParameter, EAdTerminal)
QP_EXCEPTION_CLASS(EAdTermTooLarge, EAdTerminal)
// Modem.
QP_EXCEPTION_CLASS(EModemNotStarted, EModem)
QP_EXCEPTION_CLASS(EModemBusy, EModem)
QP_EXCEPTION_CLASS(EModemNotDialing, EModem)
QP_EXCEPTION_CLASS(EModemNotResponding, EModem)
QP_EXCEPTION_CLASS(EModemRejectedCommand, EModem)
QP_EXCEPTION_CLASS(EModemStatusMismatch, EModem)
QP_EXCEPTION_CLASS(EAlreadyDialing, EModem)
QP_EXCEPTION_CLASS(ENotDialing, EModem)
QP_EXCEPTION_CLASS(EDeviceNotSelected, EModem)
QP_EXCEPTION_CLASS(EModemDetectedBusy, EModem)
QP_EXCEPTION_CLASS(ENoDialtone, EModem)
QP_EXCEPTION_CLASS(ENoCarrier, EModem)
QP_EXCEPTION_CLASS(ENoAnswer, EModem)
// Protocols.
QP_EXCEPTION_CLASS(ETimeout, EProtocol)
QP_EXCEPTION_CLASS(ETooManyErrors, EProtocol)
QP_EXCEPTION_CLASS(ESequenceError, EProtocol)
// INI database.
QP_EXCEPTION_CLASS(EKeyTooLong, EINI)
QP_EXCEPTION_CLASS(EDataTooLarge, EINI)
QP_EXCEPTION_CLASS(EIniWrite, EINI)
QP_EXCEPTION_CLASS(EIniRead, EINI)
QP_EXCEPTION_CLASS(ERecordExists, EINI)
QP_EXCEPTION_CLASS(ERecordNotFound, EINI)
QP_EXCEPTION_CLASS(EDatabaseFull, EINI)
QP_EXCEPTION_CLASS(EDatabaseEmpty, EINI)
QP_EXCEPTION_CLASS(EBadFieldList, EINI)
QP_EXCEPTION_CLASS(EBadFieldForIndex, EINI)
// Fax.
QP_EXCEPTION_CLASS(EFaxBadFormat, EFax)
QP_EXCEPTION_CLASS(EBadGraphicsFormat, EFax)
QP_EXCEPTION_CLASS(EConvertAbort, EFax)
QP_EXCEPTION_CLASS(EUnpackAbort, EFax)
QP_EXCEPTION_CLASS(ECantMakeBitmap, EFax)
QP_EXCEPTION_CLASS(ENoImageLoaded, EFax)
QP_EXCEPTION_CLASS(ENoImageBlockMarked, EFax)
QP_EXCEPTION_CLASS(EInvalidPageNumber, EFax)
QP_EXCEPTION_CLASS(EFaxBadMachine, EFax)
QP_EXCEPTION_CLASS(EFaxBadModemResult, EFax)
QP_EXCEPTION_CLASS(EFaxTrainError, EFax)
QP_EXCEPTION_CLASS(EFaxInitError, EFax)
QP_EXCEPTION_CLASS(EFaxBusy, EFax)
QP_EXCEPTION_CLASS(EFaxVoiceCall, EFax)
QP_EXCEPTION_CLASS(EFaxDataCall, EFax)
QP_EXCEPTION_CLASS(EFaxNoDialTone, EFax)
QP_EXCEPTION_CLASS(EFaxNoCarrier, EFax)
QP_EXCEPTION_CLASS(EFaxSessionError, EFax)
QP_EXCEPTION_CLASS(EFaxPageError, EFax)
QP_EXCEPTION_CLASS(EAlreadyMonitored, EFax)
// Remote access.
QP_EXCEPTION_CLASS(ERasLoadFail, ERas)

#undef QP_EXCEPTION_CLASS

// Anything that knows whether it is still being loaded from a stored description; while it is,
// CheckException returns codes instead of raising. A null control counts as loaded.
class TQpLoadingState {
 public:
  virtual ~TQpLoadingState() = default;
  virtual bool IsLoading() const { return false; }
};

// Returns Res unchanged when it does not raise (Res >= 0, or Ctl still loading).
int CheckException(const TQpLoadingState* Ctl, int Res);
// Raises for a negative code whatever the caller's state (the mapping of CheckException).
[[noreturn]] void RaiseQpError(int Res);
