#pragma once
// Colours as this system stores them (TColor, 0x00BBGGRR) and as Qt takes them. Header-only on
// QtGui, so the terminal core converts without QtWidgets. Plain functions: any thread.

#include <QColor>
#include <QRgb>

#include <cstdint>

inline QColor ColorToQColor(std::uint32_t Color) {
  return QColor(int(Color & 0xFF), int((Color >> 8) & 0xFF), int((Color >> 16) & 0xFF));
}

inline std::uint32_t QColorToColor(const QColor& Color) {
  return std::uint32_t(Color.red()) | (std::uint32_t(Color.green()) << 8) | (std::uint32_t(Color.blue()) << 16);
}

// The opaque pixel of an RGB32 image (0xFFRRGGBB), for code that writes pixels directly.
inline QRgb ColorToQRgb(std::uint32_t Color) {
  return qRgb(int(Color & 0xFF), int((Color >> 8) & 0xFF), int((Color >> 16) & 0xFF));
}
