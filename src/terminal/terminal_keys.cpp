#include "terminal/terminal_keys.h"

unsigned TermShiftState(Qt::KeyboardModifiers Mods) {
  unsigned S = 0;
  if (Mods & Qt::ShiftModifier) S |= ssShift;
  if (Mods & Qt::AltModifier) S |= ssAlt;
  if (Mods & Qt::ControlModifier) S |= ssCtrl;
  return S;
}

namespace {

std::uint16_t PlainCode(int Key) {
  if (Key >= Qt::Key_0 && Key <= Qt::Key_9) return std::uint16_t(48 + Key - Qt::Key_0);
  if (Key >= Qt::Key_A && Key <= Qt::Key_Z) return std::uint16_t(65 + Key - Qt::Key_A);
  if (Key >= Qt::Key_F1 && Key <= Qt::Key_F24) return std::uint16_t(112 + Key - Qt::Key_F1);
  switch (Key) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Clear: return 12;
    case Qt::Key_Return: return 13;
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Print: return 44;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_NumLock: return 144;
    case Qt::Key_ScrollLock: return 145;
    default: return 0;
  }
}

// Keys of the keypad: digits and operators with Num Lock on, navigation with it off.
std::uint16_t KeypadCode(int Key) {
  if (Key >= Qt::Key_0 && Key <= Qt::Key_9) return std::uint16_t(96 + Key - Qt::Key_0);
  switch (Key) {
    case Qt::Key_Clear: return 101;
    case Qt::Key_PageUp: return 105;
    case Qt::Key_PageDown: return 99;
    case Qt::Key_End: return 97;
    case Qt::Key_Home: return 103;
    case Qt::Key_Left: return 100;
    case Qt::Key_Up: return 104;
    case Qt::Key_Right: return 102;
    case Qt::Key_Down: return 98;
    case Qt::Key_Insert: return 96;
    case Qt::Key_Delete: return 110;
    case Qt::Key_Period:
    case Qt::Key_Comma: return 110;
    case Qt::Key_Asterisk: return 106;
    case Qt::Key_Plus: return 107;
    case Qt::Key_Minus: return 109;
    case Qt::Key_Slash: return 111;
    case Qt::Key_Enter:
    case Qt::Key_Return: return 43;
    default: return PlainCode(Key);
  }
}

}  // namespace

std::uint16_t TermKeyCode(int Key, Qt::KeyboardModifiers Mods, bool AutoRepeat) {
  std::uint16_t Code = (Mods & Qt::KeypadModifier) ? KeypadCode(Key) : PlainCode(Key);
  if (Key == Qt::Key_Enter) Code = 43;  // keypad Enter, whatever the modifier says
  if (Code != 0 && AutoRepeat) Code |= 0x8000;
  return Code;
}

std::u16string TermKeyChars(int Key, Qt::KeyboardModifiers Mods, const QString& Text) {
  const bool Ctrl = Mods & Qt::ControlModifier, Alt = Mods & Qt::AltModifier;
  switch (Key) {
    case Qt::Key_Backspace: return u"\x08";
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return u"\x09";
    case Qt::Key_Return:
    case Qt::Key_Enter: return u"\x0d";
    case Qt::Key_Escape: return u"\x1b";
    default: break;
  }
  if (Ctrl && !Alt) {
    if (Key >= Qt::Key_A && Key <= Qt::Key_Z) return std::u16string(1, char16_t(1 + Key - Qt::Key_A));
    switch (Key) {
      case Qt::Key_BracketLeft: return u"\x1b";
      case Qt::Key_Backslash: return u"\x1c";
      case Qt::Key_BracketRight: return u"\x1d";
      case Qt::Key_AsciiCircum: return u"\x1e";
      case Qt::Key_Underscore: return u"\x1f";
      default: return {};
    }
  }
  if (Alt && !Ctrl) return {};
  std::u16string Out;
  for (QChar C : Text) {
    const char16_t U = C.unicode();
    if (U >= 32 && U != 127 && !(U >= 0x80 && U < 0xA0)) Out += U;
  }
  return Out;
}
