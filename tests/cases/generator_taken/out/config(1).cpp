class CfgMusic
{
	#define TRACK_NAME(NAME) $STR_A3_CfgMusic_##NAME
	#define TRACK_PATH(FILE) @IN@\##FILE

	class outro
	{
		name = TRACK_NAME(outro);
		sound[] = { TRACK_PATH(outro.wav), db+0, 1.0 };
		duration = 5.67;
		musicClass = "";
		theme = "";
	};

	class intro
	{
		name = TRACK_NAME(intro);
		sound[] = { TRACK_PATH(intro.ogg), db+0, 1.0 };
		duration = 0.50;
		musicClass = "";
		theme = "";
	};
};
