#pragma once

// Reading and writing a document through one filter, in memory.

#include <QByteArray>
#include <QString>

namespace tamapiko::engine {
class DocumentFilter;
class DocumentModel;
}

namespace tamapiko::test {

// Reads `bytes` with `filter` into `model`. On refusal the filter's reason
// goes to `error`, or to a warning when no `error` is given.
bool readWith(engine::DocumentFilter &&filter, const QByteArray &bytes, engine::DocumentModel &model,
              QString *error = nullptr);

// What `filter` writes of `model`; a warning when it fails.
QByteArray writeWith(engine::DocumentFilter &&filter, const engine::DocumentModel &model);

} // namespace tamapiko::test
