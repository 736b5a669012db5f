#pragma once

#include "i18n/Component.h"
#include "i18n/Language.h"

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TLanguageChangedEvent;

// Ends a subscription when destroyed (or reset). Safe to outlive the event.
class TLanguageSubscription {
public:
    TLanguageSubscription() = default;
    TLanguageSubscription(TLanguageSubscription&& other) noexcept;
    TLanguageSubscription& operator=(TLanguageSubscription&& other) noexcept;
    ~TLanguageSubscription();
    void Reset();

private:
    friend class TLanguageChangedEvent;
    TLanguageSubscription(std::weak_ptr<void> state, int id);
    std::weak_ptr<void> state_;
    int id_ = 0;
};

// Fired with the language after a translator's language has been (re)applied.
// Any number of modules subscribe; handlers may subscribe or end
// subscriptions while the event fires.
class TLanguageChangedEvent {
public:
    using THandler = std::function<void(TLanguage)>;
    TLanguageChangedEvent();
    [[nodiscard]] TLanguageSubscription Subscribe(THandler handler);
    void Fire(TLanguage language) const;

private:
    friend class TLanguageSubscription;
    struct TState;
    std::shared_ptr<TState> state_;
};

// Translates the program's texts from the language files. One sits on every
// form, frame and data module; the language is the same for all of them and
// is kept in "language.ini" (section "Config", key "Language") in the home
// folder. A missing file or key never fails: the default text is used.
class TTranslator : public TComponent {
public:
    // Reads (on a first start: writes) the current language from "language.ini".
    explicit TTranslator(TComponent* owner = nullptr, std::string name = "Translator");
    ~TTranslator() override;
    TTranslator(const TTranslator&) = delete;
    TTranslator& operator=(const TTranslator&) = delete;

    std::string Name() const override { return name_; }
    TComponent* Owner() const override { return owner_; }
    std::vector<TComponent*> Components() const override { return {}; }
    TTranslator* AsTranslator() override { return this; }

    // Stored with forms; no effect.
    bool Recreate = false;
    TLanguage Language() const { return language_; }
    // A language stored with a form is ignored: "language.ini" decides.
    void SetLanguage(TLanguage) {}

    // Once the owner has been loaded: applies the language of "language.ini".
    void Loaded();

    // The text under the key in the current language's file, else the default.
    // The file is read when the language is (re)applied, not on every look-up:
    // the scan asks for several texts per message.
    std::string Translate(const std::string& key, const std::string& defaultText) const;

    // Makes a language current for the whole application: records it in
    // "language.ini", rewrites the texts of the application's components and
    // of this translator's owner, hands the language to every other
    // translator, then fires OnLanguageChanged.
    void ApplyLanguage(TLanguage language);

    // Rewrites the texts of one component whose path is given; another
    // translator takes over the language instead.
    void TranslateComponent(TComponent& component, const std::string& path);

    // Fills the list with the display names of the languages that have a file.
    void ListLanguages(std::vector<std::string>& list) const;

    TLanguageChangedEvent OnLanguageChanged;

private:
    void OpenReader();
    void TakeOver(TLanguage language);

    TComponent* owner_;
    std::string name_;
    TLanguage language_ = TLanguage::English;
    bool readerOpen_ = false;
    // The texts of the language's section, under their keys in lower case;
    // empty when the file is missing.
    std::unordered_map<std::string, std::string> texts_;
    // Each translated text as it stood before its first translation, under its
    // key: a key that the next language's file lacks falls back to it, so a
    // change back to the program's own language restores every text.
    std::unordered_map<std::string, std::string> originals_;
    const std::string& Original(const std::string& key, const std::string& current);
};

// The translator for texts the core composes. The user interface registers
// its main window's translator; until then (and in core tests) an instance of
// its own is made on first use, created and loaded.
TTranslator& AppTranslator();
void SetAppTranslator(TTranslator* translator);  // nullptr: back to the own instance
// Drops the own instance, so the next use reads "language.ini" afresh (tests).
void ResetAppTranslator();
