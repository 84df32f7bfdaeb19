#include "port/port_errors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

template <class E>
E Catch(int Code) {
  try {
    CheckException(nullptr, Code);
  } catch (const E& Ex) {
    return Ex;
  }
  ADD_FAILURE() << "no exception of the expected class for " << Code;
  throw std::runtime_error("no exception");
}

TEST(CheckExceptionTest, NamedCodesRaiseTheirClassWithTableText) {
  auto BadId = Catch<EBadId>(ecBadId);
  EXPECT_EQ(BadId.ErrorCode(), -2001);
  EXPECT_STREQ(BadId.what(), "ie_BadId - Specified comport doesn't exist");

  auto Empty = Catch<EBufferIsEmpty>(ecBufferIsEmpty);
  EXPECT_NE(dynamic_cast<const ESerialIO*>(&Empty), nullptr);
  EXPECT_NE(dynamic_cast<const EQpException*>(&Empty), nullptr);
  EXPECT_STREQ(Empty.what(), "Buffer is empty");

  EXPECT_STREQ(Catch<EAlreadyOpen>(ecAlreadyOpen).what(), "ie_Open - device already open");
  EXPECT_STREQ(Catch<ECommNotOpen>(ecCommNotOpen).what(), "ie_NOpen - device not open");
  EXPECT_STREQ(Catch<ENoPortSelected>(ecNoPortSelected).what(),
               "The ComNumber property of the TQpComPort has not been set");
  EXPECT_STREQ(Catch<ETriggerTooLong>(ecTriggerTooLong).what(), "Data trigger too long");
  EXPECT_STREQ(Catch<EOutputBufferTooSmall>(ecOutputBufferTooSmall).what(),
               "Output buffer too small for block");
  EXPECT_EQ(Catch<ERasLoadFail>(ecRasLoadFail).ErrorCode(), ecRasLoadFail);
  EXPECT_EQ(Catch<EModemBusy>(ecModemBusy).ErrorCode(), ecModemBusy);
}

TEST(CheckExceptionTest, RemappedCodes) {
  struct Case {
    int Code;
    bool IsProtocol;
  };
  for (Case C : {Case{ecTimeout, true}, Case{ecTooManyErrors, true}, Case{ecSequenceError, true},
                 Case{ecInternal, false}, Case{ecNoFieldsDefined, false},
                 Case{ecDatabaseNotPrepared, false}}) {
    try {
      CheckException(nullptr, C.Code);
      ADD_FAILURE() << C.Code;
    } catch (const EQpException& E) {
      EXPECT_EQ(E.ErrorCode(), C.Code);
      if (C.IsProtocol) {
        EXPECT_EQ(typeid(E), typeid(EProtocol)) << C.Code;
      } else {
        EXPECT_EQ(typeid(E), typeid(EInternal)) << C.Code;
      }
    }
  }
}

TEST(CheckExceptionTest, GenericOutcomeHasPortExceptionTextAndCodeZero) {
  for (int Code : {ecBadHandle, ecNotSupported, ecStartStringEmpty, ecPacketTooLong, ecBadFileList,
                   ecDeviceNotSelected, -163, -20000}) {
    try {
      CheckException(nullptr, Code);
      ADD_FAILURE() << Code;
    } catch (const EQpException& E) {
      EXPECT_EQ(typeid(E), typeid(EQpException)) << Code;
      EXPECT_STREQ(E.what(), "Port exception");
      EXPECT_EQ(E.ErrorCode(), 0);
    }
  }
}

TEST(CheckExceptionTest, FileAndDeviceCodesRaiseTheIOError) {
  auto E = Catch<EInOutError>(-32);
  EXPECT_EQ(E.ErrorCode(), 32);
  // The system's own text, one line.
  EXPECT_EQ(std::string(E.what()), QpCleanSystemText(std::strerror(32)));
  EXPECT_EQ(std::string(E.what()).find('\n'), std::string::npos);

  auto Read = Catch<EInOutError>(ecDeviceRead);
  EXPECT_EQ(Read.ErrorCode(), 161);
  EXPECT_STREQ(Read.what(), "Device read error");
  EXPECT_THROW(CheckException(nullptr, ecOutOfMemory), std::bad_alloc);
}

TEST(CheckExceptionTest, NonNegativeAndLoadingReturnTheCode) {
  EXPECT_EQ(CheckException(nullptr, 10061), 10061);
  EXPECT_EQ(CheckException(nullptr, 0), 0);
  struct Loading : TQpLoadingState {
    bool IsLoading() const override { return true; }
  } L;
  EXPECT_EQ(CheckException(&L, ecBadId), ecBadId);
  TQpLoadingState Loaded;
  EXPECT_THROW(CheckException(&Loaded, ecBadId), EBadId);
}

TEST(QpLoadStrTest, LooksUpByAbsoluteValue) {
  EXPECT_EQ(QpLoadStr(-5003), "Bad trigger handle");
  EXPECT_EQ(QpLoadStr(5003), "Bad trigger handle");
  EXPECT_EQ(QpLoadStr(4101), "Are you sure you want to delete this entry?");
  EXPECT_EQ(QpLoadStr(0), "OK");
  EXPECT_EQ(QpLoadStr(9007), "Cannot resolve destination address");
  EXPECT_EQ(QpLoadStr(10061), "The attempt to connect was forcibly refused");
  EXPECT_EQ(QpLoadStr(11004), "Valid name, but no data record of requested type");
  EXPECT_EQ(QpLoadStr(15742), "Character Set");
  EXPECT_EQ(MessageNumberToString(-2), "File not found");
  // Neither a row nor a system text: empty.
  EXPECT_EQ(QpLoadStr(14999), "");
  EXPECT_EQ(MessageNumberToString(32), "");
}

TEST(QpLoadStrTest, EveryRowIsReachable) {
  // The lookup is a binary search; a row out of order would hide its neighbours.
  const int Codes[] = {0,     2,     162,   1001,  1009,  2001,  2012,  3001,  3010,  4101,
                       5001,  5003,  5501,  5506,  9001,  9007,  10000, 10004, 10101, 11001,
                       15001, 15021, 15101, 15129, 15501, 15502, 15601, 15608, 15700, 15742};
  for (int Code : Codes) EXPECT_FALSE(MessageNumberToString(Code).empty()) << Code;
}

TEST(QpLoadStrTest, SystemTextIsCleaned) {
  EXPECT_EQ(QpCleanSystemText("Access  is\r\n denied.\r\n"), "Access is denied. ");
  EXPECT_EQ(QpCleanSystemText(" one "), " one ");
}

}  // namespace
