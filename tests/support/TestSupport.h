#pragma once

// Helpers shared by the test programs.

#include <QString>

class QTemporaryDir;
#include <QtTest>

namespace tamapiko::test {

// The shared material beside the repository (../shared), or an empty string
// when this clone has none.
QString sharedDir();

// sharedDir() + "/" + relative, or QSKIP when the shared material is absent.
#define TAMAPIKO_REQUIRE_SHARED(var, relative)                                          \
    const QString var = tamapiko::test::sharedDir().isEmpty()                           \
        ? QString() : tamapiko::test::sharedDir() + QLatin1Char('/') + (relative);      \
    if (var.isEmpty() || !QFileInfo::exists(var))                                       \
        QSKIP("shared material not present: " relative);

// Text extracted from a corpus file, made comparable with a peer's
// extraction: white space dropped, bullets made uniform, undecodable
// characters as "?".
QString normalisedCorpusText(const QString &text);

// Writes `bytes` to `name` in `dir`; the file's path, or empty on failure.
QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes);
// The reference tool writes its own default bullet for each list level
// instead of the file's glyph (changing the glyph in the file does not
// change its output), so a one-character bullet label at the start of a line
// becomes "•".
QString withUniformBullets(const QString &text);

// The index of the first character where two texts differ.
int firstTextDifference(const QString &a, const QString &b);

} // namespace tamapiko::test
