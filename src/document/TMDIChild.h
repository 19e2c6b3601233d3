#pragma once

// A document window: one text engine under its own ruler, the document's
// identity (the window caption), the modified flag, and the window's own
// menus, which take the frame's file menu's place while it is active.

#include <QMdiSubWindow>

#include <QList>

class QAction;
class QColorDialog;
class QFileDialog;
class QMenu;

class TEngineRuler;
class TMainForm;
namespace tamapiko::app {
class DocumentAutosave;
}
class TTextEngine;

class TMDIChild : public QMdiSubWindow
{
    Q_OBJECT

public:
    // Creates the window in `frame`'s MDI area; when the constructor returns
    // the window is shown and is the frame's active document window.
    explicit TMDIChild(TMainForm *frame);
    ~TMDIChild() override;

    TMainForm *frame() const { return m_frame; }
    // The six menus, in menu-bar order, that replace the frame's file menu.
    QList<QMenu *> menus() const;
    // True once the window has agreed to close: while it is being taken
    // down it no longer counts as open.
    bool isClosing() const { return m_closing; }
    // The snapshots that keep the document's changes through a crash.
    tamapiko::app::DocumentAutosave *autosave() const { return m_autosave; }

    // The close question; true when the window may close.
    bool FormCloseQuery();

    // Lays out the ruler and the engine in the client area.
    void FormResize();
    // Shows this window's zoom and caret position in the frame (the window
    // became active).
    void FormActivate();

    QSize sizeHint() const override;

    // Saves the document; true only when the file was written (false when
    // the user cancelled choosing a name, or the file could not be written).
    bool SaveDocument();

    // Commands of the menus.
    void Close1Click();
    void New1Click();
    void Open1Click();
    void Exit1Click();
    void Save1Click();
    void SaveAs1Click();
    void PageSetup1Click();
    void PrintPreview1Click();
    void Print1Click();
    void Bakuset1Click();
    void Ritarn1Click();
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();
    void Delete1Click();
    void SelectAll1Click();
    void SearRep1Click();
    void SearRep2Click();
    void PopupMenu1Popup();
    void Normal1Click();
    void PageLayout1Click();
    void ToolBar1Click();
    void ButtonBar1Click();
    void StatusBar1Click();
    void Ruler1Click();
    void DanRakuClick();
    void ZoomClick(int step);        // Zoom1Click … Zoom7Click, step 0 … 6
    void OptionClick();
    void File2Click();
    void Image_Fixed1Click();
    void Image_Char1Click();
    void Objct1Click();
    void Object_Char1Click();
    void Font1Click();
    void TxtColr1Click();
    void BkColr1Click();
    void Paragraph1Click();
    void dann1Click();
    void Table1Click();          // opening of the 表 menu
    void Insert2Click();
    void Attr1Click();
    void Del_Lines1Click();
    void PGridLinesClick();

    // Engine notifications.
    void TextEngine1Change();
    void TextEngine1PosChange();
    void TextEngine1ParagraphChange();

    // Sets the engine's colour property through the colour dialog and
    // writes the chosen colour into the frame's swatch.
    void ChangeColour(bool foreground);

    // The window's dialogs, made on first use (null until then): building
    // a file dialog costs more than the rest of the window, and most
    // windows never show one.
    QColorDialog *colorDialog();
    QFileDialog *openDialog();
    QFileDialog *saveDialog();

    TEngineRuler *EngineRuler1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QColorDialog *ColorDialog1 = nullptr;
    QFileDialog *OpenDialog1 = nullptr;
    QFileDialog *SaveDialog1 = nullptr;
    TTextEngine *TextEngine1 = nullptr;
    bool Modified = false;

    // Menu "ﾌｧｲﾙ(&F)".
    QMenu *File1 = nullptr;
    QAction *New1 = nullptr;
    QAction *Open1 = nullptr;
    QAction *Close1 = nullptr;
    QAction *Save1 = nullptr;
    QAction *SaveAs1 = nullptr;
    QAction *PageSetup1 = nullptr;
    QAction *PrintPreview1 = nullptr;
    QAction *Print1 = nullptr;
    QAction *Exit1 = nullptr;
    // Menu "編集(&E)".
    QMenu *Edit1 = nullptr;
    QAction *Bakuset2 = nullptr;
    QAction *Ritarn2 = nullptr;
    QAction *MenuItem6 = nullptr;
    QAction *MenuItem7 = nullptr;
    QAction *MenuItem8 = nullptr;
    QAction *Delete1 = nullptr;
    QAction *SelectAll1 = nullptr;
    QAction *SearRep1 = nullptr;
    QAction *SearRep2 = nullptr;
    // Menu "表示(&V)".
    QMenu *Show1 = nullptr;
    QAction *Normal1 = nullptr;
    QAction *PageLayout1 = nullptr;
    QAction *ToolBar1 = nullptr;
    QAction *ButtonBar1 = nullptr;
    QAction *StatusBar1 = nullptr;
    QAction *Ruler1 = nullptr;
    QAction *DanRaku = nullptr;
    QMenu *ZoomItem1 = nullptr;
    QAction *Zoom[7] = {};           // Zoom1 … Zoom7
    QAction *Option = nullptr;
    // Menu "挿入(&Ｉ)".
    QMenu *Insert1 = nullptr;
    QAction *File2 = nullptr;
    QAction *Image_Fixed1 = nullptr;
    QAction *Image_Char1 = nullptr;
    QAction *Objct1 = nullptr;
    QAction *Object_Char1 = nullptr;
    // Menu "書式(&S)".
    QMenu *Format1 = nullptr;
    QAction *MenuItem10 = nullptr;
    QAction *TxtColr1 = nullptr;
    QAction *BkColr1 = nullptr;
    QAction *Paragraph1 = nullptr;
    QAction *MenuItem11 = nullptr;
    // Menu "表(&T)".
    QMenu *Table1 = nullptr;
    QAction *Insert3 = nullptr;
    QAction *Attr3 = nullptr;
    QAction *Del_Lines3 = nullptr;
    QAction *MGridLines = nullptr;
    // Context menu.
    QAction *Bakuset1 = nullptr;
    QAction *Ritarn1 = nullptr;
    QAction *Cut1 = nullptr;
    QAction *Copy1 = nullptr;
    QAction *Paste1 = nullptr;
    QAction *A1 = nullptr;
    QMenu *N3 = nullptr;
    QAction *Insert2 = nullptr;
    QAction *Attr1 = nullptr;
    QAction *Del_Lines1 = nullptr;
    QAction *PGridLines = nullptr;
    QMenu *Font1 = nullptr;
    QAction *Document1 = nullptr;
    QAction *TxtColr2 = nullptr;
    QAction *BkColr2 = nullptr;
    QMenu *D2 = nullptr;
    QAction *Paragraph2 = nullptr;
    QAction *dann1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void applyDefaultPage();
    void placeBelow(QMdiSubWindow *previous);
    void createMenus();
    void createPopupMenu();
    void enableTableCommands(QAction *insert, QAction *attributes, QAction *deleteLines);
    QWidget *client() const { return widget(); }
    QString chooseInsertFile(const QString &title, const QStringList &filters, const QString &folder,
                             const QString &typeName);
    QString choosePicture(int *imageFlag);
    void reportEngineFailure(bool succeeded);

    TMainForm *m_frame;
    bool m_closing = false;
    bool m_showingStepsDone = false;
    int m_openFilterIndex = 1;   // OpenDialog1's filter at its last use
    tamapiko::app::DocumentAutosave *m_autosave = nullptr;
};
