#include "filtering/dmfilters.h"

#include "base/Tr.h"
#include "data/TTableError.h"
#include "data/TableRescue.h"
#include "filtering/FilterEngine.h"
#include "filtering/Regex.h"
#include "parsing/TextOps.h"

#include <stdexcept>

namespace {

using F = TFieldDef;
using T = TFieldType;

TFilterDM*& CurrentModule() {
    static TFilterDM* module = nullptr;
    return module;
}

struct TBuiltInRule {
    const char* name;
    const char* regularExpr;
    bool result;
    bool fieldEnable;
    const char* modifier;
};

// Ids 1 to 11 in this order; exported files and the dialogs rely on them.
const TBuiltInRule kRules[] = {
    {"Contains", "$&", true, true, "mgi-r-s"},
    {"Contains word", "\\W$&\\W", true, true, "mg-i-r-s"},
    {"Does not contain", "$&", false, true, "mg-i-r-s"},
    {"Equals", "^(.)*:(\\s)*$&(\\s)*\\Z", true, true, "mg-i-r-s"},
    {"Start with", "\\W$&", true, true, "mg-i-r-s"},
    {"Does not start with", "\\W$&", false, true, "mg-i-r-s"},
    {"End with", "$&(\\W|$|\\s)", true, true, "mg-i-r-s"},
    {"Does not end with", "$&(\\W|$|\\s)", false, true, "mg-i-r-s"},
    {"Is blank", "", false, true, "mg-i-r-s"},
    {"Is missing", "", true, false, "mg-i-r-s"},
    // \xC0-\xDF: the capital Cyrillic letters of code page 1251.
    {"Is uppercase", "^(.)*:([A-Z\\d\\s\xC0-\xDF])+\\Z", true, true, "mg-ir-s"},
};

// Ids 1 to 13 in this order.
const std::pair<const char*, const char*> kFields[] = {
    {"From", "^From:(.*)(\\r\\n\\s+(.*))*"},
    {"To", "^To: (.*)(\\r\\n\\s+(.*))*"},
    {"Subject", "^Subject:(.*)(\\r\\n\\s+(.*))*"},
    {"Received", "^Received: (.*)(\\r\\n\\s+(.*))*"},
    {"Cc", "^Cc: (.*)(\\r\\n\\s+(.*))*"},
    {"Comments", "^Comment:(.*)(\\r\\n\\s+(.*))*"},
    {"Errors-To", "^Errors-To:(.*)(\\r\\n\\s+(.*))*"},
    {"Message-Id", "^Message-ID:(.*)(\\r\\n\\s+(.*))*"},
    {"Reply-To", "^Reply-To:(.*)(\\r\\n\\s+(.*))*"},
    {"Return-Path", "^Return-Path:(.*)(\\r\\n\\s+(.*))*"},
    {"Sender", "^Sender:(.*)(\\r\\n\\s+(.*))*"},
    {"X-Complain-To", "^X-Complain-To: (.*)(\\r\\n\\s+(.*))*"},
    {"X-Sieve", "^ X-Sieve:(.*)(\\r\\n\\s+(.*))*"},
};

const char* const kActions[] = {"kill", "accept", "kill after error message", "kill and send header of the message"};

const char kCategoryGroup[] = "FilterCategory";

// Keeps a table's current row across an operation that moves it.
class TKeepRow {
public:
    explicit TKeepRow(TTable& table) : table_(table), bookmark_(table.Bookmark()) {}
    ~TKeepRow() {
        try {
            if (table_.Bookmark() != bookmark_) table_.GotoBookmark(bookmark_);
        } catch (...) {
        }
    }
    TKeepRow(const TKeepRow&) = delete;
    TKeepRow& operator=(const TKeepRow&) = delete;

private:
    TTable& table_;
    TTable::TBookmark bookmark_;
};

}  // namespace

TFilterDM& FilterDM() {
    if (!CurrentModule()) throw std::logic_error("the filter module has not been created");
    return *CurrentModule();
}

TFilter& FilterEngine() { return FilterDM().Engine(); }

TFilterDM::TFilterDM()
    : cdsAction("cdsAction", {F("id", T::AutoInc), F("Name", T::String, 100)}),
      cdsFilterCategory("cdsFilterCategory",
                        {F("id", T::AutoInc).ReadOnly().Hidden(),
                         F("NameCategory", T::String, 100).Label("Name category").Width(45),
                         F("idAction", T::Integer).Hidden(),
                         F("Hits", T::Integer).Width(5).Default(std::int64_t{0}),
                         F("NameAction", T::String, 200).Label("Action").Width(32).Calculated()}),
      cdsRules("cdsRules", {F("id", T::AutoInc), F("Name", T::String, 200), F("RegularExpr", T::String, 200),
                            F("Result", T::Boolean), F("FieldEnable", T::Boolean), F("Modifier", T::String, 20)}),
      cdsFields("cdsFields",
                {F("id", T::AutoInc), F("Name", T::String, 200), F("RegularExpr", T::String, 200),
                 F("Modifier", T::String, 20)}),
      cdsExpr("cdsExpr", {F("id", T::AutoInc).ReadOnly().Hidden(),
                          F("idFilter", T::Integer).Hidden(),
                          F("idRule", T::Integer).Hidden(),
                          F("Content", T::String, 200).Width(26),
                          F("CaseMatch", T::Boolean).Label("Case").Width(5),
                          F("Fields", T::String, 300).Hidden(),
                          F("Hits", T::Integer).Width(6).Default(std::int64_t{0}),
                          F("FieldStr", T::String, 200).Label("Fields").Width(25).Calculated(),
                          F("Rule", T::String, 200).Width(17).Calculated()}),
      component_(nullptr, "FilterDM") {
    OpenDialog = {"", "*.txt|*.txt|*.*|*.*", "txt", "filters.txt"};
    SaveDialog = OpenDialog;
    translator_ = std::make_unique<TTranslator>(&component_, "Translator");
    languageSubscription_ = translator_->OnLanguageChanged.Subscribe(
        [this](TLanguage language) { TranslatorLanguageChanged(language); });

    SetUpTables();
    SetUpActions();
    OpenTable(cdsAction, &TFilterDM::AddBuiltInActions);
    OpenTable(cdsFilterCategory, nullptr);
    OpenTable(cdsRules, &TFilterDM::AddBuiltInRules);
    OpenTable(cdsFields, &TFilterDM::AddBuiltInFields);
    OpenTable(cdsExpr, nullptr);
    // The links and looked-up names need every table loaded.
    cdsExpr.SetMaster(&cdsFilterCategory, "id", "idFilter");
    cdsFilterCategory.RecalculateAll();
    cdsExpr.RecalculateAll();
    cdsFilterCategory.First();

    dsFilterCategoryDataChange();
    dsExprDataChange();
    engine_ = std::make_unique<TFilter>(*this);
    // Last: a start refused above must not leave actions on a module that goes first.
    Actions.AttachTo(component_);
    CurrentModule() = this;
}

TFilterDM::~TFilterDM() {
    if (CurrentModule() == this) CurrentModule() = nullptr;
    Actions.Detach();
    engine_.reset();
    // Each table writes its unsaved changes when destroyed.
}

void TFilterDM::Close() {
    for (TTable* table : {&cdsAction, &cdsFilterCategory, &cdsRules, &cdsFields, &cdsExpr}) table->Close();
}

void TFilterDM::SetUpTables() {
    cdsAction.SetFileName("Action.dat");
    cdsAction.AddIndex("id", "id");
    cdsAction.SetIndexName("id");

    cdsFilterCategory.SetFileName("filters.dat");
    cdsFilterCategory.SetSaveAfterPost(true);
    cdsFilterCategory.SetColumnOrder({"id", "NameCategory", "idAction", "NameAction", "Hits"});
    // The primary index exists, but categories keep the order of adding.
    cdsFilterCategory.AddIndex("id", "id");
    cdsFilterCategory.OnCalcFields = [this](TTable& t) { CategoryCalcFields(t); };

    cdsRules.SetFileName("Rules.dat");
    cdsRules.AddIndex("id", "id");
    cdsRules.SetIndexName("id");

    cdsFields.SetFileName("Fields.dat");
    cdsFields.AddIndex("id", "id");
    cdsFields.SetIndexName("id");

    cdsExpr.SetFileName("expr.dat");
    cdsExpr.SetSaveAfterPost(true);
    cdsExpr.SetColumnOrder({"id", "idFilter", "Fields", "FieldStr", "idRule", "Rule", "CaseMatch", "Content", "Hits"});
    cdsExpr.AddIndex("idFilter", "idFilter");
    cdsExpr.SetIndexName("idFilter");
    cdsExpr.OnCalcFields = [this](TTable& t) { ExprCalcFields(t); };

    cdsFilterCategory.Subscribe([this](TTable&, TTable::TChange change) {
        if (change != TTable::TChange::State) dsFilterCategoryDataChange();
    });
    cdsExpr.Subscribe([this](TTable&, TTable::TChange change) {
        if (change != TTable::TChange::State) dsExprDataChange();
    });
}

void TFilterDM::SetUpActions() {
    struct TDef {
        const char* name;
        const char* caption;
        void (TFilterDM::*execute)();
    };
    const TDef defs[] = {
        {"AddCategory", "Add category", &TFilterDM::AddCategoryExecute},
        {"EditCategory", "Edit category", &TFilterDM::EditCategoryExecute},
        {"DeleteCategory", "Delete category", &TFilterDM::DeleteCategoryExecute},
        {"FindCategory", "Find category", &TFilterDM::FindCategoryExecute},
        {"AddExpr", "Add rule", &TFilterDM::AddExprExecute},
        {"EditExpr", "Edit rule", &TFilterDM::EditExprExecute},
        {"DeleteExpr", "Delete rule", &TFilterDM::DeleteExprExecute},
        {"FindRule", "Find rule", nullptr},
        {"FilterImport", "Import filters", &TFilterDM::FilterImportExecute},
        {"FilterExport", "Export filters", &TFilterDM::FilterExportExecute},
    };
    for (const TDef& d : defs) {
        TAction& action = Actions.Add(d.name, d.caption, kCategoryGroup);
        if (d.execute) action.OnExecute = [this, execute = d.execute](TAction&) { (this->*execute)(); };
        // After a scan every action is switched on and then updated: the
        // rules of the tables must follow, or an empty filter set could be exported.
        // "Find rule" has nothing to run and is never usable.
        action.OnUpdate = [this, runs = d.execute != nullptr](TAction& a) {
            if (runs)
                dsFilterCategoryDataChange();
            else
                a.SetEnabled(false);
        };
        if (!d.execute) action.SetEnabled(false);
    }
}

void TFilterDM::OpenTable(TTable& table, void (TFilterDM::*addBuiltIns)()) {
    if (!addBuiltIns) {
        LoadKeepingDamaged(table);
        return;
    }
    switch (table.Load()) {
        case TLoadResult::Loaded:
            return;
        case TLoadResult::Locked:
            ThrowHomeInUse(table);
        case TLoadResult::Failed:
            table.DiscardFile();  // the program builds its own tables again
            break;
        case TLoadResult::Missing:
            break;
    }
    (this->*addBuiltIns)();
    // Written at once: an empty built-in file that survived a crash would
    // otherwise load at the next start and leave no rules at all.
    if (!table.Save()) throw TTableError(table.LastError());
}

// ---------------------------------------------------------------- hit counts

void TFilterDM::FlushHitCounts() {
    for (TTable* table : {&cdsFilterCategory, &cdsExpr})
        if (!table->Save()) throw TTableError(table->LastError());
}

THitCountBatch::THitCountBatch(TFilterDM& dm) : dm_(dm) { ++dm_.hitCountBatches_; }

THitCountBatch::~THitCountBatch() {
    --dm_.hitCountBatches_;
    try {
        dm_.FlushHitCounts();
    } catch (const TTableError&) {
        // The counts stay in the tables and go with the next save or at close.
    }
}

void THitCountBatch::Flush() { dm_.FlushHitCounts(); }

void TFilterDM::AddBuiltInActions() {
    for (const char* name : kActions) {
        cdsAction.Append();
        cdsAction.SetValue("Name", std::string(name));
        cdsAction.Post();
    }
    cdsAction.First();
}

void TFilterDM::AddBuiltInRules() {
    for (const TBuiltInRule& r : kRules) {
        cdsRules.Append();
        cdsRules.SetValue("Name", std::string(r.name));
        cdsRules.SetValue("RegularExpr", std::string(r.regularExpr));
        cdsRules.SetValue("Result", r.result);
        cdsRules.SetValue("FieldEnable", r.fieldEnable);
        cdsRules.SetValue("Modifier", std::string(r.modifier));
        cdsRules.Post();
    }
    cdsRules.First();
}

void TFilterDM::AddBuiltInFields() {
    for (const auto& [name, pattern] : kFields) {
        cdsFields.Append();
        cdsFields.SetValue("Name", std::string(name));
        cdsFields.SetValue("RegularExpr", std::string(pattern));
        cdsFields.SetValue("Modifier", std::string("mgi-r-s"));
        cdsFields.Post();
    }
    cdsFields.First();
}

void TFilterDM::CategoryCalcFields(TTable& table) {
    table.SetCalculated("NameAction", cdsAction.Lookup("id", table.Value("idAction"), "Name"));
}

void TFilterDM::ExprCalcFields(TTable& table) {
    const std::string fields = table.AsString("Fields");
    TValue fieldStr;
    if (!fields.empty()) {
        std::string names;
        size_t start = 0;
        while (true) {
            const size_t comma = fields.find(',', start);
            const std::string id = fields.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            if (start > 0) names += ",";
            std::int64_t n = 0;
            try {
                n = std::stoll(id);
            } catch (...) {
                n = -1;
            }
            names += ValueToString(cdsFields.Lookup("id", TValue{n}, "Name"));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        fieldStr = names;
    }
    table.SetCalculated("FieldStr", fieldStr);
    table.SetCalculated("Rule", cdsRules.Lookup("id", table.Value("idRule"), "Name"));
}

// ---------------------------------------------------------------- language

void TFilterDM::TranslateNames(TTable& table, const std::string& keyPrefix) {
    TKeepRow keep(table);
    int n = 0;
    for (table.First(); !table.Eof(); table.Next(), ++n) {
        const std::string name = table.AsString("Name");
        const std::string translated = translator_->Translate(keyPrefix + "[" + std::to_string(n) + "]", name);
        if (translated == name) continue;
        table.Edit();
        table.SetValue("Name", translated);
        table.Post();
    }
}

void TFilterDM::TranslatorLanguageChanged(TLanguage) {
    TranslateNames(cdsRules, "Rules");
    TranslateNames(cdsFields, "Fields");
    TranslateNames(cdsAction, "Action");
    // The looked-up names follow; the engine's caches keep theirs until the
    // next rebuild.
    if (!cdsFilterCategory.IsEmpty()) cdsFilterCategory.RecalculateAll();
    if (cdsExpr.RowCountAll() > 0) cdsExpr.RecalculateAll();
}

// ---------------------------------------------------------------- actions

void TFilterDM::dsFilterCategoryDataChange() {
    static const char* const kNeedCategory[] = {"EditCategory", "DeleteCategory", "AddExpr", "EditExpr",
                                                "DeleteExpr",   "FindCategory",   "FilterExport"};
    if (cdsFilterCategory.IsEmpty()) {
        for (const char* name : kNeedCategory) Actions[name].SetEnabled(false);
    } else if (!ScanRunning()) {
        for (const char* name : {"EditCategory", "DeleteCategory", "AddExpr", "FindCategory", "FilterExport"})
            Actions[name].SetEnabled(true);
    }
    dsExprDataChange();
}

void TFilterDM::dsExprDataChange() {
    const bool none = cdsFilterCategory.IsEmpty() || cdsExpr.IsEmpty();
    if (none) {
        Actions["EditExpr"].SetEnabled(false);
        Actions["DeleteExpr"].SetEnabled(false);
    } else if (!ScanRunning()) {
        Actions["EditExpr"].SetEnabled(true);
        Actions["DeleteExpr"].SetEnabled(true);
    }
}

void TFilterDM::ShowError(const std::exception& error) {
    UserInterface().MessageBox(error.what(), "Tarnwick", TMsgIcon::Error, mbOK);
}

void TFilterDM::AddCategoryExecute() {
    TCategoryDialogInput input;
    engine_->ListNames("Action", input.actionNames);
    const auto answer = UserInterface().CategoryDialog(input);
    if (!answer) return;
    const std::string name = TrimText(answer->name);
    const TValue action = cdsAction.Lookup("Name", answer->actionName, "id");
    if (name.empty() || IsNull(action)) return;
    cdsFilterCategory.Append();
    cdsFilterCategory.SetValue("NameCategory", name);
    cdsFilterCategory.SetValue("idAction", action);
    cdsFilterCategory.SetValue("Hits", std::int64_t{0});
    cdsFilterCategory.Post();
}

void TFilterDM::EditCategoryExecute() {
    if (cdsFilterCategory.IsEmpty()) return;
    TCategoryDialogInput input;
    engine_->ListNames("Action", input.actionNames);
    input.name = cdsFilterCategory.AsString("NameCategory");
    input.actionIndex = static_cast<int>(cdsFilterCategory.AsInteger("idAction")) - 1;
    input.editing = true;
    const auto answer = UserInterface().CategoryDialog(input);
    if (!answer) return;
    const std::string name = TrimText(answer->name);
    const TValue action = cdsAction.Lookup("Name", answer->actionName, "id");
    if (name.empty() || IsNull(action)) return;
    cdsFilterCategory.Edit();
    cdsFilterCategory.SetValue("NameCategory", name);
    cdsFilterCategory.SetValue("idAction", action);
    cdsFilterCategory.Post();
}

void TFilterDM::DeleteCategoryExecute() {
    if (cdsFilterCategory.IsEmpty()) return;
    if (UserInterface().MessageBox(Tr("FilterDM.DeleteCategory", "Delete filter category?"),
                                   Tr("FilterDM.DeleteCategoryCaption", "Delete category"), TMsgIcon::Question,
                                   mbYesNo) != TMsgResult::Yes)
        return;
    cdsExpr.DisableControls();
    try {
        cdsExpr.First();
        while (!cdsExpr.IsEmpty()) cdsExpr.Delete();
    } catch (...) {
        cdsExpr.EnableControls();
        engine_->CacheStale = true;
        throw;
    }
    cdsExpr.EnableControls();
    cdsFilterCategory.Delete();
    engine_->CacheStale = true;
    // Written now rather than with the next post, so the filters do not come back after a crash.
    if (!cdsExpr.Save()) throw TTableError(cdsExpr.LastError());
    if (!cdsFilterCategory.Save()) throw TTableError(cdsFilterCategory.LastError());
}

void TFilterDM::FindCategoryExecute() {
    if (cdsFilterCategory.IsEmpty()) return;
    const auto text = UserInterface().FindCategoryDialog();
    if (!text || text->empty()) return;
    const std::string pattern = EscapeRegexMeta(*text);
    const TTable::TBookmark remembered = cdsFilterCategory.Bookmark();
    bool found = false;
    cdsFilterCategory.DisableControls();
    try {
        // From the current category (included) towards the last.
        while (true) {
            if (!TFilter::CollectMatches(cdsFilterCategory.AsString("NameCategory"), pattern, "mg-i-r-s").empty()) {
                found = true;
                break;
            }
            const int before = cdsFilterCategory.RecNo();
            cdsFilterCategory.Next();
            if (cdsFilterCategory.RecNo() == before) break;
        }
        if (!found) cdsFilterCategory.GotoBookmark(remembered);
    } catch (...) {
        cdsFilterCategory.GotoBookmark(remembered);
        cdsFilterCategory.EnableControls();
        throw;
    }
    cdsFilterCategory.EnableControls();
}

void TFilterDM::RunRuleDialog(bool editing) {
    if (cdsFilterCategory.IsEmpty() || (editing && cdsExpr.IsEmpty())) return;
    TRuleDialogInput input;
    engine_->ListNames("Field", input.fieldNames);
    engine_->ListNames("Rule", input.ruleNames);
    input.editing = editing;
    if (editing) {
        input.ruleIndex = static_cast<int>(cdsExpr.AsInteger("idRule")) - 1;
        input.content = cdsExpr.AsString("Content");
        input.caseMatch = cdsExpr.AsBoolean("CaseMatch");
        // Whole ids only, so "Reply-To" (9) does not check "To" (2).
        std::string fields = cdsExpr.AsString("Fields");
        while (!fields.empty()) {
            const std::string id = TakeItem(fields, ",");
            for (size_t i = 0; i < input.fieldNames.size(); ++i)
                if (ValueToString(cdsFields.Lookup("Name", input.fieldNames[i], "id")) == id)
                    input.checkedFields.push_back(static_cast<int>(i));
        }
    }
    const auto answer = UserInterface().RuleDialog(input);
    if (!answer) return;
    const TValue rule = cdsRules.Lookup("Name", answer->ruleName, "id");
    if (IsNull(rule) || answer->checkedFieldNames.empty()) return;
    std::string content = answer->content;
    bool caseMatch = answer->caseMatch;
    int position = -1;
    for (size_t i = 0; i < input.ruleNames.size(); ++i)
        if (input.ruleNames[i] == answer->ruleName) position = static_cast<int>(i);
    // "Is blank", "Is missing" and "Is uppercase" take no content.
    if (position > 7) {
        content.clear();
        caseMatch = false;
    }
    std::string fields;
    for (const std::string& name : input.fieldNames) {
        bool checked = false;
        for (const std::string& c : answer->checkedFieldNames) checked = checked || c == name;
        if (!checked) continue;
        if (!fields.empty()) fields += ",";
        fields += ValueToString(cdsFields.Lookup("Name", name, "id"));
    }
    if (position <= 7 && content.empty()) return;
    const TValue category = cdsFilterCategory.Value("id");
    if (editing && !answer->asNew)
        cdsExpr.Edit();
    else
        cdsExpr.Append();
    cdsExpr.SetValue("idFilter", category);
    cdsExpr.SetValue("Fields", fields);
    cdsExpr.SetValue("idRule", rule);
    cdsExpr.SetValue("Content", content);
    cdsExpr.SetValue("CaseMatch", caseMatch);
    if (!editing || answer->asNew) cdsExpr.SetValue("Hits", std::int64_t{0});
    cdsExpr.Post();
    engine_->CacheStale = true;
}

void TFilterDM::AddExprExecute() { RunRuleDialog(false); }

void TFilterDM::EditExprExecute() { RunRuleDialog(true); }

void TFilterDM::DeleteExprExecute() {
    if (cdsExpr.IsEmpty()) return;
    if (UserInterface().MessageBox(Tr("FilterDM.DeleteRule", "Delete rule?"),
                                   Tr("FilterDM.DeleteRuleCaption", "Delete rule"), TMsgIcon::Question,
                                   mbYesNo) != TMsgResult::Yes)
        return;
    cdsExpr.Delete();
    engine_->CacheStale = true;
    if (!cdsExpr.Save()) throw TTableError(cdsExpr.LastError());
}

void TFilterDM::FilterImportExecute() {
    try {
        engine_->ImportFilters();
    } catch (const TFilterError& e) {
        ShowError(e);
    }
}

void TFilterDM::FilterExportExecute() {
    try {
        engine_->ExportFilters();
    } catch (const TFilterError& e) {
        ShowError(e);
    }
}
