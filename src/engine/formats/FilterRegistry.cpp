#include "engine/formats/DocumentFilter.h"

#include <map>

namespace tamapiko::engine {

struct FilterRegistry::Private
{
    std::map<int, std::unique_ptr<DocumentFilter>> filters;
};

FilterRegistry::FilterRegistry()
    : d(std::make_unique<Private>())
{
}

FilterRegistry &FilterRegistry::instance()
{
    static FilterRegistry registry;
    return registry;
}

void FilterRegistry::add(std::unique_ptr<DocumentFilter> filter)
{
    const int code = filter->formatCode();
    d->filters[code] = std::move(filter);
}

DocumentFilter *FilterRegistry::filter(int formatCode) const
{
    const auto it = d->filters.find(formatCode);
    return it == d->filters.end() ? nullptr : it->second.get();
}

DocumentFilter *FilterRegistry::filterForContent(int formatCode, QByteArrayView head) const
{
    DocumentFilter *named = filter(formatCode);
    if (!named || named->sniff(head) != 0)
        return named;
    DocumentFilter *best = nullptr;
    int bestScore = 0;
    for (const auto &[code, candidate] : d->filters) {
        const int score = candidate->sniff(head);
        if (score > bestScore) {
            best = candidate.get();
            bestScore = score;
        }
    }
    return best ? best : named;
}

} // namespace tamapiko::engine
