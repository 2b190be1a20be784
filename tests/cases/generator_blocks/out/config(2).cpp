class CfgMusic
{
	#define TRACK_NAME(NAME) $STR_A3_CfgMusic_##NAME
	#define TRACK_PATH(FILE) @IN@/Music\##FILE

	class 
	{
		name = TRACK_NAME();
		sound[] = { TRACK_PATH(.ogg), db+0, 1.0 };
		duration = 0.50;
		musicClass = "";
		theme = "";
	};

	class a.b
	{
		name = TRACK_NAME(a.b);
		sound[] = { TRACK_PATH(a.b.ogg), db+0, 1.0 };
		duration = 1.00;
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

	class noext
	{
		name = TRACK_NAME(noext);
		sound[] = { TRACK_PATH(noext), db+0, 1.0 };
		duration = 0.25;
		musicClass = "";
		theme = "";
	};

	class outro
	{
		name = TRACK_NAME(outro);
		sound[] = { TRACK_PATH(outro.wav), db+0, 1.0 };
		duration = 5.67;
		musicClass = "";
		theme = "";
	};

	class outro
	{
		name = TRACK_NAME(outro);
		sound[] = { TRACK_PATH(outro.wav), db+0, 1.0 };
		duration = 2.00;
		musicClass = "";
		theme = "";
	};

	class ünï ♫
	{
		name = TRACK_NAME(ünï ♫);
		sound[] = { TRACK_PATH(ünï ♫.wav), db+0, 1.0 };
		duration = 61.50;
		musicClass = "";
		theme = "";
	};
};
