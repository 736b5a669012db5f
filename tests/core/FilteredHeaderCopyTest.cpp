#include "core/MailCommands.h"

#include <gtest/gtest.h>

namespace {

TEST(FilteredHeaderCopyTest, MarkGoesBeforeTheLastHeaderLineAndSubjectsArePrefixed) {
    struct Case {
        const char* what;
        std::string header;
        std::vector<std::string> copy;
    } cases[] = {
        {"a scanned header, ending in its empty line",
         "From: a@b.test\r\nSubject: buy now\r\nDate: x\r\n\r\n",
         {"From: a@b.test", "Subject: Filtered: buy now", "X-Tarnwick: Filtered", "Date: x", ""}},
        {"subject in capitals, no blank after the colon",
         "SUBJECT:cheap\r\nTo: me\r\n\r\n",
         {"Subject: Filtered:cheap", "X-Tarnwick: Filtered", "To: me", ""}},
        {"a name that only ends in Subject stays",
         "X-Original-Subject: old\r\nSubject: new\r\n\r\n",
         {"X-Original-Subject: old", "X-Tarnwick: Filtered", "Subject: Filtered: new", ""}},
        {"fewer than two lines", "Subject: x", {"X-Tarnwick: Filtered", "Subject: Filtered: x"}},
    };
    for (const auto& c : cases) EXPECT_EQ(FilteredHeaderCopy(c.header), c.copy) << c.what;
}

}  // namespace
