#include "core/RunSummary.h"

#include "base/Tr.h"
#include "parsing/TextOps.h"

#include <algorithm>

std::string ProcessSummary(const std::vector<TMailCommands::TRowOutcome>& outcomes) {
    if (outcomes.empty()) return {};
    const auto deleted = std::count_if(outcomes.begin(), outcomes.end(), [](const auto& o) { return o.deleted; });
    const auto kept = static_cast<std::ptrdiff_t>(outcomes.size()) - deleted;
    const std::string text = Tr("ProcessSummary", "<%deleted> deleted, <%kept> kept");
    return ReplaceAll(ReplaceAll(text, "<%deleted>", std::to_string(deleted)), "<%kept>", std::to_string(kept));
}
