#include "i18n/LanguageFiles.h"
#include "i18n/Translator.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

// A fresh home folder that is the only language folder, and a chosen locale.
class TranslatorTest : public ::testing::Test {
protected:
    TranslatorTest() {
        for (int i = 0; i < 3; ++i)
            if (const char* v = std::getenv(kLocaleVars[i])) had_[i] = true, saved_[i] = v;
        SetLocale("de_DE.UTF-8");
        SetLanguageFolders({home.Path()});
        ResetAppTranslator();
    }
    ~TranslatorTest() override {
        ResetAppTranslator();
        SetLanguageFolders({});
        for (int i = 0; i < 3; ++i)
            if (had_[i])
                setenv(kLocaleVars[i], saved_[i].c_str(), 1);
            else
                unsetenv(kLocaleVars[i]);
    }

    static void SetLocale(const char* lang) {
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        setenv("LANG", lang, 1);
    }
    std::string StoredLanguage() const {
        return TIniFileValue(home.File("language.ini"));
    }
    static std::string TIniFileValue(const std::string& file) {
        const std::string text = ReadFile(file);
        const auto at = text.find("Language=");
        if (at == std::string::npos) return "<none>";
        return text.substr(at + 9, text.find('\n', at) - at - 9);
    }

    TTempHome home;

private:
    static constexpr const char* kLocaleVars[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    bool had_[3] = {};
    std::string saved_[3];
};

const char kGerman[] =
    "; Deutsch\r\n"
    "[German]\r\n"
    "FriendsFrame.Caption=Freunde\r\n"
    "FriendsFrame.Copy1.Caption=Kopieren\r\n"
    "FriendsFrame.OkButton.Caption=Jawohl\r\n"
    "FriendsFrame.N1.Caption=Trenner\r\n"
    "FriendsFrame.Inner.Caption=Innen\r\n"
    "FriendsFrame.Caption2.Caption=nie\r\n"
    "FriendsFrame.List.Column[0]=Name\r\n"
    "FriendsFrame.List.Column[1]=Adresse\r\n"
    "FriendsFrame.List.Item[0]=Erster\r\n"
    "FriendsFrame.Grid.Column[1]=Betreff\r\n"
    "FriendsFrame.MenuBar.Text[0,0]=Datei\r\n"
    "FriendsFrame.MenuBar.Text[1,1]=Hilfe\r\n"
    "FriendsFrame.MenuBar.Text[1,0]=nie\r\n"
    "Plain=  Leerzeichen ringsum  \r\n"
    "Quoted=\"  in Anf\xFChrungszeichen \"\r\n"
    "twkInBox.MovedFrom=Aus dem Posteingang verschoben\r\n"
    "[French]\r\n"
    "Plain=pas ici\r\n";

const char kFrench[] =
    "[French]\r\n"
    "FriendsFrame.Caption=Amis\r\n"
    "Other.Key=autre\r\n";

TEST_F(TranslatorTest, FirstStartWritesTheSystemLanguage) {
    WriteFile(home.File("German.lng"), kGerman);
    TTranslator translator;
    EXPECT_EQ(StoredLanguage(), "German");
    EXPECT_EQ(translator.Language(), TLanguage::German);
    EXPECT_EQ(translator.Translate("Plain", "Blanks"), "Blanks");  // no reader before the form is loaded
    translator.Loaded();
    EXPECT_EQ(translator.Translate("twkInBox.MovedFrom", "Moved from InBox"), "Aus dem Posteingang verschoben");
}

TEST_F(TranslatorTest, FirstStartWithoutLanguageFileStaysEnglish) {
    TTranslator translator;
    translator.Loaded();
    EXPECT_EQ(StoredLanguage(), "German");
    EXPECT_EQ(translator.Language(), TLanguage::German);
    EXPECT_EQ(translator.Translate("twkInBox.MovedFrom", "Moved from InBox"), "Moved from InBox");
}

TEST_F(TranslatorTest, StoredLanguageIsKeptOrReplaced) {
    struct Case {
        const char* stored;  // nullptr: a language.ini without the key
        const char* locale;
        const char* expected;
    } cases[] = {
        {"French", "de_DE.UTF-8", "French"},
        {"german", "ru_RU.UTF-8", "Russian"},  // right name, wrong case: no language
        {"Klingon", "de_DE.UTF-8", "German"},
        {nullptr, "zh_CN.UTF-8", "English"},
        {"Other", "C", "English"},
    };
    for (const Case& c : cases) {
        SetLocale(c.locale);
        WriteFile(home.File("language.ini"),
                  c.stored ? std::string("[Config]\nLanguage=") + c.stored + "\n" : std::string("[Config]\n"));
        TTranslator translator;
        EXPECT_EQ(LanguageName(translator.Language()), c.expected) << (c.stored ? c.stored : "-");
        EXPECT_EQ(StoredLanguage(), c.expected);
    }
}

TEST_F(TranslatorTest, LanguageFileAddedLaterIsReadWhenTheLanguageIsAppliedAgain) {
    TTranslator translator;
    translator.Loaded();
    ASSERT_EQ(translator.Translate("Plain", "Blanks"), "Blanks");
    WriteFile(home.File("German.lng"), kGerman);
    translator.ApplyLanguage(TLanguage::German);
    EXPECT_EQ(translator.Translate("Plain", "Blanks"), "Leerzeichen ringsum");
}

TEST_F(TranslatorTest, TextRulesOfTheLanguageFile) {
    WriteFile(home.File("German.lng"), kGerman);
    TTranslator translator;
    translator.Loaded();
    EXPECT_EQ(translator.Translate("Plain", "x"), "Leerzeichen ringsum");
    EXPECT_EQ(translator.Translate("QUOTED", "x"), "  in Anf\xFChrungszeichen ");
    EXPECT_EQ(translator.Translate("Missing", "English default"), "English default");
    // Only the language's own section counts; lines before it are ignored.
    EXPECT_EQ(translator.Translate("Deutsch", "x"), "x");
}

TEST_F(TranslatorTest, LanguageFileFoundWhateverTheLetterCaseOfItsName) {
    WriteFile(home.File("GERMAN.LNG"), kGerman);
    TTranslator translator;
    translator.Loaded();
    EXPECT_EQ(translator.Translate("Plain", "x"), "Leerzeichen ringsum");
}

TEST_F(TranslatorTest, ListLanguages) {
    for (const char* name : {"GERMAN.LNG", "French.lng", "notes.lng", "Chinese (Simplified).lng",
                             "Rhaeto-Romance.lng", "Dutch.txt", "italian.Lng", "Volap\xC3\xBCk.lng"})
        WriteFile(home.File(name), "[x]\n");
    std::filesystem::create_directory(home.File("Danish.lng"));
    // A second folder: its German is listed once only.
    const std::string share = home.File("share");
    std::filesystem::create_directory(share);
    WriteFile(share + "/German.lng", "[German]\n");
    WriteFile(share + "/Russian.lng", "[Russian]\n");
    SetLanguageFolders({home.Path(), share});

    TTranslator translator;
    std::vector<std::string> list{"stale"};
    translator.ListLanguages(list);
    std::sort(list.begin(), list.end());
    EXPECT_EQ(list, (std::vector<std::string>{"French", "German", "Italian", "Russian", "Volap\xFCk"}));
}

// The tree of a small application: a form with a menu item, a separator, a
// button, an unnamed panel with a component on it, an unnamed component with
// a caption, a list view, a grid and a menu bar.
struct TTestForm {
    explicit TTestForm(TComponent* owner, const char* name = "FriendsFrame") : form(owner, name) {
        form.SetCaption("Friends");
        copy.SetCaption("Copy");
        separator.SetCaption("-");
        ok.SetCaption("OK");
        inner.SetCaption("Inner");
        unnamed.SetCaption("Unnamed");
        list.Columns = {"Name", "Address", "-"};
        list.Items = {"First", "Second"};
        grid.Columns = {"From", "Subject"};
        menu.ActionBars = {{"File", "Edit"}, {"View", "Help"}};
    }
    TBasicComponent form;
    TBasicComponent copy{&form, "Copy1"};
    TBasicComponent separator{&form, "N1"};
    TBasicComponent ok{&form, "OkButton"};
    TBasicComponent panel{&form, ""};
    TBasicComponent inner{&panel, "Inner"};
    TBasicComponent unnamed{&form, ""};
    TBasicComponent list{&form, "List"};
    TBasicComponent grid{&form, "Grid"};
    TBasicComponent menu{&form, "MenuBar"};
    TTranslator translator{&form, "Translator1"};
};

TEST_F(TranslatorTest, ApplyLanguageRewritesTheComponentTree) {
    WriteFile(home.File("German.lng"), kGerman);
    TBasicComponent application;
    SetApplicationComponent(&application);
    TTestForm f(&application);
    f.translator.Loaded();
    SetApplicationComponent(nullptr);

    EXPECT_EQ(f.form.Caption(), "Freunde");
    EXPECT_EQ(f.copy.Caption(), "Kopieren");
    EXPECT_EQ(f.ok.Caption(), "Jawohl");
    EXPECT_EQ(f.separator.Caption(), "-");       // separators are never translated
    EXPECT_EQ(f.inner.Caption(), "Innen");       // an unnamed owner adds nothing to the path
    EXPECT_EQ(f.unnamed.Caption(), "Unnamed");   // unnamed components are never translated
    EXPECT_EQ(f.list.Columns, (std::vector<std::string>{"Name", "Adresse", "-"}));
    EXPECT_EQ(f.list.Items, (std::vector<std::string>{"Erster", "Second"}));
    EXPECT_EQ(f.grid.Columns, (std::vector<std::string>{"From", "Betreff"}));
    EXPECT_EQ(f.menu.ActionBars, (std::vector<std::vector<std::string>>{{"Datei", "Edit"}, {"nie", "Hilfe"}}));
    EXPECT_EQ(ComponentPath(&f.inner), "FriendsFrame.Inner");
}

// A caption that the next language's file lacks shows the program's own text,
// not the previous language's: no window ends up in two languages, and a
// change back to English (which has no file) restores every caption.
TEST_F(TranslatorTest, SwitchFromGermanToFrenchFallsBackToTheOwnTextsWhereFrenchIsMissing) {
    WriteFile(home.File("German.lng"), kGerman);
    WriteFile(home.File("French.lng"), kFrench);
    TTestForm f(nullptr);  // a form that no application owns is walked through its translator's owner
    f.translator.Loaded();
    ASSERT_EQ(f.ok.Caption(), "Jawohl");

    f.translator.ApplyLanguage(TLanguage::French);
    EXPECT_EQ(f.form.Caption(), "Amis");
    EXPECT_EQ(f.ok.Caption(), "OK");  // the French file lacks the button
    EXPECT_EQ(f.translator.Translate("twkInBox.MovedFrom", "Moved from InBox"), "Moved from InBox");
    EXPECT_EQ(StoredLanguage(), "French");
    f.translator.ApplyLanguage(TLanguage::English);
    EXPECT_EQ(f.form.Caption(), "Friends");
    f.translator.ApplyLanguage(TLanguage::French);

    // The next start uses the language applied last.
    TTranslator next;
    EXPECT_EQ(next.Language(), TLanguage::French);
}

TEST_F(TranslatorTest, OtherTranslatorsFollowAndNotify) {
    WriteFile(home.File("German.lng"), kGerman);
    WriteFile(home.File("French.lng"), kFrench);
    TBasicComponent application;
    SetApplicationComponent(&application);
    TTestForm main(&application, "MainForm");
    TTestForm friends(&application, "FriendsFrame");
    TTranslator core;  // in no tree, like the translator of a core module

    std::vector<std::string> events;
    auto a = main.translator.OnLanguageChanged.Subscribe([&](TLanguage l) { events.push_back("main " + LanguageName(l)); });
    auto b = friends.translator.OnLanguageChanged.Subscribe(
        [&](TLanguage l) { events.push_back("friends " + LanguageName(l)); });
    auto c = core.OnLanguageChanged.Subscribe([&](TLanguage l) { events.push_back("core " + LanguageName(l)); });
    {
        auto ended = core.OnLanguageChanged.Subscribe([&](TLanguage) { events.push_back("ended"); });
    }

    main.translator.ApplyLanguage(TLanguage::French);
    SetApplicationComponent(nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"friends French", "core French", "main French"}));
    EXPECT_EQ(friends.form.Caption(), "Amis");
    EXPECT_EQ(core.Translate("Other.Key", "x"), "autre");
    EXPECT_EQ(friends.translator.Language(), TLanguage::French);

    events.clear();
    b.Reset();
    core.ApplyLanguage(TLanguage::German);
    EXPECT_EQ(events, (std::vector<std::string>{"main German", "core German"}));
}

TEST_F(TranslatorTest, AppTranslatorForCoreTexts) {
    WriteFile(home.File("German.lng"), kGerman);
    EXPECT_EQ(AppTranslator().Translate("twkInBox.MovedFrom", "Moved from InBox"), "Aus dem Posteingang verschoben");

    WriteFile(home.File("French.lng"), kFrench);
    TTranslator main;
    main.Loaded();
    SetAppTranslator(&main);
    EXPECT_EQ(&AppTranslator(), &main);
    main.ApplyLanguage(TLanguage::French);
    SetAppTranslator(nullptr);
    // The own instance followed the switch too.
    EXPECT_EQ(AppTranslator().Translate("Other.Key", "x"), "autre");
}

TEST_F(TranslatorTest, UnwritableLanguageIniDoesNotStopTheProgram) {
    std::filesystem::create_directory(home.File("language.ini"));  // cannot be written as a file
    TTranslator translator;
    EXPECT_EQ(translator.Language(), TLanguage::German);
    translator.ApplyLanguage(TLanguage::French);
    EXPECT_EQ(translator.Language(), TLanguage::French);
}

}  // namespace
