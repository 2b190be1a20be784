/* The one translation unit that compiles the Ogg Vorbis decoder, where the build does not link
   Debian's libstb: the Windows build, and on Linux the release tarball and the sanitizer and
   fuzzing builds (CMake option STB_VORBIS_FROM_SOURCE), whose decoder must be instrumented or
   carried along. Every other includer of this header defines STB_VORBIS_HEADER_ONLY and sees the
   declarations only. */
#include <stb_vorbis.h>
