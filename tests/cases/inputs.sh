#!/usr/bin/env bash
# Makes the generated inputs of one end-to-end case: run.sh calls it as "inputs.sh CASE" in the
# case's scratch folder, where in/ becomes the program's working folder and app/ its own folder.
# One line per case; cases with only committed inputs need none.
set -euo pipefail
data=$CASES/../data

# The builders of crafted files: tests/support/make_test_file (its usage lists them), at
# $MAKE_TEST_FILE or else in build/.
make_test_file() { "${MAKE_TEST_FILE:-$CASES/../../build/bin/make_test_file}" "$@"; }
chunk() { make_test_file chunk "$@"; }; fmt() { make_test_file fmt "$@"; }
riff() { make_test_file riff "$@"; }; wave() { make_test_file wave "$@"; }

case $1 in
  lister_file_size_limit) for i in $(seq -w 20); do wave in/t$i.wav 1000 5668; done ;;
  lister_order) wave in/b.wav 8000 12345; wave in/A.wav 8000 16000; mkdir in/x in/y; wave in/x/same.wav 8000 26000; wave in/y/same.wav 8000 16000 ;;
  generator_taken) wave in/outro.wav 1000 5668; cp "$data/vorbis_stereo_44k.ogg" in/intro.ogg; printf taken >app/config.cpp ;;
  # Three folders of 100 tracks, measured on several threads: where names meet, the later folder
  # wins, and the last argument, a single file, wins over all three.
  lister_many_files) oggs=('' vorbis_mono_8k.ogg vorbis_6ch_48k.ogg vorbis_stereo_96k.ogg); for f in 1 2 3; do mkdir in/$f
      for ((i = 50 * f - 50; i < 50 * f + 50; i++)); do n=in/$f/t$(printf %03d $i); if ((i % 5 == 0)); then cp "$data/${oggs[f]}" $n; else wave $n 8000 $(((f * 100 + i % 100) * 80)); fi; done
    done; printf 'not audio' >in/2/t075 ;;
  lister_kinds) cp "$data"/{ogg_data_named.wav,wave_data_named.ogg,vorbis_stereo_44k.ogg} in/; cp "$data/vorbis_6ch_48k.ogg" in/six.ogg; wave in/empty.wav 8000 0; wave in/short.wav 8000 7; mkdir in/folder.wav ;;
  lister_wave_layouts) cd in
    { chunk LIST 3 abc; fmt 1 1 8000 8; chunk data 16000; } | riff odd_chunk.wav
    { fmt 3 1 8000 32 '\0\0'; chunk data 16000; } | riff float_fmt18.wav
    { fmt 3 1 8000 32; chunk xtra 2; chunk data 16000; } | riff float_fmt16.wav
    { chunk data 8000; fmt 1 1 8000 8; } | riff data_first.wav
    { fmt 1 2 44100 16; chunk data 4000000000 ''; } | riff declared_long.wav
    { fmt 1 1 0 8; chunk data 100; } | riff no_rate.wav
    { chunk 'fmt ' 14 'abcdefghijklmn'; chunk data 100; } | riff fmt_short.wav
    { fmt 1 1 2000 8; chunk data 251; } | riff halfway.wav ;;
  lister_unicode_order) for n in a B 'ünï ♫' 😀 Ａ _; do wave "in/$n.wav" 8000 $((${#n} * 4000)); done ;;
  lister_posix_names) cd in; wave $'\xff\xfe-raw.wav' 8000 12345; wave $'tab\there.wav' 8000 16000; wave 'in\empty.wav' 8000 0; wave $'line\nbreak.wav' 8000 4000; wave $'esc\x1b[2J.wav' 8000 8000 ;;
  generator_blocks) mkdir in/Other; wave in/Other/outro.wav 1000 2000; { fmt 1 2 44100 16; chunk data 1000000; } | riff in/Music/outro.wav; cp "$data/vorbis_stereo_44k.ogg" in/Music/intro.ogg
    wave in/Music/a.b.ogg 8000 8000; wave in/Music/.ogg 8000 4000; wave in/Music/noext 8000 2000; wave 'in/Other/ünï ♫.wav' 8000 492000; : >app/config.cpp; : >'app/config(1).cpp' ;;
  # Tracks of 0.00 seconds are tracks: an empty WAVE and one of 4 ms.
  generator_zero_duration) wave in/empty.wav 8000 0; wave in/short.wav 8000 32 ;;
  generator_all_taken) wave in/outro.wav 1000 5668; : >app/config.cpp; for i in $(seq 99); do printf taken >"app/config($i).cpp"; done ;;
  closed_descriptors | generator_closed_output | generator_full_disk | generator_help | generator_no_dev_null | generator_no_editor | generator_file_size_limit | \
    generator_read_only | \
    windows_launch_* | windows_deep_app) wave in/outro.wav 1000 5668 ;;
  windows_folder_case) mkdir in/Music; wave in/Music/a.wav 8000 8000; wave in/Music/b.wav 8000 4000 ;;
  windows_path_forms) mkdir -p 'in/Music Folder' in/Other; wave 'in/Music Folder/theme.wav' 8000 8000; wave 'in/Music Folder/longwidth.wav' 8000 4000; wave 'in/Music Folder/a.wav' 8000 2000 ;;
  lister_option_like_names) wave in/--help 8000 8000; wave in/-x.ogg 8000 4000; wave in/-h 8000 2000; wave in/--version 8000 1000 ;;
  # Folders: files and non-audio inside, a hidden file and a subfolder left out; empty ones.
  lister_folders) mkdir -p in/Music/Album in/Empty in/OnlyFolders/Sub in/More; wave in/Music/a.wav 8000 8000; cp "$data/vorbis_stereo_44k.ogg" in/Music/b.ogg
    printf 'not audio' >in/Music/notes.txt; wave in/Music/.hidden.wav 8000 4000; wave in/Music/Album/song.wav 8000 4000; wave in/More/c.wav 8000 2000 ;;
  # What a folder holds besides files; a name holding '\\' that ends like another; a folder link.
  lister_folder_entries) mkdir -p in/Mixed/Sub in/Real; cd in; wave Mixed/b.wav 8000 8000; wave 'Mixed/x\\b.wav' 8000 2000; wave $'Mixed/\xff raw.wav' 8000 4000
    wave $'Mixed/line\nbreak.wav' 8000 4000; wave target.wav 8000 12000; mkfifo Mixed/fifo.ogg; python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind("Mixed/socket.wav")'
    ln -s ../target.wav Mixed/link.wav; ln -s ../gone.wav Mixed/dangling.wav; ln -s ../Real Mixed/folder-link; wave Real/r.wav 8000 16000; ln -s Real Linked
    mkdir 'Back\'; wave 'Back\/c.wav' 8000 6000 ;;
  # A modder's folder as converters leave it: tracks, other formats, notes; an empty folder, a
  # typo, and the same names later from other folders (the later file is the one listed).
  lister_why_not_measured) sox -D -n -r 44100 -c 2 -b 16 in.wav synth 0.3 pinknoise vol 0.5; cd in; mkdir Music Empty Old Broken Backup
    oggenc -Q -o Music/intro.ogg ../in.wav; cp Music/intro.ogg Music/credits.ogg; cp ../in.wav Music/outro.wav; for f in battle.flac drums.aiff long.w64; do sox ../in.wav Music/$f; done
    ff() { ffmpeg -loglevel error -i ../in.wav "$@"; }; ff Music/theme.mp3; ff -id3v2_version 0 Music/raw.mp3; ff -c:a libopus Music/voice.ogg; ff -ar 16000 -ac 1 -c:a libspeex Music/speech.ogg
    ff -c:a aac Music/menu.m4a; ff -c:a wmav2 Music/ambient.wma; ff -rf64 always Music/big.wav; printf 'track list' | tee Music/notes.txt >Music/tracks.txt
    head -c 3000 Music/intro.ogg >Broken/intro.ogg; printf 'not audio' >Old/outro.wav; : >Backup/notes.txt ;;
  generator_folder_drop | generator_folder_files_drop) mkdir -p in/Music/Album; wave in/Music/theme.wav 8000 16000; wave in/Music/outro.wav 1000 5668
    cp "$data/vorbis_stereo_44k.ogg" in/Music/intro.ogg; printf 'not audio' >in/Music/readme.txt; wave in/Music/Album/song.wav 8000 4000 ;;
  # One folder spelt three ways.
  generator_path_spellings) mkdir in/sub; wave in/a.wav 8000 8000; wave in/b.wav 8000 4000; wave in/c.wav 8000 2000 ;;
  generator_no_rename_or_link) wave in/outro.wav 1000 5668; printf taken >app/config.cpp ;;
  generator_track_folder) mkdir -p in/Docs in/Music/Album; printf 'not audio' >in/Docs/notes.txt; wave in/Music/theme.wav 8000 8000; wave in/Music/Album/song.wav 8000 4000 ;;
  # A folder and names from an old archive (Latin-1, not UTF-8); C1 and Unicode line breaks.
  generator_unwritable_names) d=$'in/Lieder f\xfcr'; mkdir "$d"; for n in a.wav $'b.w\xe9v' $'nel\xc2\x85.wav' $'ls\xe2\x80\xa8.wav' $'ps\xe2\x80\xa9.wav'; do wave "$d/$n" 8000 4000; done ;;
  generator_dangling_link) wave in/outro.wav 1000 5668; ln -s ../victim app/config.cpp ;;
  lister_leased_files) wave in/leased.wav 8000 16000; cp "$data/vorbis_stereo_44k.ogg" in/leased.ogg ;;
  hostile_ogg | hostile_within_256mib) cp "$data"/../hostile/data/*.ogg in/; cp "$data/vorbis_stereo_44k.ogg" in/zz-good.ogg ;;
  hostile_not_regular_files) cd in; mkfifo fifo.ogg; mkdir folder.wav; : >empty.ogg ;;
  # 4 000 000 000 bytes declared at 4 000 000 a second, held as a sparse file: never read.
  hostile_sparse_wave) cd in; { fmt 1 2 1000000 16; chunk data 4000000000 ''; } | riff sparse.wav; truncate -s 4000000044 sparse.wav ;;
  hostile_deep_path) cd in; deep=$(printf 'd%.0s' {1..200}); deep=$(printf "$deep/%.0s" {1..19}); mkdir -p "$deep"; wave "$deep$(printf 'n%.0s' {1..176}).wav" 8000 4000 ;;
  # A thousand arguments: names linked to one file, each followed by one that does not exist.
  hostile_many_arguments) wave in/one.wav 8000 2000; python3 -c 'import os; [os.link("in/one.wav", f"in/t{i}.wav") for i in range(10000, 11000, 2)]'
    for i in {10000..10998..2}; do printf 't%d.wav\nt%d.ogg\n' $i $((i + 1)); done >more-args ;;
  encoders) n=0
    encode() { sox -D -n -r "$1" -c "$2" -b 16 in.wav synth 0.3 pinknoise vol 0.5; IN=in.wav OUT=$(printf 'in/e%02d.ogg' $n) bash -c "$3"; n=$((n + 1)); }
    for e in "8000 1 oggenc -Q -q -1" "11025 2 oggenc -Q" "22050 3 oggenc -Q -q 4" "44100 4 oggenc -Q" "44100 5 oggenc -Q" "48000 6 oggenc -Q -q 8" \
      "44100 7 oggenc -Q" "48000 8 oggenc -Q -q 10" "96000 2 oggenc -Q -q 10" "192000 2 oggenc -Q"; do
      read -r rate channels command <<<"$e"; encode "$rate" "$channels" "$command -o \"\$OUT\" \"\$IN\""; done
    encode 16000 1 'sox "$IN" -C 3 "$OUT"'; encode 44100 2 'sox "$IN" -C 10 "$OUT"'
    encode 48000 2 'ffmpeg -loglevel error -i "$IN" -c:a libvorbis "$OUT"'; encode 48000 6 'ffmpeg -loglevel error -i "$IN" -c:a libvorbis "$OUT"'
    encode 44100 2 'ffmpeg -loglevel error -i "$IN" -c:a vorbis -strict -2 "$OUT"'
    # Cover art: a 600 KiB comment over many pages; and a chained file, one stream after another.
    cp in/e01.ogg in/art.ogg; head -c 460000 /dev/urandom | base64 -w0 | sed 's/^/METADATA_BLOCK_PICTURE=/' >tag; vorbiscomment -a -c tag in/art.ogg
    cat in/e00.ogg in/e01.ogg >in/chained.ogg ;;
  # Real encoder files in the shapes the decoder reads its own way (make_test_file shapes); a
  # comment header over two pages, its last comment ending in an odd byte, for one of them.
  ogg_header_shapes) sox -D -n -r 44100 -c 2 -b 16 in.wav synth 0.3 pinknoise vol 0.5; cd in
    oggenc -Q -t x -o a.ogg ../in.wav; sox ../in.wav -C 3 b.ogg; ffmpeg -loglevel error -i ../in.wav -c:a libvorbis c.ogg
    ffmpeg -loglevel error -i ../in.wav -c:a vorbis -strict -2 d.ogg; cp a.ogg long.ogg; python3 -c 'print("NOTE=" + "abc" * 23334)' >../tag; vorbiscomment -a -c ../tag long.ogg
    for f in a b c d; do make_test_file shapes $f.ogg .; done; make_test_file shapes long.ogg . continued-unflagged ;;
  # Cover art as taggers embed it: a front-cover PNG in a picture block, as base64. Two files of
  # 27 MB need more decoder memory together than the files measured at once may hold.
  cover_art | cover_art_within_16mib) sox -D -n -r 44100 -c 2 -b 16 in.wav synth 0.3 pinknoise vol 0.5; oggenc -Q -o in/plain.ogg in.wav
    for size in 12.6:12603198 24:24000000 27:27000000; do cp in/plain.ogg "in/art-${size%:*}MB.ogg"; python3 -c 'import base64, os, struct, sys; n = int(sys.argv[1])
print("METADATA_BLOCK_PICTURE=" + base64.b64encode(struct.pack(">II9s6I", 3, 9, b"image/png", 0, 4000, 3000, 24, 0, n) + b"\x89PNG\r\n\x1a\n" + os.urandom(n - 8)).decode())' "${size#*:}" >tag
      vorbiscomment -a -c tag "in/art-${size%:*}MB.ogg"; done; cp in/art-27MB.ogg in/art-27MB-2.ogg ;;
  generator_control_names) cd in; mkdir $'a\n#include "secret"'; wave $'a\n#include "secret"/b.wav' 8000 8000
    wave $'inj\n\t};\n\tclass Evil { hacked = 1; };\n\tclass x.wav' 8000 16000; wave $'esc\x1b[2J.wav' 8000 4000
    wave $'evil\xe2\x80\xaeggo.wav' 8000 2000; wave 'say "hi".wav' 8000 2400 ;;
  # Characters that end or split a macro argument, the sound[] line or the #define line.
  generator_macro_names) d="in/Mix (#2), Tom's"; mkdir "$d"; for n in comma.w,av paren.w\)av open.w\(av semi.w\;av brace.w{av "it's.wav" plain.wav; do wave "$d/$n" 8000 4000; done ;;
  generator_macro_names_posix) mkdir 'in/*x'; wave 'in/*x/quote.w"av' 8000 4000; wave 'in/*x/plain.wav' 8000 2000 ;;
  generator_name_warnings) cd in; mkdir sub; wave '01 - Intro.ogg' 8000 8000; wave .ogg 8000 4000; wave Theme.ogg 8000 2000
    wave sub/theme.wav 8000 2400; wave 'x{y};.wav' 8000 16000; wave ok_Name2.wav 8000 12000; wave 'Köln.wav' 8000 6000; printf 'not audio' >notes.txt
    wave THEME.wav 8000 1600; wave _01_Intro.wav 8000 800 ;;
  # Class names made valid from accents, combining marks, signs and runs; free names suggested.
  generator_class_names) cd in; mkdir N; for n in '  Intro (live)  .wav' 'a _b.wav' 'Straße Æther Œuvre Été.wav' 'Łódź İstanbul ſ.wav' ×÷x.wav Ko$'\xcc\x88'ln.wav 'ƀx ¿y.wav' '音楽 2.wav' '♫ ♫.wav' 𝄞.wav \
    'a b.ogg' A_B.wav a-b.ogg a_b_2.wav .ogg track.wav x.O,gg 'z z.♫' Same.wav N/same.ogg; do wave "$n" 8000 800; done ;;
  # An Ogg file's last page cut in half; page starts after a whole file, of another version or
  # followed by 64 KiB; a data chunk beyond 4 GiB in a sparse WAVE.
  probe_edges) cd in; ogg=$data/vorbis_stereo_44k.ogg; starts() { for i in {1..7700}; do printf "OggS\\$1\377\377\377\377"; done; }
    head -c 4402 "$ogg" >cut.ogg; { cat "$ogg"; starts 1; } >other-version.ogg; { cat "$ogg"; starts 0; head -c 65536 /dev/zero | tr '\0' a; } >starts-then-64k.ogg
    { chunk RIFF 4294967295 ''; printf WAVE; fmt 1 2 44100 16; chunk JUNK 4294967040 ''; } >far-data.wav; chunk data 1000000 '' | dd of=far-data.wav bs=1 seek=4294967084 conv=notrunc status=none ;;
  # Twelve small files whose decoder takes 60 MiB each; WAVE and Ogg files for few descriptors.
  lister_memory_group | lister_address_limit) make_test_file limits "$data/vorbis_stereo_44k.ogg" in ogg-60MiB-comment-past-end.ogg
    for i in {01..12}; do cp in/ogg-60MiB-comment-past-end.ogg in/c$i.ogg; done; rm in/ogg-60MiB-comment-past-end.ogg ;;
  lister_few_descriptors | lister_no_threads) for i in {01..40}; do cp "$data/vorbis_stereo_44k.ogg" in/o$i.ogg; wave in/w$i.wav 8000 $((10#$i * 400)); done ;;
  # Files crafted to make a reader or the decoder walk, search or allocate for long.
  probe_limits | probe_limits_within_16mib) cp "$data"/../hostile/data/*.ogg in/; make_test_file limits "$data/vorbis_stereo_44k.ogg" in $(grep -E '^(wave|ogg)-' "$CASES/$1/args") ;;
esac
