#pragma once

// The frame window: a multiple-document frame with a two-row toolbar, the
// menu bar and the engine's status bar. It keeps no list of documents: the
// active document window is always the MDI area's current sub-window, and
// every command that concerns a document goes to that window's engine.

#include "app/OptionSettings.h"
#include "app/PageSettings.h"

#include <QMainWindow>
#include <QSet>
#include <QStringList>

#include <memory>

class QAction;
class QButtonGroup;
class QComboBox;
class QFrame;
class QMdiArea;
class QMenu;
class QToolButton;

class FileAssociation;
class TEngineButtonBar;
class TEngineStatusBar;
class TMDIChild;
class TOKRightDlg;
class TOKRightDlg1;
class TOKRightDlg2;
class TOptionForm;
class TfrmPrintPreview;

class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    // `arguments` are the command-line arguments without the program name.
    explicit TMainForm(const QStringList &arguments, QWidget *parent = nullptr);
    ~TMainForm() override;

    // The windows created once after the frame and shown modally when needed.
    void createStartupDialogs();

    // The active document window, or null while none is open.
    TMDIChild *activeDocument() const;
    // The open document windows in the order the window manager lists them:
    // the active one first, then down the stacking order.
    QList<TMDIChild *> documents() const;

    // Creates a document window, shown and active, captioned `caption`.
    void CreateDocumentWindow(const QString &caption);
    // Fills the active document window from the file `path`.
    void OpenDocumentFile(const QString &path);

    void UpdateMenuItems();
    void ShowApplicationHint(const QString &hint);
    // The files of one drop, each opened in its own window, in drop order.
    void WMDropFiles(const QStringList &files);
    // Undo and redo buttons follow the active engine's CanUndo/CanRedo.
    void RefreshUndoButtons();
    // A colour swatch shows an engine colour (0x00BBGGRR); -1, several
    // colours, shows as a hatched grey.
    void setSwatchColour(QFrame *swatch, int rgb);
    static int swatchColour(const QFrame *swatch);

    // Frame commands.
    void New1Click();
    void Open1Click();
    void Exit1Click();
    void Close1Click();
    void Save1Click();
    void Print1Click();
    void BtnPrintPreview1Click();
    void PageSetup1Click();
    void HelpAboutItem1Click();
    void WindowCascadeItemClick();
    void WindowTileItemClick();
    void WindowArrangeItemClick();
    void WindowMinimizeItemClick();

    // Formatting toolbar.
    void CobFontsClick();
    void CobPointSizeClick();
    void CobZoom1Click();
    void BtnBoldClick();
    void BtnItalicClick();
    void BtnUnderLineClick();
    void BtnPgLeftClick();
    void BtnPgRightClick();
    void BtnPgCenteredClick();
    void BtnPgjustifiedClick();
    void BtnTxtColr1Click();
    void BtnBkColr1Click();
    void BtnDanRakuClick();
    void BtnTable1Click();
    void BtnSearRep1Click();
    void Bakuset1Click();
    void Ritarn1Click();
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();

    // Toolbar panel `toolbar` (first row).
    QFrame *toolbar = nullptr;
    QFrame *Panel1 = nullptr;
    QToolButton *ExitBtn = nullptr;
    QToolButton *BtnNew1 = nullptr;
    QToolButton *BtnOpen1 = nullptr;
    QToolButton *BtnSave1 = nullptr;
    QFrame *Panel2 = nullptr;
    QToolButton *BtnPrint1 = nullptr;
    QToolButton *BtnPrintPreview1 = nullptr;
    QToolButton *BtnPageSetup1 = nullptr;
    QFrame *Panel3 = nullptr;
    QToolButton *BtnCut1 = nullptr;
    QToolButton *BtnCopy1 = nullptr;
    QToolButton *BtnPaste1 = nullptr;
    QFrame *Panel4 = nullptr;
    QToolButton *BtnBakuset1 = nullptr;
    QToolButton *BtnRitarn1 = nullptr;
    QToolButton *BtnSearRep1 = nullptr;
    QFrame *Panel7 = nullptr;
    QToolButton *BtnTxtColr1 = nullptr;
    QToolButton *BtnBkColr1 = nullptr;
    QFrame *FontCol = nullptr;
    QFrame *BakCol = nullptr;
    QFrame *Panel6 = nullptr;
    QToolButton *BtnTable1 = nullptr;
    QToolButton *BtnDanRaku = nullptr;
    QComboBox *CobZoom1 = nullptr;
    QFrame *Panel5 = nullptr;
    QToolButton *BtnHelpAboutItem1 = nullptr;

    // Second row `ToolBar2` with the engine's button bar, and the formatting
    // panel laid over its left part.
    QFrame *ToolBar2 = nullptr;
    TEngineButtonBar *EngineButtonBar1 = nullptr;
    QFrame *Panel12 = nullptr;
    QFrame *Panel13 = nullptr;
    QComboBox *CobFonts = nullptr;
    QComboBox *CobPointSize = nullptr;
    QFrame *Panel14 = nullptr;
    QToolButton *BtnBold = nullptr;
    QToolButton *BtnItalic = nullptr;
    QToolButton *BtnUnderLine = nullptr;
    QFrame *Panel15 = nullptr;
    QToolButton *BtnPgLeft = nullptr;
    QToolButton *BtnPgRight = nullptr;
    QToolButton *BtnPgCentered = nullptr;
    QToolButton *BtnPgjustified = nullptr;
    QButtonGroup *alignmentGroup = nullptr;

    QMdiArea *MDIClient = nullptr;
    TEngineStatusBar *EngineStatusBar1 = nullptr;

    // Frame menu `MainMenu1`.
    QMenu *File1 = nullptr;
    QAction *New1 = nullptr;
    QAction *Open1 = nullptr;
    QAction *N2 = nullptr;
    QAction *Exit1 = nullptr;
    QMenu *Window1 = nullptr;
    QAction *WindowCascadeItem = nullptr;
    QAction *WindowTileItem = nullptr;
    QAction *WindowArrangeItem = nullptr;
    QAction *WindowMinimizeItem = nullptr;
    QMenu *Help1 = nullptr;
    QAction *HelpAboutItem1 = nullptr;

    // Created once by createStartupDialogs(), owned by the frame.
    TOKRightDlg *OKRightDlg = nullptr;
    TOKRightDlg1 *OKRightDlg1 = nullptr;
    TOKRightDlg2 *OKRightDlg2 = nullptr;
    TOptionForm *OptionForm = nullptr;
    TfrmPrintPreview *frmPrintPreview = nullptr;

    // Program-wide state, one instance for the run.
    int DocumentCounter = 0;
    QString StartupFileName;
    OptionSettings optionSettings;
    PageSettingsRecord PageSettings;
    int MeasureUnit = 0;         // 1 inches, 2 centimetres, 0 before the first document
    int PrintZoomPercent = 0;
    std::unique_ptr<FileAssociation> association;

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate(const QStringList &arguments);
    void FormShow();
    void FormResize();
    void FormKeyPress();
    bool FormCloseQuery();

    void createToolBar();
    void createFormattingBar();
    void createMenus();
    void createShortcuts();
    void fillFontBox();
    void connectToolBar();
    void mergeMenus();
    void fillWindowList();
    void activeWindowChanged();
    void returnFocusToRuler();
    void writeStatusText(const QString &text);

    bool m_shown = false;
    QSet<QComboBox *> m_editedBoxes;   // typed into since last applied
};

// The frame of this run, for the windows that reach it as the program's
// main form; null when none exists.
TMainForm *MainForm();
