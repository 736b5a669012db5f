// The work a scan does per listed message besides the mail traffic and the
// header parse: the Date value, the translated status texts and the date
// shown in the row. Each is timed on its own; prints nanoseconds per call.
// Usage: bench_message_costs [calls]
#include "complaints/ComplaintForm.h"
#include "base/Tr.h"
#include "i18n/Translator.h"
#include "parsing/MailDate.h"
#include "platform/Locale.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

namespace {

void Time(const char* what, int calls, const std::function<std::size_t()>& call) {
    std::size_t checksum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) checksum += call();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-34s %9.0f ns per call (checksum %zu)\n", what, seconds * 1e9 / calls, checksum);
}

// A home folder of its own, so that the translator reads and writes no real
// language.ini; English has no language file, as on most installations.
std::string MakeHome() {
    char folder[] = "/tmp/tarnwick-bench-XXXXXX";
    if (!mkdtemp(folder)) return {};
    setenv("TARNWICK_HOME", folder, 1);
    std::FILE* ini = std::fopen((std::string(folder) + "/language.ini").c_str(), "w");
    if (ini) {
        std::fputs("[Config]\nLanguage=English\n", ini);
        std::fclose(ini);
    }
    return folder;
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 20000;
    const std::string home = MakeHome();
    const TDateTime date = ParseMailDate("Tue, 3 Jun 2003 10:00:00 +0200");

    Time("ParseMailDate", calls, [] { return static_cast<std::size_t>(ParseMailDate("Tue, 3 Jun 2003 10:00:00 +0200")); });
    Time("Tr (no language file)", calls, [] { return Tr("Retrieving_Msg_No", "Retrieving message #<%msgnum>").size(); });
    Time("MessageDateText", calls, [&] { return MessageDateText(date).size(); });
    Time("UserDateTimeText", calls, [&] { return UserDateTimeText(date).size(); });

    ResetAppTranslator();
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return 0;
}
