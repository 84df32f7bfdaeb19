#pragma once
// Golden-screen helpers: a compact text dump of a buffer's rows, cursor, pending wrap and
// colour/attribute map.

#include "terminal/terminal_buffer.h"

#include <map>
#include <string>
#include <tuple>

// Screen rows FirstRow..LastRow (external absolute), each right-trimmed and joined by "|",
// trailing empty rows dropped, then "@row,col" and "+" when a wrap is pending.
inline std::string ScreenDump(const TQpTerminalBuffer& B, int FirstRow = 1, int LastRow = 0) {
  if (LastRow == 0) LastRow = B.RowCount();
  std::string Rows;
  std::string Pending;
  for (int R = FirstRow; R <= LastRow; ++R) {
    const char* P = static_cast<const char*>(B.GetLineCharPtr(R));
    std::string Line(P, std::size_t(B.ColCount()));
    Line.erase(Line.find_last_not_of(' ') + 1);
    if (R > FirstRow) Pending += "|";
    Pending += Line;
    if (!Line.empty()) Rows += Pending, Pending.clear();
  }
  const int CursorRow = B.CursorRowInternal() - (B.SVRowCount() - B.RowCount()) + 1;
  return Rows + "@" + std::to_string(CursorRow) + "," + std::to_string(B.CursorColInternal() + 1) +
         (B.BeyondMargin() ? "+" : "");
}

struct TCellLook {
  TColor Fore, Back;
  TQpTerminalCharAttrs Attr;
  bool operator<(const TCellLook& O) const { return std::tie(Fore, Back, Attr) < std::tie(O.Fore, O.Back, O.Attr); }
};

// One character per cell: "." for the default look, the legend's letter otherwise, "?" for
// a look the legend lacks. Rows joined by "|".
inline std::string LookDump(const TQpTerminalBuffer& B, const std::map<TCellLook, char>& Legend, int FirstRow = 1,
                            int LastRow = 0) {
  if (LastRow == 0) LastRow = B.RowCount();
  std::string Out;
  for (int R = FirstRow; R <= LastRow; ++R) {
    const TColor* F = B.GetLineForeColorPtr(R);
    const TColor* K = B.GetLineBackColorPtr(R);
    const TQpTerminalCharAttrs* A = B.GetLineAttrPtr(R);
    for (int C = 0; C < B.ColCount(); ++C) {
      const TCellLook L{F[C], K[C], A[C]};
      if (L.Fore == B.DefForeColor() && L.Back == B.DefBackColor() && L.Attr == 0) Out += '.';
      else {
        auto It = Legend.find(L);
        Out += It == Legend.end() ? '?' : It->second;
      }
    }
    if (R < LastRow) Out += "|";
  }
  return Out;
}
