#pragma once

#include <cstdint>
#include <string>

// Measures the file at `path` (UTF-16, exactly as received on the command line): its playing
// time in seconds, or a negative value when neither the WAVE route nor the Ogg Vorbis route
// accepts it. Zero is a real duration. Tries the routes on every path, whatever the
// extension (the Ogg route only where the WAVE route gives no more than 0), and reads only
// headers. Never fails in any other way.
float DurationProbe(const std::u16string& path);

// The rule that picks the result from the WAVE route's seconds and the Ogg route's seconds
// (each negative when that route failed).
float ChooseDuration(float wave_seconds, float ogg_seconds);

// The WAVE route's seconds for a `data` chunk of `data_size` bytes at
// `average_bytes_per_second`: whole milliseconds (truncated), expressed in seconds in single
// precision. -1 when the rate is 0, since no duration follows from it.
float WaveSeconds(std::uint32_t data_size, std::uint32_t average_bytes_per_second);
