#pragma once

#include "platform/CodePage.h"

// Sets the program's code page for one test and puts the previous one back.
class TCodePageGuard {
public:
    explicit TCodePageGuard(int codePage) : previous_(ProgramCodePage()) { SetProgramCodePage(codePage); }
    ~TCodePageGuard() { SetProgramCodePage(previous_); }
    TCodePageGuard(const TCodePageGuard&) = delete;
    TCodePageGuard& operator=(const TCodePageGuard&) = delete;

private:
    int previous_;
};
