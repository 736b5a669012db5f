#pragma once

#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

// Field ids of the built-in fields and rule ids of the built-in rules.
enum : int { kFrom = 1, kTo = 2, kSubject = 3, kReceived = 4, kCc = 5, kReplyTo = 9 };
enum : int {
    kContains = 1, kContainsWord, kDoesNotContain, kEquals, kStartWith, kDoesNotStartWith,
    kEndWith, kDoesNotEndWith, kIsBlank, kIsMissing, kIsUppercase
};

// A user interface whose filter dialogs answer as the test says.
class TFilterDialogUi : public TFakeUserInterface {
public:
    std::optional<TCategoryDialogResult> categoryAnswer;
    std::optional<TRuleDialogResult> ruleAnswer;
    std::optional<std::string> findAnswer;
    TCategoryDialogInput lastCategoryInput;
    TRuleDialogInput lastRuleInput;

    std::optional<TCategoryDialogResult> CategoryDialog(const TCategoryDialogInput& input) override {
        lastCategoryInput = input;
        return categoryAnswer;
    }
    std::optional<TRuleDialogResult> RuleDialog(const TRuleDialogInput& input) override {
        lastRuleInput = input;
        return ruleAnswer;
    }
    std::optional<std::string> FindCategoryDialog() override { return findAnswer; }
};

class TFilterTest : public ::testing::Test {
protected:
    TTempHome home;
    TFilterDialogUi ui;
    TUserInterfaceScope scope{ui};
    std::unique_ptr<TFilterDM> dm;

    void Start() {
        dm.reset();
        dm = std::make_unique<TFilterDM>();
    }
    TFilter& Engine() { return dm->Engine(); }

    // Appends a category and makes it current; returns its id.
    std::int64_t AddCategory(const std::string& name, int action = 1) {
        auto& c = dm->cdsFilterCategory;
        c.Append();
        c.SetValue("NameCategory", name);
        c.SetValue("idAction", std::int64_t{action});
        c.Post();
        Engine().CacheStale = true;
        return c.AsInteger("id");
    }
    // Appends an expression to the current category; returns its id.
    std::int64_t AddExpr(const std::string& fields, int rule, const std::string& content, bool caseMatch) {
        auto& e = dm->cdsExpr;
        e.Append();
        e.SetValue("Fields", fields);
        e.SetValue("idRule", std::int64_t{rule});
        e.SetValue("Content", content);
        e.SetValue("CaseMatch", caseMatch);
        e.Post();
        Engine().CacheStale = true;
        return e.AsInteger("id");
    }
    std::int64_t Hits(TTable& table, std::int64_t id) {
        return std::get<std::int64_t>(table.Lookup("id", TValue{id}, "Hits"));
    }
};

// Header lines joined with CR LF, each line ended by it.
inline std::string Header(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}
