#pragma once
// TWsConnection: one TCP connection of the network device layer. It owns the socket handles,
// an input ring that collects received bytes until the dispatcher takes them, and an output
// ring that holds bytes until the socket accepts them. With telnet handling on it is a passive
// telnet client: it answers option requests, reports a terminal type, and escapes outgoing
// bytes (CR NUL, IAC IAC).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "devices/sock_wrap.h"

enum TWsConnectionState { wcsInit = 0, wcsConnected = 1 };
enum TTelnetOpt { tnoFalse = 0, tnoNegotiating = 1, tnoTrue = 2 };

constexpr std::uint8_t TELNET_IAC = 0xFF;
constexpr std::uint8_t TELNET_DONT = 0xFE;
constexpr std::uint8_t TELNET_DO = 0xFD;
constexpr std::uint8_t TELNET_WONT = 0xFC;
constexpr std::uint8_t TELNET_WILL = 0xFB;
constexpr std::uint8_t TELNET_SB = 0xFA;
constexpr std::uint8_t TELNET_SE = 0xF0;
constexpr std::uint8_t TELNET_NULL = 0x00;
constexpr std::uint8_t TELNET_LF = 0x0A;
constexpr std::uint8_t TELNET_CR = 0x0D;
constexpr std::uint8_t TELNETOPT_BINARY = 0;
constexpr std::uint8_t TELNETOPT_ECHO = 1;
constexpr std::uint8_t TELNETOPT_SUPGA = 3;
constexpr std::uint8_t TELNETOPT_TERM = 24;
constexpr std::uint8_t TELNETOPT_SPEED = 32;

// Telnet events the connection reports for the dispatch log.
enum TTelnetLogKind {
  tlkRWill, tlkRWont, tlkRDo, tlkRDont, tlkCommand,
  tlkSDo, tlkSDont, tlkSWill, tlkSWont, tlkSTerm, tlkSubnegDropped
};

// The extra room of the output ring beyond what the dispatcher counts: telnet expansion and
// telnet answers that must wait behind unsent bytes.
constexpr std::uint32_t WsOutSlack = 4096;
// A subnegotiation longer than this is abandoned; the bytes after it are data again.
constexpr std::uint32_t WsMaxSubnegotiation = 1024;

class TQpWinsockDispatcher;

// Takes received bytes before any telnet handling (a proxy's replies). Take returns how many
// of the offered bytes it used; once Done, the connection forgets it and what follows is data.
class TWsRawReader {
 public:
  virtual ~TWsRawReader() = default;
  virtual std::size_t Take(const std::uint8_t* Data, std::size_t Len) = 0;
  virtual bool Done() const = 0;
};

class TWsConnection {
 public:
  // Creates the stream socket through the owner (an exception propagates).
  TWsConnection(TWsTransport& AOwner, std::uint32_t AInSize, std::uint32_t AOutSize);
  ~TWsConnection();
  TWsConnection(const TWsConnection&) = delete;
  TWsConnection& operator=(const TWsConnection&) = delete;

  // Receives what the socket has (at most two calls, never waiting), then delivers up to Size
  // data bytes. Size 0 only receives.
  int ReadBuf(char* Buf, int Size);
  // Takes the whole block or, when its telnet form does not fit the output ring, none of it;
  // then sends what is pending. Size 0 only sends.
  int WriteBuf(const char* Buf, int Size);
  // WriteBuf without the send: never reaches the socket, so no error is reported from here.
  int QueueBuf(const char* Buf, int Size);

  // While a raw reader is set, received bytes go to it first, untouched, and only what it
  // leaves is data; the reader must outlive its setting (clear it with nullptr).
  void SetRawReader(TWsRawReader* Reader) { FRawReader = Reader; }
  // Holds application output (WriteBuf) in the ring until released; raw bytes still go out.
  void SetHoldOutput(bool Hold);
  // Sends Bytes as they are, ahead of any held output, once there is a connection.
  void WriteRaw(const std::string& Bytes);

  std::uint32_t GetInChars();
  std::uint32_t GetOutChars();
  bool GetConnected() const { return FConnectionState == wcsConnected; }
  std::uint32_t InChars() { return GetInChars(); }
  std::uint32_t OutChars() { return GetOutChars(); }
  // GetOutChars without its attempt to send what is pending.
  std::uint32_t QueuedOutChars();
  bool Connected() const { return GetConnected(); }

  void FlushInBuffer();
  void FlushOutBuffer();
  void SetConnectionState(TWsConnectionState Value);
  TWsConnectionState ConnectionState() const { return FConnectionState; }
  // Closes the sockets (a server's client first); afterwards the handles are -1.
  int Shutdown();

  bool HandleCommand(std::uint8_t Command, std::uint8_t Option);
  void SendDo(std::uint8_t Option);
  void SendDont(std::uint8_t Option);
  void SendWill(std::uint8_t Option);
  void SendWont(std::uint8_t Option);
  void SendTerminal();

  TSocket CommSocket() const { return FCommSocket; }
  void SetCommSocket(TSocket S) { FCommSocket = S; }
  TSocket SocketHandle() const { return FSocketHandle; }
  bool IsClient() const { return FIsClient; }
  void SetIsClient(bool V) { FIsClient = V; }
  bool IsTelnet() const { return FIsTelnet; }
  void SetIsTelnet(bool V) { FIsTelnet = V; }
  std::uint32_t InSize() const { return FInSize; }
  std::uint32_t OutSize() const { return FOutSize; }
  TQpWinsockDispatcher* Dispatcher() const { return FDispatcher; }
  void SetDispatcher(TQpWinsockDispatcher* D) { FDispatcher = D; }
  TTelnetOpt OptBinary() const { return FOptBinary; }
  TTelnetOpt OptSupga() const { return FOptSupga; }
  TTelnetOpt OptEcho() const { return FOptEcho; }
  // Bytes waiting in the output ring, after telnet expansion.
  std::uint32_t OutRingUsed() const;

  // Carrier detect follows the connected state (set by the dispatcher).
  std::function<void(bool Connected)> OnCarrier;
  // Telnet traffic for the dispatch log; Data is the option byte or the terminal text.
  std::function<void(TTelnetLogKind Kind, const std::string& Data)> OnTelnetLog;

 private:
  bool IsSpecial(std::uint8_t B) const {
    return FIsTelnet && (B == TELNET_IAC || (B == TELNET_CR && FOptBinary == tnoFalse));
  }
  std::uint32_t InUsed() const;
  std::uint8_t InAt(std::uint32_t Offset) const { return FInBuf[(FInStart + Offset) % FInSize]; }
  void InConsume(std::uint32_t Count);
  void Receive(bool Twice);
  int ReceiveInto(std::uint32_t Pos, std::uint32_t Len);
  // Interprets telnet sequences from the oldest unread byte; returns the data bytes written to
  // Dest (at most Size), stopping before a normal byte or an incomplete sequence.
  int ProcessCommands(char* Dest, int Size, bool& Stalled);
  void ConsumeSubnegotiation();
  void SendAnswer(const std::uint8_t* Bytes, std::uint32_t Len);
  bool OutPut(const std::uint8_t* Bytes, std::uint32_t Len);
  void SendPending();
  int Send(const std::uint8_t* Bytes, std::uint32_t Len);
  void FeedRawReader();
  void Log(TTelnetLogKind Kind, const std::string& Data) {
    if (OnTelnetLog) OnTelnetLog(Kind, Data);
  }

  TWsTransport& FOwner;
  std::uint32_t FSimBuf = 0;
  TSocket FCommSocket = -1;
  TQpWinsockDispatcher* FDispatcher = nullptr;
  TWsConnectionState FConnectionState = wcsInit;
  std::vector<std::uint8_t> FInBuf;
  bool FInBufFull = false;
  std::uint32_t FInSize;
  std::uint32_t FInStart = 0;
  std::uint32_t FInEnd = 0;
  bool FIsClient = true;
  bool FIsTelnet = true;
  std::vector<std::uint8_t> FOutBuf;
  bool FOutBufFull = false;
  std::uint32_t FOutSize;
  std::uint32_t FOutStart = 0;
  std::uint32_t FOutEnd = 0;
  TSocket FSocketHandle = -1;
  TTelnetOpt FOptBinary = tnoFalse;
  TTelnetOpt FOptSupga = tnoFalse;
  TTelnetOpt FOptEcho = tnoFalse;
  // A CR was delivered as the last received byte: a NUL that follows later belongs to it.
  bool FCrPending = false;
  // Inside IAC SB ... IAC SE, consumed as it arrives.
  bool FInSubneg = false;
  bool FSubnegIac = false;
  std::uint8_t FSubnegOption = 0;
  std::uint32_t FSubnegLen = 0;
  TWsRawReader* FRawReader = nullptr;
  bool FHoldOutput = false;
  std::string FRawOut;  // raw bytes not yet taken by the socket
};
