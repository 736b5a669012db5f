#pragma once

#include <string>

// A fresh, empty home folder for one test: TARNWICK_HOME points at it and it is
// the working directory while the object lives. Removed afterwards.
class TTempHome {
public:
    TTempHome();
    ~TTempHome();
    TTempHome(const TTempHome&) = delete;
    TTempHome& operator=(const TTempHome&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::string previousDir_;
    std::string previousHome_;
    bool hadHome_ = false;
};

// Whole-file helpers for tests.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
