class CfgMusic
{
	#define TRACK_NAME(NAME) $STR_A3_CfgMusic_##NAME
	#define TRACK_PATH(FILE) @IN@\##FILE

	class 
	{
		name = TRACK_NAME();
		sound[] = { TRACK_PATH(.ogg), db+0, 1.0 };
		duration = 0.50;
		musicClass = "";
		theme = "";
	};

	class 01 - Intro
	{
		name = TRACK_NAME(01 - Intro);
		sound[] = { TRACK_PATH(01 - Intro.ogg), db+0, 1.0 };
		duration = 1.00;
		musicClass = "";
		theme = "";
	};

	class Theme
	{
		name = TRACK_NAME(Theme);
		sound[] = { TRACK_PATH(Theme.ogg), db+0, 1.0 };
		duration = 0.25;
		musicClass = "";
		theme = "";
	};

	class ok_Name2
	{
		name = TRACK_NAME(ok_Name2);
		sound[] = { TRACK_PATH(ok_Name2.wav), db+0, 1.0 };
		duration = 1.50;
		musicClass = "";
		theme = "";
	};

	class theme
	{
		name = TRACK_NAME(theme);
		sound[] = { TRACK_PATH(theme.wav), db+0, 1.0 };
		duration = 0.30;
		musicClass = "";
		theme = "";
	};

	class x{y};
	{
		name = TRACK_NAME(x{y};);
		sound[] = { TRACK_PATH(x{y};.wav), db+0, 1.0 };
		duration = 2.00;
		musicClass = "";
		theme = "";
	};
};
