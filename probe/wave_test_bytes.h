#pragma once

// Builders of RIFF/WAVE bytes for the probe's tests.

#include <cstdint>
#include <string>
#include <string_view>

#include "probe/wave_reader.h"
#include "tests/support/test_support.h"

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

// The same with the true size.
inline std::string Riff(std::string_view children) {
  return RiffSized(static_cast<std::uint32_t>(4 + children.size()), children);
}

// The 16 bytes of a format record up to bits per sample (no extra size).
inline std::string FormatBody(const WaveFormat& f) {
  std::string out;
  AppendU16(out, f.format_tag);
  AppendU16(out, f.channel_count);
  AppendU32(out, f.samples_per_second);
  AppendU32(out, f.average_bytes_per_second);
  AppendU16(out, f.block_align);
  AppendU16(out, f.bits_per_sample);
  return out;
}

// A consistent format record: block alignment and bytes per second follow from the rest.
inline WaveFormat Format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                         std::uint16_t bits, std::uint16_t extra_size = 0) {
  WaveFormat f;
  f.format_tag = tag;
  f.channel_count = channels;
  f.samples_per_second = rate;
  f.block_align = static_cast<std::uint16_t>(channels * ((bits + 7) / 8));
  f.average_bytes_per_second = rate * f.block_align;
  f.bits_per_sample = bits;
  f.extra_size = extra_size;
  return f;
}

// A 16-byte `fmt ` chunk.
inline std::string Fmt(const WaveFormat& f) { return Chunk("fmt ", FormatBody(f)); }
