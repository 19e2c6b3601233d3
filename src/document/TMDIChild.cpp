#include "document/TMDIChild.h"

#include "app/DocumentAutosave.h"
#include "app/ErrorReporting.h"
#include "app/LeadingNumber.h"
#include "app/MessageBoxes.h"
#include "app/TMainForm.h"
#include "app/TOptionForm.h"
#include "app/ToolIcons.h"
#include "dialogs/TOKRightDlg.h"
#include "dialogs/TOKRightDlg1.h"
#include "dialogs/TOKRightDlg2.h"
#include "document/DefaultPage.h"
#include "document/DocumentPrompts.h"
#include "document/DocumentSaving.h"
#include "document/WinColour.h"
#include "engine/TEngineButtonBar.h"
#include "engine/TEngineRuler.h"
#include "engine/TEngineStatusBar.h"
#include "engine/TTextEngine.h"
#include "engine/ParagraphFrameBits.h"
#include "engine/Units.h"
#include "engine/editing/EditCommands.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFrame>
#include <QMdiArea>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

using tamapiko::app::Answer;
using tamapiko::app::leadingNumber;
using namespace tamapiko::engine;  // frame bits and units

namespace {
constexpr int RulerHeight = 30;
constexpr int EngineTopAfterRulerToggle = 32;
constexpr int ZoomSteps[7] = {25, 50, 75, 100, 150, 200, 300};

// Selects `entry` of a list box; an entry outside the list leaves the box empty.
void showListEntry(QComboBox *box, int entry)
{
    if (entry >= 0 && entry < box->count()) {
        box->setCurrentIndex(entry);
    } else {
        box->setCurrentIndex(-1);
        box->setEditText(QString());
    }
}
} // namespace

TMDIChild::TMDIChild(TMainForm *frame)
    : QMdiSubWindow(nullptr)
    , m_frame(frame)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(tamapiko::app::toolIcon(tamapiko::app::ToolGlyph::New));
    setWindowFlags(Qt::SubWindow | Qt::WindowSystemMenuHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);

    auto *area = new QWidget;
    area->setObjectName(QStringLiteral("ChildClient"));
    area->setAutoFillBackground(true);
    QPalette background = area->palette();
    background.setColor(QPalette::Window, background.color(QPalette::Dark));
    area->setPalette(background);
    QFont font(QStringLiteral("ＭＳ 明朝"));
    font.setPixelSize(15);
    area->setFont(font);
    setWidget(area);

    EngineRuler1 = new TEngineRuler(area);
    EngineRuler1->setObjectName(QStringLiteral("EngineRuler1"));
    EngineRuler1->setGeometry(0, 0, area->width(), RulerHeight);
    createPopupMenu();
    createMenus();
    TextEngine1 = new TTextEngine(area);
    TextEngine1->setObjectName(QStringLiteral("TextEngine1"));
    TextEngine1->move(0, RulerHeight);

    m_autosave = new tamapiko::app::DocumentAutosave(this);

    using tamapiko::app::guarded;
    connect(TextEngine1, &TTextEngine::OnChange, this, guarded([this] { TextEngine1Change(); }));
    connect(TextEngine1, &TTextEngine::OnPosChange, this, guarded([this] { TextEngine1PosChange(); }));
    connect(TextEngine1, &TTextEngine::OnParagraphChange, this, guarded([this] { TextEngine1ParagraphChange(); }));
    TextEngine1->viewport()->installEventFilter(this);
    TextEngine1->installEventFilter(this);
    area->installEventFilter(this);

    FormCreate();
}

TMDIChild::~TMDIChild() = default;

QColorDialog *TMDIChild::colorDialog()
{
    if (!ColorDialog1) {
        ColorDialog1 = new QColorDialog(this);
        ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    }
    return ColorDialog1;
}

QFileDialog *TMDIChild::openDialog()
{
    if (!OpenDialog1) {
        OpenDialog1 = new QFileDialog(this);
        OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    }
    return OpenDialog1;
}

QFileDialog *TMDIChild::saveDialog()
{
    if (!SaveDialog1) {
        SaveDialog1 = new QFileDialog(this);
        SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
        SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    }
    return SaveDialog1;
}

QList<QMenu *> TMDIChild::menus() const
{
    return {File1, Edit1, Show1, Insert1, Format1, Table1};
}

// -- Lifecycle ---------------------------------------------------------------

void TMDIChild::FormCreate()
{
    TextEngine1->setButtonBarHandle(m_frame->EngineButtonBar1);
    TextEngine1->setRulerHandle(EngineRuler1);
    TextEngine1->setStatusBarHandle(m_frame->EngineStatusBar1);
    // Double-clicks reach the engine as double-clicks: Qt delivers them so.
    Modified = false;
    TextEngine1->setViewMode(1);
    TextEngine1->setFormatSelection(true);

    // Shown inside the frame's MDI area, it becomes the active document.
    QMdiArea *area = m_frame->MDIClient;
    QMdiSubWindow *previous = area->currentSubWindow();
    area->addSubWindow(this);
    placeBelow(previous);
    show();
    area->setActiveSubWindow(this);

    FormResize();
    TextEngine1->setScrollBars(3);
    applyDefaultPage();
    // Japanese input: the engine takes input-method events; whether the
    // input method is switched on is the desktop's decision.
    TextEngine1->setAttribute(Qt::WA_InputMethodEnabled, true);
    // Typing goes to the page from the first key, and comes back to it
    // whenever the window is activated again.
    client()->setFocusProxy(TextEngine1);
    TextEngine1->setFocus(Qt::OtherFocusReason);
    // A new document's toolbar shows its own caret's font and size from the
    // start, not what the previous window left there.
    TextEngine1PosChange();
}

QSize TMDIChild::sizeHint() const
{
    // Three quarters of the visible area: cascading and new windows use
    // this size, so every window stays usable and inside the frame.
    const QMdiArea *area = mdiArea();
    if (!area)
        return QMdiSubWindow::sizeHint();
    const QSize space = area->viewport()->size();
    return QSize(qMin(space.width(), qMax(320, space.width() * 3 / 4)),
                 qMin(space.height(), qMax(240, space.height() * 3 / 4)));
}

void TMDIChild::placeBelow(QMdiSubWindow *previous)
{
    // One title bar down and right of the window that was active, back to
    // the top-left corner when that would leave the visible area.
    const QRect space = mdiArea()->viewport()->rect();
    const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    QRect placed(QPoint(0, 0), sizeHint());
    if (previous && previous != this && !previous->isMinimized() && !previous->isMaximized())
        placed.moveTopLeft(previous->pos() + QPoint(step, step));
    if (!space.contains(placed))
        placed.moveTopLeft(QPoint(0, 0));
    setGeometry(placed);
}

void TMDIChild::FormShow()
{
    TextEngine1->setStatusBarHandle(m_frame->EngineStatusBar1);
    TextEngine1->setRulerHandle(EngineRuler1);
    TextEngine1->setScrollBars(3);
    TextEngine1->setViewMode(1);
    TextEngine1->setFormatSelection(true);
    TextEngine1->setPageWidth(11900);
    TextEngine1->setPageHeight(16838);
    applyDefaultPage();
}

void TMDIChild::applyDefaultPage()
{
    const DefaultPage page = defaultPageForLanguage(TextEngine1->Language());
    m_frame->MeasureUnit = page.measureUnit;
    TextEngine1->setPageWidth(page.pageWidth);
    TextEngine1->setPageHeight(page.pageHeight);
}

void TMDIChild::FormResize()
{
    QWidget *area = client();
    if (!area || !EngineRuler1 || !TextEngine1)
        return;
    const int width = area->width();
    EngineRuler1->resize(width, EngineRuler1->height());
    const int rulerHeight = EngineRuler1->isVisibleTo(area) ? EngineRuler1->height() : 0;
    TextEngine1->resize(width, qMax(0, area->height() - rulerHeight));
}

void TMDIChild::FormActivate()
{
    m_frame->CobZoom1->setEditText(QString::number(TextEngine1->ZoomFactor()));
    // The status bar shows this window's caret at once, not only once the
    // caret moves.
    m_frame->EngineStatusBar1->setEngine(TextEngine1);
}

void TMDIChild::showEvent(QShowEvent *event)
{
    QMdiSubWindow::showEvent(event);
    // Qt shows the window again on every minimise, maximise and restore;
    // the showing steps set the default page, so running them again would
    // throw away the page of a loaded or set-up document.
    if (event->spontaneous() || m_showingStepsDone)
        return;
    m_showingStepsDone = true;
    tamapiko::app::runGuarded([this] { FormShow(); });
}

bool TMDIChild::eventFilter(QObject *watched, QEvent *event)
{
    if (!TextEngine1) // still being built
        return QMdiSubWindow::eventFilter(watched, event);
    if (watched == client() && event->type() == QEvent::Resize) {
        FormResize();
    } else if ((watched == TextEngine1 || watched == TextEngine1->viewport())
               && event->type() == QEvent::ContextMenu) {
        PopupMenu1->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

// -- Closing -----------------------------------------------------------------

bool TMDIChild::FormCloseQuery()
{
    if (!Modified)
        return true;
    const QString question = QStringLiteral("%1 は変更されています。保存しますか？").arg(windowTitle());
    switch (tamapiko::app::askYesNoCancel(this, question)) {
    case Answer::Yes:
        // A document that could not be saved stays open: closing it would
        // throw the changes away.
        return SaveDocument();
    case Answer::No:
        return true;
    case Answer::Cancel:
        break;
    }
    return false;
}

void TMDIChild::closeEvent(QCloseEvent *event)
{
    bool mayClose = false;
    try {
        mayClose = FormCloseQuery();
    } catch (...) {
        tamapiko::app::reportException(std::current_exception());
    }
    if (!mayClose) {
        event->ignore();
        return;
    }
    // From here on the window no longer counts as open: the frame's
    // controls are updated while it is still being taken down.
    m_closing = true;
    // Saved, or its changes given up: either way no snapshot is wanted.
    m_autosave->discard();
    QMdiSubWindow::closeEvent(event);
    QMetaObject::invokeMethod(m_frame, [frame = m_frame] { frame->UpdateMenuItems(); }, Qt::QueuedConnection);
}

bool TMDIChild::SaveDocument()
{
    // A document that could not be written keeps its window: closing it
    // would throw the changes away.
    return tamapiko::document::Save1Click(*this) == tamapiko::document::SaveOutcome::Written;
}

// -- File menu ---------------------------------------------------------------

void TMDIChild::Close1Click()
{
    close();
}

void TMDIChild::New1Click()
{
    m_frame->New1Click();
}

void TMDIChild::Open1Click()
{
    m_frame->Open1Click();
}

void TMDIChild::Exit1Click()
{
    m_frame->Close1Click();
}

void TMDIChild::Save1Click()
{
    SaveDocument();
}

void TMDIChild::SaveAs1Click()
{
    tamapiko::document::SaveAs1Click(*this);
}

void TMDIChild::PageSetup1Click()
{
    PageSettingsRecord &page = m_frame->PageSettings;
    page.MarginLeft = TextEngine1->PageMarginL();
    page.MarginTop = TextEngine1->PageMarginT();
    page.MarginRight = TextEngine1->PageMarginR();
    page.MarginBottom = TextEngine1->PageMarginB();
    page.PaperWidth = TextEngine1->PageWidth();
    page.PaperHeight = TextEngine1->PageHeight();
    if (m_frame->OKRightDlg2->exec() != 1)
        return;
    TextEngine1->setPageMarginL(page.MarginLeft);
    TextEngine1->setPageMarginT(page.MarginTop);
    TextEngine1->setPageMarginR(page.MarginRight);
    TextEngine1->setPageMarginB(page.MarginBottom);
    TextEngine1->setPageWidth(page.PaperWidth);
    TextEngine1->setPageHeight(page.PaperHeight);
}

void TMDIChild::PrintPreview1Click()
{
    m_frame->BtnPrintPreview1Click();
}

void TMDIChild::Print1Click()
{
    m_frame->Print1Click();
}

// -- Edit menu and context menu -----------------------------------------------

void TMDIChild::Bakuset1Click()
{
    m_frame->Bakuset1Click();
}

void TMDIChild::Ritarn1Click()
{
    m_frame->Ritarn1Click();
}

void TMDIChild::Cut1Click()
{
    TextEngine1->ClipboardAction(1);
}

void TMDIChild::Copy1Click()
{
    TextEngine1->ClipboardAction(2);
}

void TMDIChild::Paste1Click()
{
    TextEngine1->ClipboardAction(3);
}

void TMDIChild::Delete1Click()
{
    TextEngine1->ClipboardAction(4);
}

void TMDIChild::SelectAll1Click()
{
    const int pointer = TextEngine1->MousePointer();
    TextEngine1->setMousePointer(11);
    TextEngine1->setSelStart(0);
    TextEngine1->setSelLength(-1);
    TextEngine1->setMousePointer(pointer);
}

void TMDIChild::SearRep1Click()
{
    TextEngine1->FindReplaceDialog(1);
}

void TMDIChild::SearRep2Click()
{
    TextEngine1->FindReplaceDialog(2);
}

void TMDIChild::PopupMenu1Popup()
{
    const int undo = TextEngine1->CanUndo();
    const int redo = TextEngine1->CanRedo();
    const QString undoCaption = undo >= 1 && undo <= 3 ? QStringLiteral("元に戻す(&U)") : QStringLiteral("元に戻せません");
    const QString redoCaption = redo >= 10 && redo <= 12 ? QStringLiteral("やり直し(&R)") : QStringLiteral("やり直せません");
    for (QAction *item : {Bakuset1, Bakuset2}) {
        item->setText(undoCaption);
        item->setEnabled(undo != 0);
    }
    for (QAction *item : {Ritarn1, Ritarn2}) {
        item->setText(redoCaption);
        item->setEnabled(redo != 0);
    }
    m_frame->BtnBakuset1->setEnabled(undo != 0);
    m_frame->BtnRitarn1->setEnabled(redo != 0);

    enableTableCommands(Insert2, Attr1, Del_Lines1);
}

void TMDIChild::Font1Click()
{
    TextEngine1->FontDialog();
}

void TMDIChild::TxtColr1Click()
{
    ChangeColour(true);
}

void TMDIChild::BkColr1Click()
{
    ChangeColour(false);
}

void TMDIChild::ChangeColour(bool foreground)
{
    const int current = foreground ? TextEngine1->ForeColor() : TextEngine1->TextBkColor();
    const int start = current == MixedColour ? 0 : current;
    const std::optional<int> chosen = tamapiko::document::chooseColour(*this, start);
    if (!chosen)
        return;
    if (current != MixedColour && *chosen == current)
        return;
    if (foreground) {
        TextEngine1->setForeColor(*chosen);
        m_frame->setSwatchColour(m_frame->FontCol, *chosen);
    } else {
        TextEngine1->setTextBkColor(*chosen);
        m_frame->setSwatchColour(m_frame->BakCol, *chosen);
    }
}

// -- View menu ---------------------------------------------------------------

void TMDIChild::Normal1Click()
{
    if (Normal1->isChecked())
        return;
    Normal1->setChecked(true);
    PageLayout1->setChecked(false);
    TextEngine1->setViewMode(0);
}

void TMDIChild::PageLayout1Click()
{
    if (PageLayout1->isChecked())
        return;
    PageLayout1->setChecked(true);
    Normal1->setChecked(false);
    TextEngine1->setViewMode(1);
}

void TMDIChild::ToolBar1Click()
{
    const bool on = !ToolBar1->isChecked();
    ToolBar1->setChecked(on);
    m_frame->toolbar->setVisible(on);
    m_frame->Panel12->move(m_frame->Panel12->x(), on ? 31 : 0);
}

void TMDIChild::ButtonBar1Click()
{
    const bool on = !ButtonBar1->isChecked();
    ButtonBar1->setChecked(on);
    if (!on) {
        m_frame->ToolBar2->hide();
        m_frame->Panel12->hide();
        return;
    }
    m_frame->ToolBar2->show();
    m_frame->Panel12->show();
    m_frame->Panel12->raise();
    m_frame->Panel12->move(m_frame->Panel12->x(), m_frame->toolbar->isVisibleTo(m_frame) ? 31 : 1);
}

void TMDIChild::StatusBar1Click()
{
    const bool on = !StatusBar1->isChecked();
    StatusBar1->setChecked(on);
    m_frame->EngineStatusBar1->setVisible(on);
}

void TMDIChild::Ruler1Click()
{
    const bool on = !Ruler1->isChecked();
    Ruler1->setChecked(on);
    // The change of height runs the sizing, which gives the engine the
    // client height less the ruler's while the ruler shows.
    EngineRuler1->setVisible(on);
    TextEngine1->move(TextEngine1->x(), on ? EngineTopAfterRulerToggle : 0);
    const int delta = on ? EngineTopAfterRulerToggle : -EngineTopAfterRulerToggle;
    if (isMaximized())
        FormResize();
    else
        resize(width(), height() + delta);
}

void TMDIChild::DanRakuClick()
{
    const bool on = !DanRaku->isChecked();
    DanRaku->setChecked(on);
    m_frame->BtnDanRaku->setChecked(on);
    TextEngine1->setControlChars(on);
}

void TMDIChild::ZoomClick(int step)
{
    TextEngine1->setZoomFactor(ZoomSteps[step]);
    for (int i = 0; i < 7; ++i)
        Zoom[i]->setChecked(i == step);
    m_frame->CobZoom1->setCurrentIndex(step);
}

void TMDIChild::OptionClick()
{
    if (m_frame->OptionForm)
        m_frame->OptionForm->exec();
}

// -- Paragraph and table commands (the insert menu's commands are in
// TMDIChildInsert.cpp) -------------------------------------------------

void TMDIChild::Paragraph1Click()
{
    TextEngine1->ParagraphDialog();
}

void TMDIChild::dann1Click()
{
    TOKRightDlg1 *dialog = m_frame->OKRightDlg1;
    if (!dialog)
        return;
    const int lineWidth = qint16(TextEngine1->FrameLineWidth());
    const int distance = qint16(TextEngine1->FrameDistance());
    const int style = qint16(TextEngine1->FrameStyle());

    const std::pair<QCheckBox *, int> boxes[] = {
        {dialog->chkLeft, FrameLeft},       {dialog->chkRight, FrameRight},
        {dialog->chkTop, FrameTop},         {dialog->chkBottom, FrameBottom},
        {dialog->chkTabLines, FrameTabLines}, {dialog->chkConnectedFrames, FrameConnected},
        {dialog->chkDoubleLines, FrameDoubleLines},
    };
    for (const auto &[box, bit] : boxes)
        box->setChecked(style & bit);
    // -1 (the paragraphs differ) keeps what the box showed last time.
    if (lineWidth != -1)
        showListEntry(dialog->cboLineWidth, lineWidth / TwipsPerPoint - 1);
    if (distance != -1)
        showListEntry(dialog->cboTextDistance, distance / TwipsPerPoint);

    if (dialog->exec() != 1)
        return;

    // Every side and the tab lines are named as present or as absent, the
    // line style as double or single; connected frames are only switched on.
    int written = 0;
    for (const auto &[box, bit] : boxes) {
        if (bit == FrameConnected)
            written |= box->isChecked() ? bit : 0;
        else if (bit == FrameDoubleLines)
            written |= box->isChecked() ? FrameDoubleLines : FrameSingleLines;
        else
            written |= box->isChecked() ? bit : absentFrameBit(bit);
    }
    // The sides, the line width and the distance are one step to undo.
    TextEngine1->applyEdit(tamapiko::engine::EditKind::Frame, [&](QTextCursor &) {
        TextEngine1->setFrameStyle(written);
        const QString widthText = dialog->cboLineWidth->currentText();
        if (!widthText.isEmpty())
            TextEngine1->setFrameLineWidth(std::clamp(leadingNumber(widthText), 1, 12) * TwipsPerPoint);
        const QString distanceText = dialog->cboTextDistance->currentText();
        if (!distanceText.isEmpty())
            TextEngine1->setFrameDistance(std::clamp(leadingNumber(distanceText), 0, 12) * TwipsPerPoint);
    });
}

void TMDIChild::Insert2Click()
{
    TOKRightDlg *dialog = m_frame->OKRightDlg;
    if (!dialog || dialog->exec() != 1)
        return;
    const qint16 rows = qint16(leadingNumber(dialog->cboRows->currentText()));
    const qint16 columns = qint16(leadingNumber(dialog->cboColumns->currentText()));
    TextEngine1->TableInsert(rows, columns, -1, 0);
}

void TMDIChild::Attr1Click()
{
    TextEngine1->TableAttrDialog();
}

void TMDIChild::Del_Lines1Click()
{
    TextEngine1->TableDeleteLines();
}

void TMDIChild::PGridLinesClick()
{
    const bool on = !PGridLines->isChecked();
    PGridLines->setChecked(on);
    MGridLines->setChecked(on);
    TextEngine1->setTableGridLines(on);
}

void TMDIChild::Table1Click()
{
    enableTableCommands(Insert3, Attr3, Del_Lines3);
}

void TMDIChild::enableTableCommands(QAction *insert, QAction *attributes, QAction *deleteLines)
{
    // One rule everywhere: inside a table its attributes and lines can be
    // changed, outside one a table can be inserted.
    const bool inTable = TextEngine1->TableCanChangeAttr();
    insert->setEnabled(!inTable);
    attributes->setEnabled(inTable);
    deleteLines->setEnabled(inTable);
}

// -- Engine notifications -------------------------------------------------------

void TMDIChild::TextEngine1Change()
{
    m_frame->RefreshUndoButtons();
    Modified = true;
    m_autosave->documentChanged();
}

void TMDIChild::TextEngine1PosChange()
{
    // The values come from this window's engine, the one that moved.
    m_frame->CobFonts->setEditText(TextEngine1->FontName());
    m_frame->CobPointSize->setEditText(QString::number(TextEngine1->FontSize()));
    m_frame->setSwatchColour(m_frame->FontCol, TextEngine1->ForeColor());
    m_frame->setSwatchColour(m_frame->BakCol, TextEngine1->TextBkColor());
    m_frame->BtnBold->setChecked(TextEngine1->FontBold() == 1);
    m_frame->BtnItalic->setChecked(TextEngine1->FontItalic() == 1);
    m_frame->BtnUnderLine->setChecked(TextEngine1->FontUnderline() == 1);
    if (QAbstractButton *button = m_frame->alignmentGroup->button(TextEngine1->Alignment()))
        button->setChecked(true);
}

void TMDIChild::TextEngine1ParagraphChange()
{
    if (TMDIChild *active = m_frame->activeDocument())
        m_frame->BtnTable1->setEnabled(!active->TextEngine1->TableCanChangeAttr());
}
