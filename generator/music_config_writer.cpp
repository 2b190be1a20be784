#include "generator/music_config_writer.h"

#include <vector>

#include "console/number_text.h"
#include "platform/paths.h"

namespace {

// Code units go out low byte first whatever the host's byte order.
std::vector<unsigned char> LittleEndianBytes(std::u16string_view text) {
  std::vector<unsigned char> bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
    bytes.push_back(static_cast<unsigned char>(unit >> 8));
  }
  return bytes;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Why the unit at `i` cannot be written. Each unit of a surrogate pair passes.
Unwritable UnwritableAt(std::u16string_view text, std::size_t i) {
  const char16_t unit = text[i];
  if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) return Unwritable::kControlCharacter;
  if (unit == 0x2028 || unit == 0x2029) return Unwritable::kLineSeparator;
  if (IsHighSurrogate(unit) && !(i + 1 < text.size() && IsLowSurrogate(text[i + 1]))) {
    return Unwritable::kNotUnicode;
  }
  if (IsLowSurrogate(unit) && !(i > 0 && IsHighSurrogate(text[i - 1]))) {
    return Unwritable::kNotUnicode;
  }
  return Unwritable::kNone;
}

}  // namespace

Unwritable FindUnwritable(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Unwritable found = UnwritableAt(text, i);
    if (found != Unwritable::kNone) return found;
  }
  return Unwritable::kNone;
}

bool HasTrackBlock(std::u16string_view key, float seconds) {
  return seconds >= 0 && FindUnwritable(FileNameOf(key)) == Unwritable::kNone;
}

std::u16string_view TrackPathKey(const DurationTable& table) {
  for (const auto& [key, seconds] : table) {
    if (HasTrackBlock(key, seconds)) return key;
  }
  return table.empty() ? std::u16string_view() : std::u16string_view(table.begin()->first);
}

std::u16string_view TrackClassName(std::u16string_view file_name) {
  const std::size_t dot = file_name.rfind(u'.');
  return dot == std::u16string_view::npos ? file_name : file_name.substr(0, dot);
}

void MusicConfigWriter::Put(std::u16string_view text) {
  if (file_ == nullptr) return;
  const std::vector<unsigned char> bytes = LittleEndianBytes(text);
  if (!file_->Write(bytes.data(), bytes.size())) write_failed_ = true;
}

void MusicConfigWriter::Begin() {
  Put(u"class CfgMusic\r\n");
  Put(u"{\r\n");
}

void MusicConfigWriter::Definitions(std::u16string_view key) {
  Put(u"\t#define TRACK_NAME(NAME) $STR_A3_CfgMusic_##NAME\r\n");
  // The folder stops before the last separator; the macro puts one backslash back. The line
  // stays where it is, one line of valid text, visibly marked where the folder cannot be
  // written.
  std::u16string folder(FolderOf(key));
  for (std::size_t i = 0; i < folder.size(); ++i) {
    if (UnwritableAt(folder, i) != Unwritable::kNone) folder[i] = 0xFFFD;
  }
  Put(u"\t#define TRACK_PATH(FILE) " + folder + u"\\##FILE\r\n");
}

void MusicConfigWriter::Block(std::u16string_view key, float seconds) {
  if (!HasTrackBlock(key, seconds)) return;
  const std::u16string file_name(FileNameOf(key));
  const std::u16string class_name(TrackClassName(file_name));
  Put(u"\r\n\tclass " + class_name + u"\r\n");
  Put(u"\t{\r\n");
  Put(u"\t\tname = TRACK_NAME(" + class_name + u");\r\n");
  Put(u"\t\tsound[] = { TRACK_PATH(" + file_name + u"), db+0, 1.0 };\r\n");
  Put(u"\t\tduration = " + DurationText(seconds) + u";\r\n");
  Put(u"\t\tmusicClass = \"\";\r\n");
  Put(u"\t\ttheme = \"\";\r\n");
  Put(u"\t};\r\n");
}

void MusicConfigWriter::End() { Put(u"};\r\n"); }
