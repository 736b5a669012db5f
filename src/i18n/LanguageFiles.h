#pragma once

#include "i18n/Language.h"

#include <string>
#include <vector>

// The folders that hold language files, searched in order: the home folder
// (the user's own files win), then the share folder of the installation, then
// (for a program run from the build tree) the source tree's lang folder.
std::vector<std::string> DefaultLanguageFolders();

// The folders in use: those set with SetLanguageFolders, else the defaults.
std::vector<std::string> LanguageFolders();
// An empty list returns to the defaults. Tests use it to see only their files.
void SetLanguageFolders(std::vector<std::string> folders);

// The file name of a language's file ("German.lng"), in the file system's
// UTF-8.
std::string LanguageFileName(TLanguage language);

// The file of a language in the first folder that has it; a file whose name
// differs only in letter case counts. When none has it, the path it would
// have in the first folder, so that a file put there later is read when the
// language is next applied.
std::string FindLanguageFile(TLanguage language);

// The display names of the languages that have a file, each once, in folder
// and directory order. A file's name without ".lng" is lowered (A to Z) and
// its first letter raised; only a name that then is a display name counts.
std::vector<std::string> ListLanguageFiles();
