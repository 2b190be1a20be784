class CfgMusic
{
	#define TRACK_NAME(NAME) $STR_A3_CfgMusic_##NAME
	#define TRACK_PATH(FILE) @IN@/Music\##FILE
};
