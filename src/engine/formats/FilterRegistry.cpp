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

} // namespace tamapiko::engine
