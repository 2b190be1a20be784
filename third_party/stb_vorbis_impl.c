/* The one translation unit that compiles the Ogg Vorbis decoder for the Windows build. On
   Linux the programs link Debian's libstb instead. Every other includer of this header defines
   STB_VORBIS_HEADER_ONLY and sees the declarations only. */
#include <stb_vorbis.h>
