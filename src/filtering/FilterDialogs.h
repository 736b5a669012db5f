#pragma once

#include "base/UserInterface.h"

#include <string>
#include <vector>

// The rules of the three filter dialogs, without their widgets: when their
// default button is usable and what they hand back.

// "Add category": a selected action and a name that is not blank.
bool CategoryOkEnabled(const std::string& name, int actionIndex);

// The rules after the eighth ("Is blank", "Is missing", "Is uppercase") test
// only the field and take no content and no case switch.
bool RuleTakesNoContent(int ruleIndex);

// "Add/Change rule", evaluated after every change of its controls.
struct TRuleDialogState {
    bool okEnabled = false;
    bool contentEnabled = true;  // the content box and the case switch
};
TRuleDialogState RuleDialogState(int checkedFields, int ruleIndex, const std::string& content);

// What "&Ok" or "&Add as new" hands back: a rule without content loses the
// content and the case switch.
TRuleDialogResult RuleDialogAnswer(std::vector<std::string> checkedFieldNames, const TRuleDialogInput& input,
                                   int ruleIndex, std::string content, bool caseMatch, bool asNew);

// "Find filter by name category": some text to look for.
bool FindCategoryEnabled(const std::string& text);
