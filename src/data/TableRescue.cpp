#include "data/TableRescue.h"

#include "base/Tr.h"
#include "base/UserInterface.h"
#include "data/TTableError.h"

#include <filesystem>

namespace {

void Fill(std::string& text, const char* mark, const std::string& value) {
    if (const size_t at = text.find(mark); at != std::string::npos) text.replace(at, 2, value);
}

}  // namespace

TLoadResult LoadKeepingDamaged(TTable& table) {
    const TLoadResult result = table.Load();
    if (result == TLoadResult::Locked) ThrowHomeInUse(table);
    if (result != TLoadResult::Failed) return result;
    const std::string& file = table.FileName();
    std::string error;
    const std::string kept = TTableFile::KeepAside(file, error);
    // Unmoved, the file stays as it is and the table refuses to overwrite it.
    if (!kept.empty()) table.DiscardFile();
    std::string text =
        Tr("DM.DamagedFile", "The file %s could not be read. It was kept as %k and the table starts empty.");
    Fill(text, "%s", file);
    Fill(text, "%k", kept.empty() ? "(not renamed: " + error + ")" : kept);
    UserInterface().MessageBox(text + "\n" + table.LastError(), "Tarnwick", TMsgIcon::Error, mbOK);
    return result;
}

void ThrowHomeInUse(const TTable& table) {
    std::error_code ec;
    const std::filesystem::path file = std::filesystem::absolute(table.FileName(), ec);
    std::string text = Tr("DM.HomeInUse",
                          "Another Tarnwick is using the folder %h: it keeps the file %s locked. Nothing was "
                          "changed. Close the other Tarnwick and start again.");
    Fill(text, "%h", file.parent_path().string());
    Fill(text, "%s", file.filename().string());
    throw THomeInUseError(text + "\n" + table.LastError(), file.string());
}
