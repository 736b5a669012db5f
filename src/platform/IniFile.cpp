#include "platform/IniFile.h"

#include "platform/CodePage.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TLine {
    std::string text;  // without the line end
    bool cr = false;   // the line ended in CR LF
};

struct TContent {
    bool exists = false;
    std::string bom;
    std::vector<TLine> lines;
    bool crlf = false;  // line end for lines we add
};

constexpr char kBlanks[] = " \t";

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (CodePageLower(static_cast<unsigned char>(a[i])) != CodePageLower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// False when the file exists but cannot be read.
bool Load(const std::string& fileName, TContent& content) {
    std::error_code ec;
    content = {};
    if (!fs::exists(fileName, ec)) return !ec;
    content.exists = true;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return false;
    std::string data = buffer.str();
    if (data.rfind("\xEF\xBB\xBF", 0) == 0) {
        content.bom = data.substr(0, 3);
        data.erase(0, 3);
    }
    bool sawEnd = false;
    std::size_t start = 0;
    while (start < data.size()) {
        auto end = data.find('\n', start);
        TLine line;
        if (end == std::string::npos) {
            line.text = data.substr(start);
            start = data.size();
        } else {
            line.text = data.substr(start, end - start);
            start = end + 1;
            if (!line.text.empty() && line.text.back() == '\r') {
                line.text.pop_back();
                line.cr = true;
            }
            if (!sawEnd) content.crlf = line.cr;
            sawEnd = true;
        }
        content.lines.push_back(std::move(line));
    }
    // A last line without its end gets the file's own end when written back.
    if (!content.lines.empty() && data.back() != '\n') content.lines.back().cr = content.crlf;
    return true;
}

// The section name of a section line.
bool SectionOf(const std::string& text, std::string& name) {
    const std::string t = Trim(text);
    if (t.empty() || t[0] != '[') return false;
    const auto close = t.find(']');
    name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

bool KeyOf(const std::string& text, std::string& key) {
    const std::string t = Trim(text);
    if (t.empty() || t[0] == ';') return false;
    const auto eq = text.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(text.substr(0, eq));
    return !key.empty();
}

std::string ValueOf(const std::string& text) {
    std::string v = Trim(text.substr(text.find('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    if (v.size() > TIniFile::MaxValueLength) v.resize(TIniFile::MaxValueLength);
    return v;
}

// Calls visit(index, key) for every key line of the named section(s), in file
// order, until visit returns false.
template <typename F>
void ForEachKey(const TContent& c, const std::string& section, F visit) {
    bool inSection = false;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        std::string name, key;
        if (SectionOf(c.lines[i].text, name))
            inSection = SameText(name, section);
        else if (inSection && KeyOf(c.lines[i].text, key) && !visit(i, key))
            return;
    }
}

long FindKey(const TContent& c, const std::string& section, const std::string& key) {
    long found = -1;
    ForEachKey(c, section, [&](std::size_t i, const std::string& k) {
        if (!SameText(k, key)) return true;
        found = static_cast<long>(i);
        return false;
    });
    return found;
}

// Blanks around a value and enclosing quotes would be lost on reading, and a
// line break would start a new line: quote such values and blank the breaks.
std::string EncodeValue(std::string value) {
    for (char& ch : value)
        if (ch == '\r' || ch == '\n') ch = ' ';
    const bool blankEdge =
        !value.empty() && (std::strchr(kBlanks, value.front()) || std::strchr(kBlanks, value.back()));
    const bool quoted =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return blankEdge || quoted ? "\"" + value + "\"" : value;
}

std::string CheckedSection(const std::string& section) {
    const std::string s = Trim(section);
    if (s.find_first_of("]\r\n") != std::string::npos)
        throw EIniFileError("invalid ini section name: " + section);
    return s;
}

std::string CheckedKey(const std::string& key) {
    const std::string k = Trim(key);
    if (k.empty() || k[0] == '[' || k[0] == ';' || k.find_first_of("=\r\n") != std::string::npos)
        throw EIniFileError("invalid ini key: " + key);
    return k;
}

void Save(const std::string& fileName, const TContent& c) {
    // Writing through a link keeps the link.
    fs::path target = fileName;
    struct stat linkStat {};
    if (::lstat(fileName.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode)) {
        std::error_code ec;
        target = fs::weakly_canonical(target, ec);
        if (ec) throw EIniFileError("cannot resolve " + fileName);
    }
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0) throw EIniFileError("cannot write " + fileName + ": " + std::strerror(errno));

    std::string data = c.bom;
    for (const TLine& line : c.lines) {
        data += line.text;
        data += line.cr ? "\r\n" : "\n";
    }
    struct stat st {};
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    bool ok = ::fchmod(fd, mode) == 0;
    for (std::size_t done = 0; ok && done < data.size();) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = ok ? errno : savedErrno;
        ::unlink(temp.c_str());
        throw EIniFileError("cannot write " + fileName + ": " + std::strerror(err));
    }
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

TContent LoadForWrite(const std::string& fileName) {
    TContent c;
    if (!Load(fileName, c)) throw EIniFileError("cannot read " + fileName);
    return c;
}

bool ParseInteger(const std::string& s, int& result) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return false;
    long long value = 0;
    for (; i < s.size(); ++i) {
        const char ch = s[i];
        int digit;
        if (ch >= '0' && ch <= '9')
            digit = ch - '0';
        else if (base == 16 && ch >= 'a' && ch <= 'f')
            digit = ch - 'a' + 10;
        else if (base == 16 && ch >= 'A' && ch <= 'F')
            digit = ch - 'A' + 10;
        else
            return false;
        value = value * base + digit;
        if (value > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) value = -value;
    if (value < INT_MIN || value > INT_MAX) return false;
    result = static_cast<int>(value);
    return true;
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

bool TIniFile::FileExists() const {
    std::error_code ec;
    return fs::exists(fileName_, ec);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    TContent c;
    if (!Load(fileName_, c)) return def;
    const long line = FindKey(c, Trim(section), Trim(key));
    return line < 0 ? def : ValueOf(c.lines[static_cast<std::size_t>(line)].text);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
    int value = def;
    return ParseInteger(ReadString(section, key, ""), value) ? value : def;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    const std::string s = ReadString(section, key, "");
    int value = 0;
    if (ParseInteger(s, value)) return value != 0;
    if (SameText(s, "true")) return true;
    if (SameText(s, "false")) return false;
    return def;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    const std::string s = CheckedSection(section);
    const std::string k = CheckedKey(key);
    TContent c = LoadForWrite(fileName_);
    const std::string encoded = EncodeValue(value);
    const long line = FindKey(c, s, k);
    if (line >= 0) {
        TLine& l = c.lines[static_cast<std::size_t>(line)];
        std::string text = Trim(l.text.substr(0, l.text.find('='))) + "=" + encoded;
        // Rewriting a file to say the same costs a sync; settings are written
        // back at every start and hide.
        if (text == l.text) return;
        l.text = std::move(text);
        Save(fileName_, c);
        return;
    }
    // The first section of that name takes the key after its last non-blank line.
    long header = -1;
    std::size_t insertAt = c.lines.size();
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        std::string name;
        if (SectionOf(c.lines[i].text, name)) {
            if (header >= 0) break;
            if (SameText(name, s)) {
                header = static_cast<long>(i);
                insertAt = i + 1;
            }
        } else if (header >= 0 && !Trim(c.lines[i].text).empty()) {
            insertAt = i + 1;
        }
    }
    if (header >= 0) {
        c.lines.insert(c.lines.begin() + static_cast<long>(insertAt), TLine{k + "=" + encoded, c.crlf});
    } else {
        if (!c.lines.empty() && !Trim(c.lines.back().text).empty()) c.lines.push_back({"", c.crlf});
        c.lines.push_back({"[" + s + "]", c.crlf});
        c.lines.push_back({k + "=" + encoded, c.crlf});
    }
    Save(fileName_, c);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::SectionExists(const std::string& section) const {
    TContent c;
    if (!Load(fileName_, c)) return false;
    const std::string s = Trim(section);
    for (const TLine& line : c.lines) {
        std::string name;
        if (SectionOf(line.text, name) && SameText(name, s)) return true;
    }
    return false;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    TContent c;
    return Load(fileName_, c) && FindKey(c, Trim(section), Trim(key)) >= 0;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
    std::vector<std::string> keys;
    for (auto& [key, value] : ReadSectionValues(section)) keys.push_back(key);
    return keys;
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSectionValues(const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    TContent c;
    if (!Load(fileName_, c)) return entries;
    ForEachKey(c, Trim(section), [&](std::size_t i, const std::string& key) {
        for (const auto& entry : entries)
            if (SameText(entry.first, key)) return true;
        entries.emplace_back(key, ValueOf(c.lines[i].text));
        return true;
    });
    return entries;
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    TContent c = LoadForWrite(fileName_);
    const long line = FindKey(c, Trim(section), Trim(key));
    if (line < 0) return;
    c.lines.erase(c.lines.begin() + line);
    Save(fileName_, c);
}

void TIniFile::EraseSection(const std::string& section) {
    TContent c = LoadForWrite(fileName_);
    const std::string s = Trim(section);
    std::vector<TLine> kept;
    bool inSection = false, changed = false;
    for (TLine& line : c.lines) {
        std::string name;
        if (SectionOf(line.text, name)) inSection = SameText(name, s);
        if (inSection)
            changed = true;
        else
            kept.push_back(std::move(line));
    }
    if (!changed) return;
    c.lines = std::move(kept);
    Save(fileName_, c);
}
