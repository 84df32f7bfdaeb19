#pragma once
// The millisecond clock. Tick arithmetic uses the 64-bit count; the 32-bit form keeps the
// classic wrap-around for places that store ticks in 32 bits.

#include <cstdint>

std::uint64_t GetTickCount64();
inline std::uint32_t timeGetTime() { return static_cast<std::uint32_t>(GetTickCount64()); }
// Milliseconds from Earlier to Later on the 32-bit clock, correct across one wrap.
inline std::uint32_t TickDiff32(std::uint32_t Earlier, std::uint32_t Later) { return Later - Earlier; }
