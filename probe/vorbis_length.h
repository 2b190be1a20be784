#pragma once

#include <functional>
#include <string>

#include "probe/byte_source.h"
#include "probe/memory_budget.h"

// The Ogg Vorbis route: the playing time of the Ogg Vorbis stream in `file`, in seconds, as the
// stream's total sample frames divided by its sample rate. `file` must have been opened with
// FileSharing::kWritersKeptOut (see DecoderInput); the route moves its position.
// -1 when its headers fail CheckOggVorbisHeaders or its length cannot be found by
// CanFindOggLength (so that the decoder never sees it); when the decoder refuses it or needs
// more memory than it is given, or memory runs out keeping the bytes the checks read
// (DecoderInput); or when the stream's frame count does not fit in 32 bits. 0 when the decoder
// accepts the stream but cannot find its length. Reads the headers, the first audio packet and
// the last 64 KiB, each once unless it waits for memory; decodes no other audio. Setup headers
// seen before are not walked again (SharedSetupMemo).
//
// The memory it holds for the decoder (its area and the bytes kept for it) comes from `budget`:
// a file that needs more than it can get at once gives it all back, waits, and is read again.
// `*decoder_opens` tells how many times the decoder was opened: once for every file it is
// given, unless the memory area sized from the headers fell short (0 when it never saw the
// file). `after_checks`, when given, runs once, the first time the checks have passed, before
// the decoder reads anything: the decoder reads the bytes the checks read, whatever it does to
// the file.
float VorbisSeconds(FileByteSource& file, int* decoder_opens,
                    const std::function<void()>& after_checks = {},
                    MemoryBudget& budget = DecoderMemoryBudget());

// The same for the file at `path` (UTF-16), opened for it: -1 when it cannot be opened.
float VorbisSeconds(const std::u16string& path, int* decoder_opens,
                    const std::function<void()>& after_checks = {},
                    MemoryBudget& budget = DecoderMemoryBudget());
