// The composition of the complaints and of the error message.
#include "complaints/ComplaintComposer.h"
#include "complaints/ComplaintForm.h"
#include "complaints/ComplaintTemplates.h"

#include <gtest/gtest.h>

namespace {

using TStrings = std::vector<std::string>;

TEST(ComplaintComposerTest, Complaints) {
    struct TCase {
        const char* name;
        TComplaintMail mail;
        TStrings lines;
    };
    const TCase cases[] = {
        {"two recipients, subject appended without a blank, copy included",
         {"me@home.example", {"a@net.example", "b@net.example"}, "UCE Complaint", true, "Cheap pills",
          {"One of your users", "is sending SPAM."}, true, "Subject: Cheap pills\r\n\r\nbuy"},
         {"From: me@home.example", "To: a@net.example, b@net.example", "Subject: UCE Complaint(Cheap pills)", "",
          "One of your users", "is sending SPAM.", "", "", "--- Below this line is a copy of the message.",
          "Subject: Cheap pills", "", "buy"}},
        {"without the copy it ends with the text's last line",
         {"me@home.example", {"a@net.example"}, "UCE", false, "ignored", {"first", "", "last"}, false, "copy"},
         {"From: me@home.example", "To: a@net.example", "Subject: UCE", "", "first", "", "last"}},
        // Text from a spam or a whois reply never starts a header line of its own.
        {"line breaks in header values become blanks",
         {"me@home.example", {"a@net.example\r\nBcc: x@y.example"}, "UCE", true, "hi\r\nBcc: all@victims.example",
          {}, false, ""},
         {"From: me@home.example", "To: a@net.example  Bcc: x@y.example",
          "Subject: UCE(hi  Bcc: all@victims.example)", ""}},
    };
    for (const TCase& c : cases) EXPECT_EQ(ComposeComplaint(c.mail), c.lines) << c.name;
}

TEST(ComplaintComposerTest, ErrorMessageValuesCannotAddHeaderLines) {
    const TStrings lines =
        BuildErrorMessage({"From: <MAILER-DAEMON@%POP3>", "To: %SPAMER", "Date: %DATETIME", "", "%MSG"},
                          {"pop.example", "spam@x.example\nBcc: many@victims.example", "today\r\nX-Evil: 1",
                           "me@pop.example", "Subject: copy\r\n\r\nbody"});
    EXPECT_EQ(lines, (TStrings{"From: <MAILER-DAEMON@pop.example>", "To: spam@x.example Bcc: many@victims.example",
                               "Date: today  X-Evil: 1", "", "Subject: copy", "", "body"}));
}

}  // namespace
