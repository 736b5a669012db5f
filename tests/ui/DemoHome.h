#pragma once

#include <string>

// A home folder for window tests and screenshots: one identity, "anna",
// without a password, optionally signed in at start without the chooser.
void PrepareDemoHome(const std::string& folder, bool autoLogin);
// Adds rows to the boxes the way a scan would (a few of each).
class TDM;
void AddDemoRows(TDM& dm, int inBox, int delBox);
