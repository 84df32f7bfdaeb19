#include "terminal/emu_commands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>

namespace {

// Decimal text to a number; false on any conversion error, overflow included.
bool ParseDecimal(const std::string& S, long long& Out) {
  std::size_t B = 0, E = S.size();
  while (B < E && S[B] == ' ') ++B;
  while (E > B && S[E - 1] == ' ') --E;
  if (B < E && S[B] == '+') ++B;
  if (B == E) return false;
  const char* First = S.data() + B;
  const char* Last = S.data() + E;
  auto [P, Ec] = std::from_chars(First, Last, Out, 10);
  return Ec == std::errc() && P == Last;
}

}  // namespace

int TQpEmuCommandParams::FindName(const std::string& AName) const {
  if (AName.empty()) return -1;
  for (std::size_t I = 0; I < FItems.size(); ++I)
    if (FItems[I].Name == AName) return int(I);
  return -1;
}

// A position counts the positional (unnamed) parameters only, so named ones may stand
// anywhere: ("Col" = "3") alone leaves Row at its default.
const TQpEmuCommandParamsItem* TQpEmuCommandParams::Find(std::string_view AName, int APosition) const {
  if (!AName.empty())
    for (const TQpEmuCommandParamsItem& P : FItems)
      if (P.Name == AName) return &P;
  if (APosition < 0) return nullptr;
  int Seen = 0;
  for (const TQpEmuCommandParamsItem& P : FItems)
    if (P.Name.empty() && Seen++ == APosition) return &P;
  return nullptr;
}

bool TQpEmuCommandParams::GetBooleanValue(std::string_view AName, int APosition, bool ADefault) const {
  const TQpEmuCommandParamsItem* P = Find(AName, APosition);
  if (!P) return ADefault;
  // Compared ignoring case, without a lower-cased copy.
  auto Is = [&](std::string_view Word) {
    return P->Value.size() == Word.size() &&
           std::equal(Word.begin(), Word.end(), P->Value.begin(),
                      [](char A, char B) { return A == std::tolower(static_cast<unsigned char>(B)); });
  };
  for (std::string_view W : {"t", "true", "1", "on", "yes"})
    if (Is(W)) return true;
  for (std::string_view W : {"f", "false", "0", "off", "no"})
    if (Is(W)) return false;
  return ADefault;
}

int TQpEmuCommandParams::GetIntegerValue(std::string_view AName, int APosition, int ADefault) const {
  const TQpEmuCommandParamsItem* P = Find(AName, APosition);
  long long V = 0;
  if (!P || !ParseDecimal(P->Value, V) || V < INT32_MIN || V > INT32_MAX) return ADefault;
  return int(V);
}

std::string TQpEmuCommandParams::GetStringValue(std::string_view AName, int APosition,
                                                const std::string& ADefault) const {
  const TQpEmuCommandParamsItem* P = Find(AName, APosition);
  return P ? P->Value : ADefault;
}

// Colours travel as 32-bit values; both the signed and the unsigned decimal spelling are read.
TColor TQpEmuCommandParams::GetTColorValue(std::string_view AName, int APosition, TColor ADefault) const {
  const TQpEmuCommandParamsItem* P = Find(AName, APosition);
  long long V = 0;
  if (!P || !ParseDecimal(P->Value, V) || V < INT32_MIN || V > UINT32_MAX) return ADefault;
  return TColor(std::uint32_t(V));
}

TQpEmuCommandListItem& TQpEmuCommandListItem::AddNamedBooleanArg(const std::string& Name, bool V) {
  Params.Add(Name, V ? "TRUE" : "FALSE");
  return *this;
}

TQpEmuCommandListItem& TQpEmuCommandListItem::AddNamedIntegerArg(const std::string& Name, int V) {
  Params.Add(Name, std::to_string(V));
  return *this;
}

TQpEmuCommandListItem& TQpEmuCommandListItem::AddNamedStringArg(const std::string& Name, const std::string& V) {
  Params.Add(Name, V);
  return *this;
}

TQpEmuCommandListItem& TQpEmuCommandListItem::AddNamedTColorArg(const std::string& Name, TColor V) {
  Params.Add(Name, std::to_string(V));
  return *this;
}

TQpEmuCommandListItem& TQpEmuCommandList::AddCommand(TQpEmuCommand ACommand) {
  FItems.push_back(std::make_unique<TQpEmuCommandListItem>(ACommand));
  return *FItems.back();
}
