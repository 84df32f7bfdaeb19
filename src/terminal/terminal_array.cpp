#include "terminal/terminal_array.h"

#include <algorithm>
#include <cstring>

namespace {
std::uint32_t ItemMask(int aItemSize) { return aItemSize == 1 ? 0xFFu : aItemSize == 2 ? 0xFFFFu : 0xFFFFFFFFu; }
}  // namespace

TadTerminalRows::TadTerminalRows(std::initializer_list<int> aItemSizes) {
  for (int Size : aItemSizes) {
    if (FPlaneCount == MaxPlanes) break;
    FItemSize[FPlaneCount++] = Size == 2 || Size == 4 ? Size : 1;
  }
  if (FPlaneCount == 0) FItemSize[FPlaneCount++] = 1;
}

void TadTerminalRows::SetDefaultItem(int aPlane, std::uint32_t V) {
  FBlankState.Fill[aPlane] = V & ItemMask(FItemSize[aPlane]);
}

void TadTerminalRows::FillLong(std::uint8_t* Row, int aItemSize, int aFromCol, int aCount, std::uint32_t Item) {
  switch (aItemSize) {
    case 1: std::memset(Row + aFromCol, int(Item & 0xFF), std::size_t(aCount)); break;
    case 2: {
      auto* P = reinterpret_cast<std::uint16_t*>(Row) + aFromCol;
      std::fill(P, P + aCount, std::uint16_t(Item));
      break;
    }
    default: {
      auto* P = reinterpret_cast<std::uint32_t*>(Row) + aFromCol;
      std::fill(P, P + aCount, Item);
    }
  }
}

// A write of [aCol, aEnd) apart from the row's real items: the blank columns between become
// real first.
void TadTerminalRows::FillGap(int aSlot, int aCol, int aEnd) {
  TRowState& R = FRowStates[std::size_t(aSlot)];
  std::uint8_t* Row = SlotBytes(aSlot);
  if (aCol > R.Hi) {
    FillAll(Row, R.Hi, aCol - R.Hi, R.Fill);
    R.Hi = aEnd;
  } else {  // ends before Lo
    FillAll(Row, aEnd, R.Lo - aEnd, R.Fill);
    R.Lo = aCol;
  }
}

void TadTerminalRows::FillWhole(int aSlot) const {
  TRowState& R = FRowStates[std::size_t(aSlot)];
  std::uint8_t* Row = SlotBytes(aSlot);
  if (R.Lo == R.Hi) {
    FillAll(Row, 0, FColCount, R.Fill);
  } else {
    FillAll(Row, 0, R.Lo, R.Fill);
    FillAll(Row, R.Hi, FColCount - R.Hi, R.Fill);
  }
  R.Lo = 0;
  R.Hi = FColCount;
}

void TadTerminalRows::Resize(int aRowCount, int aColCount) {
  if (aRowCount < 1 || aColCount < 1) {
    // Counts are stored; storage waits until both are known (as during construction).
    if (aRowCount >= 0) FRowCount = aRowCount;
    if (aColCount >= 0) FColCount = aColCount;
    return;
  }
  if (aRowCount == FRowCount && aColCount == FColCount && HasStorage()) return;
  std::size_t Offset[MaxPlanes] = {};
  std::size_t Words = 0;
  for (int P = 0; P < FPlaneCount; ++P) {
    Offset[P] = Words * 4;
    // Whole 16 bytes and 16 more, for the stores of a short run past its end.
    Words += ((std::size_t(aColCount) * std::size_t(FItemSize[P]) + 15) / 16 + 1) * 4;
  }
  std::vector<std::uint32_t> Items(std::size_t(aRowCount) * Words);
  std::vector<std::int32_t> Slots(static_cast<std::size_t>(aRowCount));
  for (int R = 0; R < aRowCount; ++R) Slots[std::size_t(R)] = R;
  // Fill whole rows, padding included.
  for (int R = 0; R < aRowCount; ++R) {
    auto* Row = reinterpret_cast<std::uint8_t*>(Items.data() + std::size_t(R) * Words);
    for (int P = 0; P < FPlaneCount; ++P) {
      const int Act = int((P + 1 < FPlaneCount ? Offset[P + 1] : Words * 4) - Offset[P]) / FItemSize[P];
      FillPlane(Row + Offset[P], FItemSize[P], 0, Act, FBlankState.Fill[P]);
    }
  }
  if (HasStorage()) {
    const int Rows = std::min(FRowCount, aRowCount);
    const int Cols = std::min(FColCount, aColCount);
    for (int I = 1; I <= Rows; ++I) {
      auto* To = reinterpret_cast<std::uint8_t*>(Items.data() + std::size_t(aRowCount - I) * Words);
      const std::uint8_t* From = FullRow(SlotOf(FRowCount - I));
      for (int P = 0; P < FPlaneCount; ++P)
        std::memcpy(To + Offset[P], From + FOffset[P], std::size_t(Cols) * std::size_t(FItemSize[P]));
    }
  }
  FItems.swap(Items);
  FSlots.swap(Slots);
  FSlotsInOrder = true;
  TRowState Real = FBlankState;
  Real.Lo = 0;
  Real.Hi = aColCount;
  FRowStates.assign(std::size_t(aRowCount), Real);
  std::copy(Offset, Offset + MaxPlanes, FOffset);
  FBase = 0;
  FRowCount = aRowCount;
  FColCount = aColCount;
  FWordsPerRow = Words;
}

void TadTerminalRows::Clear() {
  if (!HasStorage()) return;
  for (int S = 0; S < FRowCount; ++S) MarkBlank(S);
}

void TadTerminalRows::ClearItems(int aRow, int aFromCol, int aToCol) {
  if (!HasStorage() || aRow < 0 || aRow >= FRowCount) return;
  aFromCol = std::max(aFromCol, 0);
  aToCol = std::min(aToCol, FColCount - 1);
  if (aFromCol > aToCol) return;
  const int S = SlotOf(aRow);
  TRowState& R = FRowStates[std::size_t(S)];
  const int End = aToCol + 1;
  if (std::equal(R.Fill, R.Fill + FPlaneCount, FBlankState.Fill)) {
    // Blank columns already hold the fill items: only the real ones change.
    if (R.Lo == R.Hi || End <= R.Lo || aFromCol >= R.Hi) return;
    if (aFromCol <= R.Lo && End >= R.Hi) R.Lo = R.Hi = 0;
    else if (aFromCol <= R.Lo) R.Lo = End;
    else if (End >= R.Hi) R.Hi = aFromCol;
    else FillAll(SlotBytes(S), aFromCol, End - aFromCol, FBlankState.Fill);
    return;
  }
  FillAll(FullRow(S), aFromCol, End - aFromCol, FBlankState.Fill);
}

void TadTerminalRows::DeleteItems(int aCount, int aRow, int aCol) {
  if (!HasStorage() || aCount <= 0 || aRow < 0 || aRow >= FRowCount || aCol < 0 || aCol >= FColCount) return;
  const int N = std::min(aCount, FColCount - aCol);
  std::uint8_t* Row = FullRow(SlotOf(aRow));
  for (int P = 0; P < FPlaneCount; ++P) {
    const std::size_t S = std::size_t(FItemSize[P]);
    std::uint8_t* Items = Row + FOffset[P];
    std::memmove(Items + std::size_t(aCol) * S, Items + std::size_t(aCol + N) * S, std::size_t(FColCount - aCol - N) * S);
  }
  FillAll(Row, FColCount - N, N, FBlankState.Fill);
}

void TadTerminalRows::InsertItems(int aCount, int aRow, int aCol) {
  if (!HasStorage() || aCount <= 0 || aRow < 0 || aRow >= FRowCount || aCol < 0 || aCol >= FColCount) return;
  const int N = std::min(aCount, FColCount - aCol);
  std::uint8_t* Row = FullRow(SlotOf(aRow));
  for (int P = 0; P < FPlaneCount; ++P) {
    const std::size_t S = std::size_t(FItemSize[P]);
    std::uint8_t* Items = Row + FOffset[P];
    std::memmove(Items + std::size_t(aCol + N) * S, Items + std::size_t(aCol) * S, std::size_t(FColCount - aCol - N) * S);
  }
  FillAll(Row, aCol, N, FBlankState.Fill);
}

const void* TadTerminalRows::GetItemPtr(int aPlane, int aRow, int aCol) const {
  if (!HasStorage() || aRow < 0 || aRow >= FRowCount || aCol < 0 || aCol >= FColCount) return nullptr;
  return FullRow(SlotOf(aRow)) + FOffset[aPlane] + std::size_t(aCol) * std::size_t(FItemSize[aPlane]);
}

std::uint32_t TadTerminalRows::GetItem(int aPlane, int aRow, int aCol) const {
  if (!HasStorage() || aRow < 0 || aRow >= FRowCount || aCol < 0 || aCol >= FColCount) return DefaultItem(aPlane);
  const int S = SlotOf(aRow);
  const TRowState& R = FRowStates[std::size_t(S)];
  if (aCol < R.Lo || aCol >= R.Hi) return R.Fill[aPlane];
  const std::uint8_t* P = SlotBytes(S) + FOffset[aPlane] + std::size_t(aCol) * std::size_t(FItemSize[aPlane]);
  switch (FItemSize[aPlane]) {
    case 1: return *P;
    case 2: return *reinterpret_cast<const std::uint16_t*>(P);
    default: return *reinterpret_cast<const std::uint32_t*>(P);
  }
}

void TadTerminalRows::ReplaceItems(int aPlane, std::uint32_t aOldItem, std::uint32_t aNewItem) {
  if (!HasStorage()) return;
  const int Size = FItemSize[aPlane];
  const std::uint32_t Mask = ItemMask(Size);
  for (int S = 0; S < FRowCount; ++S) {
    TRowState& R = FRowStates[std::size_t(S)];
    if (R.Fill[aPlane] == (aOldItem & Mask)) R.Fill[aPlane] = aNewItem & Mask;
    std::uint8_t* Row = SlotBytes(S) + FOffset[aPlane];
    switch (Size) {
      case 1: std::replace(Row + R.Lo, Row + R.Hi, std::uint8_t(aOldItem), std::uint8_t(aNewItem)); break;
      case 2: {
        auto* P = reinterpret_cast<std::uint16_t*>(Row);
        std::replace(P + R.Lo, P + R.Hi, std::uint16_t(aOldItem), std::uint16_t(aNewItem));
        break;
      }
      default: {
        auto* P = reinterpret_cast<std::uint32_t*>(Row);
        std::replace(P + R.Lo, P + R.Hi, aOldItem, aNewItem);
      }
    }
  }
}

void TadTerminalRows::ScrollRange(int aCount, int aStartRow, int aEndRow) {
  if (!HasStorage() || aCount == 0) return;
  if (aStartRow > aEndRow) std::swap(aStartRow, aEndRow);
  aStartRow = std::max(aStartRow, 0);
  aEndRow = std::min(aEndRow, FRowCount - 1);
  if (aStartRow > aEndRow) return;
  const int Size = aEndRow - aStartRow + 1;
  // Computed wide: a count of INT_MIN has no positive counterpart.
  const long long Wide = aCount < 0 ? -static_cast<long long>(aCount) : aCount;
  const int N = Wide >= Size ? Size : int(Wide);
  const bool Up = aCount > 0;
  if (N < Size) {
    if (Size == FRowCount) {
      FBase += Up ? N : FRowCount - N;
      if (FBase >= FRowCount) FBase -= FRowCount;
    } else {
      FScratch.resize(std::size_t(Size));
      for (int I = 0; I < Size; ++I) {
        int J = FBase + aStartRow + I;
        if (J >= FRowCount) J -= FRowCount;
        FScratch[std::size_t(I)] = FSlots[std::size_t(J)];
      }
      if (Up) std::rotate(FScratch.begin(), FScratch.begin() + N, FScratch.end());
      else std::rotate(FScratch.begin(), FScratch.end() - N, FScratch.end());
      for (int I = 0; I < Size; ++I) {
        int J = FBase + aStartRow + I;
        if (J >= FRowCount) J -= FRowCount;
        FSlots[std::size_t(J)] = FScratch[std::size_t(I)];
      }
      FSlotsInOrder = false;
    }
  }
  const int FirstFill = Up ? aEndRow - N + 1 : aStartRow;
  for (int R = FirstFill; R < FirstFill + N; ++R) MarkBlank(SlotOf(R));
}
