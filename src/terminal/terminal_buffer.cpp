#include "terminal/terminal_buffer.h"

#include <algorithm>
#include <climits>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
int ClampInt(long long V, int Lo, int Hi) { return int(std::clamp<long long>(V, Lo, Hi)); }
}  // namespace

TQpTerminalBuffer::TQpTerminalBuffer(bool aUseWideChars)
    : FUseWideChars(aUseWideChars), FCells{aUseWideChars ? 2 : 1, 1, 1, 4, 4} {
  FCells.SetDefaultItem(PlChar, aUseWideChars ? FDefWideChar : std::uint8_t(FDefAnsiChar));
  FCells.SetDefaultItem(PlCharSet, FDefCharSet);
  FCells.SetDefaultItem(PlAttr, FDefAttr);
  FCells.SetDefaultItem(PlFore, FDefForeColor);
  FCells.SetDefaultItem(PlBack, FDefBackColor);
  FSVRowCount = qpc_TermBufScrollRowCount;
  FColCount = qpc_TermBufColCount;
  FRowCount = qpc_TermBufRowCount;
  FCells.Resize(FSVRowCount, FColCount);
  FHorzTabStops.assign(std::size_t(FColCount), false);
  FVertTabStops.assign(std::size_t(FRowCount), false);
  tbRegionOffQuiet();
  tbResizeDirty();
  tbSetHorzTabDefaults();
  FCursorRow = FirstScreenRow();
  FCursorCol = 0;
  FCursorMoved = true;
  tbInvalidateScreen();
}

const void* TQpTerminalBuffer::LinePtr(TPlane aPlane, int aRow) const {
  const long long Internal = static_cast<long long>(aRow) + FSVRowCount - FRowCount - 1;
  if (Internal < 0 || Internal >= FSVRowCount) return nullptr;
  return FCells.GetItemPtr(aPlane, int(Internal), FDisplayOriginCol);
}

// ---- change record ----

void TQpTerminalBuffer::tbResizeDirty() {
  FDirtyLo.assign(std::size_t(FRowCount), INT_MAX);
  FDirtyHi.assign(std::size_t(FRowCount), -1);
  FAllScreen = false;
  FOffDirty = false;
}

void TQpTerminalBuffer::tbInvalidateAny(int aFromRow, int aFromCol, int aToRow, int aToCol) {
  if (aFromRow > aToRow) std::swap(aFromRow, aToRow);
  if (aFromCol > aToCol) std::swap(aFromCol, aToCol);
  aFromRow = std::max(aFromRow, 0);
  aToRow = std::min(aToRow, FSVRowCount - 1);
  aFromCol = std::max(aFromCol, 0);
  aToCol = std::min(aToCol, FColCount - 1);
  if (aFromRow > aToRow || aFromCol > aToCol) return;
  FDirty = true;
  const int First = FirstScreenRow();
  const int S0 = std::max(aFromRow, First);
  if (S0 <= aToRow && !FAllScreen) {
    if (S0 == First && aToRow == FSVRowCount - 1 && aFromCol == 0 && aToCol == FColCount - 1) {
      FAllScreen = true;
    } else {
      for (int R = S0; R <= aToRow; ++R) {
        const std::size_t I = std::size_t(R - First);
        FDirtyLo[I] = std::min(FDirtyLo[I], aFromCol);
        FDirtyHi[I] = std::max(FDirtyHi[I], aToCol);
      }
    }
  }
  if (aFromRow < First) {
    const int Bottom = std::min(aToRow, First - 1);
    if (!FOffDirty) {
      FOffDirty = true;
      FOffTop = aFromRow, FOffBottom = Bottom, FOffLeft = aFromCol, FOffRight = aToCol;
    } else {
      FOffTop = std::min(FOffTop, aFromRow);
      FOffBottom = std::max(FOffBottom, Bottom);
      FOffLeft = std::min(FOffLeft, aFromCol);
      FOffRight = std::max(FOffRight, aToCol);
    }
  }
  PostUpdateNotice(0);
}

void TQpTerminalBuffer::PostUpdateNotice(LPARAM LParam) {
  if (FTerminalHandle == 0 || FNoticePending) return;
  FNoticePending = true;
  PostMessage(FTerminalHandle, qpw_TermNeedsUpdate, 0, LParam);
}

bool TQpTerminalBuffer::GetInvalidRect(TRect& aRect) {
  FNoticePending = false;
  if (!FDirty) return false;
  int Top = INT_MAX, Bottom = INT_MIN, Left = INT_MAX, Right = INT_MIN;
  const int First = FirstScreenRow();
  if (FAllScreen) {
    Top = First, Bottom = FSVRowCount - 1, Left = 0, Right = FColCount - 1;
  } else {
    for (int I = 0; I < FRowCount; ++I) {
      if (FDirtyLo[std::size_t(I)] > FDirtyHi[std::size_t(I)]) continue;
      Top = std::min(Top, First + I);
      Bottom = std::max(Bottom, First + I);
      Left = std::min(Left, FDirtyLo[std::size_t(I)]);
      Right = std::max(Right, FDirtyHi[std::size_t(I)]);
    }
  }
  if (FOffDirty) {
    Top = std::min(Top, FOffTop);
    Bottom = std::max(Bottom, FOffBottom);
    Left = std::min(Left, FOffLeft);
    Right = std::max(Right, FOffRight);
  }
  if (!FAllScreen) {
    std::fill(FDirtyLo.begin(), FDirtyLo.end(), INT_MAX);
    std::fill(FDirtyHi.begin(), FDirtyHi.end(), -1);
  }
  FAllScreen = false;
  FOffDirty = false;
  FDirty = false;
  aRect = TRect{Left + 1, ExtRow(Top), Right + 1, ExtRow(Bottom)};
  return true;
}

bool TQpTerminalBuffer::HasCursorMoved() {
  const bool R = FCursorMoved;
  FCursorMoved = false;
  return R;
}

void TQpTerminalBuffer::RegisterTerminalHandle(HWND AHandle) {
  FTerminalHandle = AHandle;
  FNoticePending = false;
}

void TQpTerminalBuffer::DeregisterTerminalHandle() {
  FTerminalHandle = 0;
  FNoticePending = false;
}

// ---- cursor ----

int TQpTerminalBuffer::Row() const {
  return FUseAbsAddress ? ExtRow(FCursorRow) : FCursorRow - FDisplayOriginRow + 1;
}

int TQpTerminalBuffer::Col() const {
  return FUseAbsAddress ? FCursorCol + 1 : FCursorCol - FDisplayOriginCol + 1;
}

void TQpTerminalBuffer::SetRow(int V) {
  if (V == Row()) return;
  const long long Internal = FUseAbsAddress ? static_cast<long long>(V) + FSVRowCount - FRowCount - 1
                                            : static_cast<long long>(V) + FDisplayOriginRow - 1;
  FBeyondMargin = false;
  tbMoveCursor(ClampInt(Internal, 0, FSVRowCount - 1), FCursorCol);
}

void TQpTerminalBuffer::SetCol(int V) {
  if (V == Col()) return;
  const long long Internal = FUseAbsAddress ? static_cast<long long>(V) - 1 : static_cast<long long>(V) + FDisplayOriginCol - 1;
  FBeyondMargin = false;
  tbMoveCursor(FCursorRow, ClampInt(Internal, 0, FColCount - 1));
}

void TQpTerminalBuffer::SetCursorPosition(int aRow, int aCol) {
  FBeyondMargin = false;
  const long long R = FUseAbsAddress ? static_cast<long long>(aRow) + FSVRowCount - FRowCount - 1
                                     : static_cast<long long>(aRow) + FDisplayOriginRow - 1;
  const long long C = FUseAbsAddress ? static_cast<long long>(aCol) - 1 : static_cast<long long>(aCol) + FDisplayOriginCol - 1;
  tbMoveCursor(ClampInt(R, 0, FSVRowCount - 1), ClampInt(C, 0, FColCount - 1));
}

bool TQpTerminalBuffer::RowHoldsText(int aRow) const {
  const void* P = GetLineCharPtr(aRow);
  if (!P) return false;
  if (FUseWideChars) {
    const auto* W = static_cast<const std::uint16_t*>(P);
    return std::any_of(W, W + FColCount, [this](std::uint16_t C) { return C != FDefWideChar; });
  }
  const auto* C = static_cast<const char*>(P);
  return std::any_of(C, C + FColCount, [this](char Ch) { return Ch != FDefAnsiChar; });
}

void TQpTerminalBuffer::ContinueBelowText() {
  int Last = FRowCount;
  while (Last >= 1 && !RowHoldsText(Last)) --Last;
  if (Last == 0) {
    SetRow(1);
    return;
  }
  FBeyondMargin = false;
  tbMoveCursor(FirstScreenRow() + Last - 1, 0);
  MoveCursorDown(true);
}

void TQpTerminalBuffer::tbFireCursorMoved() {
  if (OnCursorMoved && FCursorMoved) OnCursorMoved(this, Row(), Col());
}

void TQpTerminalBuffer::MoveCursorLeft(bool aWrap, bool aScroll) {
  FBeyondMargin = false;
  const int FirstCol = FDisplayOriginCol, LastCol = LastDisplayCol();
  const int FirstRow = FDisplayOriginRow, LastRow = LastDisplayRow();
  if (!aWrap) {
    if (FCursorCol > FirstCol) tbMoveCursor(FCursorRow, FCursorCol - 1);
    return;
  }
  if (FCursorCol > FirstCol) tbMoveCursor(FCursorRow, FCursorCol - 1);
  else if (FCursorRow > FirstRow) tbMoveCursor(FCursorRow - 1, LastCol);
  else if (aScroll) {
    tbScrollRows(-1, FirstRow, LastRow);
    tbInvalidateRows(FirstRow, LastRow);
    tbMoveCursor(FCursorRow, LastCol);
  }
}

void TQpTerminalBuffer::MoveCursorRight(bool aWrap, bool aScroll) {
  FBeyondMargin = false;
  const int FirstCol = FDisplayOriginCol, LastCol = LastDisplayCol();
  const int FirstRow = FDisplayOriginRow, LastRow = LastDisplayRow();
  if (!aWrap) {
    if (FCursorCol < LastCol) tbMoveCursor(FCursorRow, FCursorCol + 1);
    return;
  }
  if (FCursorCol < LastCol) tbMoveCursor(FCursorRow, FCursorCol + 1);
  else if (FCursorRow < LastRow) tbMoveCursor(FCursorRow + 1, FirstCol);
  else if (aScroll) {
    tbScrollRows(1, FUseScrollRegion ? FirstRow : 0, LastRow);
    tbInvalidateRows(FirstRow, LastRow);
    tbMoveCursor(FCursorRow, FirstCol);
  }
}

void TQpTerminalBuffer::MoveCursorUp(bool aScroll) {
  FBeyondMargin = false;
  const int FirstRow = FDisplayOriginRow, LastRow = LastDisplayRow();
  if (FCursorRow > FirstRow) tbMoveCursor(FCursorRow - 1, FCursorCol);
  else if (aScroll) {
    tbScrollRows(-1, FirstRow, LastRow);
    tbInvalidateRows(FirstRow, LastRow);
  }
}

void TQpTerminalBuffer::MoveCursorDown(bool aScroll) {
  FBeyondMargin = false;
  const int FirstRow = FDisplayOriginRow, LastRow = LastDisplayRow();
  if (FCursorRow < LastRow) tbMoveCursor(FCursorRow + 1, FCursorCol);
  else if (aScroll) {
    tbScrollRows(1, FUseScrollRegion ? FirstRow : 0, LastRow);
    tbInvalidateRows(FirstRow, LastRow);
  }
}

void TQpTerminalBuffer::DoBackspace() {
  FBeyondMargin = false;
  if (FCursorCol > FDisplayOriginCol) tbMoveCursor(FCursorRow, FCursorCol - 1);
}

void TQpTerminalBuffer::DoLineFeed() {
  if (FUseNewLineMode) DoCarriageReturn();
  MoveCursorDown(true);
}

void TQpTerminalBuffer::DoLineFeeds(int aCount) {
  if (aCount <= 0) return;
  if (FUseNewLineMode) DoCarriageReturn();
  FBeyondMargin = false;
  const int FirstRow = FDisplayOriginRow, LastRow = LastDisplayRow();
  // Inside a batch already: that one reports. One line feed moves or scrolls, never both, so
  // it needs none.
  const TCursorBatch Batch(FQuietMoves || aCount == 1 ? nullptr : this);
  if (FCursorRow < LastRow) {
    const int Step = std::min(aCount, LastRow - FCursorRow);
    tbMoveCursor(FCursorRow + Step, FCursorCol);
    aCount -= Step;
  }
  if (aCount > 0) {
    // Scrolling a range by more than its height clears it, as that many single scrolls would.
    tbScrollRows(aCount, FUseScrollRegion ? FirstRow : 0, LastRow);
    tbInvalidateRows(FirstRow, LastRow);
  }
}

void TQpTerminalBuffer::DoHorzTab() {
  FBeyondMargin = false;
  if (FColCount <= 0) return;
  const int Last = LastDisplayCol();
  int C = FCursorCol + 1;
  while (C < Last && !FHorzTabStops[std::size_t(C)]) ++C;
  tbMoveCursor(FCursorRow, std::min(std::max(C, FCursorCol), Last));
}

void TQpTerminalBuffer::DoBackHorzTab() {
  FBeyondMargin = false;
  if (FColCount <= 0) return;
  const int First = FDisplayOriginCol;
  int C = FCursorCol - 1;
  while (C > First && !FHorzTabStops[std::size_t(C)]) --C;
  tbMoveCursor(FCursorRow, std::max(std::min(C, FCursorCol), First));
}

// Vertical stops belong to screen rows; rows off the screen have none.
void TQpTerminalBuffer::DoVertTab() {
  FBeyondMargin = false;
  if (FRowCount <= 0) return;
  const int Last = LastDisplayRow(), First = FirstScreenRow();
  int R = FCursorRow + 1;
  while (R < Last && !(R >= First && FVertTabStops[std::size_t(R - First)])) ++R;
  tbMoveCursor(std::min(std::max(R, FCursorRow), Last), FCursorCol);
}

void TQpTerminalBuffer::DoBackVertTab() {
  FBeyondMargin = false;
  if (FRowCount <= 0) return;
  const int FirstDisp = FDisplayOriginRow, First = FirstScreenRow();
  int R = FCursorRow - 1;
  while (R > FirstDisp && !(R >= First && FVertTabStops[std::size_t(R - First)])) --R;
  tbMoveCursor(std::max(std::min(R, FCursorRow), FirstDisp), FCursorCol);
}

void TQpTerminalBuffer::SetHorzTabStop() { FHorzTabStops[std::size_t(FCursorCol)] = true; }
void TQpTerminalBuffer::ClearHorzTabStop() { FHorzTabStops[std::size_t(FCursorCol)] = false; }
void TQpTerminalBuffer::ClearAllHorzTabStops() { std::fill(FHorzTabStops.begin(), FHorzTabStops.end(), false); }
void TQpTerminalBuffer::SetVertTabStop() {
  const int S = FCursorRow - FirstScreenRow();
  if (S >= 0 && S < FRowCount) FVertTabStops[std::size_t(S)] = true;
}
void TQpTerminalBuffer::ClearVertTabStop() {
  const int S = FCursorRow - FirstScreenRow();
  if (S >= 0 && S < FRowCount) FVertTabStops[std::size_t(S)] = false;
}
void TQpTerminalBuffer::ClearAllVertTabStops() { std::fill(FVertTabStops.begin(), FVertTabStops.end(), false); }

void TQpTerminalBuffer::tbSetHorzTabDefaults() {
  for (int C = 0; C < FColCount; C += 8) FHorzTabStops[std::size_t(C)] = true;
}

// ---- writing ----

namespace {
// Stores of 16 bytes: a short run's items and the blank cells after them. With SSE2 the item
// is spread in a register; through memory otherwise (the compiler kept a stack copy of it).
void Store16(void* aTo, const void* aFrom) { std::memcpy(aTo, aFrom, 16); }
template <class T>
void Dup16(T* aTo, int aCount, T aItem) {
  constexpr int PerStore = int(16 / sizeof(T));
#if defined(__SSE2__)
  __m128i V;
  if constexpr (sizeof(T) == 1) V = _mm_set1_epi8(char(aItem));
  else if constexpr (sizeof(T) == 2) V = _mm_set1_epi16(short(aItem));
  else V = _mm_set1_epi32(int(aItem));
  for (int J = 0; J < aCount; J += PerStore) _mm_storeu_si128(reinterpret_cast<__m128i*>(aTo + J), V);
#else
  T Items[PerStore];
  for (T& I : Items) I = aItem;
  for (int J = 0; J < aCount; J += PerStore) Store16(aTo + J, Items);
#endif
}
}  // namespace

// A run inside one row, every plane written in one go.
inline void TQpTerminalBuffer::tbStoreRun(const std::uint8_t* aData, int aCount, std::size_t aAvail, int aRow, int aCol) {
  bool TailFree = false;
  std::uint8_t* Row = FCells.RowForWrite(aRow, aCol, aCol + aCount, TailFree);
  if (!Row) return;
  // Copies first: the stores below may alias them as far as the compiler knows.
  const std::uint8_t Set = FCharSet;
  const TQpTerminalCharAttrs Attr = FAttr;
  const TColor Fore = FForeColor, Back = FBackColor;
  auto* Sets = FCells.Items<std::uint8_t>(Row, PlCharSet) + aCol;
  auto* Attrs = FCells.Items<TQpTerminalCharAttrs>(Row, PlAttr) + aCol;
  auto* Fores = FCells.Items<TColor>(Row, PlFore) + aCol;
  auto* Backs = FCells.Items<TColor>(Row, PlBack) + aCol;
  if (TailFree && aCount <= 16 && !FUseWideChars) {
    // The common short run, with nothing real after it: whole 16-byte stores, the cells after
    // the run blank anyway. No loop for the compiler to turn into a library call.
    auto* Chars = FCells.Items<std::uint8_t>(Row, PlChar) + aCol;
    if (aAvail >= 16) Store16(Chars, aData);
    else
      for (int J = 0; J < aCount; ++J) Chars[J] = aData[J];
    Dup16(Sets, aCount, Set);
    Dup16(Attrs, aCount, Attr);
    Dup16(Fores, aCount, Fore);
    Dup16(Backs, aCount, Back);
    return;
  }
  if (FUseWideChars) {  // each byte widened to an item
    auto* Chars = FCells.Items<std::uint16_t>(Row, PlChar) + aCol;
    for (int J = 0; J < aCount; ++J) Chars[J] = aData[J];
  } else {
    auto* Chars = FCells.Items<std::uint8_t>(Row, PlChar) + aCol;
    for (int J = 0; J < aCount; ++J) Chars[J] = aData[J];
  }
  for (int J = 0; J < aCount; ++J) Sets[J] = Set;
  for (int J = 0; J < aCount; ++J) Attrs[J] = Attr;
  for (int J = 0; J < aCount; ++J) Fores[J] = Fore;
  for (int J = 0; J < aCount; ++J) Backs[J] = Back;
}

void TQpTerminalBuffer::WriteChar(char aCh) {
  if (FBeyondMargin) MoveCursorRight(FUseAutoWrap, true);
  if (FUseInsertMode) {
    FCells.InsertItems(1, FCursorRow, FCursorCol);
    // The rest of the row moved one cell right.
    tbInvalidateRect(FCursorRow, FCursorCol, FCursorRow, LastDisplayCol());
  }
  const auto Ch = std::uint8_t(aCh);
  tbStoreRun(&Ch, 1, 1, FCursorRow, FCursorCol);
  tbInvalidateRect(FCursorRow, FCursorCol, FCursorRow, FCursorCol);
  if (FUseAutoWrapDelay && FCursorCol == LastDisplayCol()) FBeyondMargin = true;
  else MoveCursorRight(FUseAutoWrap, true);
}

// One store, at most one move: what the loop below does for a run inside the cursor's row.
void TQpTerminalBuffer::tbWriteInRow(const std::uint8_t* aData, int aCount, std::size_t aAvail) {
  const int Row = FCursorRow, Col = FCursorCol, End = Col + aCount;
  tbStoreRun(aData, aCount, aAvail, Row, Col);
  tbInvalidateRect(Row, Col, Row, End - 1);
  if (End <= LastDisplayCol()) {
    tbMoveCursor(Row, End);
  } else {  // up to the last column: the wrap waits for the next character
    tbMoveCursor(Row, End - 1);
    FBeyondMargin = true;
  }
}

void TQpTerminalBuffer::tbWriteBytes(const std::uint8_t* aData, std::size_t aLen) {
  if (aLen == 0) return;
  if (FUseInsertMode) {
    for (std::size_t I = 0; I < aLen; ++I) WriteChar(char(aData[I]));
    return;
  }
  // Moves inside the run are reported once, at its end.
  const TCursorBatch Batch(FQuietMoves ? nullptr : this);  // inside a batch already: that one reports
  std::size_t I = 0;
  while (I < aLen) {
    if (FBeyondMargin) MoveCursorRight(FUseAutoWrap, true);
    const int Last = LastDisplayCol();
    const int Col = FCursorCol, Row = FCursorRow;
    if (!FUseAutoWrap && Col >= Last) I = aLen - 1;  // every byte lands in the same cell
    const std::size_t Room = std::size_t(std::max(Last - Col + 1, 1));
    const int K = int(std::min(aLen - I, Room));
    tbStoreRun(aData + I, K, aLen - I, Row, Col);
    tbInvalidateRect(Row, Col, Row, Col + K - 1);
    I += std::size_t(K);
    if (Col + K - 1 < Last) tbMoveCursor(Row, Col + K);  // still inside the row
    else {
      if (K > 1) tbMoveCursor(Row, Col + K - 1);
      if (FUseAutoWrapDelay) FBeyondMargin = true;
      else MoveCursorRight(FUseAutoWrap, true);
    }
  }
}

void TQpTerminalBuffer::EndCursorBatch() {
  if (FQuietMoves > 0) --FQuietMoves;
  if (FQuietMoves == 0 && FMovedQuietly) {
    FMovedQuietly = false;
    tbFireCursorMoved();
  }
}

// ---- editing ----

void TQpTerminalBuffer::EraseAll() {
  FCells.Clear();
  SetRow(1);
  SetCol(1);
  tbInvalidateRows(0, FSVRowCount - 1);
}

void TQpTerminalBuffer::EraseScreen() {
  tbScrollRows(FRowCount, 0, FSVRowCount - 1);
  tbInvalidateScreen();
}

void TQpTerminalBuffer::EraseLine() {
  FCells.ClearItems(FCursorRow, FDisplayOriginCol, LastDisplayCol());
  tbInvalidateRect(FCursorRow, FDisplayOriginCol, FCursorRow, LastDisplayCol());
}

void TQpTerminalBuffer::EraseToEOL() {
  FCells.ClearItems(FCursorRow, FCursorCol, LastDisplayCol());
  tbInvalidateRect(FCursorRow, FCursorCol, FCursorRow, LastDisplayCol());
}

void TQpTerminalBuffer::EraseFromBOL() {
  FCells.ClearItems(FCursorRow, FDisplayOriginCol, FCursorCol);
  tbInvalidateRect(FCursorRow, FDisplayOriginCol, FCursorRow, FCursorCol);
}

void TQpTerminalBuffer::EraseToEOW() {
  FCells.ClearItems(FCursorRow, FCursorCol, FColCount - 1);
  tbInvalidateRect(FCursorRow, FCursorCol, FCursorRow, FColCount - 1);
  if (FCursorRow < FSVRowCount - 1) {
    const int Top = FCursorRow + 1, Bottom = FSVRowCount - 1;
    tbScrollRows(Bottom - Top + 1, Top, Bottom);
    tbInvalidateRows(Top, Bottom);
  }
}

void TQpTerminalBuffer::EraseFromBOW() {
  FCells.ClearItems(FCursorRow, 0, FCursorCol);
  tbInvalidateRect(FCursorRow, 0, FCursorRow, FCursorCol);
  const int First = FirstScreenRow();
  if (FCursorRow > First) {
    const int Top = First, Bottom = FCursorRow - 1;
    tbScrollRows(Bottom - Top + 1, Top, Bottom);
    tbInvalidateRows(Top, Bottom);
  }
}

void TQpTerminalBuffer::EraseChars(int aCount) {
  if (aCount <= 0) return;
  long long Remaining = aCount;
  int Row = FCursorRow, Col = FCursorCol;
  const int Last = LastDisplayCol();
  for (;;) {
    const int N = int(std::min<long long>(Remaining, Last - Col + 1));
    if (N > 0) {
      FCells.ClearItems(Row, Col, Col + N - 1);
      tbInvalidateRect(Row, Col, Row, Col + N - 1);
      Remaining -= N;
    }
    if (Remaining <= 0 || Row >= LastDisplayRow()) break;
    ++Row;
    Col = FDisplayOriginCol;
  }
}

void TQpTerminalBuffer::InsertChars(int aCount) {
  const int N = int(std::min<long long>(aCount, LastDisplayCol() - FCursorCol + 1));
  if (N < 1) return;
  FCells.InsertItems(N, FCursorRow, FCursorCol);
  tbInvalidateRect(FCursorRow, FCursorCol, FCursorRow, LastDisplayCol());
}

void TQpTerminalBuffer::DeleteChars(int aCount) {
  const int N = int(std::min<long long>(aCount, LastDisplayCol() - FCursorCol + 1));
  if (N < 1) return;
  FCells.DeleteItems(N, FCursorRow, FCursorCol);
  tbInvalidateRect(FCursorRow, FCursorCol, FCursorRow, LastDisplayCol());
}

void TQpTerminalBuffer::InsertLines(int aCount) {
  const int Last = LastDisplayRow();
  if (aCount <= 0 || FCursorRow < FDisplayOriginRow || FCursorRow > Last) return;
  const int N = int(std::min<long long>(aCount, Last - FCursorRow + 1));
  tbScrollRows(-N, FCursorRow, Last);
  tbInvalidateRect(FCursorRow, FDisplayOriginCol, Last, LastDisplayCol());
}

void TQpTerminalBuffer::DeleteLines(int aCount) {
  const int Last = LastDisplayRow();
  if (aCount <= 0 || FCursorRow < FDisplayOriginRow || FCursorRow > Last) return;
  const int N = int(std::min<long long>(aCount, Last - FCursorRow + 1));
  tbScrollRows(N, FCursorRow, Last);
  tbInvalidateRect(FCursorRow, FDisplayOriginCol, Last, LastDisplayCol());
}

void TQpTerminalBuffer::SetScrollRegion(int aTopRow, int aBottomRow) {
  if (aTopRow > aBottomRow) std::swap(aTopRow, aBottomRow);
  aTopRow = std::clamp(aTopRow, 1, FRowCount);
  aBottomRow = std::clamp(aBottomRow, 1, FRowCount);
  // Checked after clamping, so a region reaching past the screen cannot shrink to one row.
  if (aBottomRow - aTopRow < 1) return;
  FSRStartRow = aTopRow + FSVRowCount - FRowCount - 1;
  FSREndRow = aBottomRow + FSVRowCount - FRowCount - 1;
  if (FUseScrollRegion) SetUseScrollRegion(false);
  if (!(aTopRow == 1 && aBottomRow == FRowCount)) SetUseScrollRegion(true);
}

void TQpTerminalBuffer::SetUseScrollRegion(bool V) {
  if (V == FUseScrollRegion) return;
  FBeyondMargin = false;
  FDisplayOriginCol = 0;
  if (V) {
    // A region stored before a resize may no longer fit the screen.
    if (FSRStartRow < FirstScreenRow() || FSREndRow > FSVRowCount - 1 || FSREndRow - FSRStartRow < 1) {
      FSRStartRow = FirstScreenRow();
      FSREndRow = FSVRowCount - 1;
    }
    FDisplayOriginRow = FSRStartRow;
    FDisplayRowCount = FSREndRow - FSRStartRow + 1;
  } else {
    FDisplayOriginRow = FirstScreenRow();
    FDisplayRowCount = FRowCount;
  }
  FDisplayColCount = FColCount;
  tbMoveCursor(FDisplayOriginRow, FDisplayOriginCol);
  FUseScrollRegion = V;
}

void TQpTerminalBuffer::tbRegionOffQuiet() {
  FUseScrollRegion = false;
  FDisplayOriginCol = 0;
  FDisplayOriginRow = FirstScreenRow();
  FDisplayRowCount = FRowCount;
  FDisplayColCount = FColCount;
  FSRStartRow = FirstScreenRow();
  FSREndRow = FSVRowCount - 1;
}

void TQpTerminalBuffer::Reset() {
  SetCharAttrs(FDefAttr);
  SetBackColor(FDefBackColor);
  SetForeColor(FDefForeColor);
  SetCharSet(FDefCharSet);
  FCells.SetDefaultItem(PlChar, FUseWideChars ? FDefWideChar : std::uint8_t(FDefAnsiChar));
  FCells.Clear();
  ClearAllHorzTabStops();
  ClearAllVertTabStops();
  tbSetHorzTabDefaults();
  FUseAbsAddress = qpc_TermBufUseAbsAddress;
  FUseAutoWrap = qpc_TermBufUseAutoWrap;
  FUseAutoWrapDelay = qpc_TermBufUseAutoWrapDelay;
  FUseInsertMode = qpc_TermBufUseInsertMode;
  FUseNewLineMode = qpc_TermBufUseNewLineMode;
  SetUseScrollRegion(false);
  FBeyondMargin = false;
  SetRow(1);
  SetCol(1);
  tbInvalidateRows(0, FSVRowCount - 1);
}

// ---- attributes and colours ----

void TQpTerminalBuffer::SetCharAttrs(TQpTerminalCharAttrs V) {
  FAttr = V;
  FCells.SetDefaultItem(PlAttr, V);
}

void TQpTerminalBuffer::SetBackColor(TColor V) {
  FBackColor = V;
  FCells.SetDefaultItem(PlBack, V);
}

void TQpTerminalBuffer::SetForeColor(TColor V) {
  FForeColor = V;
  FCells.SetDefaultItem(PlFore, V);
}

void TQpTerminalBuffer::SetCharSet(std::uint8_t V) {
  FCharSet = V;
  FCells.SetDefaultItem(PlCharSet, V);
}

void TQpTerminalBuffer::SetDefAnsiChar(char V) {
  FDefAnsiChar = V;
  if (!FUseWideChars) FCells.SetDefaultItem(PlChar, std::uint8_t(V));
}

void TQpTerminalBuffer::SetDefBackColor(TColor V) {
  if (V == FDefBackColor) return;
  FCells.ReplaceItems(PlBack, FDefBackColor, V);
  FDefBackColor = V;
  tbInvalidateRows(0, FSVRowCount - 1);
}

void TQpTerminalBuffer::SetDefForeColor(TColor V) {
  if (V == FDefForeColor) return;
  FCells.ReplaceItems(PlFore, FDefForeColor, V);
  FDefForeColor = V;
  tbInvalidateRows(0, FSVRowCount - 1);
}

// ---- sizes ----

void TQpTerminalBuffer::CheckSize(const char* Setter, int Rows, int Cols, int V) const {
  if (V < 2) throw EQpTerminalError(std::string("TQpTerminalBuffer.") + Setter + ": new count too small");
  if (Rows > MaxTermBufRowCount || Cols > MaxTermBufColCount ||
      static_cast<long long>(Rows) * Cols > MaxTermBufCells)
    throw EQpTerminalError(std::string("TQpTerminalBuffer.") + Setter + ": new count too large");
}

void TQpTerminalBuffer::SetSVRowCount(int V) {
  if (V == FSVRowCount) return;
  CheckSize("tbSetSVRowCount", V, FColCount, V);
  const int Old = FSVRowCount;
  FCells.Resize(V, FColCount);
  FSVRowCount = V;
  if (V < FRowCount) {
    FRowCount = V;
    FVertTabStops.resize(std::size_t(V), false);
  }
  // The cursor keeps its screen row, inside the new bounds; a region no longer fits.
  FCursorRow = std::clamp(FCursorRow + (V - Old), 0, V - 1);
  tbRegionOffQuiet();
  FBeyondMargin = false;
  tbResizeDirty();
  tbInvalidateRows(0, FSVRowCount - 1);
}

void TQpTerminalBuffer::SetRowCount(int V) {
  if (V == FRowCount || V > FSVRowCount) return;
  CheckSize("tbSetRowCount", FSVRowCount, FColCount, V);
  FRowCount = V;
  FVertTabStops.assign(std::size_t(V), false);
  tbRegionOffQuiet();
  FCursorRow = std::max(FCursorRow, FirstScreenRow());
  FBeyondMargin = false;
  tbResizeDirty();
  tbInvalidateRows(0, FSVRowCount - 1);
}

void TQpTerminalBuffer::SetColCount(int V) {
  if (V == FColCount) return;
  CheckSize("tbSetColCount", FSVRowCount, V, V);
  FHorzTabStops.resize(std::size_t(V), false);
  FCells.Resize(FSVRowCount, V);
  FColCount = V;
  tbRegionOffQuiet();
  FCursorRow = FirstScreenRow();
  FCursorCol = 0;
  FBeyondMargin = false;
  tbResizeDirty();
  tbInvalidateRows(0, FSVRowCount - 1);
}
