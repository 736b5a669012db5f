// Parses and decodes 100,000 headers (plain, folded and encoded in turn) as the
// scan does: TMailMessage.Parse and TMessaging.HeaderLines. Prints headers per
// second.
#include "parsing/ConvertError.h"
#include "parsing/TMailMessage.h"
#include "parsing/TMessaging.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> MakeHeader(int n) {
    const std::string id = std::to_string(n);
    std::vector<std::string> lines = {
        "Return-Path: <sender" + id + "@example.com>",
        "Received: from mail.example.com (mail.example.com [192.0.2.1])",
        "\tby mx.example.org with ESMTP id " + id + ";",
        "\tTue, 3 Jun 2003 10:00:00 +0200",
        "Message-ID: <" + id + "@example.com>",
        "Date: Tue, 3 Jun 2003 10:00:00 +0200",
    };
    switch (n % 3) {
        case 0:  // plain
            lines.push_back("From: \"Sender " + id + "\" <sender" + id + "@example.com>");
            lines.push_back("To: user@example.org, other@example.org");
            lines.push_back("Subject: Plain subject number " + id);
            break;
        case 1:  // folded
            lines.push_back("From: Sender " + id);
            lines.push_back("  <sender" + id + "@example.com>");
            lines.push_back("To: user@example.org,");
            lines.push_back("\tother@example.org, third@example.org");
            lines.push_back("Subject: A folded subject");
            lines.push_back(" that goes on for " + id);
            break;
        default:  // encoded
            lines.push_back("From: =?ISO-8859-1?Q?J=F6rg_M=FCller?= <joerg" + id + "@example.com>");
            lines.push_back("To: =?UTF-8?B?R3LDvMOfZQ==?= <user@example.org>");
            lines.push_back("Subject: =?KOI8-R?B?8NLJ18XULCDNydI=?= =?ISO-8859-1?Q?Gr=FC=DFe_" + id + "?=");
            break;
    }
    lines.push_back("Organization: Example Ltd.");
    lines.push_back("Content-Type: text/plain; charset=\"iso-8859-1\"");
    lines.push_back("X-Mailer: Bench");
    lines.push_back("");
    return lines;
}

}  // namespace

int main() {
    constexpr int kHeaders = 100000;
    std::vector<std::vector<std::string>> headers;
    headers.reserve(kHeaders);
    for (int i = 0; i < kHeaders; ++i) headers.push_back(MakeHeader(i));

    TMailMessage message;
    TMessaging messaging;
    std::size_t checksum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const auto& lines : headers) {
        message.Reset();
        message.RawLines = lines;
        try {
            message.Parse();
        } catch (const TConvertError&) {
        }
        for (const std::string& line : messaging.HeaderLines(message)) checksum += line.size();
        checksum += message.HeaderInfo.SubjectText.size() + message.HeaderInfo.ToItems.size();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d headers in %.3f s: %.0f headers per second (checksum %zu)\n", kHeaders, seconds,
                kHeaders / seconds, checksum);
    return 0;
}
