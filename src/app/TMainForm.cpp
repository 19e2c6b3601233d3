#include "app/TMainForm.h"

#include "app/DocumentOpening.h"
#include "app/ErrorReporting.h"
#include "app/Help.h"
#include "app/MessageBoxes.h"
#include "app/ToolIcons.h"
#include "app/TOptionForm.h"
#include "dialogs/TOKRightDlg.h"
#include "dialogs/TOKRightDlg1.h"
#include "dialogs/TOKRightDlg2.h"
#include "document/TMDIChild.h"
#include "engine/TEngineButtonBar.h"
#include "engine/TEngineRuler.h"
#include "engine/TEngineStatusBar.h"
#include "engine/TTextEngine.h"
#include "platform/FileAssociation.h"
#include "printing/TfrmPrintPreview.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QAbstractItemView>
#include <QSessionManager>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using tamapiko::app::guarded;
using tamapiko::app::runGuarded;

namespace {

TMainForm *theMainForm = nullptr;

// The status bar's text property, while the companion's setText is not
// there yet the message area serves.
template<typename Bar>
void setStatusBarText(Bar *bar, const QString &text)
{
    if constexpr (requires { bar->setText(text); })
        bar->setText(text);
    else
        bar->showMessage(text);
}

QAction *addMenuItem(QMenu *menu, const char *name, const QString &caption, const QString &hint = QString())
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(hint);
    return action;
}

} // namespace

TMainForm *MainForm()
{
    return theMainForm;
}

TMainForm::TMainForm(const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent)
{
    theMainForm = this;
    setObjectName(QStringLiteral("MainForm"));
    setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    setWindowIcon(tamapiko::app::toolIcon(tamapiko::app::ToolGlyph::New));
    resize(800, 600);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("FrameClient"));
    setCentralWidget(client);
    createToolBar();
    createFormattingBar();

    MDIClient = new QMdiArea(client);
    MDIClient->setObjectName(QStringLiteral("MDIClient"));
    MDIClient->setBackground(palette().brush(QPalette::Dark));
    MDIClient->setActivationOrder(QMdiArea::ActivationHistoryOrder);

    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addWidget(ToolBar2);
    layout->addWidget(MDIClient, 1);
    Panel12->raise();

    EngineStatusBar1 = new TEngineStatusBar(this);
    EngineStatusBar1->setObjectName(QStringLiteral("EngineStatusBar1"));
    EngineStatusBar1->setFixedHeight(25);
    setStatusBar(EngineStatusBar1);

    createMenus();
    createShortcuts();
    connectToolBar();
    association = FileAssociation::create();

    if (QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    // Logging out runs the same close sequence as the exit command; a
    // document that must not close cancels the logout.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &manager) {
        if (isVisible() && manager.allowsInteraction() && !close())
            manager.cancel();
    });

    FormCreate(arguments);
}

TMainForm::~TMainForm()
{
    // Document windows go first: they still talk to the frame's bars. The
    // frame no longer follows the activation while they go.
    MDIClient->disconnect(this);
    for (QMdiSubWindow *window : MDIClient->subWindowList())
        delete window;
    if (theMainForm == this)
        theMainForm = nullptr;
}

void TMainForm::createStartupDialogs()
{
    OKRightDlg = new TOKRightDlg(this);
    OKRightDlg1 = new TOKRightDlg1(this);
    OKRightDlg2 = new TOKRightDlg2(this);
    OptionForm = new TOptionForm(this, &optionSettings);
    frmPrintPreview = new TfrmPrintPreview(this);
}

void TMainForm::createMenus()
{
    File1 = new QMenu(QStringLiteral("ﾌｧｲﾙ(&F)"), this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->menuAction()->setStatusTip(QStringLiteral("ﾌｧｲﾙ操作に関するｺﾏﾝﾄﾞ"));
    New1 = addMenuItem(File1, "New1", QStringLiteral("新規作成(&N)                              Ctrl+N"),
                       QStringLiteral("新規ﾌｧｲﾙの作成"));
    Open1 = addMenuItem(File1, "Open1", QStringLiteral("開く(&O)...                                    Ctrl+O"),
                        QStringLiteral("既存のﾌｧｲﾙを開く"));
    N2 = File1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    Exit1 = addMenuItem(File1, "Exit1", QStringLiteral("終了(&V)"),
                        QStringLiteral("文書の保存を確認し、アプリケーションを終了します。"));

    Window1 = new QMenu(QStringLiteral("ｳｨﾝﾄﾞｳ(&W)"), this);
    Window1->setObjectName(QStringLiteral("Window1"));
    WindowCascadeItem = addMenuItem(Window1, "WindowCascadeItem", QStringLiteral("重ねて表示(&C)"));
    WindowTileItem = addMenuItem(Window1, "WindowTileItem", QStringLiteral("ならべて表示(&T)"));
    WindowArrangeItem = addMenuItem(Window1, "WindowArrangeItem", QStringLiteral("ｱｲｺﾝの整列(&A)"));
    WindowMinimizeItem = addMenuItem(Window1, "WindowMinimizeItem", QStringLiteral("すべてをｱｲｺﾝ化(&M)"));
    Window1->menuAction()->setVisible(false);
    connect(Window1, &QMenu::aboutToShow, this, &TMainForm::fillWindowList);

    Help1 = new QMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"), this);
    Help1->setObjectName(QStringLiteral("Help1"));
    Help1->menuAction()->setStatusTip(QStringLiteral("ﾄﾋﾟｯｸの検索"));
    HelpAboutItem1 = addMenuItem(Help1, "HelpAboutItem1", QStringLiteral("ヘルプ(&A)"));

    connect(New1, &QAction::triggered, this, guarded([this] { New1Click(); }));
    connect(Open1, &QAction::triggered, this, guarded([this] { Open1Click(); }));
    connect(Exit1, &QAction::triggered, this, guarded([this] { Exit1Click(); }));
    connect(WindowCascadeItem, &QAction::triggered, this, guarded([this] { WindowCascadeItemClick(); }));
    connect(WindowTileItem, &QAction::triggered, this, guarded([this] { WindowTileItemClick(); }));
    connect(WindowArrangeItem, &QAction::triggered, this, guarded([this] { WindowArrangeItemClick(); }));
    connect(WindowMinimizeItem, &QAction::triggered, this, guarded([this] { WindowMinimizeItemClick(); }));
    connect(HelpAboutItem1, &QAction::triggered, this, guarded([this] { HelpAboutItem1Click(); }));

    mergeMenus();
}

void TMainForm::connectToolBar()
{
    auto onClick = [this](QToolButton *button, void (TMainForm::*handler)()) {
        connect(button, &QToolButton::clicked, this, guarded([this, handler] { (this->*handler)(); }));
    };
    onClick(ExitBtn, &TMainForm::Exit1Click);
    onClick(BtnNew1, &TMainForm::New1Click);
    onClick(BtnOpen1, &TMainForm::Open1Click);
    onClick(BtnSave1, &TMainForm::Save1Click);
    onClick(BtnPrint1, &TMainForm::Print1Click);
    onClick(BtnPrintPreview1, &TMainForm::BtnPrintPreview1Click);
    onClick(BtnPageSetup1, &TMainForm::PageSetup1Click);
    onClick(BtnCut1, &TMainForm::Cut1Click);
    onClick(BtnCopy1, &TMainForm::Copy1Click);
    onClick(BtnPaste1, &TMainForm::Paste1Click);
    onClick(BtnBakuset1, &TMainForm::Bakuset1Click);
    onClick(BtnRitarn1, &TMainForm::Ritarn1Click);
    onClick(BtnSearRep1, &TMainForm::BtnSearRep1Click);
    onClick(BtnTxtColr1, &TMainForm::BtnTxtColr1Click);
    onClick(BtnBkColr1, &TMainForm::BtnBkColr1Click);
    onClick(BtnTable1, &TMainForm::BtnTable1Click);
    onClick(BtnDanRaku, &TMainForm::BtnDanRakuClick);
    onClick(BtnHelpAboutItem1, &TMainForm::HelpAboutItem1Click);
    onClick(BtnBold, &TMainForm::BtnBoldClick);
    onClick(BtnItalic, &TMainForm::BtnItalicClick);
    onClick(BtnUnderLine, &TMainForm::BtnUnderLineClick);
    onClick(BtnPgLeft, &TMainForm::BtnPgLeftClick);
    onClick(BtnPgRight, &TMainForm::BtnPgRightClick);
    onClick(BtnPgCentered, &TMainForm::BtnPgCenteredClick);
    onClick(BtnPgjustified, &TMainForm::BtnPgjustifiedClick);

    // The swatches answer a click like their buttons.
    FontCol->installEventFilter(this);
    BakCol->installEventFilter(this);

    // The boxes apply their value when an entry is chosen and when they lose
    // the focus; Enter moves the focus on, which commits a typed value.
    for (QComboBox *box : {CobFonts, CobPointSize, CobZoom1}) {
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
    }
    for (QComboBox *box : {CobFonts, CobPointSize, CobZoom1}) {
        connect(box->lineEdit(), &QLineEdit::textEdited, this, [this, box] { m_editedBoxes.insert(box); });
        // Qt would select the entry matching a typed text when editing ends;
        // here a typed text stays a typed text, and "50%" written back after
        // typing 50 must not tick the 50 % menu item.
        disconnect(box->lineEdit(), &QLineEdit::editingFinished, box, nullptr);
    }
    connect(CobFonts, &QComboBox::activated, this, guarded([this] { CobFontsClick(); }));
    connect(CobPointSize, &QComboBox::activated, this, guarded([this] { CobPointSizeClick(); }));
    connect(CobZoom1, &QComboBox::activated, this, guarded([this] { CobZoom1Click(); }));

    connect(MDIClient, &QMdiArea::subWindowActivated, this, [this] { activeWindowChanged(); });
}

// -- The frame's own events ------------------------------------------------

void TMainForm::FormCreate(const QStringList &arguments)
{
    setAcceptDrops(true);
    StartupFileName.clear();
    if (arguments.size() == 1)
        StartupFileName = arguments.first();
}

void TMainForm::FormShow()
{
    Window1->menuAction()->setVisible(true);
    IniOption(optionSettings);
    ++DocumentCounter;

    if (!StartupFileName.isEmpty()) {
        CreateDocumentWindow(StartupFileName);
        OpenDocumentFile(StartupFileName);
    } else {
        CreateDocumentWindow(QStringLiteral("NONAME") + QString::number(DocumentCounter));
        setWindowTitle(QStringLiteral("Document"));
    }

    CobZoom1->setCurrentIndex(3);
    fillFontBox();
    CobPointSize->setCurrentIndex(5);
    // The boxes show the caret's real font and size from the start.
    if (TMDIChild *document = activeDocument())
        document->TextEngine1PosChange();
    setAcceptDrops(true);
    OKRightDlg2->resetOrientation();
    PrintZoomPercent = 100;
    if (association && association->checkAtStartup())
        association->notifyShell();
}

void TMainForm::fillFontBox()
{
    // Qt names a family that several foundries ship "Family [foundry]"; the
    // user picks the family, and the engine asks for it without a foundry.
    QStringList families;
    for (const QString &family : QFontDatabase::families()) {
        const qsizetype foundry = family.indexOf(QLatin1String(" ["));
        families << (foundry > 0 && family.endsWith(u']') ? family.left(foundry) : family);
    }
    // The Japanese families that documents name, and that we draw with a
    // substitute, are choices like any installed one.
    for (const char16_t *family : {u"ＭＳ 明朝", u"ＭＳ ゴシック", u"ＭＳ Ｐ明朝", u"ＭＳ Ｐゴシック"}) {
        const QString name = QString::fromUtf16(family);
        if (!QFont::substitutes(name).isEmpty())
            families << name;
    }
    families.sort(Qt::CaseInsensitive);
    families.removeDuplicates();

    const QSignalBlocker blocker(CobFonts);
    CobFonts->clear();
    CobFonts->addItems(families);
    CobFonts->setCurrentIndex(-1);
    // The list is as wide as its longest name, however narrow the box.
    const QFontMetrics metrics(CobFonts->view()->font());
    int widest = 0;
    for (const QString &family : std::as_const(families))
        widest = qMax(widest, metrics.horizontalAdvance(family));
    const int scrollBar = CobFonts->view()->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    CobFonts->view()->setMinimumWidth(qMax(CobFonts->width(), widest + scrollBar + 16));
}

void TMainForm::createShortcuts()
{
    // The menus show these keys as text only; the keys themselves live here,
    // on the frame, and choose the very item the menu shows them on.
    struct Key
    {
        QKeySequence sequence;
        const char *item;
    };
    const Key keys[] = {{QKeySequence(Qt::CTRL | Qt::Key_N), "New1"},
                        {QKeySequence(Qt::CTRL | Qt::Key_O), "Open1"},
                        {QKeySequence(Qt::CTRL | Qt::Key_S), "Save1"},
                        {QKeySequence(Qt::CTRL | Qt::Key_P), "Print1"}};
    for (const Key &key : keys) {
        auto *shortcut = new QShortcut(key.sequence, this);
        const QString item = QLatin1String(key.item);
        connect(shortcut, &QShortcut::activated, this, [this, item] {
            // The active document's file menu, else the frame's own.
            // Save and print are not there without a document.
            QMenu *menu = activeDocument() ? activeDocument()->File1 : File1;
            if (auto *action = menu->findChild<QAction *>(item, Qt::FindDirectChildrenOnly))
                action->trigger();
        });
    }
}

void TMainForm::FormResize()
{
    if (TMDIChild *document = activeDocument())
        document->FormResize();
}

void TMainForm::FormKeyPress()
{
    if (activeDocument())
        RefreshUndoButtons();
}

bool TMainForm::FormCloseQuery()
{
    if (association && association->rewriteAtExit(optionSettings.RegSave))
        association->notifyShell();
    return true;
}

bool TMainForm::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        ShowApplicationHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown || event->spontaneous())
        return;
    m_shown = true;
    runGuarded([this] { FormShow(); });
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainForm::keyPressEvent(QKeyEvent *event)
{
    runGuarded([this] { FormKeyPress(); });
    QMainWindow::keyPressEvent(event);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // Every document window is asked in turn; the first that wants to stay
    // keeps everything open, and the windows after it are not asked.
    for (TMDIChild *document : documents()) {
        if (!document->FormCloseQuery()) {
            event->ignore();
            return;
        }
    }
    FormCloseQuery();
    event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent *event)
{
    QStringList files;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    event->acceptProposedAction();
    runGuarded([this, files] { WMDropFiles(files); });
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == FontCol && FontCol->isEnabled()) {
            runGuarded([this] { BtnTxtColr1Click(); });
            return true;
        }
        if (watched == BakCol && BakCol->isEnabled()) {
            runGuarded([this] { BtnBkColr1Click(); });
            return true;
        }
    }
    QComboBox *box = nullptr;
    for (QComboBox *candidate : {CobFonts, CobPointSize, CobZoom1}) {
        if (watched == candidate || watched == candidate->lineEdit())
            box = candidate;
    }
    if (box && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter moves on to the next control; leaving the box applies it.
            focusNextChild();
            return true;
        }
    }
    // Leaving a box applies what the user typed into it; merely passing
    // through must not write the shown value back (a mixed selection shows
    // size 0, which would then be applied to all of it).
    if (box && event->type() == QEvent::FocusOut
        && static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason && m_editedBoxes.contains(box)) {
        if (box == CobFonts)
            runGuarded([this] { CobFontsClick(); });
        else if (box == CobPointSize)
            runGuarded([this] { CobPointSizeClick(); });
        else
            runGuarded([this] { CobZoom1Click(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

// -- Documents -------------------------------------------------------------

TMDIChild *TMainForm::activeDocument() const
{
    auto *document = qobject_cast<TMDIChild *>(MDIClient->currentSubWindow());
    if (document && !document->isClosing())
        return document;
    const QList<TMDIChild *> open = documents();
    return open.isEmpty() ? nullptr : open.first();
}

QList<TMDIChild *> TMainForm::documents() const
{
    QList<TMDIChild *> open;
    const QList<QMdiSubWindow *> stacked = MDIClient->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stacked.crbegin(); it != stacked.crend(); ++it) {
        auto *document = qobject_cast<TMDIChild *>(*it);
        if (document && !document->isClosing())
            open << document;
    }
    return open;
}

void TMainForm::CreateDocumentWindow(const QString &caption)
{
    auto *document = new TMDIChild(this);
    document->setWindowTitle(caption);
    ++DocumentCounter;
    BtnBakuset1->setEnabled(false);
    BtnRitarn1->setEnabled(false);
}

void TMainForm::OpenDocumentFile(const QString &path)
{
    if (TMDIChild *document = activeDocument())
        tamapiko::app::openDocumentFile(*this, *document, path);
}

void TMainForm::WMDropFiles(const QStringList &files)
{
    for (const QString &file : files) {
        StartupFileName = file;
        CreateDocumentWindow(file);
        OpenDocumentFile(file);
    }
}

void TMainForm::activeWindowChanged()
{
    mergeMenus();
    UpdateMenuItems();
    if (TMDIChild *document = activeDocument())
        runGuarded([document] { document->FormActivate(); });
}

void TMainForm::mergeMenus()
{
    QList<QAction *> wanted;
    if (TMDIChild *document = activeDocument()) {
        for (QMenu *menu : document->menus())
            wanted << menu->menuAction();
    } else {
        wanted << File1->menuAction();
    }
    wanted << Window1->menuAction() << Help1->menuAction();

    QMenuBar *bar = menuBar();
    if (bar->actions() == wanted)
        return;
    for (QAction *action : bar->actions())
        bar->removeAction(action);
    bar->addActions(wanted);
}

void TMainForm::fillWindowList()
{
    // Below the four commands: one item per document window, the active one
    // ticked, as the window manager lists them.
    const QList<QAction *> items = Window1->actions();
    for (QAction *item : items) {
        if (item != WindowCascadeItem && item != WindowTileItem && item != WindowArrangeItem
            && item != WindowMinimizeItem) {
            Window1->removeAction(item);
            delete item;
        }
    }
    const QList<QMdiSubWindow *> windows = MDIClient->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    Window1->addSeparator();
    QMdiSubWindow *active = MDIClient->currentSubWindow();
    int number = 1;
    for (QMdiSubWindow *window : windows) {
        auto *document = qobject_cast<TMDIChild *>(window);
        if (document && document->isClosing())
            continue;
        QAction *item = Window1->addAction(QStringLiteral("&%1 %2").arg(number++).arg(window->windowTitle()));
        item->setCheckable(true);
        item->setChecked(window == active);
        connect(item, &QAction::triggered, this, [this, window] {
            if (MDIClient->subWindowList().contains(window)) {
                if (window->isMinimized())
                    window->showNormal();
                MDIClient->setActiveSubWindow(window);
            }
        });
    }
}

void TMainForm::UpdateMenuItems()
{
    const bool open = !documents().isEmpty();

    for (QWidget *control : std::initializer_list<QWidget *>{BtnSave1, BtnPrint1, BtnPrintPreview1, BtnPageSetup1,
                                                             BtnCut1, BtnCopy1, BtnPaste1, BtnSearRep1})
        control->setEnabled(open);

    // With a document open the colour buttons make room for their swatches.
    const int colourButtonHeight = open ? 20 : 25;
    BtnTxtColr1->setEnabled(open);
    BtnTxtColr1->resize(BtnTxtColr1->width(), colourButtonHeight);
    FontCol->setVisible(open);
    BtnBkColr1->setEnabled(open);
    BtnBkColr1->resize(BtnBkColr1->width(), colourButtonHeight);
    BakCol->setVisible(open);
    Window1->menuAction()->setVisible(open);
    if (!open) {
        BtnBakuset1->setEnabled(false);
        BtnRitarn1->setEnabled(false);
    }

    for (QWidget *control : std::initializer_list<QWidget *>{
             BtnTable1, BtnDanRaku, CobZoom1, CobFonts, CobPointSize, BtnBold, BtnItalic, BtnUnderLine, BtnPgLeft,
             BtnPgRight, BtnPgCentered, BtnPgjustified})
        control->setEnabled(open);

    EngineButtonBar1->setEnabled(open);
    if (!open)
        setWindowTitle(QStringLiteral("Document"));
}

void TMainForm::ShowApplicationHint(const QString &hint)
{
    writeStatusText(hint);
}

void TMainForm::writeStatusText(const QString &text)
{
    setStatusBarText(EngineStatusBar1, text);
}

void TMainForm::RefreshUndoButtons()
{
    TMDIChild *document = activeDocument();
    if (!document)
        return;
    BtnBakuset1->setEnabled(document->TextEngine1->CanUndo() != 0);
    BtnRitarn1->setEnabled(document->TextEngine1->CanRedo() != 0);
}

void TMainForm::returnFocusToRuler()
{
    if (TMDIChild *document = activeDocument())
        document->EngineRuler1->setFocus(Qt::OtherFocusReason);
}

// -- Frame commands --------------------------------------------------------

void TMainForm::New1Click()
{
    CreateDocumentWindow(QStringLiteral("NONAME") + QString::number(DocumentCounter));
    setWindowTitle(QStringLiteral("Document"));
}

void TMainForm::Open1Click()
{
    const QString path = tamapiko::app::askOpenFileName(*this);
    if (path.isEmpty())
        return;
    CreateDocumentWindow(path);
    OpenDocumentFile(path);
}

void TMainForm::Exit1Click()
{
    close();
}

void TMainForm::Close1Click()
{
    if (TMDIChild *document = activeDocument())
        document->close();
}

void TMainForm::Save1Click()
{
    if (TMDIChild *document = activeDocument())
        document->Save1Click();
}

void TMainForm::Print1Click()
{
    if (TMDIChild *document = activeDocument())
        document->Print1Click();
}

void TMainForm::BtnPrintPreview1Click()
{
    if (TMDIChild *document = activeDocument())
        document->PrintPreview1Click();
}

void TMainForm::PageSetup1Click()
{
    if (TMDIChild *document = activeDocument())
        document->PageSetup1Click();
}

void TMainForm::HelpAboutItem1Click()
{
    ShowHelp();
}

void TMainForm::WindowCascadeItemClick()
{
    MDIClient->cascadeSubWindows();
}

void TMainForm::WindowTileItemClick()
{
    MDIClient->tileSubWindows();
}

void TMainForm::WindowArrangeItemClick()
{
    // Minimised windows line up along the bottom of the MDI area, left to
    // right in creation order.
    int x = 0;
    const int bottom = MDIClient->viewport()->height();
    for (QMdiSubWindow *window : MDIClient->subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isMinimized())
            continue;
        const QSize size = window->size();
        if (x > 0 && x + size.width() > MDIClient->viewport()->width())
            x = 0;
        window->move(x, bottom - size.height());
        x += size.width();
    }
}

void TMainForm::WindowMinimizeItemClick()
{
    const QList<QMdiSubWindow *> windows = MDIClient->subWindowList(QMdiArea::StackingOrder);
    for (QMdiSubWindow *window : windows)
        window->showMinimized();
}
