#pragma once

// Exit statuses of tarnwick-cli.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the command was refused or did not work
constexpr int kExitUsage = 2;   // the command line was wrong; nothing was done

// Runs one command line of tarnwick-cli; returns the exit status.
int RunCli(int argc, char** argv);
