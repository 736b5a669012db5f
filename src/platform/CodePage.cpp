#include "platform/CodePage.h"

#include "platform/CodePageTables.h"

#include <cstdlib>

namespace {

int& CurrentCodePage() {
    static int codePage = [] {
        const char* env = std::getenv("TARNWICK_CODEPAGE");
        const int value = env ? std::atoi(env) : 0;
        return value >= 1250 && value <= 1258 ? value : 1252;
    }();
    return codePage;
}

const TCodePageTable& CurrentTable() {
    const int page = CurrentCodePage();
    const auto charset = static_cast<TSingleByteCharset>(
        static_cast<unsigned>(TSingleByteCharset::Windows1250) + static_cast<unsigned>(page - 1250));
    return *CodePageTable(charset);
}

}  // namespace

int ProgramCodePage() { return CurrentCodePage(); }

void SetProgramCodePage(int codePage) {
    if (codePage >= 1250 && codePage <= 1258) CurrentCodePage() = codePage;
}

unsigned char CodePageUpper(unsigned char c) { return CurrentTable().upper[c]; }
unsigned char CodePageLower(unsigned char c) { return CurrentTable().lower[c]; }
