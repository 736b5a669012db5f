#pragma once

#include <string>

// The program's own folder: it holds the ini files, the language files, the
// tables and the templates, and is the working directory while the program
// runs. TARNWICK_HOME when set, else $XDG_DATA_HOME/tarnwick, else
// ~/.local/share/tarnwick. Read from the environment on every call.
std::string HomeFolder();

// Creates the home folder (private to the user) when missing and makes it the
// working directory. TARNWICK_HOME is then set to its absolute path, so that a
// relative setting keeps naming the same folder. False when either step fails.
bool EnterHomeFolder();

// The path of a file in the home folder.
std::string ProgramFile(const std::string& name);

// The folder of the running executable ("" when it cannot be told).
std::string ExecutableFolder();
