#include "i18n/Translator.h"

#include "i18n/LanguageFiles.h"
#include "platform/CodePage.h"
#include "platform/Home.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

// ---- language-changed event -------------------------------------------------

struct TLanguageChangedEvent::TState {
    int nextId = 1;
    std::vector<std::pair<int, THandler>> handlers;
};

TLanguageSubscription::TLanguageSubscription(std::weak_ptr<void> state, int id) : state_(std::move(state)), id_(id) {}

TLanguageSubscription::TLanguageSubscription(TLanguageSubscription&& other) noexcept
    : state_(std::move(other.state_)), id_(other.id_) {
    other.id_ = 0;
}

TLanguageSubscription& TLanguageSubscription::operator=(TLanguageSubscription&& other) noexcept {
    if (this != &other) {
        Reset();
        state_ = std::move(other.state_);
        id_ = other.id_;
        other.id_ = 0;
    }
    return *this;
}

TLanguageSubscription::~TLanguageSubscription() { Reset(); }

void TLanguageSubscription::Reset() {
    if (auto locked = state_.lock()) {
        auto& handlers = static_cast<TLanguageChangedEvent::TState*>(locked.get())->handlers;
        handlers.erase(std::remove_if(handlers.begin(), handlers.end(), [&](auto& h) { return h.first == id_; }),
                       handlers.end());
    }
    state_.reset();
    id_ = 0;
}

TLanguageChangedEvent::TLanguageChangedEvent() : state_(std::make_shared<TState>()) {}

TLanguageSubscription TLanguageChangedEvent::Subscribe(THandler handler) {
    const int id = state_->nextId++;
    state_->handlers.emplace_back(id, std::move(handler));
    return TLanguageSubscription(std::static_pointer_cast<void>(state_), id);
}

void TLanguageChangedEvent::Fire(TLanguage language) const {
    const auto state = state_;  // a handler may destroy the event's owner
    const auto snapshot = state->handlers;
    for (const auto& [id, handler] : snapshot) {
        const bool live = std::any_of(state->handlers.begin(), state->handlers.end(),
                                      [id = id](auto& h) { return h.first == id; });
        if (live && handler) handler(language);
    }
}

// ---- translator -------------------------------------------------------------

namespace {

const char kConfig[] = "Config";
const char kLanguageKey[] = "Language";

std::vector<TTranslator*>& LiveTranslators() {
    static std::vector<TTranslator*> translators;
    return translators;
}

TIniFile LanguageIni() { return TIniFile(ProgramFile("language.ini")); }

// Keys are compared without regard to letter case or surrounding blanks, as
// the ini format compares them.
std::string KeyOfText(const std::string& key) {
    const std::size_t first = key.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const std::size_t last = key.find_last_not_of(" \t");
    return CodePageLowerCase(std::string_view(key).substr(first, last - first + 1));
}

// Separators and empty texts are never translated.
bool Translatable(const std::string& text) { return !text.empty() && text != "-"; }

std::string Join(const std::string& path, const std::string& name) {
    if (name.empty()) return path;
    return path.empty() ? name : path + "." + name;
}

TTranslator*& RegisteredAppTranslator() {
    static TTranslator* translator = nullptr;
    return translator;
}

std::unique_ptr<TTranslator>& OwnAppTranslator() {
    // The list is made first, so it is destroyed after the own instance,
    // whose destructor still takes itself off the list.
    LiveTranslators();
    static std::unique_ptr<TTranslator> translator;
    return translator;
}

}  // namespace

TTranslator::TTranslator(TComponent* owner, std::string name) : owner_(owner), name_(std::move(name)) {
    LiveTranslators().push_back(this);
    if (owner_) owner_->InsertComponent(this);

    language_ = TLanguage::English;
    TIniFile ini = LanguageIni();
    const bool existed = ini.FileExists();
    const TLanguage stored = LanguageFromName(ini.ReadString(kConfig, kLanguageKey, "Other"));
    if (stored == TLanguage::Other || !existed) {
        const TLanguage system = SystemDefaultLanguage();
        try {
            ini.WriteString(kConfig, kLanguageKey, LanguageName(system));
        } catch (const EIniFileError&) {
            // An unwritable home folder must not stop the program; the choice
            // is just not remembered.
            language_ = system;
            return;
        }
    }
    language_ = LanguageFromName(ini.ReadString(kConfig, kLanguageKey, LanguageName(stored)));
}

TTranslator::~TTranslator() {
    auto& live = LiveTranslators();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (RegisteredAppTranslator() == this) RegisteredAppTranslator() = nullptr;
    if (owner_) owner_->RemoveComponent(this);
}

void TTranslator::Loaded() {
    language_ = LanguageFromName(LanguageIni().ReadString(kConfig, kLanguageKey, LanguageName(language_)));
    ApplyLanguage(language_);
}

std::string TTranslator::Translate(const std::string& key, const std::string& defaultText) const {
    if (!readerOpen_) return defaultText;
    const auto found = texts_.find(KeyOfText(key));
    return found == texts_.end() ? defaultText : found->second;
}

void TTranslator::OpenReader() {
    texts_.clear();
    const TIniFile file(FindLanguageFile(language_));
    for (auto& [key, text] : file.ReadSectionValues(LanguageName(language_)))
        texts_.emplace(KeyOfText(key), std::move(text));
    readerOpen_ = true;
}

void TTranslator::TakeOver(TLanguage language) {
    language_ = language;
    OpenReader();
    OnLanguageChanged.Fire(language);
}

void TTranslator::ApplyLanguage(TLanguage language) {
    language_ = language;
    try {
        LanguageIni().WriteString(kConfig, kLanguageKey, LanguageName(language));
    } catch (const EIniFileError&) {
        // The language still changes for this run.
    }
    OpenReader();

    std::unordered_set<TComponent*> visited{this};
    const std::function<void(TComponent&, const std::string&)> walk = [&](TComponent& c, const std::string& parent) {
        if (!visited.insert(&c).second) return;
        const std::string path = Join(parent, c.Name());
        TranslateComponent(c, path);
        for (TComponent* child : c.Components())
            if (child) walk(*child, path);
    };
    if (TComponent* application = ApplicationComponent()) walk(*application, "");
    // A form that the application does not own is covered too.
    if (owner_) walk(*owner_, ComponentPath(owner_->Owner()));
    // Translators outside both trees (those of the core) follow as well.
    const std::vector<TTranslator*> others = LiveTranslators();
    for (TTranslator* other : others) {
        const auto& live = LiveTranslators();
        if (!visited.count(other) && std::find(live.begin(), live.end(), other) != live.end()) {
            visited.insert(other);
            other->TakeOver(language);
        }
    }
    OnLanguageChanged.Fire(language);
}

const std::string& TTranslator::Original(const std::string& key, const std::string& current) {
    return originals_.try_emplace(key, current).first->second;
}

void TTranslator::TranslateComponent(TComponent& component, const std::string& path) {
    if (TTranslator* other = component.AsTranslator()) {
        if (other != this) other->TakeOver(language_);
        return;
    }
    if (component.Name().empty()) return;
    const auto translated = [&](const std::string& key, const std::string& current) -> std::optional<std::string> {
        const std::string& original = Original(key, current);
        if (!Translatable(original)) return std::nullopt;
        return Translate(key, original);
    };
    if (component.HasCaption())
        if (auto text = translated(path + ".Caption", component.Caption())) component.SetCaption(*text);
    for (int i = 0; i < component.ColumnCount(); ++i)
        if (auto text = translated(path + ".Column[" + std::to_string(i) + "]", component.ColumnText(i)))
            component.SetColumnText(i, *text);
    for (int i = 0; i < component.ItemCount(); ++i)
        if (auto text = translated(path + ".Item[" + std::to_string(i) + "]", component.ItemText(i)))
            component.SetItemText(i, *text);
    for (int b = 0; b < component.ActionBarCount(); ++b)
        for (int n = 0; n < component.ActionBarItemCount(b); ++n)
            if (auto text = translated(path + ".Text[" + std::to_string(b) + "," + std::to_string(n) + "]",
                                       component.ActionBarItemText(b, n)))
                component.SetActionBarItemText(b, n, *text);
}

void TTranslator::ListLanguages(std::vector<std::string>& list) const { list = ListLanguageFiles(); }

TTranslator& AppTranslator() {
    if (TTranslator* registered = RegisteredAppTranslator()) return *registered;
    auto& own = OwnAppTranslator();
    if (!own) {
        own = std::make_unique<TTranslator>(nullptr, "AppTranslator");
        own->Loaded();
    }
    return *own;
}

void SetAppTranslator(TTranslator* translator) { RegisteredAppTranslator() = translator; }

void ResetAppTranslator() { OwnAppTranslator().reset(); }
