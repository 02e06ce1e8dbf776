#include "DovraneKit/scan/Growth.h"

#include "DovraneKit/core/Language.h"
#include "DovraneKit/core/Saturating.h"
#include "DovraneKit/scan/Explanations.h"

#include <cmath>
#include <limits>

namespace dovrane {

namespace {

constexpr std::int64_t noticeable = 100'000'000; // 100 MB in the byte formatter's units

std::int64_t sizeIn(const std::map<std::string, std::int64_t>& sizes, CategoryID id) {
    auto found = sizes.find(std::string(rawValue(id)));
    return found == sizes.end() ? 0 : found->second;
}

int wholeDays(Date from, Date to) {
    double days = std::round(to.secondsSince(from) / 86400.0); // halves away from zero
    if (!(days >= 1))
        return 1;
    return days >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(days);
}

} // namespace

Growth Growth::between(const std::map<std::string, std::int64_t>& old, std::int64_t oldUsed, Date oldDate,
                       const std::map<std::string, std::int64_t>& newer, std::int64_t newUsed, Date newDate) {
    std::optional<CategoryID> best;
    std::int64_t bestDelta = 0;
    for (CategoryID id : allCategoryIDs) {
        std::int64_t delta = saturatingSubtract(sizeIn(newer, id), sizeIn(old, id));
        // Strictly greater, so the earlier category keeps a tie.
        if (delta > bestDelta) {
            best = id;
            bestDelta = delta;
        }
    }

    Growth growth;
    growth.total = saturatingSubtract(newUsed, oldUsed);
    growth.days = wholeDays(oldDate, newDate);
    if (best) {
        growth.top = best;
        growth.topSize = bestDelta;
    } else if (growth.total >= 1) {
        growth.top = CategoryID::other;
        growth.topSize = growth.total;
    }
    return growth;
}

std::string Growth::sentence() const {
    if (total <= -noticeable) {
        std::string x = bytes(
            total == std::numeric_limits<std::int64_t>::min() ? std::numeric_limits<std::int64_t>::max() : -total);
        return Lf("Used space shrank by {1}.", {x});
    }
    if (total >= noticeable) {
        std::string x = bytes(total);
        if (top && topSize >= noticeable) {
            std::string y = bytes(topSize);
            std::string title = Explanations::title(*top);
            return Lf("Used space grew by {1}, {2} of it {3}.", {x, y, title});
        }
        return Lf("Used space grew by {1}.", {x});
    }
    return L("Used space stayed about the same.");
}

} // namespace dovrane
