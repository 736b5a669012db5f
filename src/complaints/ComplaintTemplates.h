#pragma once

#include <string>
#include <vector>

// The texts of the complaint window, kept in "admin.txt", "user.txt" and
// "error.txt" in the working directory: the first line is the subject (empty
// and ignored for "error.txt"), the following lines the text.
struct TComplaintTemplate {
    std::string subject;
    std::vector<std::string> text;
};

struct TComplaintTemplates {
    TComplaintTemplate admin;
    TComplaintTemplate user;
    std::vector<std::string> error;  // the whole error message with its placeholders

    static TComplaintTemplates Defaults();
    // Reads each file that exists; writes each missing one from the defaults.
    static TComplaintTemplates LoadOrCreate();
};

// The fake delivery-failure notice: the template with "%POP3", "%SPAMER",
// "%DATETIME", "%EMAIL" and "%MSG" replaced in that order, every occurrence,
// without regard to case, as lines ready for sending. "%MSG" comes last, so
// placeholders inside the message copy stay as they are.
struct TErrorMessageValues {
    std::string pop3Host;     // the account's incoming server
    std::string spammerFrom;  // the message's From value; its address is used
    std::string dateText;
    std::string email;        // login "@" host
    std::string message;      // the copy of the message, CR LF separated
};
std::vector<std::string> BuildErrorMessage(const std::vector<std::string>& errorTemplate,
                                           const TErrorMessageValues& values);

// Replaces every occurrence of search, compared without regard to case, left to
// right without rescanning what was put in.
std::string ReplaceAllNoCase(const std::string& text, const std::string& search, const std::string& replacement);
