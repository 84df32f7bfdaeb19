#pragma once
// One plane of the terminal screen: rows of 1-, 2- or 4-byte items.
//
// Rows are kept in a ring: logical row r lives in the storage row named by a slot table, so
// scrolling a range moves slot numbers (or, for the whole plane, one base index), never the
// rows' items. Every row is padded to whole 32-bit words. Row and column arguments are checked:
// operations outside the plane do nothing, and item addresses outside it are null.
// Not thread-safe; the terminal uses it from the GUI thread only.

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
    // The common case, the whole plane up by one row, is a step of the ring and one blank row.
    if (aCount == 1 && aStartRow == 0 && aEndRow == FRowCount - 1 && FRowCount > 1 && HasStorage()) {
      if (++FBase == FRowCount) FBase = 0;
      std::memcpy(RowBytes(FRowCount - 1), BlankRow(), FWordsPerRow * 4);
      return;
    }
    ScrollRange(aCount, aStartRow, aEndRow);
  }
  void WriteItems(const void* aItems, int aCount, int aRow, int aCol);
  void WriteDupItems(std::uint32_t aItem, int aCount, int aRow, int aCol);

 private:
  std::uint8_t* RowBytes(int aRow) {
    int I = FBase + aRow;
    if (I >= FRowCount) I -= FRowCount;
    return reinterpret_cast<std::uint8_t*>(FItems.data() + std::size_t(FSlots[std::size_t(I)]) * FWordsPerRow);
  }
  const std::uint8_t* RowBytes(int aRow) const { return const_cast<TadTerminalArray*>(this)->RowBytes(aRow); }
  void ScrollRange(int aCount, int aStartRow, int aEndRow);
  void FillRow(std::uint8_t* Row, int aFromCol, int aCount, std::uint32_t Item);
  // A row of fill items, copied instead of filled item by item.
  const std::uint8_t* BlankRow() { return FBlankValid ? reinterpret_cast<const std::uint8_t*>(FBlank.data()) : MakeBlankRow(); }
  const std::uint8_t* MakeBlankRow();
  bool HasStorage() const { return !FItems.empty(); }

  int FActColCount = -1;
  int FColCount = 0;
  std::uint32_t FDefaultItem = 0;
  std::vector<std::uint32_t> FItems;
  int FItemSize = 1;
  int FRowCount = 0;
  std::size_t FWordsPerRow = 0;
  std::vector<std::int32_t> FSlots;   // logical row (after FBase) -> storage row
  int FBase = 0;
  std::vector<std::int32_t> FScratch;  // reused by partial scrolls
  std::vector<std::uint32_t> FBlank;
  bool FBlankValid = false;
};
