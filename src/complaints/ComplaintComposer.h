#pragma once

#include <string>
#include <string_view>
#include <vector>

// A value for a header line: control characters (CR and LF above all) become
// blanks, so that text taken from a spam or a whois reply can never start a
// header line of its own.
std::string HeaderSafe(std::string_view value);

// A complaint to administrators or to users: a bare header (From, To,
// Subject), the text, and optionally the copy of the message.
struct TComplaintMail {
    std::string sender;
    std::vector<std::string> recipients;
    std::string subject;
    bool appendOriginalSubject = true;
    std::string originalSubject;
    std::vector<std::string> text;
    bool includeOriginal = true;
    std::string original;  // CR LF separated
};

// The lines to hand to the SMTP client.
std::vector<std::string> ComposeComplaint(const TComplaintMail& mail);
