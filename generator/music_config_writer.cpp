#include "generator/music_config_writer.h"

#include <vector>

#include "console/number_text.h"
#include "generator/name_rules.h"
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

}  // namespace

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
  Put(u"\t#define TRACK_PATH(FILE) " + WritableText(FolderOf(key)) + u"\\##FILE\r\n");
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
