#pragma once

// Single property modifiers (sprms) of Word 97-2003: the ones tamapiko
// reads and writes, and the walk over a list of them (a grpprl). A sprm's
// top three bits say how long its operand is; variable ones carry their
// length in front, and two of them in a form of their own.

#include "engine/formats/word/BinaryData.h"

namespace tamapiko::engine::word {

enum Sprm : quint16 {
    // Character
    sprmCFRMarkDel = 0x0800, sprmCFRMarkIns = 0x0801, sprmCFData = 0x0806, sprmCFOle2 = 0x080A,
    sprmCHighlight = 0x2A0C, sprmCPicLocation = 0x6A03, sprmCIstd = 0x4A30, sprmCFBold = 0x0835,
    sprmCFItalic = 0x0836, sprmCFStrike = 0x0837, sprmCFSmallCaps = 0x083A, sprmCFCaps = 0x083B,
    sprmCFVanish = 0x083C, sprmCKul = 0x2A3E, sprmCIco = 0x2A42, sprmCHps = 0x4A43, sprmCHpsPos = 0x4845,
    sprmCIss = 0x2A48, sprmCRgFtc0 = 0x4A4F, sprmCRgFtc1 = 0x4A50, sprmCRgFtc2 = 0x4A51, sprmCFDStrike = 0x2A53,
    sprmCFSpec = 0x0855, sprmCShd80 = 0x4866, sprmCCv = 0x6870, sprmCShd = 0xCA71,

    // Paragraph
    sprmPIstd = 0x4600, sprmPJc80 = 0x2403, sprmPFKeep = 0x2405, sprmPFKeepFollow = 0x2406,
    sprmPFPageBreakBefore = 0x2407, sprmPIlvl = 0x260A, sprmPIlfo = 0x460B, sprmPChgTabsPapx = 0xC60D,
    sprmPDxaRight80 = 0x840E, sprmPDxaLeft80 = 0x840F, sprmPDxaLeft180 = 0x8411, sprmPDyaLine = 0x6412,
    sprmPDyaBefore = 0xA413, sprmPDyaAfter = 0xA414, sprmPChgTabs = 0xC615, sprmPFInTable = 0x2416,
    sprmPFTtp = 0x2417, sprmPFWidowControl = 0x2431, sprmPBrcTop80 = 0x6424, sprmPBrcLeft80 = 0x6425, sprmPBrcBottom80 = 0x6426,
    sprmPBrcRight80 = 0x6427, sprmPBrcBetween80 = 0x6428, sprmPBrcBar80 = 0x6629, sprmPFInnerTableCell = 0x244B,
    sprmPFInnerTtp = 0x244C, sprmPBrcTop = 0xC64E, sprmPBrcLeft = 0xC64F, sprmPBrcBottom = 0xC650,
    sprmPBrcRight = 0xC651, sprmPBrcBetween = 0xC652, sprmPBrcBar = 0xC653, sprmPDxaRight = 0x845D,
    sprmPDxaLeft = 0x845E, sprmPDxaLeft1 = 0x8460, sprmPJc = 0x2461, sprmPItap = 0x6649,
    sprmPDxcRight = 0x4455, sprmPDxcLeft = 0x4456, sprmPDxcLeft1 = 0x4457,

    // Table rows
    sprmTJc90 = 0x5400, sprmTDxaLeft = 0x9601, sprmTDxaGapHalf = 0x9602, sprmTTableBorders80 = 0xD605,
    sprmTDefTable = 0xD608, sprmTDefTableShd80 = 0xD609, sprmTDefTableShd = 0xD612, sprmTTableBorders = 0xD613,
    sprmTDyaRowHeight = 0x9407, sprmTJc = 0x548A, sprmTFCantSplit90 = 0x3403, sprmTTableHeader = 0x3404,
    sprmTFCantSplit = 0x3466, sprmTCellPaddingDefault = 0xD634,

    // Section
    sprmSBkc = 0x3009, sprmSBOrientation = 0x301D, sprmSXaPage = 0xB01F, sprmSYaPage = 0xB020,
    sprmSDxaLeft = 0xB021, sprmSDxaRight = 0xB022, sprmSDyaTop = 0x9023, sprmSDyaBottom = 0x9024,
    sprmSFTitlePage = 0x300A, sprmSDyaHdrTop = 0xB017, sprmSDyaHdrBottom = 0xB018,
    sprmSClm = 0x5032, sprmSDyaLinePitch = 0x9031, sprmSCcolumns = 0x500B, sprmSDxaColumns = 0x900C,
    sprmSLBetween = 0x3019, sprmSFEvenlySpaced = 0x3005, sprmSDxaColWidth = 0xF203, sprmSDxaColSpacing = 0xF204,
};

// The operand's length in bytes, including any length prefix; -1 when the
// sprm runs past `available` bytes.
inline qint64 sprmOperandSize(quint16 sprm, const ByteReader &operand)
{
    switch (sprm >> 13) {
    case 0: case 1: return 1;
    case 2: case 4: case 5: return 2;
    case 3: return 4;
    case 7: return 3;
    default: break;
    }
    if (sprm == sprmTDefTable || sprm == 0xD606 /* sprmTDefTable10 */)
        return 2 + qint64(operand.u16(0)) - 1;
    if (sprm == sprmPChgTabs && operand.u8(0) == 255) {
        const int deleted = operand.u8(1);
        const int added = operand.u8(2 + 4 * deleted);
        return 1 + 1 + 4 * qint64(deleted) + 1 + 3 * qint64(added);
    }
    return 1 + qint64(operand.u8(0));
}

// Calls f(sprm, operand) for each sprm; stops at the first that does not
// fit, so a damaged list never reads past its end.
template<typename F>
void forEachSprm(QByteArrayView grpprl, F &&f)
{
    qint64 at = 0;
    while (at + 2 <= grpprl.size()) {
        const ByteReader r(grpprl);
        const quint16 sprm = r.u16(at);
        const ByteReader rest(grpprl.sliced(at + 2));
        const qint64 size = sprmOperandSize(sprm, rest);
        if (size < 0 || at + 2 + size > grpprl.size())
            return;
        f(sprm, ByteReader(grpprl.sliced(at + 2, size)));
        at += 2 + size;
    }
}

} // namespace tamapiko::engine::word
