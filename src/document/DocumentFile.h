#pragma once

// Reading and writing a document file through a text engine, as the program
// does it: the .txm page header in front of the engine's native data, the
// page handed to the engine for RTF, Word and HTML, and a save that never
// destroys the previous file. No user interface: the document windows, the
// frame and the --convert command share it.

#include "app/PageSettings.h"

#include <QByteArray>
#include <QString>

#include <optional>

class TTextEngine;

namespace tamapiko::document {

// The .txm header: the tag 23, then the 28-byte page record, little-endian.
constexpr std::int32_t TxmHeaderTag = 23;
constexpr int TxmHeaderSize = 4 + int(sizeof(PageSettingsRecord));

QByteArray encodeTxmHeader(const PageSettingsRecord &page);
// The header for the engine's page: the page goes into `pageSettings` (which
// keeps its paper index) and from there into the header.
QByteArray txmHeaderFor(const TTextEngine &engine, PageSettingsRecord &pageSettings);

struct TxmHeader
{
    bool tagged = false;          // the file starts with the tag 23
    PageSettingsRecord page;      // valid when tagged
    int dataOffset = 0;           // where the engine's data starts
};
// Reads the header from the first bytes of a .txm file. Fails (nullopt and a
// reason) when fewer than 4 bytes, or a tagged file has fewer than 32.
// An untagged file is the engine's own data from its first byte.
std::optional<TxmHeader> decodeTxmHeader(const QByteArray &firstBytes, QString *error);

// Whether a page record describes a page the engine can lay out.
bool isUsablePage(const PageSettingsRecord &page);

// Loads `path` into `engine` in `format`. For .txm files the header's page is
// set on the engine and kept in `pageSettings`; a file without the header
// gets A4 with one-inch margins and leaves `pageSettings` alone.
bool loadDocumentFile(TTextEngine &engine, const QString &path, int format,
                      PageSettingsRecord &pageSettings, QString *error);

// Writes the engine's document to `path` in `format`. For .txm files the
// engine's page goes into `pageSettings` and from there into the header.
// The whole file is written beside the target first and then put in its
// place, keeping the target's permissions: a failure leaves the old file as
// it was.
bool saveDocumentFile(TTextEngine &engine, const QString &path, int format,
                      PageSettingsRecord &pageSettings, QString *error);

} // namespace tamapiko::document
