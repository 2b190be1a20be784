#include "tests/support/crafted_files.h"

#include <algorithm>
#include <array>

namespace {

// The Ogg checksum: CRC-32 with polynomial 0x04C11DB7, no reflection, starting from 0.
// A table a byte at a time: the benchmarks' files run to hundreds of MiB.
std::uint32_t OggChecksum(std::string_view bytes) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      t[i] = i << 24;
      for (int k = 0; k < 8; ++k) t[i] = (t[i] << 1) ^ ((t[i] >> 31) * 0x04C11DB7u);
    }
    return t;
  }();
  std::uint32_t crc = 0;
  for (const char c : bytes) crc = (crc << 8) ^ table[(crc >> 24) ^ static_cast<std::uint8_t>(c)];
  return crc;
}

}  // namespace

std::string Le(std::uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}

std::uint64_t LeAt(std::string_view bytes, std::size_t at, int size) {
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | std::uint8_t(bytes.at(at + i));
  return value;
}

std::string ChunkHeader(std::string_view id, std::uint32_t size) {
  return std::string(id) + Le(size, 4);
}

std::string Chunk(std::string_view id, std::string_view body) {
  return ChunkHeader(id, static_cast<std::uint32_t>(body.size())) + std::string(body) +
         std::string(body.size() % 2, '\0');
}

std::string FormatBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                       std::uint16_t bits) {
  const std::uint32_t block_align = channels * ((bits + 7u) / 8);
  return Le(tag, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * block_align, 4) +
         Le(block_align, 2) + Le(bits, 2);
}

std::string RiffSized(std::uint32_t size, std::string_view children) {
  return ChunkHeader("RIFF", size) + "WAVE" + std::string(children);
}

std::string Riff(std::string_view children) {
  return RiffSized(static_cast<std::uint32_t>(4 + children.size()), children);
}

BitWriter& BitWriter::operator()(std::uint64_t value, std::uint64_t count) {
  for (std::uint64_t i = 0; i < count; ++i, ++used_) {
    if (used_ % 8 == 0) bytes_ += '\0';
    if (i < 64 && ((value >> i) & 1) != 0) bytes_.back() |= static_cast<char>(1 << (used_ % 8));
  }
  return *this;
}

std::string IdentificationPacket(std::uint8_t channels, std::uint32_t rate, int short_exponent,
                                 int long_exponent) {
  return "\x01vorbis" + Le(0, 4) + static_cast<char>(channels) + Le(rate, 4) +
         std::string(12, '\0') + static_cast<char>(long_exponent << 4 | short_exponent) + '\x01';
}

std::string CommentPacket(std::string_view vendor, const std::vector<std::string>& comments) {
  std::string out = "\x03vorbis" + Le(vendor.size(), 4) + std::string(vendor) +
                    Le(comments.size(), 4);
  for (const std::string& c : comments) out += Le(c.size(), 4) + c;
  return out + '\x01';
}

void WriteCodebook(BitWriter& put, const CodebookShape& book) {
  put(0x564342, 24)(book.dimensions, 16)(book.entries, 24)(book.lengths.empty(), 1);
  if (book.lengths.empty()) {
    int width = 0;  // of the entry count, which is the one run of lengths
    for (std::uint32_t rest = book.entries; rest != 0; rest >>= 1) ++width;
    put(book.code_length - 1, 5)(book.entries, width);
  } else {
    put(book.sparse, 1);
    for (const std::uint8_t length : book.lengths) {
      if (book.sparse) put(length != 0, 1);
      if (!book.sparse || length != 0) put(length - 1u, 5);
    }
  }
  put(book.lookup_type, 4);
  if (book.lookup_type != 0) put(0, 32)(0, 32)(0, 4)(0, 1)(0, book.lookup_values);
}

std::string SetupPacket(const SetupShape& setup, std::uint32_t channels) {
  BitWriter put;
  put(setup.books.size() - 1, 8);
  for (const CodebookShape& book : setup.books) WriteCodebook(put, book);
  put(0, 6)(0, 16);  // one time-domain placeholder
  const std::uint64_t partitions = setup.floor_x.size() / setup.floor_class_dimensions;
  put(setup.floors - 1, 6);
  for (std::uint32_t i = 0; i < setup.floors; ++i) {
    put(setup.floor_type, 16)(partitions, 5)(0, 4 * partitions);
    if (partitions > 0) put(setup.floor_class_dimensions - 1, 3)(0, 2)(0, 8);
    put(0, 2)(setup.floor_range_bits, 4);
    for (const std::uint32_t x : setup.floor_x) put(x, setup.floor_range_bits);
  }
  put(setup.residues - 1, 6);
  for (std::uint32_t i = 0; i < setup.residues; ++i) {
    put(setup.residue_type, 16)(0, 24)(setup.residue_end, 24)(setup.partition_size - 1, 24);
    put(setup.classifications - 1, 6)(0, 8)(0, 4 * setup.classifications);
  }
  const bool many = setup.submaps > 1;  // then a submap per channel
  put(setup.mappings - 1, 6);
  for (std::uint32_t i = 0; i < setup.mappings; ++i) {
    put(0, 16)(many, 1)(setup.submaps - 1, 4 * many)(0, 3)(0, many * 4 * channels);
    put(0, 24 * setup.submaps);
  }
  put(setup.modes - 1, 6);
  for (std::uint32_t i = 0; i < setup.modes; ++i) put(i & 1, 1)(0, 32)(i, 8);
  return "\x05vorbis" + put(1, 1).bytes();
}

std::string CraftedPage::Bytes() const {
  std::string out = std::string("OggS\0", 5) + static_cast<char>(flags) + Le(granule, 8) +
                    Le(serial, 4) + Le(sequence, 4) + Le(0, 4) +
                    static_cast<char>(lacing.size()) + lacing + body;
  return out.replace(22, 4, Le(OggChecksum(out), 4));
}

std::vector<CraftedPage> ParsePages(std::string_view file) {
  std::vector<CraftedPage> pages;
  for (std::size_t at = 0; at + 27 <= file.size() && file.substr(at, 4) == "OggS";) {
    const auto field = [&](std::size_t i, int size) { return LeAt(file, at + i, size); };
    CraftedPage page{std::uint8_t(field(5, 1)), field(6, 8), std::uint32_t(field(14, 4)),
                     std::uint32_t(field(18, 4)), "", ""};
    if (at + 27 + field(26, 1) > file.size()) break;
    page.lacing = std::string(file.substr(at + 27, field(26, 1)));
    std::size_t body = 0;
    for (const char length : page.lacing) body += static_cast<std::uint8_t>(length);
    if (at + 27 + page.lacing.size() + body > file.size()) break;
    page.body = std::string(file.substr(at + 27 + page.lacing.size(), body));
    at += page.size();
    pages.push_back(page);
  }
  return pages;
}

std::string JoinPages(const std::vector<CraftedPage>& pages) {
  std::string out;
  for (const CraftedPage& page : pages) out += page.Bytes();
  return out;
}

std::vector<CraftedPage> LacePackets(const std::vector<std::string>& packets,
                                     const std::vector<std::size_t>& page_ends,
                                     std::uint32_t serial, std::uint32_t sequence, bool first) {
  std::vector<CraftedPage> pages;
  CraftedPage page{std::uint8_t(first ? 2 : 0), 0, serial, sequence, "", ""};
  const auto flush = [&] {
    const bool goes_on = page.lacing.back() == '\xFF';
    page.granule = goes_on ? ~std::uint64_t{0} : 0;
    pages.push_back(page);
    page = CraftedPage{std::uint8_t(goes_on), 0, serial, ++sequence, "", ""};
  };
  for (std::size_t p = 0; p < packets.size(); ++p) {
    for (std::size_t offset = 0, size = 255; size == 255; offset += size) {
      if (page.lacing.size() == 255) flush();
      size = std::min<std::size_t>(255, packets[p].size() - offset);
      page.lacing += static_cast<char>(size);
      page.body += packets[p].substr(offset, size);
    }
    if (p + 1 == packets.size() || std::count(page_ends.begin(), page_ends.end(), p)) flush();
  }
  return pages;
}

std::vector<CraftedPage> SetupCutUnflagged(const std::string& identification,
                                           const std::string& comment) {
  SetupShape shape;
  shape.mappings = shape.modes = 64;
  const std::string setup = SetupPacket(shape, std::uint8_t(identification.at(11)));
  std::vector<CraftedPage> pages = LacePackets({identification, comment}, {0});
  pages.push_back({0, ~std::uint64_t{0}, 7, 2, std::string(1, '\xff'), setup.substr(0, 255)});
  for (const CraftedPage& page : LacePackets({setup.substr(255), std::string(255, '\0')}, {}, 7,
                                             3, false)) {
    pages.push_back(page);
  }
  pages.back().lacing.pop_back();  // the 0 that ends the audio packet
  pages.push_back({0, 0, 7, 4, std::string(1, '\1'), std::string(1, '\0')});
  return pages;
}

OggParts::OggParts(std::string_view file) : pages(ParsePages(file)) {
  std::string current;  // the packet so far, joined by the lacing values
  for (; audio < pages.size() && headers.size() < 3; ++audio) {
    std::size_t at = 0;
    for (const char length : pages[audio].lacing) {
      const std::size_t size = static_cast<std::uint8_t>(length);
      current += pages[audio].body.substr(at, size);
      at += size;
      if (size < 255) headers.push_back(std::move(current)), current.clear();
    }
  }
  headers.resize(std::min<std::size_t>(headers.size(), 3));
}

std::vector<CraftedPage> OggParts::With(const std::vector<std::string>& new_headers,
                                        const std::vector<std::size_t>& page_ends) const {
  std::vector<CraftedPage> out = LacePackets(new_headers, page_ends, pages[0].serial);
  for (std::size_t i = audio; i < pages.size(); ++i) {
    out.push_back(pages[i]);
    out.back().sequence = std::uint32_t(out.size() - 1);
  }
  return out;
}
