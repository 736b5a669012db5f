#pragma once

#include <string>
#include <vector>

// The user's mail clients: the desktop entries that handle mailto links stand
// in for the registry of mail clients. An entry is the desktop file's name
// without ".desktop", " [", the command of its Exec line without field codes,
// and "]"; the name alone when it has no Exec line.

// The entries of $XDG_DATA_HOME/applications, then of the applications folder
// of each of $XDG_DATA_DIRS, in file-name order within a folder; an entry
// found earlier hides one of the same name found later.
std::vector<std::string> ListMailClients();

// The file name of the executable that a POSIX command line starts: its first
// word (quotes and backslashes honoured, an "env" with its assignments
// skipped) without the folder. Empty for a text without words.
std::string ExeNameOfCommand(const std::string& text);

// The command of an entry: the text between the first "[" and the first "]"
// after it; false when there is none (no client or no command).
bool MailClientCommandOf(const std::string& entry, std::string& command);

// The executable names of the running processes, from /proc: each process's
// name, the file name of its executable and of the first word of its command line.
std::vector<std::string> RunningProgramNames();

// True when a running process has the executable file name of the entry's
// command (letters compared without regard to case). An entry without a
// command is never found running.
bool IsProgramRunning(const std::string& entry);

// The name (the part before "[", trimmed) of the first listed client that
// runs; empty when none does.
std::string FindRunningMailClient();

// True, after telling the user to close it, when a mail client runs.
bool IsMailClientRunning();

// $VAR and ${VAR} replaced by the variable's value; a reference to a variable
// that is not set stays as it is.
std::string ExpandEnvironmentVariables(const std::string& text);

// The words of a command line as a POSIX shell splits them (blanks separate;
// single quotes, double quotes and backslashes quote), without any expansion.
std::vector<std::string> SplitCommandLine(const std::string& text);

// Starts the command of a mail-client entry (the identity's chosen client)
// after expanding its variables; the program does not wait for it. Nothing
// happens without a command; a failed start is told to the user. True when started.
bool RunMailClientCommand(const std::string& entry);
