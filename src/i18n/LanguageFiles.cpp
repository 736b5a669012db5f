#include "i18n/LanguageFiles.h"

#include "platform/CodePage.h"
#include "platform/Home.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::vector<std::string>& ConfiguredFolders() {
    static std::vector<std::string> folders;
    return folders;
}

bool SameAsciiText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto low = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return low(x) == low(y);
           });
}

// Display names are Windows-1252 text (the only non-ASCII one is Volapük).
std::string DisplayNameOfFileName(const std::string& fileName) {
    const std::string name = Utf8ToCharset(fileName, TSingleByteCharset::Windows1252);
    return CharsetToUtf8(name, TSingleByteCharset::Windows1252) == fileName ? name : fileName;
}

bool IsRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

}  // namespace

std::vector<std::string> DefaultLanguageFolders() {
    std::vector<std::string> folders{HomeFolder()};
    if (const std::string exe = ExecutableFolder(); !exe.empty())
        folders.push_back((fs::path(exe).parent_path() / "share/tarnwick/lang").string());
#ifdef TARNWICK_INSTALL_LANG_DIR
    folders.push_back(TARNWICK_INSTALL_LANG_DIR);
#endif
#ifdef TARNWICK_SOURCE_LANG_DIR
    folders.push_back(TARNWICK_SOURCE_LANG_DIR);
#endif
    std::vector<std::string> unique;
    for (auto& f : folders)
        if (std::find(unique.begin(), unique.end(), f) == unique.end()) unique.push_back(f);
    return unique;
}

std::vector<std::string> LanguageFolders() {
    return ConfiguredFolders().empty() ? DefaultLanguageFolders() : ConfiguredFolders();
}

void SetLanguageFolders(std::vector<std::string> folders) { ConfiguredFolders() = std::move(folders); }

std::string LanguageFileName(TLanguage language) {
    return CharsetToUtf8(LanguageName(language), TSingleByteCharset::Windows1252) + ".lng";
}

std::string FindLanguageFile(TLanguage language) {
    const std::string fileName = LanguageFileName(language);
    const std::vector<std::string> folders = LanguageFolders();
    for (const std::string& folder : folders) {
        const fs::path exact = fs::path(folder) / fileName;
        if (IsRegularFile(exact)) return exact.string();
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (SameAsciiText(it->path().filename().string(), fileName) && IsRegularFile(it->path()))
                return it->path().string();
    }
    return folders.empty() ? fileName : (fs::path(folders.front()) / fileName).string();
}

std::vector<std::string> ListLanguageFiles() {
    std::vector<std::string> names;
    for (const std::string& folder : LanguageFolders()) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string file = it->path().filename().string();
            if (file.size() <= 4 || !SameAsciiText(file.substr(file.size() - 4), ".lng") || !IsRegularFile(it->path()))
                continue;
            std::string name = DisplayNameOfFileName(file.substr(0, file.size() - 4));
            for (char& c : name)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
            if (LanguageFromName(name) != TLanguage::Other &&
                std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
    }
    return names;
}
