#pragma once
// A Qt key event split into the two steps the terminal takes: the key-down step with a
// virtual-key code (as the keyboard maps know them) and the character step with the characters
// the key types. Pure functions, any thread.

#include <Qt>
#include <QString>

#include <cstdint>
#include <string>

// Modifier bits of the key-down step.
constexpr unsigned ssShift = 1, ssAlt = 2, ssCtrl = 4;
unsigned TermShiftState(Qt::KeyboardModifiers Mods);

// The virtual-key code of a key, 0 for keys without one. A keypad navigation key (Num Lock
// off) becomes its keypad digit code, keypad Enter 43; auto-repeat sets bit 0x8000.
std::uint16_t TermKeyCode(int Key, Qt::KeyboardModifiers Mods, bool AutoRepeat);

// The characters a key types: Backspace 8, Tab 9, Enter 13, Esc 27, Ctrl+A..Z 1..26,
// Ctrl+[ \ ] ^ _ 27..31, otherwise the event's printable text; nothing for keys that type
// nothing (arrows, function keys, Delete, Alt combinations).
std::u16string TermKeyChars(int Key, Qt::KeyboardModifiers Mods, const QString& Text);
