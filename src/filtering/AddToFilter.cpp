#include "filtering/AddToFilter.h"

#include "data/TTable.h"
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"
#include "parsing/TextOps.h"

#include <cstdint>

namespace {

constexpr int kFromField = 1;
constexpr int kToField = 2;
constexpr int kCcField = 5;
constexpr std::int64_t kContainsRule = 1;
const char kSubjectPattern[] = "^Subject:(.*)(\\r\\n\\s+(.*))*";
const char kAddressPattern[] = "[_a-zA-Z\\d\\-\\.]+@([_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+)";

std::vector<std::string> Addresses(const std::string& fieldText) {
    std::vector<std::string> found;
    TFilter::CollectGroup(0, fieldText, found, "", kAddressPattern);
    return found;
}

}  // namespace

std::string AddToFilterSubject(const std::string& header) {
    std::vector<std::string> lines;
    TFilter::CollectGroup(0, header, lines, "mgi-r-s", kSubjectPattern);
    std::string subject;
    for (std::size_t i = 0; i < lines.size(); ++i) subject += (i == 0 ? "" : "\r\n") + lines[i];
    subject = ReplaceAll(TrimText(subject), "\r\n", "");
    return subject.size() > 8 ? TrimText(std::string_view(subject).substr(8)) : std::string();
}

TAddToFilter::TAddToFilter(TFilterDM& filters, std::string header) : filters_(filters), header_(std::move(header)) {}

void TAddToFilter::Show() {
    TTable& categories = filters_.cdsFilterCategory;
    CategoryNames.clear();
    categoryIds_.clear();
    // Read row by row without moving: the current category stays current.
    for (int recNo = 1; recNo <= categories.RecordCount(); ++recNo) {
        CategoryNames.push_back(ValueToString(categories.ValueAt(recNo, categories.FieldIndex("NameCategory"))));
        const TValue& id = categories.ValueAt(recNo, categories.FieldIndex("id"));
        categoryIds_.push_back(IsNull(id) ? 0 : std::get<std::int64_t>(id));
    }
    CategoryIndex = CategoryNames.empty() ? -1 : 0;

    TFilter& engine = filters_.Engine();
    FromValue = TrimText(TFilter::ExtractAddress(engine.ExtractField(header_, kFromField)));
    SubjectValue = AddToFilterSubject(header_);
    ToValue.SetItems(Addresses(engine.ExtractField(header_, kToField)));
    CcValue.SetItems(Addresses(engine.ExtractField(header_, kCcField)));
}

bool TAddToFilter::AddEnabled() const {
    if (CategoryIndex < 0 || CategoryIndex >= static_cast<int>(categoryIds_.size())) return false;
    return (FromCheck && !FromValue.empty()) || (SubjectCheck && !SubjectValue.empty()) ||
           ToValue.CheckedCount() > 0 || CcValue.CheckedCount() > 0;
}

// The category is taken by its place in the list, not looked up by name, so
// that of two categories with one name the chosen one gets the expressions.
bool TAddToFilter::AddToFilter() {
    if (!AddEnabled()) return false;
    TTable& categories = filters_.cdsFilterCategory;
    const TTable::TBookmark standing = categories.Bookmark();
    if (!categories.Locate("id", TValue{categoryIds_[static_cast<std::size_t>(CategoryIndex)]})) return false;
    try {
        if (FromCheck && !FromValue.empty()) AddExpression("1", FromValue);
        if (SubjectCheck && !SubjectValue.empty()) AddExpression("3", SubjectValue);
        for (const std::string& to : ToValue.CheckedItems()) AddExpression("2", to);
        for (const std::string& cc : CcValue.CheckedItems()) AddExpression("5", cc);
    } catch (...) {
        filters_.Engine().CacheStale = true;
        categories.GotoBookmark(standing);
        throw;
    }
    filters_.Engine().CacheStale = true;
    categories.GotoBookmark(standing);
    return true;
}

void TAddToFilter::AddExpression(const char* fields, const std::string& content) {
    TTable& expressions = filters_.cdsExpr;
    expressions.Append();
    expressions.SetValue("Fields", std::string(fields));
    expressions.SetValue("idRule", TValue{kContainsRule});
    expressions.SetValue("Content", content);
    expressions.SetValue("CaseMatch", true);
    expressions.SetValue("Hits", std::int64_t{0});
    expressions.Post();
}
