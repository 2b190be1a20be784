#pragma once

#include <cstddef>
#include <cstdint>

// The probe's fuzz target (probe_fuzz_target.cpp): aborts on a fault it finds in one input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Off while fuzzing, where shapes no encoder writes may leave the estimate looser. When on,
// the decoder's area estimated for every input the Ogg route passes must also be within
// kAreaSlack bytes of the smallest area that opens it: the decoder must fail with kAreaSlack
// bytes less. (The route opening the decoder once with the estimate bounds it from below.)
struct AreaBound {
  static constexpr std::uint64_t kAreaSlack = 8192;
  bool on = false;
  int inputs = 0;  // inputs bounded so far
};
extern AreaBound area_bound;
