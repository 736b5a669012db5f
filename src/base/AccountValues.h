#pragma once

#include <cstdint>
#include <string>

// One account row as the mail operations need it, the password already made readable.
struct TAccountValues {
    std::int64_t id = 0;
    std::string description;
    std::string host;
    int port = 110;
    std::string proto = "POP3";
    std::string login;
    std::string password;
    std::string smtpHost;
    int smtpPort = 25;
    std::string email;
};
