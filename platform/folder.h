#pragma once

#include <string>
#include <vector>

// Lists what a folder argument stands for. False when `path` names no folder (a file, a link
// to a file, nothing at all): it is then measured as a file. True when it names a folder or a
// link to one, with `*names` set to the names of the files directly inside it, in no particular
// order: regular files and links to regular files, never folders, FIFOs, devices, sockets or
// dangling links, and no hidden file (a name starting with "." on POSIX, the hidden attribute
// on Windows), as a file manager shows the folder and a shell's "*" lists it. A folder that
// cannot be read gives true and no names. Names come as the system holds them (any bytes on
// POSIX, see platform/utf.h; any UTF-16 code units on Windows). Opens nothing that could block.
bool ListFolderFiles(const std::u16string& path, std::vector<std::u16string>* names);
