#include "terminal/terminal_array.h"

#include <algorithm>
#include <cstring>

TadTerminalArray::TadTerminalArray(int aItemSize)
    : FItemSize(aItemSize == 2 || aItemSize == 4 ? aItemSize : 1) {}

void TadTerminalArray::SetDefaultItem(std::uint32_t V) {
  if (FItemSize == 1) V &= 0xFFu;
  else if (FItemSize == 2) V &= 0xFFFFu;
  if (V != FDefaultItem) FBlankValid = false;
  FDefaultItem = V;
}

const std::uint8_t* TadTerminalArray::MakeBlankRow() const {
  FBlank.resize(FWordsPerRow);
  auto* Row = reinterpret_cast<std::uint8_t*>(FBlank.data());
  switch (FItemSize) {
    case 1: std::memset(Row, int(FDefaultItem & 0xFF), std::size_t(FActColCount)); break;
    case 2: std::fill_n(reinterpret_cast<std::uint16_t*>(Row), FActColCount, std::uint16_t(FDefaultItem)); break;
    default: std::fill_n(reinterpret_cast<std::uint32_t*>(Row), FActColCount, FDefaultItem);
  }
  FBlankValid = true;
  return reinterpret_cast<const std::uint8_t*>(FBlank.data());
}

void TadTerminalArray::FillLong(std::uint8_t* Row, int aFromCol, int aCount, std::uint32_t Item) const {
  if (Item == FDefaultItem && FItemSize > 1) {
    const std::size_t S = std::size_t(FItemSize);
    std::memcpy(Row + std::size_t(aFromCol) * S, BlankRow() + std::size_t(aFromCol) * S, std::size_t(aCount) * S);
    return;
  }
  switch (FItemSize) {
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
void TadTerminalArray::FillGap(int aSlot, int aCol, int aEnd) {
  TRowState& R = FRowStates[std::size_t(aSlot)];
  std::uint8_t* Row = SlotBytes(aSlot);
  if (aCol > R.Hi) {
    FillRow(Row, R.Hi, aCol - R.Hi, R.Fill);
    R.Hi = aEnd;
  } else {  // ends before Lo
    FillRow(Row, aEnd, R.Lo - aEnd, R.Fill);
    R.Lo = aCol;
  }
}

void TadTerminalArray::FillWhole(int aSlot) const {
  TRowState& R = FRowStates[std::size_t(aSlot)];
  std::uint8_t* Row = SlotBytes(aSlot);
  if (R.Lo == R.Hi) {
    FillRow(Row, 0, FColCount, R.Fill);
  } else {
    FillRow(Row, 0, R.Lo, R.Fill);
    FillRow(Row, R.Hi, FColCount - R.Hi, R.Fill);
  }
  R.Lo = 0;
  R.Hi = FColCount;
}

void TadTerminalArray::Resize(int aRowCount, int aColCount) {
  if (aRowCount < 1 || aColCount < 1) {
    // Counts are stored; storage waits until both are known (as during construction).
    if (aRowCount >= 0) FRowCount = aRowCount;
    if (aColCount >= 0) FColCount = aColCount;
    return;
  }
  if (aRowCount == FRowCount && aColCount == FColCount && HasStorage()) return;
  const int PerWord = 4 / FItemSize;
  const int Act = (aColCount + PerWord - 1) / PerWord * PerWord;
  const std::size_t Words = std::size_t(Act) / std::size_t(PerWord);
  std::vector<std::uint32_t> Items(std::size_t(aRowCount) * Words);
  std::vector<std::int32_t> Slots(static_cast<std::size_t>(aRowCount));
  for (int R = 0; R < aRowCount; ++R) Slots[std::size_t(R)] = R;
  // Fill whole rows, padding included.
  for (int R = 0; R < aRowCount; ++R) {
    auto* Row = reinterpret_cast<std::uint8_t*>(Items.data() + std::size_t(R) * Words);
    switch (FItemSize) {
      case 1: std::memset(Row, int(FDefaultItem & 0xFF), std::size_t(Act)); break;
      case 2: std::fill_n(reinterpret_cast<std::uint16_t*>(Row), Act, std::uint16_t(FDefaultItem)); break;
      default: std::fill_n(reinterpret_cast<std::uint32_t*>(Row), Act, FDefaultItem);
    }
  }
  if (HasStorage()) {
    const int Rows = std::min(FRowCount, aRowCount);
    const std::size_t Bytes = std::size_t(std::min(FColCount, aColCount)) * std::size_t(FItemSize);
    for (int I = 1; I <= Rows; ++I) {
      auto* To = reinterpret_cast<std::uint8_t*>(Items.data() + std::size_t(aRowCount - I) * Words);
      std::memcpy(To, FullRow(SlotOf(FRowCount - I)), Bytes);
    }
  }
  FItems.swap(Items);
  FSlots.swap(Slots);
  FSlotsInOrder = true;
  FRowStates.assign(std::size_t(aRowCount), TRowState{0, aColCount, FDefaultItem});
  FBlankValid = false;
  FBase = 0;
  FRowCount = aRowCount;
  FColCount = aColCount;
  FActColCount = Act;
  FWordsPerRow = Words;
}

void TadTerminalArray::Clear() {
  if (!HasStorage()) return;
  for (int S = 0; S < FRowCount; ++S) MarkBlank(S);
}

void TadTerminalArray::ClearItems(int aRow, int aFromCol, int aToCol) {
  if (!HasStorage() || aRow < 0 || aRow >= FRowCount) return;
  aFromCol = std::max(aFromCol, 0);
  aToCol = std::min(aToCol, FColCount - 1);
  if (aFromCol > aToCol) return;
  const int S = SlotOf(aRow);
  TRowState& R = FRowStates[std::size_t(S)];
  const int End = aToCol + 1;
  if (R.Fill == FDefaultItem) {  // blank columns already hold the item: only the real ones change
    if (R.Lo == R.Hi || End <= R.Lo || aFromCol >= R.Hi) return;
    if (aFromCol <= R.Lo && End >= R.Hi) R.Lo = R.Hi = 0;
    else if (aFromCol <= R.Lo) R.Lo = End;
    else if (End >= R.Hi) R.Hi = aFromCol;
    else FillRow(SlotBytes(S), aFromCol, End - aFromCol, FDefaultItem);
    return;
  }
  FillRow(FullRow(S), aFromCol, End - aFromCol, FDefaultItem);
}

void TadTerminalArray::DeleteItems(int aCount, int aRow, int aCol) {
  if (!HasStorage() || aCount <= 0 || aRow < 0 || aRow >= FRowCount || aCol < 0 || aCol >= FColCount) return;
  const int N = std::min(aCount, FColCount - aCol);
  std::uint8_t* Row = FullRow(SlotOf(aRow));
  const std::size_t S = std::size_t(FItemSize);
  std::memmove(Row + std::size_t(aCol) * S, Row + std::size_t(aCol + N) * S, std::size_t(FColCount - aCol - N) * S);
  FillRow(Row, FColCount - N, N, FDefaultItem);
}

void TadTerminalArray::InsertItems(int aCount, int aRow, int aCol) {
  if (!HasStorage() || aCount <= 0 || aRow < 0 || aRow >= FRowCount || aCol < 0 || aCol >= FColCount) return;
  const int N = std::min(aCount, FColCount - aCol);
  std::uint8_t* Row = FullRow(SlotOf(aRow));
  const std::size_t S = std::size_t(FItemSize);
  std::memmove(Row + std::size_t(aCol + N) * S, Row + std::size_t(aCol) * S, std::size_t(FColCount - aCol - N) * S);
  FillRow(Row, aCol, N, FDefaultItem);
}

void* TadTerminalArray::GetItemPtr(int aRow, int aCol) {
  return const_cast<void*>(static_cast<const TadTerminalArray*>(this)->GetItemPtr(aRow, aCol));
}

const void* TadTerminalArray::GetItemPtr(int aRow, int aCol) const {
  if (!HasStorage() || aRow < 0 || aRow >= FRowCount || aCol < 0 || aCol >= FColCount) return nullptr;
  return FullRow(SlotOf(aRow)) + std::size_t(aCol) * std::size_t(FItemSize);
}

std::uint32_t TadTerminalArray::GetItem(int aRow, int aCol) const {
  if (!HasStorage() || aRow < 0 || aRow >= FRowCount || aCol < 0 || aCol >= FColCount) return FDefaultItem;
  const int S = SlotOf(aRow);
  const TRowState& R = FRowStates[std::size_t(S)];
  if (aCol < R.Lo || aCol >= R.Hi) return R.Fill;
  const std::uint8_t* P = SlotBytes(S) + std::size_t(aCol) * std::size_t(FItemSize);
  switch (FItemSize) {
    case 1: return *P;
    case 2: return *reinterpret_cast<const std::uint16_t*>(P);
    default: return *reinterpret_cast<const std::uint32_t*>(P);
  }
}

void TadTerminalArray::ReplaceItems(std::uint32_t aOldItem, std::uint32_t aNewItem) {
  if (!HasStorage()) return;
  const std::uint32_t Mask = FItemSize == 1 ? 0xFFu : FItemSize == 2 ? 0xFFFFu : 0xFFFFFFFFu;
  for (int S = 0; S < FRowCount; ++S) {
    TRowState& R = FRowStates[std::size_t(S)];
    if (R.Fill == (aOldItem & Mask)) R.Fill = aNewItem & Mask;
    std::uint8_t* Row = SlotBytes(S);
    switch (FItemSize) {
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

void TadTerminalArray::ScrollRange(int aCount, int aStartRow, int aEndRow) {
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
