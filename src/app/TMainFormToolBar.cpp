// Construction of the frame's two toolbar rows. The geometry is fixed in
// pixels, as the panels are drawn at fixed places over the button bar.

#include "app/TMainForm.h"

#include "app/Hints.h"
#include "app/ToolIcons.h"
#include "engine/TEngineButtonBar.h"

#include <algorithm>

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolButton>

using tamapiko::app::applyHint;
using tamapiko::app::ToolGlyph;
using tamapiko::app::toolIcon;

namespace {

constexpr int ButtonSize = 25;
constexpr int PanelPadding = 2;

QFrame *makePanel(QWidget *parent, const char *name, int x, int width, int height)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(x, 0, width, height);
    return panel;
}

// A panel's width for `buttons` buttons of 25 pixels and its padding.
constexpr int panelWidth(int buttons)
{
    return buttons * ButtonSize + 2 * PanelPadding;
}

QToolButton *makeButton(QFrame *panel, const char *name, ToolGlyph glyph, const QString &hint, int slot)
{
    auto *button = new QToolButton(panel);
    button->setObjectName(QLatin1String(name));
    button->setIcon(toolIcon(glyph));
    button->setIconSize(QSize(18, 18));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(PanelPadding + slot * ButtonSize, PanelPadding, ButtonSize, ButtonSize);
    applyHint(button, hint);
    return button;
}

// One button of a panel: the member that holds it, its object name, picture
// and hint; buttons sit side by side in the order given.
struct ToolLine
{
    QToolButton *TMainForm::*button;
    const char *name;
    ToolGlyph glyph;
    const char16_t *hint;
};

void addButtons(TMainForm *frame, QFrame *panel, std::initializer_list<ToolLine> lines)
{
    int slot = 0;
    for (const ToolLine &line : lines)
        frame->*line.button = makeButton(panel, line.name, line.glyph, QString::fromUtf16(line.hint), slot++);
}

using F = TMainForm;
using G = ToolGlyph;

QFrame *makeSwatch(QFrame *panel, const char *name, const QString &hint, int x, int y)
{
    auto *swatch = new QFrame(panel);
    swatch->setObjectName(QLatin1String(name));
    swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
    swatch->setAutoFillBackground(true);
    swatch->setGeometry(x, y, ButtonSize, 8);
    applyHint(swatch, hint);
    return swatch;
}

QComboBox *makeBox(QWidget *parent, const char *name, const QString &hint, const QStringList &items)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // A typed text stays what was typed: it selects no list entry.
    box->setCompleter(nullptr);
    box->setMaxVisibleItems(20);
    box->addItems(items);
    applyHint(box, hint);
    return box;
}

// The designed width, or more when the style and font in use need more to
// show `text` whole next to the arrow (a size box must show "10.5").
int widthShowing(const QComboBox *box, const QString &text, int designed)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = true;
    const QFontMetrics metrics = box->fontMetrics();
    const QSize content(metrics.horizontalAdvance(text) + metrics.averageCharWidth(), metrics.height());
    return std::max(designed, box->style()->sizeFromContents(QStyle::CT_ComboBox, &option, content, box).width());
}

} // namespace

void TMainForm::createToolBar()
{
    toolbar = new QFrame(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setFixedHeight(30);
    constexpr int PanelHeight = 30;

    int x = 0;
    Panel1 = makePanel(toolbar, "Panel1", x, panelWidth(4), PanelHeight);
    addButtons(this, Panel1, {
        {&F::ExitBtn, "ExitBtn", G::Exit, u"終了|"},
        {&F::BtnNew1, "BtnNew1", G::New, u"新規作成|新しい文書を作成します"},
        {&F::BtnOpen1, "BtnOpen1", G::Open, u"開く|既存の文書を開きます"},
        {&F::BtnSave1, "BtnSave1", G::Save, u"上書き保存|現在の文書を保存します"},
    });
    x += Panel1->width();

    Panel2 = makePanel(toolbar, "Panel2", x, panelWidth(3), PanelHeight);
    addButtons(this, Panel2, {
        {&F::BtnPrint1, "BtnPrint1", G::Print, u"印刷|現在の文書を印刷します"},
        {&F::BtnPrintPreview1, "BtnPrintPreview1", G::PrintPreview, u"印刷プレビュー|ページ全体を表示します"},
        {&F::BtnPageSetup1, "BtnPageSetup1", G::PageSetup, u"ページ設定|ページの設定を行います"},
    });
    x += Panel2->width();

    Panel3 = makePanel(toolbar, "Panel3", x, panelWidth(3), PanelHeight);
    addButtons(this, Panel3, {
        {&F::BtnCut1, "BtnCut1", G::Cut, u"切り取り|選択範囲を切り取りクリップボードに移動します"},
        {&F::BtnCopy1, "BtnCopy1", G::Copy, u"ｺﾋﾟｰ|選択範囲をクリップボードへコピーします"},
        {&F::BtnPaste1, "BtnPaste1", G::Paste, u"貼り付け|クリップボードの内容を挿入します"},
    });
    x += Panel3->width();

    Panel4 = makePanel(toolbar, "Panel4", x, panelWidth(3), PanelHeight);
    addButtons(this, Panel4, {
        {&F::BtnBakuset1, "BtnBakuset1", G::Undo, u"元に戻す|直前に行った操作を元に戻します"},
        {&F::BtnRitarn1, "BtnRitarn1", G::Redo, u"やり直し|直前の元に戻した操作をやり直します"},
        {&F::BtnSearRep1, "BtnSearRep1", G::Find, u"検索|指定した文字列を検索します"},
    });
    x += Panel4->width();

    // The colour buttons are 20 pixels high while a document is open, with
    // the colour last used shown in a swatch underneath (UpdateMenuItems).
    Panel7 = makePanel(toolbar, "Panel7", x, panelWidth(2), PanelHeight);
    addButtons(this, Panel7, {
        {&F::BtnTxtColr1, "BtnTxtColr1", G::TextColour, u"フォントの色|フォントの色の選択を行います"},
        {&F::BtnBkColr1, "BtnBkColr1", G::BackColour, u"背景の色|背景の色の選択を行います"},
    });
    BtnTxtColr1->setIconSize(QSize(16, 16));
    BtnBkColr1->setIconSize(QSize(16, 16));
    FontCol = makeSwatch(Panel7, "FontCol", QStringLiteral("フォントの色"), PanelPadding, 21);
    BakCol = makeSwatch(Panel7, "BakCol", QStringLiteral("背景の色"), PanelPadding + ButtonSize, 21);
    setSwatchColour(FontCol, 0x000000);
    setSwatchColour(BakCol, 0xFFFFFF);
    x += Panel7->width();

    constexpr int ZoomWidth = 68;
    Panel6 = makePanel(toolbar, "Panel6", x, panelWidth(2) + ZoomWidth + PanelPadding, PanelHeight);
    addButtons(this, Panel6, {
        {&F::BtnTable1, "BtnTable1", G::Table, u"表を挿入します。"},
        {&F::BtnDanRaku, "BtnDanRaku", G::ParagraphMarks, u"段落記号|段落記号の表示/非表示を行います"},
    });
    BtnDanRaku->setCheckable(true);
    CobZoom1 = makeBox(Panel6, "CobZoom1", QStringLiteral("ズーム|ズームの設定を変更します"),
                       {QStringLiteral("25%"), QStringLiteral("50%"), QStringLiteral("75%"), QStringLiteral("100%"),
                        QStringLiteral("150%"), QStringLiteral("200%"), QStringLiteral("300%")});
    CobZoom1->setGeometry(PanelPadding + 2 * ButtonSize + 2, 3, ZoomWidth, 24);

    Panel5 = makePanel(toolbar, "Panel5", 724, panelWidth(1), PanelHeight);
    BtnHelpAboutItem1 = makeButton(Panel5, "BtnHelpAboutItem1", ToolGlyph::Help, QStringLiteral("ﾍﾙﾌﾟ|ﾍﾙﾌﾟを表示します"), 0);
}

void TMainForm::createFormattingBar()
{
    ToolBar2 = new QFrame(this);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setFixedHeight(35);
    auto *layout = new QHBoxLayout(ToolBar2);
    layout->setContentsMargins(0, 0, 0, 0);
    EngineButtonBar1 = new TEngineButtonBar(ToolBar2);
    EngineButtonBar1->setObjectName(QStringLiteral("EngineButtonBar1"));
    EngineButtonBar1->setToolTip(QStringLiteral("タブの設定"));
    EngineButtonBar1->setStatusTip(QStringLiteral("タブの設定"));
    layout->addWidget(EngineButtonBar1);

    constexpr int Height = 33;
    constexpr int FontsWidth = 150;
    Panel12 = new QFrame(centralWidget());
    Panel12->setObjectName(QStringLiteral("Panel12"));

    Panel13 = makePanel(Panel12, "Panel13", 0, 0, Height);
    CobFonts = makeBox(Panel13, "CobFonts", QStringLiteral("フォント|フォントファミリを選択します。"), {});
    CobFonts->setGeometry(PanelPadding + 1, 4, FontsWidth, 24);
    CobPointSize = makeBox(Panel13, "CobPointSize", QStringLiteral("フォントサイズ|フォントサイズを選択するします。"),
                           {QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9"),
                            QStringLiteral("10"), QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("14"),
                            QStringLiteral("16"), QStringLiteral("18"), QStringLiteral("20"), QStringLiteral("24"),
                            QStringLiteral("36"), QStringLiteral("48"), QStringLiteral("60"), QStringLiteral("72"),
                            QStringLiteral("84"), QStringLiteral("96")});
    const int sizeWidth = widthShowing(CobPointSize, QStringLiteral("10.5"), 48);
    CobPointSize->setGeometry(PanelPadding + FontsWidth + 3, 4, sizeWidth, 24);
    Panel13->resize(FontsWidth + sizeWidth + 3 * PanelPadding + 2, Height);
    int x = Panel13->width();

    Panel14 = makePanel(Panel12, "Panel14", x, panelWidth(3), Height);
    addButtons(this, Panel14, {
        {&F::BtnBold, "BtnBold", G::Bold, u"太字|太字の設定/解除を行います。"},
        {&F::BtnItalic, "BtnItalic", G::Italic, u"斜体|斜体の設定/解除を行います。"},
        {&F::BtnUnderLine, "BtnUnderLine", G::Underline, u"下線|下線の設定/解除を行います。"},
    });
    for (QToolButton *button : {BtnBold, BtnItalic, BtnUnderLine}) {
        button->setCheckable(true);
        button->move(button->x(), 4);
    }
    x += Panel14->width();

    Panel15 = makePanel(Panel12, "Panel15", x, panelWidth(4), Height);
    addButtons(this, Panel15, {
        {&F::BtnPgLeft, "BtnPgLeft", G::AlignLeft, u"左揃え|段落を左揃えに設定します。"},
        {&F::BtnPgRight, "BtnPgRight", G::AlignRight, u"右揃え|段落を右揃えに設定します。"},
        {&F::BtnPgCentered, "BtnPgCentered", G::AlignCenter, u"中央揃え|段落を中央揃えに設定します。"},
        {&F::BtnPgjustified, "BtnPgjustified", G::AlignJustify, u"両端揃え|段落を左右の余白位置に設定します。"},
    });
    alignmentGroup = new QButtonGroup(this);
    alignmentGroup->setExclusive(true);
    int alignment = 0;
    for (QToolButton *button : {BtnPgLeft, BtnPgRight, BtnPgCentered, BtnPgjustified}) {
        button->setCheckable(true);
        button->move(button->x(), 4);
        alignmentGroup->addButton(button, alignment++);
    }
    BtnPgLeft->setChecked(true);

    Panel12->setGeometry(0, 31, x + Panel15->width(), Height);
    Panel12->raise();
}
