#pragma once

#include <array>
#include <cstdint>

// The 16 console colours the programs use in place of the console's own, as 0x00BBGGRR.
inline constexpr std::array<std::uint32_t, 16> kPalette = {
    0x191919, 0xFFFFFF, 0x9E9E9F, 0x615245, 0x463D34, 0x41382F, 0xBBAC9F, 0x756659,
    0x505050, 0x4B4B4B, 0x76AEB6, 0x2B488E, 0x0A28C8, 0xC563BD, 0x331F00, 0x4AA657,
};

inline constexpr std::uint8_t PaletteRed(std::uint32_t colour) { return colour & 0xFF; }
inline constexpr std::uint8_t PaletteGreen(std::uint32_t colour) { return (colour >> 8) & 0xFF; }
inline constexpr std::uint8_t PaletteBlue(std::uint32_t colour) { return (colour >> 16) & 0xFF; }
