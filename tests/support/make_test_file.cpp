// make_test_file: writes crafted files (crafted_files.h); run it without arguments for its
// usage. Exits 1 on bad arguments or a failed write.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/crafted_files.h"

namespace {

constexpr char kUsage[] = R"(Usage: make_test_file COMMAND ARGS...
  chunk ID SIZE [BODY]              a chunk declaring SIZE: BODY or SIZE bytes of 8-bit silence,
                                    and a pad byte after an odd number of them, to standard output
  fmt TAG CHANNELS RATE BITS [EXTRA]  a format chunk, 16 bytes plus EXTRA, to standard output
  riff PATH                         a RIFF/WAVE file of the chunks on standard input
  wave PATH RATE BYTES              mono 8-bit PCM: BYTES * 1000 / RATE ms
  shapes SOURCE.ogg FOLDER [SHAPE...]  copies of SOURCE, each changed in one place (all)
  limits SOURCE.ogg FOLDER NAME...  files that make a reader or the decoder walk, search or
                                    allocate for long, around SOURCE's headers and audio
BODY and EXTRA take the escapes \0 (a zero byte) and \\.
)";

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "make_test_file: " << message << "\n";
  std::exit(1);
}

// BODY or EXTRA as the shell's printf writes it: \0 a zero byte, \\ a backslash.
std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool escaped = text[i] == '\\' && i + 1 < text.size();
    if (escaped) ++i;
    out += escaped && text[i] == '0' ? '\0' : text[i];
  }
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

using Piece = std::pair<std::uint64_t, std::string>;
// A file: bytes at offsets, the rest holes up to the furthest end of a piece (an empty piece
// sets the size), sparse where the file system allows, so that files of many GiB cost no
// disk. A string is the whole file.
struct Pieces {
  Pieces(std::string bytes) : list{{0, std::move(bytes)}} {}  // NOLINT(runtime/explicit)
  Pieces(std::initializer_list<Piece> pieces) : list(pieces) {}
  std::vector<Piece> list;
};

void WriteFile(const std::string& path, const Pieces& file) {
  std::uint64_t size = 0;
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& [at, bytes] : file.list) {
      out.seekp(static_cast<std::streamoff>(at)) << bytes;
      size = std::max<std::uint64_t>(size, at + bytes.size());
    }
    if (!out.flush()) Fail("cannot write " + path);
  }
  std::error_code error;
  std::filesystem::resize_file(path, size, error);
  if (error) Fail("cannot size " + path);
}

std::string SilentChunk(const std::string& id, std::uint64_t size, const std::string* body) {
  const std::string bytes = body != nullptr ? Unescape(*body) : std::string(size, '\x80');
  return ChunkHeader(id, static_cast<std::uint32_t>(size)) + bytes +
         std::string(bytes.size() % 2, '\0');
}

std::string FormatChunk(const std::vector<std::string>& args) {
  const auto arg = [&](int i) { return std::stoul(args[i]); };
  return Chunk("fmt ", FormatBody(std::uint16_t(arg(0)), std::uint16_t(arg(1)),
                                  std::uint32_t(arg(2)), std::uint16_t(arg(3))) +
                           (args.size() > 4 ? Unescape(args[4]) : ""));
}

// `setup` with `books` added after its own codebooks, which are walked to find their end.
std::string WithCodebooks(const std::string& setup, const std::vector<CodebookShape>& books) {
  std::uint64_t end = 56;
  const auto bit = [&](std::uint64_t at) {
    return at / 8 < setup.size() ? (setup[at / 8] >> at % 8) & 1 : 0;
  };
  const auto read = [&](int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) value |= std::uint64_t(bit(end++)) << i;
    return value;
  };
  const auto width = [](std::uint32_t value) { return value == 0 ? 0 : 1 + int(std::log2(value)); };
  for (std::uint64_t book = read(8) + 1; book > 0; --book) {
    if (read(24) != 0x564342) Fail("codebook sync pattern");
    const auto dimensions = std::uint32_t(read(16)), entries = std::uint32_t(read(24));
    if (read(1) != 0) {  // ordered: runs of lengths
      read(5);
      for (std::uint32_t entry = 0; entry < entries;) entry += read(width(entries - entry));
    } else if (read(1) != 0) {  // sparse
      for (std::uint32_t i = 0; i < entries; ++i) read(read(1) != 0 ? 5 : 0);
    } else {
      end += 5 * std::uint64_t{entries};
    }
    if (const std::uint64_t lookup = read(4); lookup != 0) {
      read(64);
      const std::uint64_t value_bits = read(4) + 1;
      std::uint64_t values = 0;  // of type 1: the largest r with r^dimensions <= entries
      while (values < entries && std::pow(values + 1.0, dimensions) <= entries) ++values;
      end += 1 + value_bits * (lookup == 1 ? values : std::uint64_t{entries} * dimensions);
    }
  }
  const std::size_t count = std::uint8_t(setup[7]) + 1 + books.size();
  if (count > 256) Fail("at most 256 codebooks");
  BitWriter put;
  for (std::uint64_t i = 0; i < 8 * setup.size(); ++i) {
    if (i == end) for (const CodebookShape& book : books) WriteCodebook(put, book);
    put(i >= 56 && i < 64 ? (count - 1) >> (i - 56) : bit(i), 1);
  }
  return put.bytes();
}

// `file` taken apart; it must hold three header packets.
OggParts Parts(const std::string& file) {
  OggParts ogg(file);
  if (ogg.headers.size() < 3) Fail("fewer than three header packets");
  return ogg;
}

// Copies of an Ogg Vorbis file in shapes the decoder reads its own way: name -> the changed
// pages. Most it opens as it opens the source; three it mishandles (noted), which the route
// must call n/a. The source needs a comment; continued-unflagged needs a comment header over
// two pages whose last comment ends in an odd byte (the decoder reads its framing bit there).
std::map<std::string, std::vector<CraftedPage>> Shapes(const std::string& file) {
  const OggParts ogg = Parts(file);
  const std::vector<CraftedPage>& pages = ogg.pages;
  const std::string &comment = ogg.headers[1], &setup = ogg.headers[2];
  const auto with = [&](const std::string& other_comment, const std::string& other_setup) {
    return ogg.With({ogg.headers[0], other_comment, other_setup});
  };
  const std::size_t count_at = 11 + LeAt(comment, 7, 4);
  std::size_t last_at = 0;  // the last comment's length
  for (std::size_t i = LeAt(comment, count_at, 4), at = count_at + 4; i > 0;
       --i, at += 4 + LeAt(comment, at, 4)) {
    last_at = at;
  }
  if (last_at == 0) Fail("no comment");
  std::map<std::string, std::vector<CraftedPage>> out;
  // Bits past the setup header's end read as 0.
  out["setup-cut"] = with(comment, setup.substr(0, setup.size() - 1));
  // Mishandled: cut early by a page not marked as going on, its first audio packet too.
  out["setup-cut-unflagged"] = SetupCutUnflagged(ogg.headers[0], comment);
  // Serial numbers are never compared.
  out["other-serial"] = pages;
  out["other-serial"][1].serial ^= 0x5A5A;
  // Mishandled: the comment count read past the packet's end, where the decoder shifts -1.
  out["vendor-past-end"] = with(std::string(comment).replace(7, 4, Le(comment.size(), 4)), setup);
  // The end of packet (-1) read as the framing byte has its low bit set.
  out["no-framing"] = with(comment.substr(0, comment.size() - 1), setup);
  // No segments after the headers: the decoder stops there, with nothing left to open.
  auto& empty_page = out["empty-page-after-headers"] = pages;
  empty_page.insert(empty_page.begin() + ogg.audio, {0, 0, pages[0].serial, 0, "", ""});
  // The flags of the comment's first page are not looked at.
  (out["comment-page-continued"] = pages)[1].flags |= 1;
  // The count's last byte read as 0xFF: negative, no comments. Mishandled without two bytes.
  out["count-cut"] = with(comment.substr(0, count_at + 3), setup);
  out["count-cut-2"] = with(comment.substr(0, count_at + 2), setup);
  // The last comment 5 bytes past the end, read as 0xFF like the framing byte after it.
  out["last-comment-past-end"] = with(
      std::string(comment).replace(last_at, 4, Le(LeAt(comment, last_at, 4) + 5, 4)), setup);
  // One end of packet inside the last comment, then the page read as its continuation.
  if (comment.size() > 255 * 255) (out["continued-unflagged"] = pages)[2].flags &= ~1;
  // Codebooks beyond what encoders write, after the source's own and used by nothing.
  const auto books = [&](std::size_t count, const CodebookShape& book) {
    return with(comment, WithCodebooks(setup, std::vector<CodebookShape>(count, book)));
  };
  const std::size_t own = std::uint8_t(setup[7]) + 1;
  out["books-129"] = books(129 - own, {1, 2, 1});
  out["books-256"] = books(256 - own, {1, 2, 1});
  out["entries-65537"] = books(1, {1, 65537, 17});
  out["dimensions-65"] = books(1, {65, 2, 1});
  out["dimensions-32769"] = books(1, {32769, 2, 1});
  out["codes-31-bits-9-entries"] = books(1, {1, 9, 31});
  out["codes-31-bits-2-entries-unused"] = books(1, {1, 2, 31});
  // Lookup type 1: one value (1^dimensions entries) of 1 bit.
  out["lookup1-30-dimensions"] = books(1, {30, 2, 1, 1, 1});
  out["lookup1-31-dimensions"] = books(1, {31, 2, 1, 1, 1});  // mishandled: 2^31 float to int
  return out;
}

// Writes the files `names` of the benchmark's catalogue into `folder`, around the headers and
// audio of `source`.
void MakeLimits(const std::string& source, const std::string& folder,
                const std::vector<std::string>& names) {
  const OggParts ogg = Parts(source);
  const std::string &ident = ogg.headers[0], &setup = ogg.headers[2];
  const auto relace = [&](const std::string& comment, const std::string& other_setup) {
    return JoinPages(ogg.With({ident, comment, other_setup}));
  };
  const std::string headers = JoinPages({ogg.pages.begin(), ogg.pages.begin() + ogg.audio});
  const std::uint64_t rate = LeAt(ident, 12, 4), gib = std::uint64_t{1} << 30;
  const auto with = [&](const std::vector<std::string>& comments) {
    return relace(CommentPacket("x", comments), setup);
  };
  const auto repeat = [](const std::string& text, std::size_t times) {
    std::string out;
    while (times-- > 0) out += text;
    return out;
  };
  const auto last_page = [](std::uint64_t granule) {
    return CraftedPage{4, granule, 7, 1000, std::string(1, '\0'), ""}.Bytes();
  };
  // The heaviest setup within the caps: 2^18 codebook entries, 2^20 entry dimensions (851 968
  // of them lookup values), 2^14 classification entries of 32 dimensions, long codes; 64 floors
  // of 250 points, 64 mappings of 15 submaps, 64 modes.
  SetupShape heavy;
  heavy.books = {{32, 16384, 14, 2, 1 << 19}, {5, 65536, 16, 2, 327680}, {1, 65536, 16},
                 {1, 65536, 16}, {1, 32768, 15}, {1, 16384, 14}};
  heavy.floors = 64, heavy.floor_class_dimensions = 8, heavy.floor_range_bits = 8;
  for (std::uint32_t x = 2; x < 250; ++x) heavy.floor_x.push_back(x);
  heavy.residue_type = 2, heavy.residue_end = 0, heavy.partition_size = 1;
  heavy.classifications = 64, heavy.mappings = 64, heavy.submaps = 15, heavy.modes = 64;
  const std::string heavy_setup = SetupPacket(heavy, std::uint8_t(ident[11]));
  const std::string fmt = Chunk("fmt ", FormatBody(1, 2, 44100, 16));
  const std::string pcm = fmt + Chunk("data", std::string(176400, '\0'));  // one second
  const std::string false_start("OggS\0\xff\xff\xff\xff", 9);
  // 65000 comments filling headers of `mib` MiB less 4 KiB.
  const auto heavy_comments = [&](std::size_t mib) {
    return with({65000, std::string(((mib << 20) - 4096) * 254 / 256 / 65000 - 4, 'A')});
  };
  // An hour long by its last page, at the end of a file of `size` bytes.
  const auto hour_at = [&](std::uint64_t size) {
    return Pieces{{0, headers}, {size - 28, last_page(3600 * rate)}};
  };
  std::map<std::string, std::function<Pieces()>> files = {
      {"wave-id-zero.wav", [&] { return Riff(Chunk(std::string(4, '\0'), "ab") + pcm); }},
      {"wave-id-ff-jnk.wav", [&] { return Riff(Chunk("\xffjnk", "ab") + pcm); }},
      {"wave-12M-empty-chunks.wav",  // 100 MB of them, then fmt and data
       [&] { return Riff(repeat(ChunkHeader("JUNK", 0), 12500000) + pcm); }},
      {"wave-64K-spaced-chunks.wav", [&] {  // every chunk header a new read
         Pieces file = {{0, RiffSized(0xFFFFFFF0, fmt)}, {0xFFFFFFF8, ""}};
         for (std::uint64_t at = file.list[0].second.size(); at + 65536 < 0xFFFFFFF0;
              at += 65536) {
           file.list.emplace_back(at, ChunkHeader("JUNK", 65528));
         }
         return file;
       }},
      {"wave-1GiB-zeros.wav",  // chunks of id 00000000 and size 0
       [&] { return Pieces{{0, RiffSized(0xFFFFFFF0, fmt)}, {gib, ""}}; }},
      {"ogg-4M-empty-comments.ogg", [&] { return with(std::vector<std::string>(4000000)); }},
      // More than the decoder's first areas hold.
      {"ogg-60000-comments.ogg", [&] { return with({60000, std::string(200, 'A')}); }},
      {"ogg-16MiB-65000-comments.ogg", [&] { return heavy_comments(16); }},
      // Beyond the area once each is held.
      {"ogg-64MiB-65000-comments.ogg", [&] { return heavy_comments(64); }},
      {"ogg-setup-at-caps.ogg", [&] { return relace(ogg.headers[1], heavy_setup); }},
      // 5 KB whose one comment runs 60 MiB past the packet's end: the decoder fills that much.
      {"ogg-60MiB-comment-past-end.ogg", [&] {
         return relace("\x03vorbis" + Le(1, 4) + "x" + Le(1, 4) + Le(60 << 20, 4) + "x", setup);
       }},
      // Comments filling the headers, almost 1 MiB skipped before the first audio packet, false
      // page starts at the end for the last-page search.
      {"ogg-16MiB-everything-at-caps.ogg", [&] {
         const std::size_t fill = (16 << 20) - 4096 - 16384 + (source.size() - headers.size()) -
                                  relace(CommentPacket("x", {}), heavy_setup).size();
         const std::string comment =
             CommentPacket("x", std::vector<std::string>(fill / 1004, std::string(1000, 'A')));
         std::vector<CraftedPage> pages = ogg.With({ident, comment, heavy_setup});
         const auto skipped =
             LacePackets({std::string((1 << 20) - 65536, '\x01')}, {}, 7, 1000, false);
         pages.insert(pages.end() - std::ptrdiff_t(ogg.pages.size() - ogg.audio), skipped.begin(),
                      skipped.end());
         return JoinPages(pages) + repeat(false_start, 950);
       }},
      {"ogg-sparse-4GiB.ogg", [&] { return Pieces{{0, headers}, {4 * gib + 4096, ""}}; }},
      {"ogg-sparse-12GiB.ogg", [&] { return Pieces{{0, headers}, {12 * gib, ""}}; }},
      {"ogg-7700-false-captures.ogg", [&] { return headers + repeat(false_start, 7700); }},
      {"ogg-hour-at-1.9GiB.ogg", [&] { return hour_at(gib * 19 / 10); }},
      {"ogg-hour-at-2.1GiB.ogg", [&] { return hour_at(gib * 21 / 10); }},
      {"ogg-granule-beyond-32-bits.ogg", [&] {
         return source.substr(0, source.rfind("OggS")) + last_page((std::uint64_t{1} << 32) + rate);
       }},
  };
  // Cover art fits until the decoder's 64 MiB area is full.
  for (const std::size_t mib : {15, 17, 32, 63, 65}) {
    files["ogg-" + std::to_string(mib) + "MiB-cover-art.ogg"] = [&, mib] {
      return with({"TITLE=x", "METADATA_BLOCK_PICTURE=" + std::string(mib << 20, 'A')});
    };
  }
  for (const std::string& name : names) {
    const auto file = files.find(name);
    if (file == files.end()) Fail("no such file: " + name);
    WriteFile(folder + "/" + name, file->second());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + std::min(argc, 2), argv + argc);
  const std::string command = argc > 1 ? argv[1] : "";
  const auto print = [](const std::string& bytes) { std::cout << bytes << std::flush; };
  try {
    if (command == "chunk" && (args.size() == 2 || args.size() == 3)) {
      print(SilentChunk(args[0], std::stoull(args[1]), args.size() == 3 ? &args[2] : nullptr));
    } else if (command == "fmt" && (args.size() == 4 || args.size() == 5)) {
      print(FormatChunk(args));
    } else if (command == "riff" && args.size() == 1) {
      WriteFile(args[0], Riff(std::string(std::istreambuf_iterator<char>(std::cin), {})));
    } else if (command == "wave" && args.size() == 3) {
      WriteFile(args[0], Riff(FormatChunk({"1", "1", args[1], "8"}) +
                              SilentChunk("data", std::stoull(args[2]), nullptr)));
    } else if (command == "shapes" && args.size() >= 2) {
      auto made = Shapes(ReadFile(args[0]));
      const std::string base = args[1] + "/" + std::filesystem::path(args[0]).stem().string();
      for (auto& [name, pages] : made) {
        if (args.size() == 2) WriteFile(base + "-" + name + ".ogg", JoinPages(pages));
      }
      for (std::size_t i = 2; i < args.size(); ++i) {
        if (made.count(args[i]) == 0) Fail("no such shape: " + args[i]);
        WriteFile(base + "-" + args[i] + ".ogg", JoinPages(made[args[i]]));
      }
    } else if (command == "limits" && args.size() >= 3) {
      MakeLimits(ReadFile(args[0]), args[1], {args.begin() + 2, args.end()});
    } else {
      std::cerr << kUsage;
      return 1;
    }
  } catch (const std::exception& error) {  // a bad number among the arguments
    Fail(error.what());
  }
  return 0;
}
