#include "complaints/ComplaintComposer.h"

#include "mail/ProtocolText.h"

std::string HeaderSafe(std::string_view value) {
    std::string safe(value);
    for (char& c : safe)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return safe;
}

std::vector<std::string> ComposeComplaint(const TComplaintMail& mail) {
    std::string to;
    for (const std::string& recipient : mail.recipients) to += (to.empty() ? "" : ", ") + HeaderSafe(recipient);
    std::string subject = mail.subject;
    if (mail.appendOriginalSubject) subject += "(" + mail.originalSubject + ")";
    std::vector<std::string> lines{"From: " + HeaderSafe(mail.sender), "To: " + to, "Subject: " + HeaderSafe(subject), ""};
    const auto add = [&lines](const std::string& text) {
        for (std::string& line : SplitLines(text)) lines.push_back(std::move(line));
        if (text.empty()) lines.emplace_back();
    };
    for (const std::string& line : mail.text) add(line);
    if (mail.includeOriginal) {
        lines.insert(lines.end(), {"", "", "--- Below this line is a copy of the message."});
        for (std::string& line : SplitLines(mail.original)) lines.push_back(std::move(line));
    }
    return lines;
}
