#include <windows.h>

#include <string>

#include "platform/folder.h"
#include "platform/paths.h"
#include "platform/paths_win32.h"

bool ListFolderFiles(const std::u16string& path, std::vector<std::u16string>* names) {
  names->clear();
  // The attributes of what a link or junction points to, as for the folder itself.
  const DWORD attributes = GetFileAttributesW(FileCallPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return false;
  }
  // The pattern's full path may pass 260 characters where the folder's did not: its own
  // \\?\ form is taken then.
  const std::wstring pattern = FileCallPath(JoinPath(path, u"*"));
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return true;  // unreadable, or not even "." in it
  do {
    // Folders (and links to them) are not descended into; hidden files (desktop.ini, Thumbs.db)
    // are what Explorer does not show.
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) != 0) {
      continue;
    }
    const std::wstring_view name(found.cFileName);
    names->emplace_back(name.begin(), name.end());
  } while (FindNextFileW(search, &found));
  (void)FindClose(search);
  return true;
}
