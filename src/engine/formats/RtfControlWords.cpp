#include "engine/formats/RtfControlWords.h"

#include <QHash>

#include <array>
#include <cstring>
#include <iterator>

namespace tamapiko::engine::rtf {

namespace {

using K = WordKind;
using A = Action;
constexpr int U(UnderlineKind kind) { return int(kind); }

// Where several words perform one action, the first is the one written.
const ControlWord kWords[] = {
    // Document and character set
    {"rtf", K::Destination, A::RtfHeader},
    {"ansi", K::Flag, A::Ansi},
    {"mac", K::Flag, A::Mac},
    {"pc", K::Flag, A::Pc},
    {"pca", K::Flag, A::Pca},
    {"ansicpg", K::Value, A::AnsiCodePage, 1252},
    {"deff", K::Value, A::DefaultFont},
    {"uc", K::Value, A::UnicodeSkip, 1},
    {"u", K::Value, A::Unicode},
    {"paperw", K::Value, A::PaperWidth, 12240},
    {"pgwsxn", K::Value, A::SectionPaperWidth, 12240},
    {"paperh", K::Value, A::PaperHeight, 15840},
    {"pghsxn", K::Value, A::SectionPaperHeight, 15840},
    {"margl", K::Value, A::MarginLeft, 1800},
    {"marglsxn", K::Value, A::SectionMarginLeft, 1800},
    {"margr", K::Value, A::MarginRight, 1800},
    {"margrsxn", K::Value, A::SectionMarginRight, 1800},
    {"margt", K::Value, A::MarginTop, 1440},
    {"margtsxn", K::Value, A::SectionMarginTop, 1440},
    {"margb", K::Value, A::MarginBottom, 1440},
    {"margbsxn", K::Value, A::SectionMarginBottom, 1440},
    {"landscape", K::Flag, A::Landscape},
    {"lndscpsxn", K::Flag, A::SectionLandscape},
    {"sectd", K::Flag, A::SectionDefaults},
    {"headery", K::Value, A::HeaderDistance, 720},
    {"footery", K::Value, A::FooterDistance, 720},
    {"titlepg", K::Flag, A::TitlePage},
    {"deftab", K::Value, A::DefaultTab, 720},
    {"sectlinegrid", K::Value, A::LineGridPitch, 0},
    {"sectspecifyl", K::Flag, A::LineGridOn},     // lines only
    {"sectspecifycl", K::Flag, A::LineGridOn},    // lines and characters
    {"sectdefaultcl", K::Flag, A::LineGridOff},
    {"facingp", K::Flag, A::FacingPages},
    {"sbkpage", K::Flag, A::SectionBreak, int(SectionStart::NewPage)},
    {"sbknone", K::Flag, A::SectionBreak, int(SectionStart::Continuous)},
    {"sbkcol", K::Flag, A::SectionBreak, int(SectionStart::NewColumn)},
    {"sbkeven", K::Flag, A::SectionBreak, int(SectionStart::EvenPage)},
    {"sbkodd", K::Flag, A::SectionBreak, int(SectionStart::OddPage)},
    {"cols", K::Value, A::Columns, 1},
    {"colsx", K::Value, A::ColumnSpacing, 720},
    {"colno", K::Value, A::ColumnNumber, 1},
    {"colw", K::Value, A::ColumnWidth, 0},
    {"colsr", K::Value, A::ColumnGap, 0},
    {"linebetcol", K::Flag, A::LineBetweenColumns},

    // Destinations read in their own way
    {"fonttbl", K::Destination, A::FontTable},
    {"colortbl", K::Destination, A::ColorTable},
    {"stylesheet", K::Destination, A::StyleSheet},
    {"pict", K::Destination, A::Picture},
    {"shppict", K::Destination, A::ShapePicture},
    {"field", K::Destination, A::Field},
    {"fldinst", K::Destination, A::FieldInstruction},
    {"fldrslt", K::Destination, A::FieldResult},
    {"footnote", K::Destination, A::Footnote},
    {"listtext", K::Destination, A::ListText},
    {"pntext", K::Destination, A::ListText},
    {"upr", K::Destination, A::Upr},
    {"ud", K::Destination, A::Ud},
    {"result", K::Destination, A::ObjectResult},
    {"tpkfrmstyle", K::Destination, A::FrameStyleExtension},
    {"bin", K::Value, A::BinaryData},

    // Destinations whose text never belongs to the body
    {"info", K::Destination, A::Skip},
    {"generator", K::Destination, A::Skip},
    {"header", K::Destination, A::HeaderFooter, 0},
    {"headerr", K::Destination, A::HeaderFooter, 0},
    {"headerf", K::Destination, A::HeaderFooter, 1},
    {"headerl", K::Destination, A::HeaderFooter, 2},
    {"footer", K::Destination, A::HeaderFooter, 3},
    {"footerr", K::Destination, A::HeaderFooter, 3},
    {"footerf", K::Destination, A::HeaderFooter, 4},
    {"footerl", K::Destination, A::HeaderFooter, 5},
    {"annotation", K::Destination, A::Skip},
    {"atnid", K::Destination, A::Skip},
    {"atnauthor", K::Destination, A::Skip},
    {"atrfstart", K::Destination, A::Skip},
    {"atrfend", K::Destination, A::Skip},
    {"listtable", K::Destination, A::ListTable},
    {"listoverridetable", K::Destination, A::ListOverrideTable},
    {"list", K::Destination, A::ListDefinition},
    {"listlevel", K::Destination, A::ListLevelDefinition},
    {"leveltext", K::Destination, A::LevelText},
    {"listoverride", K::Destination, A::ListOverride},
    {"levelnumbers", K::Destination, A::Skip},
    {"listname", K::Destination, A::Skip},
    {"listpicture", K::Destination, A::Skip},
    {"listid", K::Value, A::ListId},
    {"levelnfc", K::Value, A::LevelNumberFormat},
    {"levelnfcn", K::Value, A::LevelNumberFormat},
    {"levelstartat", K::Value, A::LevelStart, 1},
    {"levelfollow", K::Value, A::LevelFollow},
    {"ls", K::Value, A::ListNumber},
    {"ilvl", K::Value, A::ListLevelNumber},
    {"revtbl", K::Destination, A::Skip},
    {"pn", K::Destination, A::Skip},
    {"pnseclvl", K::Destination, A::Skip},
    {"pntxta", K::Destination, A::Skip},
    {"pntxtb", K::Destination, A::Skip},
    {"nonshppict", K::Destination, A::Skip},
    {"nonesttables", K::Destination, A::Skip},
    {"nesttableprops", K::Destination, A::NestedTableProperties},
    {"xe", K::Destination, A::Skip},
    {"tc", K::Destination, A::Skip},
    {"txe", K::Destination, A::Skip},
    {"bkmkstart", K::Destination, A::Skip},
    {"bkmkend", K::Destination, A::Skip},
    {"ftnsep", K::Destination, A::Skip},
    {"ftnsepc", K::Destination, A::Skip},
    {"ftncn", K::Destination, A::Skip},
    {"aftnsep", K::Destination, A::Skip},
    {"aftnsepc", K::Destination, A::Skip},
    {"aftncn", K::Destination, A::Skip},
    {"shprslt", K::Destination, A::Skip},
    {"shptxt", K::Destination, A::Skip},
    {"do", K::Destination, A::Skip},
    {"themedata", K::Destination, A::Skip},
    {"colorschememapping", K::Destination, A::Skip},
    {"datastore", K::Destination, A::Skip},
    {"latentstyles", K::Destination, A::Skip},
    {"private", K::Destination, A::Skip},
    {"macpict", K::Flag, A::MacPicture},

    // Embedded objects
    {"object", K::Destination, A::Object},
    {"objclass", K::Destination, A::ObjectClass},
    {"objdata", K::Destination, A::ObjectBytes},

    // Shapes
    {"shp", K::Destination, A::Shape},
    {"shpinst", K::Destination, A::ShapeInstance},
    {"sp", K::Destination, A::ShapeProperty},
    {"sn", K::Destination, A::ShapePropertyName},
    {"sv", K::Destination, A::ShapePropertyValue},
    {"shpleft", K::Value, A::ShapeLeft},
    {"shptop", K::Value, A::ShapeTop},
    {"shpright", K::Value, A::ShapeRight},
    {"shpbottom", K::Value, A::ShapeBottom},
    {"shpbxpage", K::Flag, A::ShapeHorizontalFrom, int(AnchorOrigin::Page)},
    {"shpbxmargin", K::Flag, A::ShapeHorizontalFrom, int(AnchorOrigin::Margin)},
    {"shpbxcolumn", K::Flag, A::ShapeHorizontalFrom, int(AnchorOrigin::Paragraph)},
    {"shpbypage", K::Flag, A::ShapeVerticalFrom, int(AnchorOrigin::Page)},
    {"shpbymargin", K::Flag, A::ShapeVerticalFrom, int(AnchorOrigin::Margin)},
    {"shpbypara", K::Flag, A::ShapeVerticalFrom, int(AnchorOrigin::Paragraph)},
    {"shpwr", K::Value, A::ShapeWrap, 2},
    {"shpfblwtxt", K::Value, A::ShapeBelowText},

    // Font and colour tables
    {"f", K::Value, A::FontNumber},
    {"fnil", K::Flag, A::FontFamily},
    {"froman", K::Flag, A::FontFamily},
    {"fswiss", K::Flag, A::FontFamily},
    {"fmodern", K::Flag, A::FontFamily},
    {"fscript", K::Flag, A::FontFamily},
    {"fdecor", K::Flag, A::FontFamily},
    {"ftech", K::Flag, A::FontFamily},
    {"fbidi", K::Flag, A::FontFamily},
    {"fcharset", K::Value, A::FontCharset},
    {"cpg", K::Value, A::FontCodePage, 1252},
    {"red", K::Value, A::Red},
    {"green", K::Value, A::Green},
    {"blue", K::Value, A::Blue},

    // Character formatting
    {"plain", K::Flag, A::Plain},
    {"fs", K::Value, A::FontSize, 24},
    {"b", K::Toggle, A::Bold},
    {"i", K::Toggle, A::Italic},
    {"ul", K::Toggle, A::Underline, U(UnderlineKind::Single)},
    {"uld", K::Toggle, A::Underline, U(UnderlineKind::Dotted)},
    {"uldash", K::Toggle, A::Underline, U(UnderlineKind::Dash)},
    {"uldashd", K::Toggle, A::Underline, U(UnderlineKind::DashDot)},
    {"uldashdd", K::Toggle, A::Underline, U(UnderlineKind::DashDotDot)},
    {"uldb", K::Toggle, A::Underline, U(UnderlineKind::Double)},
    {"ulth", K::Toggle, A::Underline, U(UnderlineKind::Thick)},
    {"ulw", K::Toggle, A::Underline, U(UnderlineKind::Words)},
    {"ulwave", K::Toggle, A::Underline, U(UnderlineKind::Wave)},
    {"ululdbwave", K::Toggle, A::Underline, U(UnderlineKind::DoubleWave)},
    {"ulhwave", K::Toggle, A::Underline, U(UnderlineKind::HeavyWave)},
    {"ulldash", K::Toggle, A::Underline, U(UnderlineKind::LongDash)},
    {"ulthd", K::Toggle, A::Underline, U(UnderlineKind::Dotted)},
    {"ulthdash", K::Toggle, A::Underline, U(UnderlineKind::Dash)},
    {"ulthdashd", K::Toggle, A::Underline, U(UnderlineKind::DashDot)},
    {"ulthdashdd", K::Toggle, A::Underline, U(UnderlineKind::DashDotDot)},
    {"ulthldash", K::Toggle, A::Underline, U(UnderlineKind::LongDash)},
    {"ulnone", K::Flag, A::UnderlineNone},
    {"strike", K::Toggle, A::Strike},
    {"striked", K::Toggle, A::DoubleStrike},
    {"cf", K::Value, A::ForeColor},
    {"highlight", K::Value, A::Highlight},
    {"chcbpat", K::Value, A::BackColor},
    {"cb", K::Value, A::BackColor},
    {"super", K::Flag, A::Superscript},
    {"sub", K::Flag, A::Subscript},
    {"nosupersub", K::Flag, A::NoSuperSub},
    {"up", K::Value, A::Up, 6},
    {"dn", K::Value, A::Down, 6},
    {"v", K::Toggle, A::Hidden},
    {"caps", K::Toggle, A::Caps},
    {"scaps", K::Toggle, A::SmallCaps},
    {"cs", K::Value, A::CharStyle},

    // Paragraph formatting
    {"pard", K::Flag, A::Pard},
    {"ql", K::Flag, A::AlignLeft},
    {"qr", K::Flag, A::AlignRight},
    {"qc", K::Flag, A::AlignCenter},
    {"qj", K::Flag, A::AlignJustify},
    {"qd", K::Flag, A::AlignJustify},
    {"li", K::Value, A::LeftIndent},
    {"lin", K::Value, A::LeftIndent},
    {"ri", K::Value, A::RightIndent},
    {"rin", K::Value, A::RightIndent},
    {"fi", K::Value, A::FirstIndent},
    {"sb", K::Value, A::SpaceBefore},
    {"sa", K::Value, A::SpaceAfter},
    {"sl", K::Value, A::LineSpacing},
    {"slmult", K::Value, A::LineMultiple},
    {"tx", K::Value, A::TabPosition},
    {"tqr", K::Flag, A::TabRight},
    {"tqc", K::Flag, A::TabCenter},
    {"tqdec", K::Flag, A::TabDecimal},
    {"tldot", K::Flag, A::TabLeaderDot},
    {"tlmdot", K::Flag, A::TabLeaderMiddleDot},
    {"tlhyph", K::Flag, A::TabLeaderHyphen},
    {"tlul", K::Flag, A::TabLeaderUnderline},
    {"tlth", K::Flag, A::TabLeaderHeavy},
    {"keepn", K::Toggle, A::KeepNext},
    {"pagebb", K::Toggle, A::PageBreakBefore},
    {"keep", K::Toggle, A::KeepTogether},
    {"widctlpar", K::Flag, A::WidowControl},
    {"nowidctlpar", K::Flag, A::NoWidowControl},
    {"widowctrl", K::Flag, A::DocumentWidowControl},
    {"s", K::Value, A::ParagraphStyle},
    {"intbl", K::Flag, A::InTable},
    {"itap", K::Value, A::TableDepth, 1},
    {"brdrt", K::Flag, A::BorderTop},
    {"brdrb", K::Flag, A::BorderBottom},
    {"brdrl", K::Flag, A::BorderLeft},
    {"brdrr", K::Flag, A::BorderRight},
    {"brdrbar", K::Flag, A::BorderBar},
    {"box", K::Flag, A::BorderBox},
    {"brdrbtw", K::Flag, A::BorderBetween},
    {"brdrs", K::Flag, A::BorderSingle},
    {"brdrth", K::Flag, A::BorderSingle},
    {"brdrsh", K::Flag, A::BorderSingle},
    {"brdrdot", K::Flag, A::BorderSingle},
    {"brdrdash", K::Flag, A::BorderSingle},
    {"brdrhair", K::Flag, A::BorderSingle},
    {"brdrdb", K::Flag, A::BorderDouble},
    {"brdrtriple", K::Flag, A::BorderDouble},
    {"brdrnone", K::Flag, A::BorderNone},
    {"brdrnil", K::Flag, A::BorderNone},
    {"brdrtbl", K::Flag, A::BorderNone}, // a cell side without a line of its own
    {"brdrw", K::Value, A::BorderWidth},
    {"brsp", K::Value, A::BorderSpace},
    {"brdrcf", K::Value, A::BorderColor},
    // Borders we do not keep: their \brdr* words must not land on a paragraph.
    {"trbrdrt", K::Flag, A::OtherBorder},
    {"trbrdrb", K::Flag, A::OtherBorder},
    {"trbrdrl", K::Flag, A::OtherBorder},
    {"trbrdrr", K::Flag, A::OtherBorder},
    {"trbrdrh", K::Flag, A::OtherBorder},
    {"trbrdrv", K::Flag, A::OtherBorder},
    {"chbrdr", K::Flag, A::OtherBorder},
    {"pgbrdrt", K::Flag, A::OtherBorder},
    {"pgbrdrb", K::Flag, A::OtherBorder},
    {"pgbrdrl", K::Flag, A::OtherBorder},
    {"pgbrdrr", K::Flag, A::OtherBorder},
    {"clbrdrdgl", K::Flag, A::OtherBorder},
    {"clbrdrdgr", K::Flag, A::OtherBorder},
    {"ds", K::Value, A::OtherStyle},
    {"ts", K::Value, A::OtherStyle},

    // Breaks and special characters
    {"par", K::Flag, A::Paragraph},
    {"sect", K::Flag, A::Section},
    {"page", K::Flag, A::Page},
    {"column", K::Flag, A::ColumnBreak},
    {"chftn", K::Flag, A::FootnoteNumber},
    {"ftnalt", K::Flag, A::NoteIsEndnote},
    {"chpgn", K::Flag, A::PageNumber},
    {"tab", K::Symbol, A::Character, 0, u'\t'},
    {"line", K::Symbol, A::Character, 0, u'\u2028'},
    {"emdash", K::Symbol, A::Character, 0, u'\u2014'},
    {"endash", K::Symbol, A::Character, 0, u'\u2013'},
    {"emspace", K::Symbol, A::Character, 0, u'\u2003'},
    {"enspace", K::Symbol, A::Character, 0, u'\u2002'},
    {"qmspace", K::Symbol, A::Character, 0, u'\u2005'},
    {"bullet", K::Symbol, A::Character, 0, u'\u2022'},
    {"lquote", K::Symbol, A::Character, 0, u'\u2018'},
    {"rquote", K::Symbol, A::Character, 0, u'\u2019'},
    {"ldblquote", K::Symbol, A::Character, 0, u'\u201C'},
    {"rdblquote", K::Symbol, A::Character, 0, u'\u201D'},
    {"zwj", K::Symbol, A::Character, 0, u'\u200D'},
    {"zwnj", K::Symbol, A::Character, 0, u'\u200C'},
    {"ltrmark", K::Symbol, A::Character, 0, u'\u200E'},
    {"rtlmark", K::Symbol, A::Character, 0, u'\u200F'},
    {"~", K::Symbol, A::Character, 0, u'\u00A0'},
    {"-", K::Symbol, A::Character, 0, u'\u00AD'},
    {"_", K::Symbol, A::Character, 0, u'\u2011'},

    // Tables
    {"trowd", K::Flag, A::RowDefaults},
    {"cellx", K::Value, A::CellBoundary},
    {"trgaph", K::Value, A::RowGap},
    {"trleft", K::Value, A::RowLeft},
    {"cell", K::Flag, A::Cell},
    {"row", K::Flag, A::Row},
    {"nestcell", K::Flag, A::NestedCell},
    {"nestrow", K::Flag, A::NestedRow},
    {"clmgf", K::Flag, A::CellMergeFirst},
    {"clmrg", K::Flag, A::CellMerge},
    {"clvmgf", K::Flag, A::CellVerticalMergeFirst},
    {"clvmrg", K::Flag, A::CellVerticalMerge},
    {"clbrdrt", K::Flag, A::CellBorderTop},
    {"clbrdrb", K::Flag, A::CellBorderBottom},
    {"clbrdrl", K::Flag, A::CellBorderLeft},
    {"clbrdrr", K::Flag, A::CellBorderRight},
    {"clcbpat", K::Value, A::CellShading},
    {"clshdng", K::Value, A::CellShadingPercent},
    {"clcfpat", K::Value, A::CellPatternColor},
    {"clvertalt", K::Flag, A::CellVerticalTop},
    {"clvertalc", K::Flag, A::CellVerticalCenter},
    {"clvertalb", K::Flag, A::CellVerticalBottom},
    {"trrh", K::Value, A::RowHeight},
    {"trql", K::Flag, A::RowAlignLeft},
    {"trqc", K::Flag, A::RowAlignCenter},
    {"trqr", K::Flag, A::RowAlignRight},
    {"trhdr", K::Flag, A::RowHeader},
    {"trpaddl", K::Value, A::RowPaddingLeft},
    {"trpaddt", K::Value, A::RowPaddingTop},
    {"trpaddr", K::Value, A::RowPaddingRight},
    {"trpaddb", K::Value, A::RowPaddingBottom},
    {"trpaddfl", K::Value, A::RowPaddingUnitLeft},
    {"trpaddft", K::Value, A::RowPaddingUnitTop},
    {"trpaddfr", K::Value, A::RowPaddingUnitRight},
    {"trpaddfb", K::Value, A::RowPaddingUnitBottom},

    // Pictures
    {"pngblip", K::Flag, A::PngBlip},
    {"jpegblip", K::Flag, A::JpegBlip},
    {"dibitmap", K::Value, A::DeviceIndependentBitmap},
    {"wbitmap", K::Value, A::DeviceDependentBitmap},
    {"wmetafile", K::Value, A::WindowsMetafile, 8},
    {"emfblip", K::Flag, A::EnhancedMetafile},
    {"picw", K::Value, A::PictureWidth},
    {"pich", K::Value, A::PictureHeight},
    {"picwgoal", K::Value, A::PictureGoalWidth},
    {"pichgoal", K::Value, A::PictureGoalHeight},
    {"picscalex", K::Value, A::PictureScaleX, 100},
    {"picscaley", K::Value, A::PictureScaleY, 100},
    {"wbmbitspixel", K::Value, A::BitmapBitsPerPixel, 1},
    {"wbmplanes", K::Value, A::BitmapPlanes, 1},
    {"wbmwidthbytes", K::Value, A::BitmapWidthBytes},
};

// The key of a word the writer asks for: its action, and for underlines
// also the kind.
// Actions whose words differ by their value (the underline kinds, anchor
// origins).
bool namedByValue(Action action)
{
    return action == A::Underline || action == A::ShapeHorizontalFrom || action == A::ShapeVerticalFrom
        || action == A::SectionBreak;
}

quint32 actionKey(Action action, int value)
{
    return quint32(action) << 16 | (namedByValue(action) ? quint16(value) : 0);
}

struct Index
{
    QHash<QByteArray, const ControlWord *> byName;
    QHash<char16_t, const ControlWord *> bySymbol;
    // The first word of each action, as the writer writes it: by action
    // alone (the writer asks for one per word it writes), and by action and
    // value for those named by value.
    std::array<const char *, size_t(A::ObjectBytes) + 1> byPlainAction{}; // actions after it: byAction
    QHash<quint32, const char *> byAction;

    Index()
    {
        byName.reserve(int(std::size(kWords)));
        for (const ControlWord &word : kWords) {
            const QByteArray name = QByteArray::fromRawData(word.name, qsizetype(std::strlen(word.name)));
            if (!byName.contains(name))
                byName.insert(name, &word);
            if (word.kind == K::Symbol && !bySymbol.contains(word.character))
                bySymbol.insert(word.character, &word);
            const quint32 key = actionKey(word.action, word.value);
            if (!byAction.contains(key))
                byAction.insert(key, word.name);
            if (!namedByValue(word.action) && size_t(word.action) < byPlainAction.size()
                && !byPlainAction[size_t(word.action)])
                byPlainAction[size_t(word.action)] = word.name;
        }
    }
};

const Index &index()
{
    static const Index instance;
    return instance;
}

} // namespace

const ControlWord *findControlWord(QByteArrayView name)
{
    const Index &idx = index();
    const auto it = idx.byName.constFind(QByteArray::fromRawData(name.data(), name.size()));
    return it == idx.byName.cend() ? nullptr : it.value();
}

const ControlWord *ControlWordCache::find(QByteArrayView name)
{
    const qsizetype length = name.size();
    if (length == 0 || length >= qsizetype(sizeof(Slot::name)))
        return findControlWord(name);
    const uchar first = uchar(name.front());
    const uchar last = uchar(name.back());
    Slot &slot = m_slots[(length * 7 + first * 31 + last) & 0xFF];
    if (slot.length == length && std::memcmp(slot.name, name.data(), length) == 0)
        return slot.word;
    slot.word = findControlWord(name);
    std::memcpy(slot.name, name.data(), length);
    slot.length = quint8(length);
    return slot.word;
}

const char *controlWordName(Action action, int value)
{
    const Index &idx = index();
    const char *name = !namedByValue(action) && size_t(action) < idx.byPlainAction.size()
        ? idx.byPlainAction[size_t(action)]
        : idx.byAction.value(actionKey(action, value), nullptr);
    Q_ASSERT_X(name, "controlWordName", "action without a control word");
    return name ? name : "";
}

const ControlWord *symbolWordFor(char16_t character)
{
    return index().bySymbol.value(character, nullptr);
}

} // namespace tamapiko::engine::rtf
