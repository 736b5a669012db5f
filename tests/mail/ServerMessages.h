#pragma once

#include <string>
#include <vector>

// Test messages for the real servers: message i has the subject "Message i".
inline std::string TestMessage(int i) {
    return "From: Sender " + std::to_string(i) + " <sender" + std::to_string(i) + "@example.test>\r\n" +
           "To: me@example.test\r\nSubject: Message " + std::to_string(i) + "\r\nMessage-ID: <" +
           std::to_string(i) + "@tarnwick.test>\r\n\r\nBody of message " + std::to_string(i) +
           "\r\n.a line with a leading dot\r\n";
}

inline std::vector<std::string> TestMessages(int count) {
    std::vector<std::string> messages;
    for (int i = 1; i <= count; ++i) messages.push_back(TestMessage(i));
    return messages;
}

inline std::string SubjectOf(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (line.rfind("Subject: ", 0) == 0) return line.substr(9);
    return {};
}
