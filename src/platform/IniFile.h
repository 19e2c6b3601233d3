#pragma once

// Our own small private-profile (INI) module.
//
// It follows the rules that settings files written on Windows rely on:
// section and key names compare without regard to case, blanks around names
// and values are ignored, one pair of enclosing quotes is removed from a value
// on reading, lines starting with ';' are comments, the first of duplicated
// sections or keys wins, and writing a key changes only that key's line (or
// adds one) and leaves the rest of the file as it was.
//
// Files are read as UTF-8, or as Shift-JIS (code page 932) when they are not
// valid UTF-8, as files written by the Windows program are; UTF-16 with a byte
// order mark is read too. They are always written as UTF-8.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tamapiko::platform {

// The text of one INI file, held line by line so that edits keep the layout,
// comments and line endings of everything they do not touch.
class IniDocument
{
public:
    IniDocument() = default;

    // Decodes `bytes` (see the encodings above); never fails.
    static IniDocument fromBytes(const QByteArray &bytes);
    // The whole text as UTF-8, every line ended by the file's line ending.
    QByteArray toUtf8() const;

    // The value of `key` in `section`, blanks trimmed and one pair of
    // enclosing quotes removed; nullopt when the section or key is missing.
    std::optional<QString> value(QStringView section, QStringView key) const;

    // Replaces the value of the key's existing line, or adds the key at the
    // end of its section, or adds the section at the end of the file.
    // The value is written as given (callers add quotes where wanted); it must
    // not contain line breaks or NUL characters, which no INI line can hold.
    void setValue(const QString &section, const QString &key, const QString &value);

    static bool canHoldValue(QStringView value);

    const QStringList &lines() const { return m_lines; }

private:
    // Index of the first header line of `section`, or -1.
    int findSection(QStringView section) const;

    QStringList m_lines;
    QString m_lineEnd = QStringLiteral("\n");
    bool m_utf8Bom = false;
};

// An INI file on disk. Every call opens the file, does its work and closes it
// again, so several readers and the options dialog never hold it open.
class IniFile
{
public:
    // Longest text value returned, in UTF-16 code units (a 1024-unit buffer
    // with its terminator on Windows).
    static constexpr int MaxValueLength = 1023;
    // Larger files (or anything but a regular file) read as missing: a
    // settings file is a few kilobytes.
    static constexpr qint64 LargestFile = 1 << 20;

    explicit IniFile(QString path);

    const QString &path() const { return m_path; }

    // The text value, or `defaultValue` when the file, section or key is
    // missing or the file cannot be read.
    QString readString(const QString &section, const QString &key,
                       const QString &defaultValue) const;

    // The value as a 32-bit integer written in decimal or as 0x hexadecimal
    // (either case of the x), with an optional sign. A missing key, or a
    // value that is not wholly such an integer, gives `defaultValue`.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;

    // Writes one key, creating the file and its folder when needed. The old
    // file is replaced only once the new text is completely written.
    // Returns false and sets errorString() on failure.
    bool writeString(const QString &section, const QString &key, const QString &value);
    bool writeInteger(const QString &section, const QString &key, int value);

    QString errorString() const { return m_error; }

    // Parses a whole value as an integer the way readInteger() does.
    static std::optional<int> parseInteger(QStringView text);

private:
    std::optional<QString> readValue(const QString &section, const QString &key) const;

    QString m_path;
    QString m_error;
};

} // namespace tamapiko::platform
