class CfgMusic
{
	#define TRACK_NAME(NAME) $STR_A3_CfgMusic_##NAME
	#define TRACK_PATH(FILE) outro.wav\##FILE

	class outro
	{
		name = TRACK_NAME(outro);
		sound[] = { TRACK_PATH(outro.wav), db+0, 1.0 };
		duration = 5.67;
		musicClass = "";
		theme = "";
	};
};
