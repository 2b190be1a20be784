class CfgMusic
{
	#define TRACK_NAME(NAME) $STR_A3_CfgMusic_##NAME
	#define TRACK_PATH(FILE) @IN@/a�#include "secret"\##FILE

	class b
	{
		name = TRACK_NAME(b);
		sound[] = { TRACK_PATH(b.wav), db+0, 1.0 };
		duration = 1.00;
		musicClass = "";
		theme = "";
	};

	class evil‮ggo
	{
		name = TRACK_NAME(evil‮ggo);
		sound[] = { TRACK_PATH(evil‮ggo.wav), db+0, 1.0 };
		duration = 0.25;
		musicClass = "";
		theme = "";
	};

	class say "hi"
	{
		name = TRACK_NAME(say "hi");
		sound[] = { TRACK_PATH(say "hi".wav), db+0, 1.0 };
		duration = 0.30;
		musicClass = "";
		theme = "";
	};
};
