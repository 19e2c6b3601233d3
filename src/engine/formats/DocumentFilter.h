#pragma once

// A document filter reads one file format into a DocumentModel and writes a
// DocumentModel out in that format. Filters register themselves with the
// FilterRegistry under the engine's format code (FormatCode.h).
//
// Readers receive a device positioned at the start of the format's data (the
// caller has already skipped any prefix such as the .txm header) and build
// the document only through the model's QTextDocument. Writers write from
// the device's current position and never seek before it.

#include "engine/formats/FormatCode.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

class QIODevice;

namespace tamapiko::engine {

class DocumentModel;

struct FilterContext
{
    QString fileName;      // the file being read or written, for relative paths
};

class DocumentFilter
{
public:
    virtual ~DocumentFilter() = default;

    virtual int formatCode() const = 0;
    virtual QString name() const = 0;

    // How surely `head`, the first bytes of a file, is this format: 0 when
    // it cannot be, up to 100 for a signature, -1 when the filter cannot
    // tell. A file opens with the filter its name asks for unless that one
    // says 0 and another claims the content (RTF saved under a .doc name).
    virtual int sniff(QByteArrayView head) const
    {
        Q_UNUSED(head);
        return -1;
    }

    // On failure return false and set *error to a one-line reason for the user.
    virtual bool read(QIODevice &in, DocumentModel &model, const FilterContext &context,
                      QString *error) = 0;
    virtual bool write(QIODevice &out, const DocumentModel &model, const FilterContext &context,
                       QString *error) = 0;
};

class FilterRegistry
{
public:
    static FilterRegistry &instance();

    void add(std::unique_ptr<DocumentFilter> filter);
    DocumentFilter *filter(int formatCode) const;
    // The filter for a file that its name gives `formatCode` and whose
    // first bytes are `head` (see DocumentFilter::sniff); ties go to the
    // lower format code.
    DocumentFilter *filterForContent(int formatCode, QByteArrayView head) const;

private:
    FilterRegistry();
    struct Private;
    std::unique_ptr<Private> d;
};

// Registers a filter at start-up from its own .cpp file:
//   static const tamapiko::engine::FilterRegistration<MyFilter> registration;
template<typename Filter>
struct FilterRegistration
{
    FilterRegistration() { FilterRegistry::instance().add(std::make_unique<Filter>()); }
};

} // namespace tamapiko::engine
