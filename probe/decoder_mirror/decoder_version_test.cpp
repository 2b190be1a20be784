#include <gtest/gtest.h>

// The decoder source the units of this folder follow, step by step. Another decoder may read a
// stream otherwise, and then their verdicts are no longer its own: a new one is taken on by
// reading every unit against it (README.md beside this file), then pinning it here.
TEST(DecoderVersionTest, InstalledDecoderIsTheOneTheMirrorFollows) {
  constexpr char kPinnedSha256[] =
      "4c7cb2ff1f7011e9d67950446b7eb9ca044f2e464d76bfbb0b84dd2e23e65636";
  EXPECT_STREQ(kPinnedSha256, INSTALLED_DECODER_SHA256)
      << "The installed decoder source " << INSTALLED_DECODER_PATH << " (\""
      << INSTALLED_DECODER_TITLE << "\") is not the one probe/decoder_mirror follows: "
      << "stb_vorbis v1.22 of Debian's libstb-dev 0.0~git20220908.8b5f1f3+ds-1. Read each unit "
      << "there against the new decoder as its README.md says, mend what now reads otherwise, "
      << "then pin the new SHA-256 here.";
}
