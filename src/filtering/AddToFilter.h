#pragma once

#include "filtering/CheckedList.h"

#include <string>
#include <vector>

class TFilterDM;

// The "Add to filter" dialog without its widgets: it turns the sender, the
// subject and the recipients of one message into "Contains" expressions of a
// chosen category. The window shows the values, forwards the user's changes
// and calls AddToFilter on "&Add to filter".
class TAddToFilter {
public:
    TAddToFilter(TFilterDM& filters, std::string header);

    const std::string& Header() const { return header_; }

    // Fills the values from the header and the category list (the first
    // category selected); the current category stays current.
    void Show();

    std::vector<std::string> CategoryNames;  // in table order
    int CategoryIndex = -1;                  // selected, -1 for none
    bool FromCheck = false;
    std::string FromValue;
    bool SubjectCheck = false;
    std::string SubjectValue;
    TCheckedList ToValue;
    TCheckedList CcValue;

    // "&Add to filter" is usable: a category and something checked to add.
    bool AddEnabled() const;
    // Appends the expressions to the selected category: From, Subject, the
    // checked To items, the checked Cc items, each "Contains" ignoring case.
    // False (nothing added) when AddEnabled() is not true. Throws TTableError
    // when the expressions cannot be saved.
    bool AddToFilter();

private:
    void AddExpression(const char* fields, const std::string& content);

    TFilterDM& filters_;
    std::string header_;
    std::vector<std::int64_t> categoryIds_;
};

// The subject offered for a header: every Subject line with its continuation
// lines, run together, without the name "Subject:".
std::string AddToFilterSubject(const std::string& header);
