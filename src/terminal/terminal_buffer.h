#pragma once
// The terminal's screen buffer: a screen of RowCount rows under SVRowCount - RowCount rows of
// scrollback, five planes per cell (character, character set, attributes, foreground and
// background colour), the cursor, tabs, a scroll region and the record of what changed.
//
// Numberings: internal rows 0..SVRowCount-1 (the screen is the last RowCount), internal
// columns 0..ColCount-1; external absolute rows (1 = first screen row, 0 and below scrollback)
// and columns (1-based); external relative rows and columns count from the display origin and
// are what Row/Col use when UseAbsAddress is off.
//
// Changes are kept in constant space: a dirty column range per screen row, an "all of the
// screen" flag and one bounding rectangle for rows off the screen. GetInvalidRect hands out
// their merged bounding rectangle. With a terminal handle registered, one qpw_TermNeedsUpdate
// is posted per batch of changes: a new one only after the painter took the previous batch.
//
// GUI thread only. The only platform call is PostMessage.

#include "platform/messages.h"
#include "terminal/terminal_array.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using TColor = std::uint32_t;  // 0x00BBGGRR

enum TQpTerminalCharAttr {
  tcaBold = 0,
  tcaUnderline = 1,
  tcaStrikethrough = 2,
  tcaBlink = 3,
  tcaReverse = 4,
  tcaInvisible = 5,
  tcaSelected = 6
};
using TQpTerminalCharAttrs = std::uint8_t;  // bit n for TQpTerminalCharAttr n
constexpr TQpTerminalCharAttrs AttrBit(TQpTerminalCharAttr A) { return TQpTerminalCharAttrs(1u << unsigned(A)); }

constexpr UINT qpw_TermNeedsUpdate = 0x7E8A;

constexpr TColor qpc_TermBufForeColor = 0x00C0C0C0;
constexpr TColor qpc_TermBufBackColor = 0x00000000;
constexpr int qpc_TermBufColCount = 80;
constexpr int qpc_TermBufRowCount = 24;
constexpr int qpc_TermBufScrollRowCount = 200;
constexpr bool qpc_TermBufUseAbsAddress = true;
constexpr bool qpc_TermBufUseAutoWrap = true;
constexpr bool qpc_TermBufUseAutoWrapDelay = true;
constexpr bool qpc_TermBufUseInsertMode = false;
constexpr bool qpc_TermBufUseNewLineMode = false;
constexpr bool qpc_TermBufUseScrollRegion = false;

// Bounds that keep every plane's size inside memory and every index inside int.
constexpr int MaxTermBufColCount = 1024;
constexpr int MaxTermBufRowCount = 100000;
constexpr long long MaxTermBufCells = 16LL * 1024 * 1024;

// Raised by the size setters; the buffer is unchanged when it is raised.
class EQpTerminalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // inclusive
  bool operator==(const TRect&) const = default;
};

class TQpTerminalBuffer;
using TQpOnCursorMovedEvent = std::function<void(TQpTerminalBuffer* Sender, int Row, int Col)>;
using TQpScrollRowsNotifyEvent = std::function<void(TQpTerminalBuffer* Sender, int Count, int TopRow, int BottomRow)>;

class TQpTerminalBuffer {
 public:
  explicit TQpTerminalBuffer(bool aUseWideChars = false);
  TQpTerminalBuffer(const TQpTerminalBuffer&) = delete;
  TQpTerminalBuffer& operator=(const TQpTerminalBuffer&) = delete;

  // Writing
  void WriteChar(char aCh);
  void WriteString(const std::string& aSt) { WriteBytes(reinterpret_cast<const std::uint8_t*>(aSt.data()), aSt.size()); }
  // Same as WriteChar for each byte, in runs of whole rows.
  // aAvail: the bytes readable from aData, aLen or more; more lets a short run be copied in
  // whole 16-byte moves.
  void WriteBytes(const std::uint8_t* aData, std::size_t aLen, std::size_t aAvail = 0) {
    // The common run, inside the cursor's row (up to its last column when the wrap waits for
    // the next character), on its own short path.
    if (!FBeyondMargin && !FUseInsertMode && aLen > 0 && FCursorCol <= LastDisplayCol() &&
        aLen <= std::size_t(LastDisplayCol() - FCursorCol) + (FUseAutoWrapDelay ? 1 : 0))
      tbWriteInRow(aData, int(aLen), std::max(aLen, aAvail));
    else
      tbWriteBytes(aData, aLen);
  }

  // Cursor
  void MoveCursorUp(bool aScroll);
  void MoveCursorDown(bool aScroll);
  void MoveCursorLeft(bool aWrap, bool aScroll);
  void MoveCursorRight(bool aWrap, bool aScroll);
  void SetCursorPosition(int aRow, int aCol);
  // Where output goes on when the screen is taken up again (a port reattached after a loss):
  // row 1 of an empty screen, else column 1 of the row after the last one holding text,
  // scrolling when that one is the bottom row, so new lines never overwrite older ones.
  void ContinueBelowText();
  // Screen or scrollback row aRow (external absolute) holds a character other than the blank.
  bool RowHoldsText(int aRow) const;
  void DoBackspace();
  void DoCarriageReturn() {
    FBeyondMargin = false;
    tbMoveCursor(FCursorRow, FDisplayOriginCol);
  }
  void DoLineFeed();
  // The same as aCount line feeds, with one scroll and one cursor report for them all.
  void DoLineFeeds(int aCount);
  void DoHorzTab();
  void DoBackHorzTab();
  void DoVertTab();
  void DoBackVertTab();

  // Tabs, at the cursor's column or screen row
  void SetHorzTabStop();
  void ClearHorzTabStop();
  void ClearAllHorzTabStops();
  void SetVertTabStop();
  void ClearVertTabStop();
  void ClearAllVertTabStops();

  // Editing
  void EraseAll();
  void EraseChars(int aCount);
  void EraseFromBOW();
  void EraseFromBOL();
  void EraseLine();
  void EraseScreen();
  void EraseToEOL();
  void EraseToEOW();
  void DeleteChars(int aCount);
  void DeleteLines(int aCount);
  void InsertChars(int aCount);
  void InsertLines(int aCount);
  void SetScrollRegion(int aTopRow, int aBottomRow);
  void Reset();

  // Attributes and colours; the setters also set the plane's fill item
  TQpTerminalCharAttrs GetCharAttrs() const { return FAttr; }
  void SetCharAttrs(TQpTerminalCharAttrs V);
  TQpTerminalCharAttrs GetDefCharAttrs() const { return FDefAttr; }
  void SetDefCharAttrs(TQpTerminalCharAttrs V) { FDefAttr = V; }
  TColor BackColor() const { return FBackColor; }
  void SetBackColor(TColor V);
  TColor ForeColor() const { return FForeColor; }
  void SetForeColor(TColor V);
  std::uint8_t CharSet() const { return FCharSet; }
  void SetCharSet(std::uint8_t V);
  char DefAnsiChar() const { return FDefAnsiChar; }
  void SetDefAnsiChar(char V);
  TColor DefBackColor() const { return FDefBackColor; }
  void SetDefBackColor(TColor V);
  TColor DefForeColor() const { return FDefForeColor; }
  void SetDefForeColor(TColor V);
  std::uint8_t DefCharSet() const { return FDefCharSet; }
  void SetDefCharSet(std::uint8_t V) { FDefCharSet = V; }

  // Sizes: below 2 or beyond the bounds above raise EQpTerminalError, buffer unchanged
  int SVRowCount() const { return FSVRowCount; }
  void SetSVRowCount(int V);
  int RowCount() const { return FRowCount; }
  void SetRowCount(int V);
  int ColCount() const { return FColCount; }
  void SetColCount(int V);

  // Cursor in the numbering UseAbsAddress selects; setters clamp
  int Row() const;
  void SetRow(int V);
  int Col() const;
  void SetCol(int V);
  int OriginCol() const { return FDisplayOriginCol + 1; }
  int OriginRow() const { return ExtRow(FDisplayOriginRow); }
  bool BeyondMargin() const { return FBeyondMargin; }
  int CursorRowInternal() const { return FCursorRow; }
  int CursorColInternal() const { return FCursorCol; }

  bool UseAbsAddress() const { return FUseAbsAddress; }
  void SetUseAbsAddress(bool V) { FUseAbsAddress = V; }
  bool UseAutoWrap() const { return FUseAutoWrap; }
  void SetUseAutoWrap(bool V) { FUseAutoWrap = V; }
  bool UseAutoWrapDelay() const { return FUseAutoWrapDelay; }
  void SetUseAutoWrapDelay(bool V) { FUseAutoWrapDelay = V; }
  bool UseInsertMode() const { return FUseInsertMode; }
  void SetUseInsertMode(bool V) { FUseInsertMode = V; }
  bool UseNewLineMode() const { return FUseNewLineMode; }
  void SetUseNewLineMode(bool V) { FUseNewLineMode = V; }
  bool UseScrollRegion() const { return FUseScrollRegion; }
  void SetUseScrollRegion(bool V);
  bool UseWideChars() const { return FUseWideChars; }

  // Painter access by external absolute row; null outside RowCount-SVRowCount+1..RowCount.
  // Each row holds ColCount items.
  const void* GetLineCharPtr(int aRow) const { return LinePtr(PlChar, aRow); }
  const TQpTerminalCharAttrs* GetLineAttrPtr(int aRow) const { return static_cast<const TQpTerminalCharAttrs*>(LinePtr(PlAttr, aRow)); }
  const TColor* GetLineForeColorPtr(int aRow) const { return static_cast<const TColor*>(LinePtr(PlFore, aRow)); }
  const TColor* GetLineBackColorPtr(int aRow) const { return static_cast<const TColor*>(LinePtr(PlBack, aRow)); }
  const std::uint8_t* GetLineCharSetPtr(int aRow) const { return static_cast<const std::uint8_t*>(LinePtr(PlCharSet, aRow)); }
  // The same rows for writing (the control's cell access and selection marks); nothing is
  // invalidated by writing through them.
  void* GetLineCharPtr(int aRow) { return const_cast<void*>(LinePtr(PlChar, aRow)); }
  TQpTerminalCharAttrs* GetLineAttrPtr(int aRow) {
    return static_cast<TQpTerminalCharAttrs*>(const_cast<void*>(LinePtr(PlAttr, aRow)));
  }

  // Change tracking
  bool HasDisplayChanged() const { return FDirty; }
  bool HasCursorMoved();
  // The merged rectangle of everything changed since the last call (external absolute,
  // inclusive); false when nothing changed. Also re-arms the update notice.
  bool GetInvalidRect(TRect& aRect);
  void RegisterTerminalHandle(HWND AHandle);
  void DeregisterTerminalHandle();
  HWND TerminalHandle() const { return FTerminalHandle; }
  // Between these, cursor moves are reported once, at the end (nesting allowed).
  void BeginCursorBatch() { ++FQuietMoves; }
  void EndCursorBatch();
  // A cursor batch for one scope (none for a null buffer). Its end reports the move, and that
  // report's handler may raise; a scope left by an exception closes the batch without reporting
  // (a raise during unwinding would end the program), and the move stays for the next report.
  class TCursorBatch {
   public:
    explicit TCursorBatch(TQpTerminalBuffer* B) : FBuffer(B), FRaising(B ? std::uncaught_exceptions() : 0) {
      if (FBuffer) FBuffer->BeginCursorBatch();
    }
    ~TCursorBatch() noexcept(false) {
      if (!FBuffer) return;
      if (std::uncaught_exceptions() > FRaising) {
        if (FBuffer->FQuietMoves > 0) --FBuffer->FQuietMoves;
      } else {
        FBuffer->EndCursorBatch();
      }
    }
    TCursorBatch(const TCursorBatch&) = delete;
    TCursorBatch& operator=(const TCursorBatch&) = delete;

   private:
    TQpTerminalBuffer* FBuffer;
    int FRaising;
  };
  // Posts qpw_TermNeedsUpdate(0, LParam) unless one is already pending.
  void PostUpdateNotice(LPARAM LParam);

  TQpScrollRowsNotifyEvent OnScrollRows;
  TQpOnCursorMovedEvent OnCursorMoved;

 private:
  int ExtRow(int aInternal) const { return aInternal + FRowCount - FSVRowCount + 1; }
  int FirstScreenRow() const { return FSVRowCount - FRowCount; }
  int LastDisplayRow() const { return FDisplayOriginRow + FDisplayRowCount - 1; }
  int LastDisplayCol() const { return FDisplayOriginCol + FDisplayColCount - 1; }
  // The planes of FCells.
  enum TPlane { PlChar, PlCharSet, PlAttr, PlFore, PlBack };
  const void* LinePtr(TPlane aPlane, int aRow) const;
  void CheckSize(const char* Setter, int Rows, int Cols, int V) const;

  void tbInvalidateRect(int aFromRow, int aFromCol, int aToRow, int aToCol) {
    // Inside a screen already all changed (the state while text scrolls): nothing to add.
    if (FAllScreen && FirstScreenRow() <= aFromRow && aFromRow <= aToRow && aToRow < FSVRowCount && 0 <= aFromCol &&
        aFromCol <= aToCol && aFromCol < FColCount) {
      FDirty = true;
      if (FTerminalHandle != 0 && !FNoticePending) PostUpdateNotice(0);
      return;
    }
    tbInvalidateAny(aFromRow, aFromCol, aToRow, aToCol);
  }
  void tbInvalidateAny(int aFromRow, int aFromCol, int aToRow, int aToCol);
  void tbInvalidateRows(int aFromRow, int aToRow) { tbInvalidateRect(aFromRow, 0, aToRow, FColCount - 1); }
  void tbInvalidateScreen() { tbInvalidateRows(FirstScreenRow(), FSVRowCount - 1); }
  void tbScrollRows(int aCount, int aTop, int aBottom) {
    if (aCount == 0) return;
    if (aTop > aBottom) std::swap(aTop, aBottom);
    FCells.ScrollRows(aCount, aTop, aBottom);
    if (OnScrollRows) OnScrollRows(this, aCount, ExtRow(aTop), ExtRow(aBottom));
  }
  // Puts the cursor at an internal position; an actual move sets FCursorMoved and fires.
  void tbMoveCursor(int aRow, int aCol) {
    if (aRow == FCursorRow && aCol == FCursorCol) return;
    FCursorRow = aRow;
    FCursorCol = aCol;
    FCursorMoved = true;
    if (FQuietMoves) FMovedQuietly = true;
    else tbFireCursorMoved();
  }
  void tbFireCursorMoved();
  void tbWriteInRow(const std::uint8_t* aData, int aCount, std::size_t aAvail);
  void tbWriteBytes(const std::uint8_t* aData, std::size_t aLen);
  // aAvail: the bytes readable from aData, aCount or more.
  void tbStoreRun(const std::uint8_t* aData, int aCount, std::size_t aAvail, int aRow, int aCol);
  void tbSetHorzTabDefaults();
  void tbRegionOffQuiet();
  void tbResizeDirty();

  TQpTerminalCharAttrs FAttr = 0;
  TColor FBackColor = qpc_TermBufBackColor;
  bool FBeyondMargin = false;
  std::uint8_t FCharSet = 0;
  int FColCount = 0;
  int FCursorCol = 0;
  bool FCursorMoved = false;
  int FCursorRow = 0;
  char FDefAnsiChar = ' ';
  TQpTerminalCharAttrs FDefAttr = 0;
  std::uint8_t FDefCharSet = 0;
  TColor FDefBackColor = qpc_TermBufBackColor;
  TColor FDefForeColor = qpc_TermBufForeColor;
  std::uint16_t FDefWideChar = ' ';
  int FDisplayOriginCol = 0;
  int FDisplayOriginRow = 0;
  int FDisplayColCount = 0;
  int FDisplayRowCount = 0;
  TColor FForeColor = qpc_TermBufForeColor;
  std::vector<bool> FHorzTabStops;
  int FRowCount = 0;
  int FSRStartRow = 0;
  int FSREndRow = 0;
  int FSVRowCount = 0;
  bool FUseAbsAddress = qpc_TermBufUseAbsAddress;
  bool FUseAutoWrap = qpc_TermBufUseAutoWrap;
  bool FUseAutoWrapDelay = qpc_TermBufUseAutoWrapDelay;
  bool FUseInsertMode = qpc_TermBufUseInsertMode;
  bool FUseNewLineMode = qpc_TermBufUseNewLineMode;
  bool FUseScrollRegion = qpc_TermBufUseScrollRegion;
  bool FUseWideChars = false;
  std::vector<bool> FVertTabStops;  // one per screen row
  TadTerminalRows FCells;  // the five planes (TPlane) in one ring of rows
  HWND FTerminalHandle = 0;
  bool FNoticePending = false;
  int FQuietMoves = 0;
  bool FMovedQuietly = false;

  // Change record: per screen row a dirty column range (lo > hi when clean), a whole-screen
  // flag, and a bounding box (internal rows) of changes off the screen.
  bool FDirty = false;
  bool FAllScreen = false;
  std::vector<int> FDirtyLo, FDirtyHi;
  bool FOffDirty = false;
  int FOffTop = 0, FOffBottom = 0, FOffLeft = 0, FOffRight = 0;
};
