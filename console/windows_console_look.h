#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

// The Windows console window's look, kept apart from the console calls that apply it so the
// numbers can be tested and reused (the release packaging draws the same icon).

// Code page set for console input and output: UTF-8.
inline constexpr unsigned kConsoleCodePage = 65001;

// Font for the maximised window: face, cell width and height in pixels, family, weight.
inline constexpr std::u16string_view kConsoleFontFace = u"Consolas";
inline constexpr std::int16_t kConsoleFontWidth = 8;
inline constexpr std::int16_t kConsoleFontHeight = 16;
inline constexpr unsigned kConsoleFontFamily = 0;
inline constexpr unsigned kConsoleFontWeight = 400;

// Cursor height as a percentage of the character cell; the cursor is visible.
inline constexpr unsigned kConsoleCursorPercent = 20;

// Screen-buffer size in character cells.
struct BufferSize {
  std::int16_t width;
  std::int16_t height;
};

// The buffer raised to at least 120 columns and 9999 lines; larger sizes are kept.
constexpr BufferSize StyledBufferSize(BufferSize current) {
  return {std::max<std::int16_t>(current.width, 120), std::max<std::int16_t>(current.height, 9999)};
}

// Window rectangle in absolute buffer coordinates, edges inclusive.
struct WindowRect {
  std::int16_t left;
  std::int16_t top;
  std::int16_t right;
  std::int16_t bottom;
};

// The window for a buffer `buffer_width` columns wide: all of its width, a quarter of that
// many rows (rounded down), from the buffer's top left corner. 120 columns give 120 x 30.
constexpr WindowRect StyledWindow(std::int16_t buffer_width) {
  return {0, 0, static_cast<std::int16_t>(buffer_width - 1),
          static_cast<std::int16_t>(buffer_width / 4 - 1)};
}

// A cell of the buffer: column and row from the top left corner, counting from 0.
struct CellPosition {
  std::int16_t column;
  std::int16_t row;
};

// What the console gets back when the program ends.
struct RestoredConsole {
  BufferSize buffer;
  WindowRect window;
  CellPosition cursor;
};

// Moves the span [start, start + extent] (ends included) as little as possible so that it holds
// `target`, keeping it inside [0, limit).
constexpr std::int16_t FollowSpan(std::int16_t start, std::int16_t extent, std::int16_t target,
                                  std::int16_t limit) {
  start = std::max<std::int16_t>(start, static_cast<std::int16_t>(target - extent));
  start = std::min<std::int16_t>(start, target);
  start = std::min<std::int16_t>(start, static_cast<std::int16_t>(limit - 1 - extent));
  return std::max<std::int16_t>(start, 0);
}

// The size the console had before the styling, given back without cutting what was printed:
// the buffer is never narrower than `text_width` (one past the rightmost column holding text)
// nor shorter than the rows up to the cursor's, so where the former size would cut text it
// keeps what the text needs. The window keeps its former size and moves only as far as needed
// to show the cursor, which stays where the output left it: the last lines written stay in view.
constexpr RestoredConsole RestoredGeometry(BufferSize before, WindowRect window_before,
                                           std::int16_t text_width, CellPosition cursor) {
  const BufferSize buffer = {
      std::max(before.width, text_width),
      std::max(before.height, static_cast<std::int16_t>(cursor.row + 1))};
  cursor.column =
      std::min<std::int16_t>(cursor.column, static_cast<std::int16_t>(buffer.width - 1));
  const std::int16_t columns = static_cast<std::int16_t>(window_before.right - window_before.left);
  const std::int16_t rows = static_cast<std::int16_t>(window_before.bottom - window_before.top);
  const std::int16_t left = FollowSpan(window_before.left, columns, cursor.column, buffer.width);
  const std::int16_t top = FollowSpan(window_before.top, rows, cursor.row, buffer.height);
  return {buffer,
          {left, top, static_cast<std::int16_t>(left + columns),
           static_cast<std::int16_t>(top + rows)},
          cursor};
}

// The 16 x 16 monochrome window icon, a pair of beamed eighth notes; '#' is a white pixel.
inline constexpr int kIconSize = 16;
inline constexpr std::array<std::string_view, kIconSize> kIconPicture = {
    "................",  //
    "................",  //
    "......#########.",  //
    "......#########.",  //
    "......#.......#.",  //
    "......#.......#.",  //
    "......#.......#.",  //
    "......#.......#.",  //
    "......#.......#.",  //
    "......#.......#.",  //
    "..#####...#####.",  //
    ".######..######.",  //
    ".######..######.",  //
    "..####....####..",  //
    "................",  //
    "................",  //
};

// A 1-bit mask in the icon's layout: two bytes per row, top row first, most significant bit
// leftmost.
using IconMask = std::array<std::uint8_t, kIconSize * kIconSize / 8>;

// The XOR mask drawing kIconPicture: 1 = white, 0 = black.
constexpr IconMask IconXorMask() {
  IconMask mask{};
  for (int row = 0; row < kIconSize; ++row) {
    for (int column = 0; column < kIconSize; ++column) {
      if (kIconPicture[row][column] == '#') {
        mask[row * 2 + column / 8] |= static_cast<std::uint8_t>(0x80 >> (column % 8));
      }
    }
  }
  return mask;
}

// The AND mask: all zero, so every pixel is opaque and takes the XOR mask's colour.
inline constexpr IconMask kIconAndMask{};
