/* The decoder's own cost, for comparison: opens each file with stb_vorbis and asks for its
   length, as the Ogg route does, with nothing else around it. */
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>
#include <stdio.h>

int main(int argc, char** argv) {
  double total = 0;
  for (int i = 1; i < argc; ++i) {
    FILE* f = fopen(argv[i], "rb");
    if (!f) continue;
    int error = 0;
    stb_vorbis* v = stb_vorbis_open_file(f, 1, &error, NULL);
    if (!v) continue;
    total += (double)stb_vorbis_stream_length_in_samples(v) / stb_vorbis_get_info(v).sample_rate;
    stb_vorbis_close(v);
  }
  printf("%.3f\n", total);
  return 0;
}
