#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Raised when an ini file cannot be written (or a section or key cannot be
// stored in the ini format at all).
class EIniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A private-profile ini file, read and written line by line on every call
// (no caching: another program may edit the file between two calls).
//
// Reading: sections and keys are compared without regard to letter case; the
// key is everything before the first "="; the first line with a key wins;
// blanks around key and value are dropped; a value wholly inside double or
// single quotes loses them; at most 2047 characters are returned. Lines
// starting with ";" are comments.
//
// Writing replaces the value of the first line with the key and keeps every
// other line as it was; a missing file or section is created. The new file is
// written beside the old one and renamed over it, so a failure never leaves a
// half-written file. Failures raise EIniFileError.
class TIniFile {
public:
    static constexpr std::size_t MaxValueLength = 2047;

    // The name is used as given: a bare name is relative to the working
    // directory, which is the home folder (platform/Home.h).
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }
    bool FileExists() const;

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // Decimal (leading zeros are decimal), or hexadecimal after "$" or "0x";
    // anything else, or a value out of range, gives the default.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    // An integer value other than 0 is true; "true"/"false" are accepted too.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);  // "1" or "0"

    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    // Keys of a section in file order, each once (first line wins).
    std::vector<std::string> ReadSection(const std::string& section) const;
    // Key and value of every entry of a section, each key once.
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(const std::string& section) const;

    void DeleteKey(const std::string& section, const std::string& key);
    void EraseSection(const std::string& section);

private:
    std::string fileName_;
};
