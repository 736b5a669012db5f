#pragma once

class TDM;

// Receive Mail and Process Mail from the command line, on a signed-in module.
// Both print what they did on standard output and return the exit status.
int RunCheck(TDM& dm, bool verbose);
int RunProcess(TDM& dm, bool verbose, bool dryRun);
