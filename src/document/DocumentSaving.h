#pragma once

// Saving a document window's text through its engine. The caption is the
// document's identity: "NONAME…" means no file yet, anything else is the
// path to write.

#include <QString>

class TMDIChild;

namespace tamapiko::document {

// Engine format code for a file name's extension, 0 when unsupported.
int formatForFileName(const QString &fileName);

// Saves under the caption, or asks for a name first when there is none.
// True when the document was written; false when the user cancelled or the
// write failed (the failure has been reported).
bool saveDocument(TMDIChild &window);
// Asks for a name, then saves under it and takes it as the caption.
bool saveDocumentAs(TMDIChild &window);

} // namespace tamapiko::document
