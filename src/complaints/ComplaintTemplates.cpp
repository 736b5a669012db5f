#include "complaints/ComplaintTemplates.h"

#include "complaints/ComplaintComposer.h"
#include "mail/ProtocolText.h"
#include "parsing/TextOps.h"
#include "platform/CodePage.h"

#include <filesystem>
#include <fstream>

namespace {

std::vector<std::string> ReadLines(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return SplitLines(all);
}

void WriteLines(const std::string& file, const std::vector<std::string>& lines) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const auto& line : lines) out << line << "\r\n";
}

// First line the subject, the rest the text. A file without any line keeps the defaults.
void LoadTemplate(const std::string& file, const TComplaintTemplate& fallback, TComplaintTemplate& into) {
    if (!std::filesystem::exists(file)) {
        std::vector<std::string> lines{fallback.subject};
        lines.insert(lines.end(), fallback.text.begin(), fallback.text.end());
        WriteLines(file, lines);
        into = fallback;
        return;
    }
    const auto lines = ReadLines(file);
    if (lines.empty()) {
        into = fallback;
        return;
    }
    into.subject = lines.front();
    into.text.assign(lines.begin() + 1, lines.end());
}

}  // namespace

TComplaintTemplates TComplaintTemplates::Defaults() {
    TComplaintTemplates t;
    t.admin = {"UCE Complaint", {"One of your users is sending SPAM. Take ", "appropriate measures, please."}};
    t.user = {"UCE Complaint",
              {"You have sent the attached unsolicited e-mail to my", "e-mail account.", "",
               "I do not wish to receive such messages in the ", "future.",
               "Please remove my name from your lists immediately."}};
    t.error = {"From: Mail Delivery Subsystem <MAILER-DAEMON@%POP3>",
               "To: %SPAMER",
               "Subject: Returned mail: User unknown",
               "",
               "",
               "The original message was received at %DATETIME",
               "",
               "   ----- The following addresses had permanent fatal errors -----",
               "<%EMAIL>",
               "",
               "   ----- Transcript of session follows -----",
               "... while talking to %POP3:",
               ">>> RCPT To:<%EMAIL>",
               "<<< 550 <%EMAIL>... User unknown",
               "550 <%EMAIL>... User unknown",
               "",
               "--- Below this line is a copy of the message.",
               "",
               "%MSG"};
    return t;
}

TComplaintTemplates TComplaintTemplates::LoadOrCreate() {
    const TComplaintTemplates defaults = Defaults();
    TComplaintTemplates t;
    LoadTemplate("admin.txt", defaults.admin, t.admin);
    LoadTemplate("user.txt", defaults.user, t.user);
    TComplaintTemplate error;
    LoadTemplate("error.txt", {"", defaults.error}, error);
    t.error = error.text;
    return t;
}

std::string ReplaceAllNoCase(const std::string& text, const std::string& search, const std::string& replacement) {
    if (search.empty()) return text;
    const std::string haystack = CodePageUpperCase(text), needle = CodePageUpperCase(search);
    std::string result;
    size_t from = 0;
    for (size_t at; (at = haystack.find(needle, from)) != std::string::npos; from = at + needle.size())
        result.append(text, from, at - from).append(replacement);
    return result.append(text, from, std::string::npos);
}

std::vector<std::string> BuildErrorMessage(const std::vector<std::string>& errorTemplate,
                                           const TErrorMessageValues& values) {
    std::string text;
    for (size_t i = 0; i < errorTemplate.size(); ++i) text += (i ? "\r\n" : "") + errorTemplate[i];
    // The values stand in header lines: none of them may break a line.
    text = ReplaceAllNoCase(text, "%POP3", HeaderSafe(values.pop3Host));
    text = ReplaceAllNoCase(text, "%SPAMER", HeaderSafe(AddressOf(values.spammerFrom)));
    text = ReplaceAllNoCase(text, "%DATETIME", HeaderSafe(values.dateText));
    text = ReplaceAllNoCase(text, "%EMAIL", HeaderSafe(values.email));
    text = ReplaceAllNoCase(text, "%MSG", values.message);
    return SplitLines(text);
}
