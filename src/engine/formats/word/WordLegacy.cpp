#include "engine/formats/word/WordLegacy.h"

#include "engine/formats/word/BinaryData.h"
#include "engine/formats/word/WordSprms.h"

namespace tamapiko::engine::word {

namespace {

// Word 6 modifier numbers (one byte) of what the reader uses, with their
// Word 97 equivalents. Paragraph numbers are Word 97's index plus 2,
// character ones mostly plus 32, section ones plus 133.
struct Renumbering
{
    quint8 legacy;
    quint16 sprm;
};
constexpr Renumbering kRenumbered[] = {
    {2, sprmPIstd}, {5, sprmPJc80}, {7, sprmPFKeep}, {8, sprmPFKeepFollow}, {9, sprmPFPageBreakBefore},
    {15, sprmPChgTabsPapx}, {16, sprmPDxaRight80}, {17, sprmPDxaLeft80}, {19, sprmPDxaLeft180},
    {20, sprmPDyaLine}, {21, sprmPDyaBefore}, {22, sprmPDyaAfter}, {23, sprmPChgTabs}, {24, sprmPFInTable},
    {25, sprmPFTtp},
    {65, sprmCFRMarkDel}, {66, sprmCFRMarkIns}, {75, sprmCFOle2}, {80, sprmCIstd}, {85, sprmCFBold},
    {86, sprmCFItalic}, {87, sprmCFStrike}, {90, sprmCFSmallCaps}, {91, sprmCFCaps}, {92, sprmCFVanish},
    {94, sprmCKul}, {98, sprmCIco}, {99, sprmCHps}, {101, sprmCHpsPos}, {104, sprmCIss}, {117, sprmCFSpec},
    {142, sprmSBkc}, {162, sprmSBOrientation}, {164, sprmSXaPage}, {165, sprmSYaPage}, {166, sprmSDxaLeft},
    {167, sprmSDxaRight}, {168, sprmSDyaTop}, {169, sprmSDyaBottom},
    {182, sprmTJc90}, {184, sprmTDxaGapHalf}, {189, sprmTDyaRowHeight},
};
constexpr quint8 kLegacyPicLocation = 68;
constexpr quint8 kLegacyFont = 93;
constexpr quint8 kLegacyDefTable = 190;

// Operand sizes of Word 6 modifiers; 0 for those whose operand says its
// own length in its first byte, -1 for the two with a layout of their own.
int legacyOperandSize(quint8 sprm)
{
    static constexpr quint8 kTwoBytes[] = {
        2,   16,  17,  18,  19,  21,  22,  26,  27,  28,  30,  31,  32,  33,  34,  35,  36,  38,  39,  40,
        41,  42,  43,  45,  46,  47,  48,  49,  69,  72,  80,  93,  96,  97,  99,  101, 105, 106, 107, 109,
        110, 121, 122, 123, 124, 140, 141, 144, 145, 148, 149, 154, 155, 156, 157, 160, 161, 164, 165, 166,
        167, 168, 169, 170, 171, 182, 183, 184, 189, 195, 197, 198};
    static constexpr quint8 kCounted[] = {3, 12, 15, 81, 103, 108, 188, 191};
    static constexpr quint8 kFourBytes[] = {20, 70, 74, 192, 194, 196, 200};
    static constexpr quint8 kThreeBytes[] = {73, 95, 136, 137};
    auto in = [sprm](const auto &list) { return std::find(std::begin(list), std::end(list), sprm) != std::end(list); };
    if (in(kTwoBytes))
        return 2;
    if (in(kCounted))
        return 0;
    if (in(kFourBytes))
        return 4;
    if (in(kThreeBytes))
        return 3;
    switch (sprm) {
    case 23:
    case kLegacyDefTable: return -1;
    case kLegacyPicLocation:
    case 193:
    case 199: return 5;
    case 120: return 13;
    case 187: return 12;
    default: return 1;
    }
}

// The whole size of the modifier at `at` (its number included); 0 when it
// runs past the end.
qint64 legacySprmSize(const ByteReader &r, qint64 at)
{
    const quint8 sprm = r.u8(at);
    int operand = legacyOperandSize(sprm);
    qint64 size = 0;
    if (operand > 0) {
        size = 1 + operand;
    } else if (operand == 0) {
        size = 2 + r.u8(at + 1);
    } else if (sprm == kLegacyDefTable) {
        size = 1 + 2 + qint64(r.u16(at + 1)) - 1;
    } else { // 23, tab changes: a length byte, or 255 and counted lists
        const int length = r.u8(at + 1);
        if (length == 255) {
            const int deleted = r.u8(at + 2);
            const int added = r.u8(at + 3 + 4 * deleted);
            size = 2 + 1 + 4 * qint64(deleted) + 1 + 3 * qint64(added);
        } else {
            size = 2 + length;
        }
    }
    return r.has(at, size) ? size : 0;
}

// A table definition: Word 6 cells carry 10 bytes (two-byte borders), Word
// 97 ones 20; borders are left out.
QByteArray word97TableDefinition(const ByteReader &r, qint64 at)
{
    const int cells = std::min<int>(r.u8(at + 3), 63);
    QByteArray body;
    appendU8(body, quint8(cells));
    for (int i = 0; i <= cells; ++i)
        appendU16(body, r.u16(at + 4 + 2 * i));
    const qint64 tcAt = at + 4 + 2 * (qint64(cells) + 1);
    for (int i = 0; i < cells; ++i) {
        appendU16(body, r.u16(tcAt + 10 * i));
        body.append(QByteArray(18, '\0'));
    }
    QByteArray operand;
    appendU16(operand, quint16(body.size() + 1));
    operand.append(body);
    return operand;
}

} // namespace

QByteArray legacySprmsAsWord97(QByteArrayView grpprl)
{
    const ByteReader r(grpprl);
    QByteArray out;
    qint64 at = 0;
    while (at < r.size()) {
        const qint64 size = legacySprmSize(r, at);
        if (size == 0)
            break;
        const quint8 sprm = r.u8(at);
        if (sprm == kLegacyPicLocation) {
            appendU16(out, sprmCPicLocation);
            appendU32(out, r.u32(at + 2));
        } else if (sprm == kLegacyFont) {
            for (const quint16 slot : {sprmCRgFtc0, sprmCRgFtc1, sprmCRgFtc2}) {
                appendU16(out, slot);
                appendU16(out, r.u16(at + 1));
            }
        } else if (sprm == kLegacyDefTable) {
            appendU16(out, sprmTDefTable);
            out.append(word97TableDefinition(r, at));
        } else {
            for (const Renumbering &entry : kRenumbered) {
                if (entry.legacy == sprm) {
                    appendU16(out, entry.sprm);
                    out.append(grpprl.sliced(at + 1, size - 1));
                    break;
                }
            }
        }
        at += size;
    }
    return out;
}

int legacyCodePage(quint16 languageId)
{
    switch (languageId) {
    case 0x0411: return 932;
    case 0x0412: return 949;
    case 0x0404: case 0x0C04: case 0x1404: return 950;
    case 0x0804: case 0x1004: return 936;
    case 0x0419: case 0x0422: case 0x0423: case 0x0402: case 0x0C1A: case 0x042F: return 1251;
    case 0x0408: return 1253;
    case 0x041F: return 1254;
    case 0x040D: return 1255;
    case 0x0401: return 1256;
    case 0x0425: case 0x0426: case 0x0427: return 1257;
    case 0x041E: return 874;
    case 0x0405: case 0x0415: case 0x040E: case 0x041B: case 0x0424: case 0x041A: case 0x0418: return 1250;
    default: return 1252;
    }
}

bool isLeadByte(int codePage, quint8 byte)
{
    switch (codePage) {
    case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950: return byte >= 0x81 && byte <= 0xFE;
    default: return false;
    }
}

} // namespace tamapiko::engine::word
