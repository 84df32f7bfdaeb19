#pragma once
// The terminal screen's cells: rows of one to five planes (character, character set,
// attributes, colours), each plane of 1-, 2- or 4-byte items.
//
// TadTerminalRows keeps its rows in one ring shared by all planes: logical row r lives in the
// storage row named by a slot table, and a storage row holds every plane's items of that row
// side by side. Scrolling a range moves slot numbers (or, for the whole ring, one base index),
// never items, and costs one step however many planes there are; a row scrolled in blank is
// only marked so (see TRowState below). TadTerminalArray is a single plane on its own.
// Every plane's row is padded to whole 16 bytes and has 16 more after that (see RowForWrite).
// Row and column arguments are checked:
// operations outside the rows do nothing, and item addresses outside them are null.
// Not thread-safe, reads included (reading a row's address fills its blank cells); the
// terminal uses it from the GUI thread only.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

class TadTerminalRows {
 public:
  static constexpr int MaxPlanes = 5;
  // One plane per item size given (1, 2 or 4; anything else counts as 1), at most MaxPlanes
  // (the rest are ignored) and at least one.
  explicit TadTerminalRows(std::initializer_list<int> aItemSizes);

  int PlaneCount() const { return FPlaneCount; }
  int ColCount() const { return FColCount; }
  int RowCount() const { return FRowCount; }
  int ItemSize(int aPlane) const { return FItemSize[aPlane]; }
  // Sets both counts at once (one reallocation); the last rows and the first columns survive,
  // bottom-aligned. Nothing happens when either count is below 1.
  void Resize(int aRowCount, int aColCount);

  // Each plane's fill item: what blanked, cleared and inserted cells take from now on.
  std::uint32_t DefaultItem(int aPlane) const { return FBlankState.Fill[aPlane]; }
  void SetDefaultItem(int aPlane, std::uint32_t V);

  // Row and column operations act on every plane alike.
  void Clear();
  void ClearItems(int aRow, int aFromCol, int aToCol);
  void DeleteItems(int aCount, int aRow, int aCol);
  void InsertItems(int aCount, int aRow, int aCol);
  // Positive counts scroll up (rows move towards aStartRow), negative down; vacated rows take
  // the fill items. The range is clamped to the rows.
  void ScrollRows(int aCount, int aStartRow, int aEndRow) {
    // The common case, the whole ring up by one row, is a step of the ring; the row that comes
    // round is marked blank, not filled.
    if (aCount == 1 && aStartRow == 0 && aEndRow == FRowCount - 1 && FRowCount > 1 && HasStorage()) {
      const int S = FSlotsInOrder ? FBase : FSlots[std::size_t(FBase)];
      if (++FBase == FRowCount) FBase = 0;
      MarkBlank(S);
      return;
    }
    ScrollRange(aCount, aStartRow, aEndRow);
  }

  // Address of one plane's item; null without storage or outside the rows. A row's items are
  // contiguous, so the address of column 0 reaches ColCount items. Makes the row real whole,
  // in every plane.
  const void* GetItemPtr(int aPlane, int aRow, int aCol) const;
  std::uint32_t GetItem(int aPlane, int aRow, int aCol) const;
  void ReplaceItems(int aPlane, std::uint32_t aOldItem, std::uint32_t aNewItem);

  // Writing: the storage of a row for a write of columns [aCol, aEnd) in every plane, null when
  // the range is not inside the rows. The caller writes those columns of every plane (they
  // count as written), through Items and FillItems. Writes start where a row's real items end
  // in the common case, handled here.
  std::uint8_t* RowForWrite(int aRow, int aCol, int aEnd) {
    if (!HasStorage() || aRow < 0 || aRow >= FRowCount || aCol < 0 || aEnd > FColCount || aCol >= aEnd) return nullptr;
    return PrepareWrite(SlotOf(aRow), aCol, aEnd);
  }
  // The same, and whether no real items follow aEnd in the row: then the caller may store past
  // aEnd, as far as 16 bytes after the run's last item in each plane (whole 16-byte stores for
  // a short run).
  std::uint8_t* RowForWrite(int aRow, int aCol, int aEnd, bool& aTailFree) {
    if (!HasStorage() || aRow < 0 || aRow >= FRowCount || aCol < 0 || aEnd > FColCount || aCol >= aEnd) return nullptr;
    const int S = SlotOf(aRow);
    std::uint8_t* Row = PrepareWrite(S, aCol, aEnd);
    aTailFree = FRowStates[std::size_t(S)].Hi == aEnd;
    return Row;
  }
  // Column 0 of a plane in a row from RowForWrite; T must be the plane's item type.
  template <class T>
  T* Items(std::uint8_t* aRow, int aPlane) const {
    return reinterpret_cast<T*>(aRow + FOffset[aPlane]);
  }
  void FillItems(std::uint8_t* aRow, int aPlane, int aCol, int aCount, std::uint32_t aItem) const {
    FillPlane(aRow + FOffset[aPlane], FItemSize[aPlane], aCol, aCount, aItem);
  }

 private:
  // Rows are filled lazily. Storage row s holds real items in columns [Lo, Hi) of its state,
  // in every plane; every other column holds the plane's Fill (the plane's fill item when the
  // row was blanked). A write makes real the blank columns between it and the real ones, if
  // any; handing out a row's address makes the whole row real. So a scroll costs a mark, and a
  // line is stored once, however it is written (left to right, or one cell at a time down the
  // screen). The planes are always written together, so one range serves them all.
  struct TRowState {
    std::int32_t Lo = 0, Hi = 0;  // Lo == Hi: no real items
    std::uint32_t Fill[MaxPlanes] = {};
  };
  int SlotOf(int aRow) const {
    int I = FBase + aRow;
    if (I >= FRowCount) I -= FRowCount;
    return FSlotsInOrder ? I : FSlots[std::size_t(I)];
  }
  std::uint8_t* SlotBytes(int aSlot) const {
    return reinterpret_cast<std::uint8_t*>(FItems.data() + std::size_t(aSlot) * FWordsPerRow);
  }
  void MarkBlank(int aSlot) { FRowStates[std::size_t(aSlot)] = FBlankState; }
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
  // Columns [aFromCol, aFromCol + aCount) of every plane of a row, each with its item.
  void FillAll(std::uint8_t* aRow, int aFromCol, int aCount, const std::uint32_t* aItems) const {
    for (int P = 0; P < FPlaneCount; ++P) FillPlane(aRow + FOffset[P], FItemSize[P], aFromCol, aCount, aItems[P]);
  }
  static void FillPlane(std::uint8_t* Row, int aItemSize, int aFromCol, int aCount, std::uint32_t Item) {
    if (aCount <= 0) return;
    if (aCount <= 16) {  // a few cells: a plain loop beats a library call
      switch (aItemSize) {
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
    FillLong(Row, aItemSize, aFromCol, aCount, Item);
  }
  static void FillLong(std::uint8_t* Row, int aItemSize, int aFromCol, int aCount, std::uint32_t Item);
  void ScrollRange(int aCount, int aStartRow, int aEndRow);
  bool HasStorage() const { return !FItems.empty(); }

  int FPlaneCount = 0;
  int FItemSize[MaxPlanes] = {};
  std::size_t FOffset[MaxPlanes] = {};  // of each plane's part of a storage row, in bytes
  int FColCount = 0;
  int FRowCount = 0;
  // Mutable: handing out a row's address makes it real, which changes no item's value.
  mutable std::vector<std::uint32_t> FItems;
  std::size_t FWordsPerRow = 0;  // every plane's part of a storage row
  std::vector<std::int32_t> FSlots;  // logical row (after FBase) -> storage row
  bool FSlotsInOrder = true;         // FSlots[i] == i (no partial scroll yet): no lookup needed
  int FBase = 0;
  mutable std::vector<TRowState> FRowStates;  // per storage row
  TRowState FBlankState;                       // a row blanked now: no real items, the fill items
  std::vector<std::int32_t> FScratch;          // reused by partial scrolls
};

// One plane on its own: the same rows with a single plane, written one plane at a time.
class TadTerminalArray {
 public:
  explicit TadTerminalArray(int aItemSize) : FRows{aItemSize} {}

  int ColCount() const { return FRows.ColCount(); }
  int RowCount() const { return FRows.RowCount(); }
  int ItemSize() const { return FRows.ItemSize(0); }
  // Sets both counts at once (one reallocation); the last rows and the first columns survive,
  // bottom-aligned. Nothing happens when either count is below 1.
  void Resize(int aRowCount, int aColCount) { FRows.Resize(aRowCount, aColCount); }
  void SetColCount(int V) { Resize(RowCount(), V); }
  void SetRowCount(int V) { Resize(V, ColCount()); }

  std::uint32_t DefaultItem() const { return FRows.DefaultItem(0); }
  void SetDefaultItem(std::uint32_t V) { FRows.SetDefaultItem(0, V); }

  void Clear() { FRows.Clear(); }
  void ClearItems(int aRow, int aFromCol, int aToCol) { FRows.ClearItems(aRow, aFromCol, aToCol); }
  void DeleteItems(int aCount, int aRow, int aCol) { FRows.DeleteItems(aCount, aRow, aCol); }
  void InsertItems(int aCount, int aRow, int aCol) { FRows.InsertItems(aCount, aRow, aCol); }
  // Address of an item; null without storage or outside the plane. A row's items are
  // contiguous, so the address of column 0 reaches ColCount items.
  void* GetItemPtr(int aRow, int aCol) { return const_cast<void*>(FRows.GetItemPtr(0, aRow, aCol)); }
  const void* GetItemPtr(int aRow, int aCol) const { return FRows.GetItemPtr(0, aRow, aCol); }
  std::uint32_t GetItem(int aRow, int aCol) const { return FRows.GetItem(0, aRow, aCol); }
  void ReplaceItems(std::uint32_t aOldItem, std::uint32_t aNewItem) { FRows.ReplaceItems(0, aOldItem, aNewItem); }
  // Positive counts scroll up (rows move towards aStartRow), negative down; vacated rows take
  // the fill item. The range is clamped to the plane.
  void ScrollRows(int aCount, int aStartRow, int aEndRow) { FRows.ScrollRows(aCount, aStartRow, aEndRow); }
  void WriteItems(const void* aItems, int aCount, int aRow, int aCol) {
    if (aCount <= 0 || aCol < 0) return;
    const int N = aCount < ColCount() - aCol ? aCount : ColCount() - aCol;
    std::uint8_t* Row = FRows.RowForWrite(aRow, aCol, aCol + N);
    if (!Row) return;
    const std::size_t Size = std::size_t(ItemSize());
    std::memcpy(FRows.Items<std::uint8_t>(Row, 0) + std::size_t(aCol) * Size, aItems, std::size_t(N) * Size);
  }
  // The items of columns [aCol, aEnd) of a row, to be written by the caller at once (all of
  // them: they count as written); null when the range is not inside the plane or T is not the
  // item's size.
  template <class T>
  T* ItemsForWrite(int aRow, int aCol, int aEnd) {
    if (sizeof(T) != std::size_t(ItemSize())) return nullptr;
    std::uint8_t* Row = FRows.RowForWrite(aRow, aCol, aEnd);
    return Row ? FRows.Items<T>(Row, 0) + aCol : nullptr;
  }
  void WriteDupItems(std::uint32_t aItem, int aCount, int aRow, int aCol) {
    if (aCount <= 0 || aCol < 0) return;
    const int N = aCount < ColCount() - aCol ? aCount : ColCount() - aCol;
    if (std::uint8_t* Row = FRows.RowForWrite(aRow, aCol, aCol + N)) FRows.FillItems(Row, 0, aCol, N, aItem);
  }

 private:
  TadTerminalRows FRows;
};
