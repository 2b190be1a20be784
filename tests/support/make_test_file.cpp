// make_test_file: writes crafted test files (crafted_files.h) for the end-to-end cases, the fuzz
// replay and the benchmarks. Run without arguments for its usage. It runs on the machine that
// runs the cases, also in the Windows build, and exits 1 on bad arguments or a failed write.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/support/crafted_files.h"

namespace {

constexpr char kUsage[] = R"(Usage:
  make_test_file le VALUE BYTES               VALUE little-endian in BYTES bytes, to stdout
  make_test_file chunk ID SIZE [BODY]         a chunk header declaring SIZE, then BODY or SIZE
                                              bytes of 8-bit silence, then a pad byte for an
                                              odd SIZE, to stdout
  make_test_file fmt TAG CHANNELS RATE BITS [EXTRA]   a format chunk of 16 bytes plus EXTRA
  make_test_file riff PATH                    a RIFF/WAVE file of the chunks on stdin
  make_test_file wave PATH RATE BYTES         mono 8-bit PCM, BYTES * 1000 / RATE ms
  make_test_file shapes SOURCE.ogg FOLDER [SHAPE...]
      copies of an Ogg Vorbis file, each changed in one place (every shape by default)
  make_test_file limits SOURCE.ogg FOLDER [NAME...]
      files that make a reader or the decoder walk, search or allocate for long, built around
      the headers and audio of SOURCE.ogg (every file by default; large ones sparse)
BODY and EXTRA take the escapes \\, \n, \t, \xHH and octal \NNN.
)";

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "make_test_file: " << message << "\n";
  std::exit(1);
}

std::uint64_t Number(const std::string& text) {
  std::size_t used = 0;
  const unsigned long long value = std::stoull(text, &used);
  if (used != text.size()) Fail("not a number: " + text);
  return value;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    const bool hex = c == 'x';
    const auto digit = [&](char d) {
      return hex ? std::isxdigit(static_cast<unsigned char>(d)) != 0 : d >= '0' && d <= '7';
    };
    const std::size_t start = hex ? i + 1 : i;
    std::size_t end = start;
    while (end < text.size() && end - start < (hex ? 2u : 3u) && digit(text[end])) ++end;
    if (end > start) {
      out += static_cast<char>(std::stoi(text.substr(start, end - start), nullptr, hex ? 16 : 8));
      i = end - 1;
    } else {
      out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
    }
  }
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// `head`, then a hole up to `size` bytes less `tail`, then `tail`: sparse where the file system
// allows, so that files of many GiB cost no disk.
void WriteFile(const std::string& path, const std::string& head, std::uint64_t size = 0,
               const std::string& tail = "") {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << head;
    if (!tail.empty()) out.seekp(static_cast<std::streamoff>(size - tail.size())) << tail;
    if (!out.flush()) Fail("cannot write " + path);
  }
  std::error_code error;
  if (size > head.size()) std::filesystem::resize_file(path, size, error);
  if (error) Fail("cannot size " + path);
}

std::string FormatChunk(const std::vector<std::string>& args) {
  const std::string extra = args.size() > 4 ? Unescape(args[4]) : "";
  return ChunkHeader("fmt ", static_cast<std::uint32_t>(16 + extra.size())) +
         FormatBody(static_cast<std::uint16_t>(Number(args[0])),
                    static_cast<std::uint16_t>(Number(args[1])),
                    static_cast<std::uint32_t>(Number(args[2])),
                    static_cast<std::uint16_t>(Number(args[3]))) +
         extra;
}

std::string SilentChunk(const std::string& id, std::uint64_t size, const std::string* body) {
  return ChunkHeader(id, static_cast<std::uint32_t>(size)) +
         (body != nullptr ? Unescape(*body) : std::string(size, '\x80')) +
         std::string(size % 2, '\0');
}

// --- Copies of an Ogg Vorbis file in the shapes the decoder reads its own way.

// The largest r with r^dimensions <= entries.
std::uint32_t Lookup1Values(std::uint32_t entries, std::uint32_t dimensions) {
  auto root = static_cast<std::uint32_t>(std::floor(std::pow(entries, 1.0 / dimensions)));
  while (std::pow(root + 1.0, dimensions) <= entries) ++root;
  while (std::pow(root, dimensions) > entries) --root;
  return root;
}

int BitAt(const std::string& bytes, std::uint64_t position) {
  return position / 8 < bytes.size() ? (bytes[position / 8] >> position % 8) & 1 : 0;
}

// The bit position after the last codebook of a setup packet.
std::uint64_t CodebooksEnd(const std::string& setup) {
  std::uint64_t at = 56;
  const auto read = [&](std::uint64_t count) {
    std::uint64_t value = 0;
    for (std::uint64_t i = 0; i < count; ++i) value |= std::uint64_t(BitAt(setup, at++)) << i;
    return value;
  };
  const auto width = [](std::uint64_t value) {
    int bits = 0;
    for (; value != 0; value >>= 1) ++bits;
    return bits;
  };
  for (std::uint64_t books = read(8) + 1; books > 0; --books) {
    if (read(24) != 0x564342) Fail("codebook sync pattern");
    const auto dimensions = static_cast<std::uint32_t>(read(16));
    const auto entries = static_cast<std::uint32_t>(read(24));
    if (read(1) != 0) {
      read(5);
      for (std::uint64_t entry = 0; entry < entries;) entry += read(width(entries - entry));
    } else {
      const bool sparse = read(1) != 0;
      for (std::uint32_t i = 0; i < entries; ++i) {
        if (!sparse || read(1) != 0) read(5);
      }
    }
    const std::uint64_t lookup = read(4);
    if (lookup != 0) {
      read(64);
      const std::uint64_t value_bits = read(4) + 1;
      read(1);
      at += value_bits * (lookup == 1 ? Lookup1Values(entries, dimensions)
                                      : std::uint64_t{entries} * dimensions);
    }
  }
  return at;
}

// The setup with `books` added after its codebooks.
std::string WithCodebooks(const std::string& setup, const std::vector<CodebookShape>& books) {
  const std::uint64_t end = CodebooksEnd(setup);
  const std::size_t count = static_cast<std::uint8_t>(setup[7]) + 1 + books.size();
  if (count > 256) Fail("at most 256 codebooks");
  BitWriter put;
  for (std::uint64_t i = 0; i < 56; ++i) put(BitAt(setup, i), 1);
  put(count - 1, 8);
  for (std::uint64_t i = 64; i < end; ++i) put(BitAt(setup, i), 1);
  for (const CodebookShape& book : books) WriteCodebook(put, book);
  for (std::uint64_t i = end; i < 8 * setup.size(); ++i) put(BitAt(setup, i), 1);
  return put.bytes();
}

// The identification page, then the comment and setup packets laced afresh (the setup ending
// its page), then the file's other pages, renumbered.
std::vector<CraftedPage> Relaced(const std::vector<CraftedPage>& pages, std::size_t after,
                                 const std::string& comment, const std::string& setup) {
  std::vector<CraftedPage> out = {pages[0]};
  for (const CraftedPage& page : LacePackets({comment, setup}, {}, pages[0].serial, 1, false)) {
    out.push_back(page);
  }
  for (std::size_t i = after; i < pages.size(); ++i) {
    out.push_back(pages[i]);
    out.back().sequence = static_cast<std::uint32_t>(out.size() - 1);
  }
  return out;
}

// Name -> the changed copy. The source needs at least one comment; continued-unflagged needs a
// comment header longer than one page whose last comment ends in an odd byte (the decoder reads
// its framing bit there). Most shapes the decoder opens as it opens the source; three it
// mishandles (noted), which the route must call n/a.
std::map<std::string, std::vector<CraftedPage>> Shapes(const std::string& file) {
  const std::vector<CraftedPage> pages = ParsePages(file);
  std::size_t after = 0;
  const std::vector<std::string> headers = JoinPackets(pages, 3, after);
  if (headers.size() < 3) Fail("fewer than three header packets");
  const std::string& comment = headers[1];
  const std::string& setup = headers[2];
  const auto le32 = [&](std::size_t at) {
    if (at + 4 > comment.size()) Fail("comment header fields past its end");
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(comment[at + i]);
    return value;
  };
  // Offsets of the comment count and of the last comment's length.
  const std::size_t count_at = 11 + std::size_t{le32(7)};
  std::size_t last_at = 0;
  for (std::size_t i = le32(count_at), at = count_at + 4; i > 0; --i, at += 4 + le32(last_at)) {
    last_at = at;
  }
  if (last_at == 0) Fail("no comment");
  const auto relaced = [&](const std::string& c, const std::string& s) {
    return Relaced(pages, after, c, s);
  };
  std::map<std::string, std::vector<CraftedPage>> out;
  // The setup header cut before its last byte: the decoder reads the missing bits as 0.
  out["setup-cut"] = relaced(comment, setup.substr(0, setup.size() - 1));
  // The page after the first with another serial number: the decoder never compares them.
  out["other-serial"] = pages;
  out["other-serial"][1].serial ^= 0x5A5A;
  // Mishandled: the vendor string running past the packet's end, so that the comment count is
  // read past it, where the decoder shifts the -1 it reads left.
  out["vendor-past-end"] = relaced(std::string(comment).replace(7, 4, Le(comment.size(), 4)), setup);
  // No framing byte: the decoder reads the end of packet, -1, whose low bit is set.
  out["no-framing"] = relaced(comment.substr(0, comment.size() - 1), setup);
  // A page without segments after the headers: the decoder stops there, skipping only the
  // decoding of its first audio packet, which opening does not need.
  out["empty-page-after-headers"] = pages;
  CraftedPage empty;
  empty.serial = pages[0].serial;
  out["empty-page-after-headers"].insert(out["empty-page-after-headers"].begin() + after, empty);
  // The comment header's first page marked as continuing a packet: not looked at there.
  out["comment-page-continued"] = pages;
  out["comment-page-continued"][1].flags |= 1;
  // The comment count missing its last byte: read as 0xFF, the count is negative, no comments.
  out["count-cut"] = relaced(comment.substr(0, count_at + 3), setup);
  // Mishandled: missing its last two bytes, the count's third byte is shifted as -1.
  out["count-cut-2"] = relaced(comment.substr(0, count_at + 2), setup);
  // The last comment running 5 bytes past the packet's end: read as 0xFF, and the framing byte
  // after it too.
  out["last-comment-past-end"] =
      relaced(std::string(comment).replace(last_at, 4, Le(le32(last_at) + 5, 4)), setup);
  // The comment header's second page without the continued flag: the decoder reads one end of
  // packet there (inside the last comment), then the page as the packet's continuation.
  if (comment.size() > 255 * 255) {
    out["continued-unflagged"] = pages;
    out["continued-unflagged"][2].flags &= ~1;
  }
  // Codebooks beyond what encoders write, added after the source's own and used by nothing.
  const auto book = [](std::uint32_t dimensions, std::uint32_t entries, std::uint32_t code,
                       std::uint32_t lookup) {
    return CodebookShape{dimensions, entries, code, lookup,
                         lookup != 0 ? Lookup1Values(entries, dimensions) : 0, {}, false};
  };
  const std::size_t own = static_cast<std::uint8_t>(setup[7]) + 1;
  const std::vector<std::pair<const char*, std::vector<CodebookShape>>> books = {
      {"books-129", std::vector<CodebookShape>(129 - own, book(1, 2, 1, 0))},
      {"books-256", std::vector<CodebookShape>(256 - own, book(1, 2, 1, 0))},
      {"entries-65537", {book(1, 65537, 17, 0)}},
      {"dimensions-65", {book(65, 2, 1, 0)}},
      {"dimensions-32769", {book(32769, 2, 1, 0)}},
      {"codes-31-bits-9-entries", {book(1, 9, 31, 0)}},
      {"codes-31-bits-2-entries-unused", {book(1, 2, 31, 0)}},
      {"lookup1-30-dimensions", {book(30, 2, 1, 1)}},
      // Mishandled: the decoder converts 2^31 from a float to an int.
      {"lookup1-31-dimensions", {book(31, 2, 1, 1)}},
  };
  for (const auto& [name, added] : books) out[name] = relaced(comment, WithCodebooks(setup, added));
  return out;
}

// --- Files that make a reader or the decoder walk, search or allocate for long.

struct Limits {
  explicit Limits(const std::string& source_file) : source(source_file) {
    const std::vector<CraftedPage> pages = ParsePages(source);
    std::size_t after = 0;
    const std::vector<std::string> packets = JoinPackets(pages, 3, after);
    if (packets.size() < 3) Fail("fewer than three header packets");
    ident = packets[0], comment = packets[1], setup = packets[2];
    for (const CraftedPage& page : pages) {
      if (static_cast<std::int64_t>(page.granule) > 0) break;  // the first audio page
      header_end += page.size();
    }
    audio = source.substr(header_end);
    for (int i = 15; i >= 12; --i) rate = rate << 8 | static_cast<std::uint8_t>(ident[i]);
  }

  // The source's headers with another comment packet, then its audio.
  std::string WithComment(const std::string& packet) const {
    return JoinPages(LacePackets({ident, packet, setup}, {0})) + audio;
  }

  // A setup header heavy for the decoder to open: `books`, the residue classified by codebook
  // 0, 64 floors of 250 points, 64 mappings of 15 submaps and 64 modes.
  std::string HeavySetup() const {
    SetupShape heavy;
    // The heaviest codebooks within the caps: 2^18 entries, 2^20 entry dimensions (of which
    // 851 968 are lookup values), 2^14 residue classification entries of 32 dimensions, and
    // codes long enough for the decoder's sorted tables.
    heavy.books = {{32, 16384, 14, 2, 1 << 19}, {5, 65536, 16, 2, 327680}, {1, 65536, 16},
                   {1, 65536, 16}, {1, 32768, 15}, {1, 16384, 14}};
    heavy.floors = 64, heavy.floor_class_dimensions = 8, heavy.floor_range_bits = 8;
    for (std::uint32_t x = 2; x < 250; ++x) heavy.floor_x.push_back(x);
    heavy.residue_type = 2, heavy.residue_end = 0, heavy.partition_size = 1;
    heavy.classifications = 64, heavy.mappings = 64, heavy.submaps = 15, heavy.modes = 64;
    return SetupPacket(heavy, static_cast<std::uint8_t>(ident[11]));
  }

  // The heaviest setup, comments filling the headers up to `header_size` bytes, almost 1 MiB
  // of pages skipped before the first audio packet and `captures` false page starts at the end,
  // for the last-page search.
  std::string EverythingAtCaps(std::size_t header_size, std::size_t captures) const {
    const std::string heavy = HeavySetup();
    const std::size_t fill =
        header_size - JoinPages(LacePackets({ident, CommentPacket("x", {}), heavy}, {0})).size() -
        16384;
    const std::string headers = JoinPages(LacePackets(
        {ident, CommentPacket("x", std::vector<std::string>(fill / 1004, std::string(1000, 'A'))),
         heavy},
        {0}));
    const std::string skipped =
        JoinPages(LacePackets({std::string((1 << 20) - 65536, '\x01')}, {}, 7, 1000, false));
    return headers + skipped + audio + Repeat(kFalseCapture, captures);
  }

  static std::string Repeat(const std::string& text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
  }

  // A last page declaring `granule`, holding one empty packet.
  static std::string LastPage(std::uint64_t granule) {
    CraftedPage page;
    page.flags = 4, page.granule = granule, page.sequence = 1000, page.lacing = std::string(1, '\0');
    return page.Bytes();
  }

  std::string Art(std::size_t size) const {
    return WithComment(
        CommentPacket("x", {"TITLE=x", "METADATA_BLOCK_PICTURE=" + std::string(size, 'A')}));
  }

  // `count` equal comments filling a header of about `header_size` bytes.
  std::string CommentsOfHeader(std::size_t count, std::size_t header_size) const {
    const std::size_t length = header_size * 254 / 256 / count - 4;
    return WithComment(CommentPacket("x", std::vector<std::string>(count, std::string(length, 'A'))));
  }

  inline static const std::string kFalseCapture = std::string("OggS\0\xff\xff\xff\xff", 9);
  std::string source, ident, comment, setup, audio;
  std::size_t header_end = 0;
  std::uint32_t rate = 0;
};

void MakeLimits(const std::string& source, const std::string& folder,
                std::vector<std::string> names) {
  const Limits o(source);
  const std::string fmt = Chunk("fmt ", FormatBody(1, 2, 44100, 16));
  const std::string one_second = Chunk("data", std::string(176400, '\0'));
  const std::string headers = o.source.substr(0, o.header_end);
  const std::string hour = Limits::LastPage(std::uint64_t{3600} * o.rate);
  using Write = std::function<void(const std::string&)>;
  const auto dense = [](std::function<std::string()> bytes) {
    return Write([bytes](const std::string& path) { WriteFile(path, bytes()); });
  };
  const auto sparse = [](std::string head, std::uint64_t size, std::string tail = "") {
    return Write([=](const std::string& path) { WriteFile(path, head, size, tail); });
  };
  const std::map<std::string, Write> files = {
      {"wave-id-zero.wav",
       dense([&] { return Riff(Chunk(std::string(4, '\0'), "ab") + fmt + one_second); })},
      {"wave-id-ff-jnk.wav", dense([&] { return Riff(Chunk("\xffjnk", "ab") + fmt + one_second); })},
      // 12.5 million empty chunks (100 MB), then fmt and data.
      {"wave-12M-empty-chunks.wav", dense([&] {
         return Riff(Limits::Repeat(ChunkHeader("JUNK", 0), 12500000) + fmt + one_second);
       })},
      // A RIFF of 4 GiB whose empty chunks sit 64 KiB apart: every header is a new read.
      {"wave-64K-spaced-chunks.wav",
       [&](const std::string& path) {
         const std::string head = RiffSized(0xFFFFFFF0, fmt);
         WriteFile(path, head, 0xFFFFFFF8);
         std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
         for (std::uint64_t at = head.size(); at + 65536 < 0xFFFFFFF0; at += 65536) {
           out.seekp(static_cast<std::streamoff>(at)) << ChunkHeader("JUNK", 65528);
         }
         if (!out.flush()) Fail("cannot write " + path);
       }},
      // A gigabyte of zeros: chunks of id 00000000 and size 0.
      {"wave-1GiB-zeros.wav", sparse(RiffSized(0xFFFFFFF0, fmt), kGiB)},
      {"ogg-4M-empty-comments.ogg",
       dense([&] { return o.WithComment(CommentPacket("x", std::vector<std::string>(4000000))); })},
      // Below the comment cap, but more than the decoder's first memory areas hold.
      {"ogg-60000-comments.ogg", dense([&] {
         return o.WithComment(
             CommentPacket("x", std::vector<std::string>(60000, std::string(200, 'A'))));
       })},
      // The heaviest headers. Up to 16 MiB they cost little; larger ones in proportion to their
      // size, and cover art fits until the decoder's 64 MiB area is full.
      {"ogg-15MiB-cover-art.ogg", dense([&] { return o.Art(15 << 20); })},
      {"ogg-16MiB-65000-comments.ogg",
       dense([&] { return o.CommentsOfHeader(65000, (16 << 20) - 4096); })},
      {"ogg-setup-at-caps.ogg", dense([&] {
         return JoinPages(LacePackets({o.ident, o.comment, o.HeavySetup()}, {0})) + o.audio;
       })},
      {"ogg-16MiB-everything-at-caps.ogg",
       dense([&] { return o.EverythingAtCaps((16 << 20) - 4096, 950); })},
      {"ogg-17MiB-cover-art.ogg", dense([&] { return o.Art(17 << 20); })},
      {"ogg-32MiB-cover-art.ogg", dense([&] { return o.Art(32 << 20); })},
      {"ogg-63MiB-cover-art.ogg", dense([&] { return o.Art(63 << 20); })},
      {"ogg-65MiB-cover-art.ogg", dense([&] { return o.Art(65 << 20); })},
      // Within the header cap, but more than 64 MiB once the decoder holds each comment.
      {"ogg-64MiB-65000-comments.ogg",
       dense([&] { return o.CommentsOfHeader(65000, (64 << 20) - 4096); })},
      {"ogg-sparse-4GiB.ogg", sparse(headers, 4 * kGiB + 4096)},
      {"ogg-sparse-12GiB.ogg", sparse(headers, 12 * kGiB)},
      {"ogg-7700-false-captures.ogg",
       dense([&] { return headers + Limits::Repeat(Limits::kFalseCapture, 7700); })},
      {"ogg-hour-at-1.9GiB.ogg",
       sparse(headers, static_cast<std::uint64_t>(1.9 * static_cast<double>(kGiB)), hour)},
      {"ogg-hour-at-2.1GiB.ogg",
       sparse(headers, static_cast<std::uint64_t>(2.1 * static_cast<double>(kGiB)), hour)},
      {"ogg-granule-beyond-32-bits.ogg", dense([&] {
         return o.source.substr(0, o.source.rfind("OggS")) +
                Limits::LastPage((std::uint64_t{1} << 32) + o.rate);
       })},
  };
  if (names.empty()) {
    for (const auto& file : files) names.push_back(file.first);
  }
  for (const std::string& name : names) {
    const auto file = files.find(name);
    if (file == files.end()) Fail("no such file: " + name);
    file->second(folder + "/" + name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + std::min(argc, 2), argv + argc);
  const std::string command = argc > 1 ? argv[1] : "";
  const auto out = [](const std::string& bytes) { std::cout << bytes << std::flush; };
  try {
    if (command == "le" && args.size() == 2) {
      out(Le(Number(args[0]), static_cast<int>(Number(args[1]))));
    } else if (command == "chunk" && (args.size() == 2 || args.size() == 3)) {
      out(SilentChunk(args[0], Number(args[1]), args.size() == 3 ? &args[2] : nullptr));
    } else if (command == "fmt" && (args.size() == 4 || args.size() == 5)) {
      out(FormatChunk(args));
    } else if (command == "riff" && args.size() == 1) {
      WriteFile(args[0], Riff(std::string(std::istreambuf_iterator<char>(std::cin), {})));
    } else if (command == "wave" && args.size() == 3) {
      WriteFile(args[0], Riff(FormatChunk({"1", "1", args[1], "8"}) +
                              SilentChunk("data", Number(args[2]), nullptr)));
    } else if (command == "shapes" && args.size() >= 2) {
      const auto made = Shapes(ReadFile(args[0]));
      std::string base = std::filesystem::path(args[0]).stem().string();
      std::vector<std::string> wanted(args.begin() + 2, args.end());
      if (wanted.empty()) {
        for (const auto& shape : made) wanted.push_back(shape.first);
      }
      for (const std::string& name : wanted) {
        if (made.count(name) == 0) Fail("no such shape: " + name);
        WriteFile(args[1] + "/" + base + "-" + name + ".ogg", JoinPages(made.at(name)));
      }
    } else if (command == "limits" && args.size() >= 2) {
      MakeLimits(ReadFile(args[0]), args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    } else {
      std::cerr << kUsage;
      return 1;
    }
  } catch (const std::exception& error) {  // a bad number among the arguments
    Fail(error.what());
  }
  return 0;
}
