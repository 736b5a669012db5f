// Every caption the windows and the data modules' actions show has its key in
// each shipped language file.
#include "complaints/BatchErrorMessages.h"
#include "core/DataModule.h"
#include "core/IdentityChooser.h"
#include "i18n/Component.h"
#include "i18n/Translator.h"
#include "ui/DemoHome.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/DesktopProgram.h"
#include "filtering/AddToFilter.h"
#include "filtering/dmfilters.h"
#include "ui/complaints/StatusErrorMessageSend.h"
#include "ui/filters/AddCategoryForm.h"
#include "ui/filters/AddToFilterForm.h"
#include "ui/filters/ChangeRuleForm.h"
#include "ui/filters/FindCategoryForm.h"
#include "ui/main/SplashScreen.h"
#include "ui/settings/ChangePasswordForm.h"
#include "ui/settings/IdentitiesForm.h"
#include "ui/settings/PasswordDlg.h"

#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

namespace {

std::set<std::string> KeysOf(const std::string& file) {
    std::set<std::string> keys;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || line[0] == ';' || line[0] == '[') continue;
        std::string key = line.substr(0, equals);
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
        keys.insert(key);
    }
    return keys;
}

// The keys the translators' walk asks for, from the application's tree.
void CollectKeys(TComponent& component, const std::string& parent, std::set<std::string>& keys) {
    const std::string path = component.Name().empty() ? parent
                             : parent.empty()         ? component.Name()
                                                      : parent + "." + component.Name();
    if (!component.Name().empty() && component.HasCaption() && !component.Caption().empty() &&
        component.Caption() != "-")
        keys.insert(path + ".Caption");
    for (int i = 0; i < component.ColumnCount(); ++i) keys.insert(path + ".Column[" + std::to_string(i) + "]");
    for (int i = 0; i < component.ItemCount(); ++i) keys.insert(path + ".Item[" + std::to_string(i) + "]");
    for (TComponent* child : component.Components())
        if (child && !child->AsTranslator()) CollectKeys(*child, path, keys);
}

TEST(TranslationKeysTest, EveryWindowCaptionIsInEveryLanguageFile) {
    const std::string home = (QDir::tempPath() + "/tarnwick-keys-test").toStdString();
    PrepareDemoHome(home, true);
    std::set<std::string> keys;
    {
        TDesktopProgram program;
        program.SplashMilliseconds = 0;
        ASSERT_EQ(program.Start(), TDesktopProgram::TStart::SignedIn);
        TSplashScreen splash(true);
        TIdentityChooser chooser(*program.DataModule());
        chooser.Show();
        TIdentitiesForm identities(chooser);
        TPasswordDlg password;
        TChangePasswordForm change;
        TAddCategory category({{"kill"}, "", 0, false});
        TChangeRuleForm rule({{"From"}, {"Contains"}, {}, 0, "", true, true});
        TFindCategoryForm find;
        TAddToFilter dialog(*program.Filters(), "From: a@x.org\r\n");
        dialog.Show();
        TAddToFilterForm addToFilter(dialog);
        TBatchErrorMessages batch(program.DataModule()->cdsInBox, {}, nullptr);
        TStatusErrorMessageSend errorMessages(batch);
        CollectKeys(*ApplicationComponent(), "", keys);
    }
    ResetAppTranslator();
    QDir(QString::fromStdString(home)).removeRecursively();
    ASSERT_GT(keys.size(), 20u);
    for (const char* language : {"German", "Russian"}) {
        const std::set<std::string> known = KeysOf(std::string(TARNWICK_LANG_DIR) + "/" + language + ".lng");
        std::string missing;
        for (const std::string& key : keys) {
            std::string lower = key;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            if (!known.count(lower)) missing += "  " + key + "\n";
        }
        EXPECT_TRUE(missing.empty()) << language << ".lng lacks:\n" << missing;
    }
}

}  // namespace
