#pragma once
// One plane of the terminal screen: rows of 1-, 2- or 4-byte items.
//
// Rows are kept in a ring: logical row r lives in the storage row named by a slot table, so
// scrolling a range moves slot numbers (or, for the whole plane, one base index), never the
// rows' items; a row scrolled in blank is only marked so (see TRowState below). Every row is
// padded to whole 32-bit words. Row and column arguments are checked:
// operations outside the plane do nothing, and item addresses outside it are null.
// Not thread-safe, reads included (reading a row's address fills its blank cells); the
// terminal uses it from the GUI thread only.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class TadTerminalArray {
 public:
  explicit TadTerminalArray(int aItemSize);

  int ColCount() const { return FColCount; }
  int RowCount() const { return FRowCount; }
  int ItemSize() const { return FItemSize; }
  // Sets both counts at once (one reallocation); the last rows and the first columns survive,
  // bottom-aligned. Nothing happens when either count is below 1.
  void Resize(int aRowCount, int aColCount);
  void SetColCount(int V) { Resize(FRowCount, V); }
  void SetRowCount(int V) { Resize(V, FColCount); }

  std::uint32_t DefaultItem() const { return FDefaultItem; }
  void SetDefaultItem(std::uint32_t V);

  void Clear();
  void ClearItems(int aRow, int aFromCol, int aToCol);
  void DeleteItems(int aCount, int aRow, int aCol);
  void InsertItems(int aCount, int aRow, int aCol);
  // Address of an item; null without storage or outside the plane. A row's items are
  // contiguous, so the address of column 0 reaches ColCount items.
  void* GetItemPtr(int aRow, int aCol);
  const void* GetItemPtr(int aRow, int aCol) const;
  std::uint32_t GetItem(int aRow, int aCol) const;
  void ReplaceItems(std::uint32_t aOldItem, std::uint32_t aNewItem);
  // Positive counts scroll up (rows move towards aStartRow), negative down; vacated rows take
  // the fill item. The range is clamped to the plane.
  void ScrollRows(int aCount, int aStartRow, int aEndRow) {
    // The common case, the whole plane up by one row, is a step of the ring; the row that comes
    // round is marked blank, not filled.
    if (aCount == 1 && aStartRow == 0 && aEndRow == FRowCount - 1 && FRowCount > 1 && HasStorage()) {
      const int S = FSlotsInOrder ? FBase : FSlots[std::size_t(FBase)];
      if (++FBase == FRowCount) FBase = 0;
      MarkBlank(S);
      return;
    }
    ScrollRange(aCount, aStartRow, aEndRow);
  }
  // Writes start where a row's real items end (see below) in the common case, handled here.
  void WriteItems(const void* aItems, int aCount, int aRow, int aCol) {
    if (!HasStorage() || aCount <= 0 || aRow < 0 || aRow >= FRowCount || aCol < 0 || aCol >= FColCount) return;
    const int N = aCount < FColCount - aCol ? aCount : FColCount - aCol;
    std::uint8_t* Row = PrepareWrite(SlotOf(aRow), aCol, aCol + N) + std::size_t(aCol) * std::size_t(FItemSize);
    if (FItemSize == 1 && N <= 16) {  // a short run of characters: a plain loop beats a library call
      for (int I = 0; I < N; ++I) Row[I] = static_cast<const std::uint8_t*>(aItems)[I];
    } else {
      std::memcpy(Row, aItems, std::size_t(N) * std::size_t(FItemSize));
    }
  }
  // The items of columns [aCol, aEnd) of a row, to be written by the caller at once (all of
  // them: they count as written); null when the range is not inside the plane or T is not the
  // item's size.
  template <class T>
  T* ItemsForWrite(int aRow, int aCol, int aEnd) {
    if (sizeof(T) != std::size_t(FItemSize) || !HasStorage() || aRow < 0 || aRow >= FRowCount || aCol < 0 ||
        aEnd > FColCount || aCol >= aEnd)
      return nullptr;
    return reinterpret_cast<T*>(PrepareWrite(SlotOf(aRow), aCol, aEnd)) + aCol;
  }
  void WriteDupItems(std::uint32_t aItem, int aCount, int aRow, int aCol) {
    if (!HasStorage() || aCount <= 0 || aRow < 0 || aRow >= FRowCount || aCol < 0 || aCol >= FColCount) return;
    const int N = aCount < FColCount - aCol ? aCount : FColCount - aCol;
    FillRow(PrepareWrite(SlotOf(aRow), aCol, aCol + N), aCol, N, aItem);
  }

 private:
  // Rows are filled lazily. Storage row s holds real items in columns [Lo, Hi) of its state;
  // every other column holds the state's Fill (the fill item when the row was blanked). A
  // write makes real the blank columns between it and the real ones, if any; handing out a
  // row's address makes the whole row real. So a scroll costs a mark, and a line is stored
  // once, however it is written (left to right, or one cell at a time down the screen).
  struct TRowState {
    std::int32_t Lo = 0, Hi = 0;  // Lo == Hi: no real items
    std::uint32_t Fill = 0;
  };
  int SlotOf(int aRow) const {
    int I = FBase + aRow;
    if (I >= FRowCount) I -= FRowCount;
    return FSlotsInOrder ? I : FSlots[std::size_t(I)];
  }
  std::uint8_t* SlotBytes(int aSlot) const {
    return reinterpret_cast<std::uint8_t*>(FItems.data() + std::size_t(aSlot) * FWordsPerRow);
  }
  void MarkBlank(int aSlot) { FRowStates[std::size_t(aSlot)] = TRowState{0, 0, FDefaultItem}; }
  // The row's storage, ready for a write of columns [aCol, aEnd).
  std::uint8_t* PrepareWrite(int aSlot, int aCol, int aEnd) {
    TRowState& R = FRowStates[std::size_t(aSlot)];
    if (aCol == R.Hi) R.Hi = aEnd;  // the usual case: on from the real items, or an empty row's first write
    else if (R.Lo == R.Hi) R.Lo = aCol, R.Hi = aEnd;
    else if (aCol > R.Hi || aEnd < R.Lo) FillGap(aSlot, aCol, aEnd);
    else {
      if (aCol < R.Lo) R.Lo = aCol;
      if (aEnd > R.Hi) R.Hi = aEnd;
    }
    return SlotBytes(aSlot);
  }
  void FillGap(int aSlot, int aCol, int aEnd);
  // The row made real whole, for handing out its address.
  std::uint8_t* FullRow(int aSlot) const {
    const TRowState& R = FRowStates[std::size_t(aSlot)];
    if (R.Lo != 0 || R.Hi != FColCount) FillWhole(aSlot);
    return SlotBytes(aSlot);
  }
  void FillWhole(int aSlot) const;
  void ScrollRange(int aCount, int aStartRow, int aEndRow);
  void FillRow(std::uint8_t* Row, int aFromCol, int aCount, std::uint32_t Item) const {
    if (aCount <= 0) return;
    if (aCount <= 16) {  // a few cells: a plain loop beats a library call
      switch (FItemSize) {
        case 1: {
          auto* P = Row + aFromCol;
          for (int I = 0; I < aCount; ++I) P[I] = std::uint8_t(Item);
          return;
        }
        case 2: {
          auto* P = reinterpret_cast<std::uint16_t*>(Row) + aFromCol;
          for (int I = 0; I < aCount; ++I) P[I] = std::uint16_t(Item);
          return;
        }
        default: {
          auto* P = reinterpret_cast<std::uint32_t*>(Row) + aFromCol;
          for (int I = 0; I < aCount; ++I) P[I] = Item;
          return;
        }
      }
    }
    FillLong(Row, aFromCol, aCount, Item);
  }
  void FillLong(std::uint8_t* Row, int aFromCol, int aCount, std::uint32_t Item) const;
  // A row of fill items, copied instead of filled item by item.
  const std::uint8_t* BlankRow() const { return FBlankValid ? reinterpret_cast<const std::uint8_t*>(FBlank.data()) : MakeBlankRow(); }
  const std::uint8_t* MakeBlankRow() const;
  bool HasStorage() const { return !FItems.empty(); }

  int FActColCount = -1;
  int FColCount = 0;
  std::uint32_t FDefaultItem = 0;
  // Mutable: handing out a row's address makes it real, which changes no item's value.
  mutable std::vector<std::uint32_t> FItems;
  int FItemSize = 1;
  int FRowCount = 0;
  std::size_t FWordsPerRow = 0;
  std::vector<std::int32_t> FSlots;   // logical row (after FBase) -> storage row
  bool FSlotsInOrder = true;          // FSlots[i] == i (no partial scroll yet): no lookup needed
  int FBase = 0;
  mutable std::vector<TRowState> FRowStates;  // per storage row
  std::vector<std::int32_t> FScratch;  // reused by partial scrolls
  mutable std::vector<std::uint32_t> FBlank;
  mutable bool FBlankValid = false;
};
