#pragma once

#include <string>
#include <string_view>

#include "platform/utf.h"

// The generator's config file text, written out independently of the writer from readable
// UTF-8, for its unit and end-to-end tests.

// The bytes the file holds for `utf8`: its UTF-16 code units, low byte first.
inline std::string Utf16Le(std::string_view utf8) {
  std::string bytes;
  for (const char16_t unit : Utf8ToUtf16(utf8)) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

// Header and macro definitions, with TRACK_PATH pointing at `folder`.
inline std::string ExpectedHead(const std::string& folder) {
  return "class CfgMusic\r\n{\r\n\t#define TRACK_NAME(NAME) $STR_A3_CfgMusic_##NAME\r\n"
         "\t#define TRACK_PATH(FILE) " + folder + "\\##FILE\r\n";
}

inline std::string ExpectedBlock(const std::string& class_name, const std::string& file_name,
                                 const std::string& duration) {
  return "\r\n\tclass " + class_name + "\r\n\t{\r\n\t\tname = TRACK_NAME(" + class_name +
         ");\r\n\t\tsound[] = { TRACK_PATH(" + file_name + "), db+0, 1.0 };\r\n" +
         "\t\tduration = " + duration + ";\r\n\t\tmusicClass = \"\";\r\n\t\ttheme = \"\";\r\n" +
         "\t};\r\n";
}

inline constexpr char kExpectedEnd[] = "};\r\n";
