#include "terminal/terminal_emulator.h"

#include <algorithm>
#include <vector>

namespace {

// How an attribute command changes the current set: each family's commands in this order
// (the Selected family lists Remove before Only).
enum TAttrOp { opAdd = 0, opOnly = 1, opRemove = 2, opInvert = 3 };
static_assert(ecBoldOnly - ecAddBold == opOnly && ecRemoveBold - ecAddBold == opRemove &&
              ecInvertBold - ecAddBold == opInvert && ecAddUnderLine - ecAddBold == 4);

struct TTermEmuLink {
  TQpTerminalHost* telTerm;
  TQpTerminalEmulator* telEmu;
};

// Which external emulator serves which control; a vector keeps released records' room.
std::vector<TTermEmuLink>& Links() {
  static std::vector<TTermEmuLink> L;
  return L;
}

TQpTerminalEmulator* LinkedEmulator(TQpTerminalHost* T) {
  for (const TTermEmuLink& L : Links())
    if (L.telTerm == T) return L.telEmu;
  return nullptr;
}

// Unlinks T's record, hands T back to its default emulator and lets the emulator go of T.
void RemoveLinkWithNotify(TQpTerminalHost* T) {
  auto& V = Links();
  auto It = std::find_if(V.begin(), V.end(), [&](const TTermEmuLink& L) { return L.telTerm == T; });
  if (It == V.end()) return;
  TQpTerminalEmulator* E = It->telEmu;
  V.erase(It);
  T->SetEmulator(nullptr);
  E->teSetTerminal(nullptr);
}

}  // namespace

TQpTerminalEmulator::TQpTerminalEmulator(bool aIsDefault) : FAnswerback("QPterm"), FIsDefault(aIsDefault) {}

TQpTerminalEmulator::~TQpTerminalEmulator() {
  if (!FIsDefault) teSetTerminal(nullptr);
}

int TQpTerminalEmulator::LinkCount() { return int(Links().size()); }

void TQpTerminalEmulator::TerminalRemoved(TQpTerminalHost* T) {
  auto& V = Links();
  for (auto It = V.begin(); It != V.end();) {
    if (It->telTerm == T) {
      It->telEmu->FTerminal = nullptr;
      It = V.erase(It);
    } else {
      ++It;
    }
  }
}

void TQpTerminalEmulator::teSetTerminal(TQpTerminalHost* aValue) {
  if (aValue == FTerminal) return;
  if (FTerminal && !FIsDefault) {
    TQpTerminalHost* Old = FTerminal;
    FTerminal = nullptr;
    RemoveLinkWithNotify(Old);
  }
  FTerminal = aValue;
  if (!aValue || FIsDefault) return;
  TQpTerminalEmulator* Other = LinkedEmulator(aValue);
  if (Other && Other != this) RemoveLinkWithNotify(aValue);
  if (LinkedEmulator(aValue)) return;
  Links().push_back({aValue, this});
  aValue->SetEmulator(this);
  teSetTerminal(aValue);
}

bool TQpTerminalEmulator::teGetNeedsUpdate() {
  if (!FTerminalBuffer) return false;
  return FTerminalBuffer->HasDisplayChanged() || FTerminalBuffer->HasCursorMoved();
}

void TQpTerminalEmulator::Paint(QPainter& P, const QRect& Clip) { (void)P, (void)Clip; }

void TQpTerminalEmulator::teSendChar(char aCh, bool aCanEcho, TQpCharSource CharSource) {
  if (!FTerminal) return;
  if (aCanEcho && FTerminal->HalfDuplex()) {
    const auto B = std::uint8_t(aCh);
    ProcessBlock(&B, 1, CharSource);
  }
  if (FTerminal && FTerminal->HasPort() && FTerminal->PortOpen()) FTerminal->PortPutChar(std::uint8_t(aCh));
}

bool TQpTerminalEmulator::ReportingAllowed() const {
  return FTerminal && FTerminal->HasPort() && FTerminal->IsMasterTerminal();
}

void TQpTerminalEmulator::Report(const std::string& S) {
  if (ReportingAllowed()) FTerminal->PortPutString(S);
}

void TQpTerminalEmulator::teHandleCursorMovement(TQpTerminalBuffer* Sender, int Row, int Col) {
  if (!FTerminal) return;
  // One pending notice at a time, shared with the buffer's change notices.
  if (!FTerminal->LazyDisplay() && FTerminalBuffer) FTerminalBuffer->PostUpdateNotice(1);
  if (FTerminal->FollowCursor()) FTerminal->DoFollowCursor();
  if (FTerminal->HideScrollbars()) FTerminal->UpdateHiddenBars(Row, Col);
  FTerminal->CursorMoved(Sender, Row, Col);
}

void TQpTerminalEmulator::ExecuteTerminalCommands(const TQpEmuCommandList& CommandList) {
  teProcessCommandList(CommandList);
  if (FTerminal) FTerminal->RepaintNow();
}

// The cursor is reported once for the whole list, where it ends.
void TQpTerminalEmulator::teProcessCommandList(const TQpEmuCommandList& CommandList) {
  const TQpTerminalBuffer::TCursorBatch Batch(FTerminalBuffer.get());
  for (int I = 0; I < CommandList.Count(); ++I) teProcessCommand(CommandList.Item(I).Command, &CommandList.Item(I).Params);
}

void TQpTerminalEmulator::teProcessCommand(TQpEmuCommand Command, const TQpEmuCommandParams* Params) {
  if (!FTerminalBuffer) return;
  TQpTerminalBuffer& B = *FTerminalBuffer;
  auto Bool = [&](const char* Name, int Pos, bool Def) { return Params ? Params->GetBooleanValue(Name, Pos, Def) : Def; };
  auto Int = [&](const char* Name, int Pos, int Def) { return Params ? Params->GetIntegerValue(Name, Pos, Def) : Def; };
  auto Color = [&](const char* Name, int Pos, TColor Def) { return Params ? Params->GetTColorValue(Name, Pos, Def) : Def; };
  auto Family = [&](TQpTerminalCharAttr A, TAttrOp Op) {
    const TQpTerminalCharAttrs Bit = AttrBit(A), Cur = B.GetCharAttrs();
    switch (Op) {
      case opAdd: B.SetCharAttrs(Cur | Bit); break;
      case opOnly: B.SetCharAttrs(Bit); break;
      case opRemove: B.SetCharAttrs(Cur & TQpTerminalCharAttrs(~Bit)); break;
      case opInvert: B.SetCharAttrs(Cur ^ Bit); break;
    }
  };
  if (Command >= ecAddBold && Command <= ecInvertInvisible) {
    const int I = Command - ecAddBold;
    static constexpr TQpTerminalCharAttr Order[] = {tcaBold, tcaUnderline, tcaStrikethrough, tcaBlink, tcaReverse, tcaInvisible};
    Family(Order[I / 4], TAttrOp(I % 4));
    return;
  }
  switch (Command) {
    case ecNone: break;
    case ecBell:
      if (FTerminal) FTerminal->Bell();
      break;
    case ecBackspace: B.DoBackspace(); break;
    case ecTabHorz: B.DoHorzTab(); break;
    case ecLF: B.DoLineFeed(); break;
    case ecCR: B.DoCarriageReturn(); break;
    case ecBackTabHorz: B.DoBackHorzTab(); break;
    case ecCursorDown: B.MoveCursorDown(Bool("Scroll", 0, false)); break;
    case ecCursorLeft: B.MoveCursorLeft(Bool("Wrap", 0, false), Bool("Scroll", 1, false)); break;
    case ecCursorRight: B.MoveCursorRight(Bool("Wrap", 0, false), Bool("Scroll", 1, false)); break;
    case ecCursorUp: B.MoveCursorUp(Bool("Scroll", 0, false)); break;
    case ecCursorPos: B.SetCursorPosition(Int("Row", 0, 1), Int("Col", 1, 1)); break;
    case ecDeleteChars: B.DeleteChars(Int("Count", 0, 1)); break;
    case ecDeleteLines: B.DeleteLines(Int("Count", 0, 1)); break;
    case ecInsertChars: B.InsertChars(Int("Count", 0, 1)); break;
    case ecInsertLines: B.InsertLines(Int("Count", 0, 1)); break;
    case ecEraseAll: B.EraseAll(); break;
    case ecEraseChars: B.EraseChars(Int("Count", 0, 1)); break;
    case ecEraseFromBOW: B.EraseFromBOW(); break;
    case ecEraseFromBOL: B.EraseFromBOL(); break;
    case ecEraseLine: B.EraseLine(); break;
    case ecEraseScreen: B.EraseScreen(); break;
    case ecEraseToEOL: B.EraseToEOL(); break;
    case ecEraseToEOW: B.EraseToEOW(); break;
    case ecSetHorzTabStop: B.SetHorzTabStop(); break;
    case ecClearHorzTabStop: B.ClearHorzTabStop(); break;
    case ecClearVertTabStop: B.ClearVertTabStop(); break;
    case ecClearAllHorzTabStops: B.ClearAllHorzTabStops(); break;
    case ecSetVertTabStop: B.SetVertTabStop(); break;
    case ecClearAllVertTabStops: B.ClearAllVertTabStops(); break;
    case ecSetScrollRegion: B.SetScrollRegion(Int("Top", 0, 1), Int("Bottom", 1, 1)); break;
    case ecTabVert: B.DoVertTab(); break;
    case ecBackTabVert: B.DoBackVertTab(); break;
    case ecBackColor: {
      const TColor C = Color("Color", 0, 0);
      B.SetBackColor(C);
      if (Bool("Persistent", 1, true) && FTerminal) FTerminal->SetColor(C);
      break;
    }
    case ecForeColor: {
      const TColor C = Color("Color", 0, qpc_TermBufForeColor);
      B.SetForeColor(C);
      if (Bool("Persistent", 1, true) && FTerminal) FTerminal->SetFontColor(C);
      break;
    }
    case ecAbsAddress: B.SetUseAbsAddress(true); break;
    case ecNoAbsAddress: B.SetUseAbsAddress(false); break;
    case ecAutoWrap: B.SetUseAutoWrap(true); break;
    case ecNoAutoWrap: B.SetUseAutoWrap(false); break;
    case ecAutoWrapDelay: B.SetUseAutoWrapDelay(true); break;
    case ecNoAutoWrapDelay: B.SetUseAutoWrapDelay(false); break;
    case ecInsertMode: B.SetUseInsertMode(true); break;
    case ecNoInsertMode: B.SetUseInsertMode(false); break;
    case ecNewLineMode: B.SetUseNewLineMode(true); break;
    case ecNoNewLineMode: B.SetUseNewLineMode(false); break;
    case ecScrollRegion: B.SetUseScrollRegion(true); break;
    case ecNoScrollRegion: B.SetUseScrollRegion(false); break;
    case ecSetCharAttr: {
      static constexpr const char* Names[] = {"Bold", "Underline", "Strikethrough", "Blink", "Reverse", "Invisible", "Selected"};
      TQpTerminalCharAttrs A = 0;
      for (int I = 0; I < 7; ++I)
        if (Bool(Names[I], I, false)) A |= AttrBit(TQpTerminalCharAttr(I));
      B.SetCharAttrs(A);
      break;
    }
    case ecAddSelected: Family(tcaSelected, opAdd); break;
    case ecRemoveSelected: Family(tcaSelected, opRemove); break;
    case ecSelectedOnly: Family(tcaSelected, opOnly); break;
    case ecInvertSelected: Family(tcaSelected, opInvert); break;
    case ecRemoveAllAttr: B.SetCharAttrs(0); break;
    case ecRemoveAllAttrIgnoreSelect: B.SetCharAttrs(B.GetCharAttrs() & AttrBit(tcaSelected)); break;
    case ecClearAndHome:
      B.EraseScreen();
      B.SetCursorPosition(1, 1);
      break;
    case ecHome: B.SetCursorPosition(1, 1); break;
    case ecCursorEOL: B.SetCol(B.ColCount()); break;
    case ecCursorBOL: B.SetCol(1); break;
    case ecCursorTop: B.SetRow(1); break;
    case ecCursorBottom: B.SetRow(B.RowCount()); break;
    case ecWriteString:
      if (const TQpEmuCommandParamsItem* P = Params ? Params->Find("String", 0) : nullptr) B.WriteString(P->Value);
      break;
    case ecColor: {
      const TColor F = Color("Fore", 0, qpc_TermBufForeColor), K = Color("Back", 1, 0);
      B.SetForeColor(F);
      B.SetBackColor(K);
      if (Bool("Persistent", 2, true) && FTerminal) {
        FTerminal->SetFontColor(F);
        FTerminal->SetColor(K);
      }
      break;
    }
    case ecSaveCursorPos:
      FSavedAttrs = B.GetCharAttrs();
      FSavedBackColor = B.BackColor();
      FSavedCharSet = B.CharSet();
      FSavedCol = B.Col();
      FSavedForeColor = B.ForeColor();
      FSavedRow = B.Row();
      break;
    case ecRestoreCursorPos:
      B.SetCharAttrs(FSavedAttrs);
      B.SetBackColor(FSavedBackColor);
      B.SetCharSet(FSavedCharSet);
      B.SetCol(FSavedCol);
      B.SetForeColor(FSavedForeColor);
      B.SetRow(FSavedRow);
      break;
    case ecDeviceAttributesReport: {
      const int Type = Int("Type", 0, 0);
      if (Type == 0) Report("\x1b[?1;0c");
      else if (Type == 52) Report("\x1b/Z");
      break;
    }
    case ecNEL:
      B.DoLineFeed();
      if (!B.UseNewLineMode()) B.DoCarriageReturn();
      break;
    case ecReset: B.Reset(); break;
    case ecAnswerback: Report(FAnswerback); break;
    case ecDECALN: {
      const char Old = B.DefAnsiChar();
      B.SetDefAnsiChar('E');
      B.EraseScreen();
      B.SetDefAnsiChar(Old);
      break;
    }
    case ecDeviceStatusReport: {
      const int Type = Int("Type", 0, 5);
      if (Type == 5) Report("\x1b[0n");
      else if (Type == 6) Report("\x1b[" + std::to_string(B.Row()) + ";" + std::to_string(B.Col()) + "R");
      break;
    }
    case ecCursorOff:
      if (FTerminal) FTerminal->SetCursorType(ctNone);
      break;
    case ecCursorUnderline:
      if (FTerminal) FTerminal->SetCursorType(ctUnderline);
      break;
    case ecCursorBlock:
      if (FTerminal) FTerminal->SetCursorType(ctBlock);
      break;
    default: break;
  }
}
