#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tests/support/test_support.h"

// RIFF/WAVE bytes built field by field, for the probe's unit tests.

// A chunk header declaring `size`, whatever follows it.
inline std::string ChunkHeader(std::string_view id, std::uint32_t size) {
  std::string out(id);
  AppendU32(out, size);
  return out;
}

// A well-formed chunk: header, body and the pad byte an odd size needs.
inline std::string Chunk(std::string_view id, std::string_view body) {
  std::string out = ChunkHeader(id, static_cast<std::uint32_t>(body.size()));
  out += body;
  if (body.size() % 2 != 0) out.push_back('\0');
  return out;
}

// A RIFF/WAVE file of `children` whose RIFF chunk declares `size`.
inline std::string RiffSized(std::uint32_t size, std::string_view children) {
  return ChunkHeader("RIFF", size) + "WAVE" + std::string(children);
}

inline std::string Riff(std::string_view children) {
  return RiffSized(static_cast<std::uint32_t>(4 + children.size()), children);
}

// The 16 bytes of a format record; block alignment and bytes per second follow from the rest.
inline std::string FormatBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                              std::uint16_t bits) {
  const std::uint16_t block_align = static_cast<std::uint16_t>(channels * ((bits + 7) / 8));
  std::string out;
  AppendU16(out, tag);
  AppendU16(out, channels);
  AppendU32(out, rate);
  AppendU32(out, rate * block_align);
  AppendU16(out, block_align);
  AppendU16(out, bits);
  return out;
}
