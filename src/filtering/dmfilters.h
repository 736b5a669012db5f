#pragma once

#include "base/TAction.h"
#include "base/UserInterface.h"
#include "data/TTable.h"
#include "i18n/Component.h"
#include "i18n/Translator.h"

#include <functional>
#include <memory>
#include <string>

class TFilter;

// The filter data module: the user's categories and expressions, and the
// built-in actions, rules and fields they refer to, with the editing actions.
//
// Ownership: the program creates exactly one TFilterDM at start-up (after the
// central data module) and destroys it at the end; FilterDM() and
// FilterEngine() reach it meanwhile. It owns the single filter engine, created
// at the end of the start-up and destroyed with the module. Tests create their
// own module inside a TTempHome; the newest live module is the one the two
// functions return.
//
// Files (in the working directory): "Action.dat", "filters.dat", "Rules.dat",
// "Fields.dat", "expr.dat". A file does not load when it is damaged or its
// stored fields differ from the declared ones in names, order or types. Such
// a file of the user's own ("filters.dat", "expr.dat") is kept aside as
// "<file>.damaged", the user is told, and the table starts empty; one of the
// built-in tables is deleted and its rows are built again (ids 1, 2, ... in
// the listed order, which exported files and the dialogs rely on).
//
// Hit counts: every catch adds one to the hits of its category and its
// expression. Saved one by one, a catch costs a transaction per table file;
// a scan keeps a THitCountBatch open instead, and the counts wait in the
// tables in memory until FlushHitCounts writes each table file in one
// transaction. Without an open batch every hit is saved at once. Every other
// change is saved at once also while a batch is open (and takes the waiting
// counts of its table along), so a crash loses at most the hits counted since
// the last flush.
class TFilterDM {
public:
    // Opens the tables in order (actions, categories, rules, fields,
    // expressions), refreshes the actions' enabled state, creates the engine.
    // Throws THomeInUseError (data/TTableError.h) when another program keeps
    // one of the files locked for longer than the busy timeout (nothing was
    // renamed or deleted then), TTableError when a rebuilt file cannot be
    // written.
    TFilterDM();
    // Writes every table with unsaved changes; errors are swallowed here, so
    // call Close() first where they must be reported.
    ~TFilterDM();
    TFilterDM(const TFilterDM&) = delete;
    TFilterDM& operator=(const TFilterDM&) = delete;

    // Writes every table with unsaved changes; throws TTableError.
    void Close();

    // Declared in start-up order.
    TTable cdsAction;          // id, Name
    TTable cdsFilterCategory;  // id, NameCategory, idAction, Hits (+ NameAction)
    TTable cdsRules;           // id, Name, RegularExpr, Result, FieldEnable, Modifier
    TTable cdsFields;          // id, Name, RegularExpr, Modifier
    TTable cdsExpr;            // id, idFilter, idRule, Content, CaseMatch, Fields, Hits (+ FieldStr, Rule)

    // AddCategory, EditCategory, DeleteCategory, FindCategory, AddExpr,
    // EditExpr, DeleteExpr, FindRule, FilterImport, FilterExport; category
    // "FilterCategory".
    TActionList Actions;

    // The file dialogs of import and export.
    TFileDialog OpenDialog;
    TFileDialog SaveDialog;

    // Tells whether a mail scan runs; while one does, the enabled state of the
    // actions is left as the scan set it. Wired by the program; unset means no.
    std::function<bool()> IsScanRunning;

    TFilter& Engine() { return *engine_; }
    TTranslator& Translator() { return *translator_; }
    // The module in the translators' walk ("FilterDM").
    TComponent& Component() { return component_; }

    // True while a THitCountBatch is open: the engine's hit counts wait for FlushHitCounts.
    bool HitCountBatchOpen() const { return hitCountBatches_ > 0; }
    // Writes the hit counts that wait, one transaction per table file; throws
    // TTableError when a file cannot be written (the counts keep waiting).
    void FlushHitCounts();

    // Renames the built-in rows from the language file ("Rules[n]", "Fields[n]",
    // "Action[n]", n counted from 0 in table order); a missing key keeps the name.
    void TranslatorLanguageChanged(TLanguage language);

    // The enabled-state rules of the editing actions.
    void dsFilterCategoryDataChange();
    void dsExprDataChange();

    // Execute handlers. Those that need a window ask the user-interface port;
    // a cancelled dialog changes nothing.
    void AddCategoryExecute();
    void EditCategoryExecute();
    void DeleteCategoryExecute();
    void FindCategoryExecute();
    void AddExprExecute();
    void EditExprExecute();
    void DeleteExprExecute();
    void FilterImportExecute();
    void FilterExportExecute();

private:
    void SetUpTables();
    void SetUpActions();
    // addBuiltIns is null for the user's own tables.
    void OpenTable(TTable& table, void (TFilterDM::*addBuiltIns)());
    void AddBuiltInActions();
    void AddBuiltInRules();
    void AddBuiltInFields();
    void CategoryCalcFields(TTable& table);
    void ExprCalcFields(TTable& table);
    void TranslateNames(TTable& table, const std::string& keyPrefix);
    bool ScanRunning() const { return IsScanRunning && IsScanRunning(); }
    void ShowError(const std::exception& error);
    // The expression dialog for a new (editing false) or the current expression.
    void RunRuleDialog(bool editing);

    TBasicComponent component_;
    std::unique_ptr<TTranslator> translator_;
    TLanguageSubscription languageSubscription_;
    std::unique_ptr<TFilter> engine_;  // last: goes before the tables
    int hitCountBatches_ = 0;

    friend class THitCountBatch;
};

// Keeps the engine's hit counts waiting while it lives (see TFilterDM):
//
//     THitCountBatch batch(filterDM);   // at the start of a scan
//     ... each account: evaluate its messages, then batch.Flush();
//
// Batches nest. Must not outlive its module.
class THitCountBatch {
public:
    explicit THitCountBatch(TFilterDM& dm);
    // Flushes what still waits. A write error is swallowed here (the counts
    // stay in the tables and are written with the next save or at close), so
    // call Flush() last where it must be reported.
    ~THitCountBatch();
    THitCountBatch(const THitCountBatch&) = delete;
    THitCountBatch& operator=(const THitCountBatch&) = delete;

    // TFilterDM::FlushHitCounts; the batch stays open.
    void Flush();

private:
    TFilterDM& dm_;
};

// The live filter module and its engine; throw std::logic_error when none exists.
TFilterDM& FilterDM();
TFilter& FilterEngine();
