#pragma once
// The generic emulator command set: the commands and the command lists an OnProcessChar
// handler or an application fills to drive the screen. Parameters are stored as text
// ("TRUE"/"FALSE", decimal numbers) and looked up by name, then by position among the
// unnamed parameters, then default.
// Plain data; no thread rules beyond those of its owner (the GUI thread).

#include "terminal/terminal_buffer.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum TQpEmuCommand : int {
  ecNone = 0, ecBell, ecBackspace, ecTabHorz, ecLF, ecCR, ecBackTabHorz, ecCursorDown, ecCursorLeft,
  ecCursorRight, ecCursorUp, ecCursorPos, ecDeleteChars, ecDeleteLines, ecInsertChars, ecInsertLines,
  ecEraseAll, ecEraseChars, ecEraseFromBOW, ecEraseFromBOL, ecEraseLine, ecEraseScreen, ecEraseToEOL,
  ecEraseToEOW, ecSetHorzTabStop, ecClearHorzTabStop, ecClearVertTabStop, ecClearAllHorzTabStops,
  ecSetVertTabStop, ecClearAllVertTabStops, ecSetScrollRegion, ecTabVert, ecBackTabVert, ecBackColor,
  ecForeColor, ecAbsAddress, ecNoAbsAddress, ecAutoWrap, ecNoAutoWrap, ecAutoWrapDelay, ecNoAutoWrapDelay,
  ecInsertMode, ecNoInsertMode, ecNewLineMode, ecNoNewLineMode, ecScrollRegion, ecNoScrollRegion,
  ecSetCharAttr,
  ecAddBold, ecBoldOnly, ecRemoveBold, ecInvertBold,
  ecAddUnderLine, ecUnderlineOnly, ecRemoveUnderline, ecInvertUnderline,
  ecAddStrikethrough, ecStrikethroughOnly, ecRemoveStrikethrough, ecInvertStrikethrough,
  ecAddBlink, ecBlinkOnly, ecRemoveBlink, ecInvertBlink,
  ecAddReverse, ecReverseOnly, ecRemoveReverse, ecInvertReverse,
  ecAddInvisible, ecInvisibleOnly, ecRemoveInvisible, ecInvertInvisible,
  ecAddSelected, ecRemoveSelected, ecSelectedOnly, ecInvertSelected,
  ecRemoveAllAttr, ecRemoveAllAttrIgnoreSelect, ecClearAndHome, ecHome, ecCursorEOL, ecCursorBOL,
  ecCursorTop, ecCursorBottom, ecWriteString, ecColor, ecSaveCursorPos, ecRestoreCursorPos,
  ecDeviceAttributesReport, ecNEL, ecReset, ecAnswerback, ecDECALN, ecDeviceStatusReport, ecCursorOff,
  ecCursorUnderline, ecCursorBlock
};
static_assert(ecAddBold == 48 && ecAddSelected == 72 && ecCursorBlock == 96);

struct TQpEmuCommandParamsItem {
  std::string Name;  // empty for a positional parameter
  std::string Value;
};

class TQpEmuCommandParams {
 public:
  int Count() const { return int(FItems.size()); }
  const TQpEmuCommandParamsItem& Item(int I) const { return FItems[std::size_t(I)]; }
  void Add(const std::string& Name, const std::string& Value) { FItems.push_back({Name, Value}); }
  void Clear() { FItems.clear(); }
  // Index of the first parameter named exactly AName; -1 when AName is empty or absent.
  int FindName(const std::string& AName) const;
  bool GetBooleanValue(std::string_view AName, int APosition, bool ADefault) const;
  int GetIntegerValue(std::string_view AName, int APosition, int ADefault) const;
  std::string GetStringValue(std::string_view AName, int APosition, const std::string& ADefault) const;
  TColor GetTColorValue(std::string_view AName, int APosition, TColor ADefault) const;
  // The parameter the getters read: by name, else by position; null when there is none.
  const TQpEmuCommandParamsItem* Find(std::string_view AName, int APosition) const;

 private:
  std::vector<TQpEmuCommandParamsItem> FItems;
};

class TQpEmuCommandListItem {
 public:
  explicit TQpEmuCommandListItem(TQpEmuCommand C) : Command(C) {}
  TQpEmuCommand Command;
  TQpEmuCommandParams Params;

  TQpEmuCommandListItem& AddBooleanArg(bool V) { return AddNamedBooleanArg("", V); }
  TQpEmuCommandListItem& AddIntegerArg(int V) { return AddNamedIntegerArg("", V); }
  TQpEmuCommandListItem& AddStringArg(const std::string& V) { return AddNamedStringArg("", V); }
  TQpEmuCommandListItem& AddTColorArg(TColor V) { return AddNamedTColorArg("", V); }
  TQpEmuCommandListItem& AddNamedBooleanArg(const std::string& Name, bool V);
  TQpEmuCommandListItem& AddNamedIntegerArg(const std::string& Name, int V);
  TQpEmuCommandListItem& AddNamedStringArg(const std::string& Name, const std::string& V);
  TQpEmuCommandListItem& AddNamedTColorArg(const std::string& Name, TColor V);
};

class TQpEmuCommandList {
 public:
  TQpEmuCommandListItem& AddCommand(TQpEmuCommand ACommand);
  int Count() const { return int(FItems.size()); }
  TQpEmuCommandListItem& Item(int I) { return *FItems[std::size_t(I)]; }
  const TQpEmuCommandListItem& Item(int I) const { return *FItems[std::size_t(I)]; }
  void Clear() { FItems.clear(); }

 private:
  std::vector<std::unique_ptr<TQpEmuCommandListItem>> FItems;  // items keep their address
};
