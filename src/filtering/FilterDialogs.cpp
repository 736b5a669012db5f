#include "filtering/FilterDialogs.h"

#include "parsing/TextOps.h"

bool CategoryOkEnabled(const std::string& name, int actionIndex) {
    return actionIndex >= 0 && !TrimText(name).empty();
}

bool RuleTakesNoContent(int ruleIndex) { return ruleIndex > 7; }

TRuleDialogState RuleDialogState(int checkedFields, int ruleIndex, const std::string& content) {
    TRuleDialogState state;
    if (checkedFields > 0 && ruleIndex >= 0 && (RuleTakesNoContent(ruleIndex) || !content.empty())) {
        state.okEnabled = true;
        state.contentEnabled = !RuleTakesNoContent(ruleIndex);
    }
    return state;
}

TRuleDialogResult RuleDialogAnswer(std::vector<std::string> checkedFieldNames, const TRuleDialogInput& input,
                                   int ruleIndex, std::string content, bool caseMatch, bool asNew) {
    TRuleDialogResult answer;
    answer.checkedFieldNames = std::move(checkedFieldNames);
    if (ruleIndex >= 0 && ruleIndex < static_cast<int>(input.ruleNames.size()))
        answer.ruleName = input.ruleNames[static_cast<std::size_t>(ruleIndex)];
    if (RuleTakesNoContent(ruleIndex)) {
        content.clear();
        caseMatch = false;
    }
    answer.content = std::move(content);
    answer.caseMatch = caseMatch;
    answer.asNew = asNew;
    return answer;
}

bool FindCategoryEnabled(const std::string& text) { return !text.empty(); }
