// The document window's six menus and its context menu. Captions are kept
// exactly as the users know them, padding blanks included; the shortcut texts
// at their ends are text only, no item has a keyboard shortcut of its own.

#include "document/TMDIChild.h"

#include "app/ErrorReporting.h"
#include "app/TMainForm.h"

#include <QAction>
#include <QMenu>

using tamapiko::app::guarded;

namespace {

QMenu *makeMenu(QWidget *parent, const char *name, const QString &caption, const QString &hint = QString())
{
    auto *menu = new QMenu(caption, parent);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setStatusTip(hint);
    return menu;
}

QAction *makeItem(QMenu *menu, const char *name, const QString &caption, const QString &hint = QString())
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    item->setStatusTip(hint);
    return item;
}

QAction *makeCheckItem(QMenu *menu, const char *name, const QString &caption, const QString &hint, bool checked)
{
    QAction *item = makeItem(menu, name, caption, hint);
    item->setCheckable(true);
    item->setChecked(checked);
    return item;
}

void undoAutomaticCheck(QAction *item)
{
    item->setChecked(!item->isChecked());
}

} // namespace

void TMDIChild::createMenus()
{
    auto run = [this](QAction *item, void (TMDIChild::*handler)()) {
        connect(item, &QAction::triggered, this, guarded([this, handler] { (this->*handler)(); }));
    };
    // Qt ticks a checkable item before its handler runs; the handlers decide
    // the tick themselves from the state the user saw.
    auto runChecked = [this](QAction *item, void (TMDIChild::*handler)()) {
        connect(item, &QAction::triggered, this, guarded([this, item, handler] {
                    undoAutomaticCheck(item);
                    (this->*handler)();
                }));
    };

    File1 = makeMenu(this, "File1", QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("ﾌｧｲﾙ操作に関するｺﾏﾝﾄﾞ"));
    New1 = makeItem(File1, "New1", QStringLiteral("新規作成(&N)                              Ctrl+N"),
                    QStringLiteral("新規ﾌｧｲﾙの作成"));
    Open1 = makeItem(File1, "Open1", QStringLiteral("開く(&O)...                                    Ctrl+O"),
                     QStringLiteral("既存のﾌｧｲﾙを開く"));
    Close1 = makeItem(File1, "Close1", QStringLiteral("閉じる(&C)"), QStringLiteral("ﾌｧｲﾙを閉じる"));
    Save1 = makeItem(File1, "Save1", QStringLiteral("上書き保存(&S)                            Ctrl+S"),
                     QStringLiteral("現在のﾌｧｲﾙを保存"));
    SaveAs1 = makeItem(File1, "SaveAs1", QStringLiteral("名前を付けて保存(&A)..."), QStringLiteral("名前を付けて保存..."));
    File1->addSeparator();
    PageSetup1 = makeItem(File1, "PageSetup1", QStringLiteral("ページ設定(&T)"), QStringLiteral("印刷オプションを変更します。"));
    PrintPreview1 = makeItem(File1, "PrintPreview1", QStringLiteral("印刷プレビュー(&V)"),
                             QStringLiteral("ページ全体を表示します。"));
    Print1 = makeItem(File1, "Print1", QStringLiteral("印刷(&P)                                    Ctrl+P"),
                      QStringLiteral("現在の文書を印刷します。"));
    File1->addSeparator();
    Exit1 = makeItem(File1, "Exit1", QStringLiteral("終了(&V)"),
                     QStringLiteral("文書の保存を確認し、アプリケーションを終了します。"));
    run(New1, &TMDIChild::New1Click);
    run(Open1, &TMDIChild::Open1Click);
    run(Close1, &TMDIChild::Close1Click);
    run(Save1, &TMDIChild::Save1Click);
    run(SaveAs1, &TMDIChild::SaveAs1Click);
    run(PageSetup1, &TMDIChild::PageSetup1Click);
    run(PrintPreview1, &TMDIChild::PrintPreview1Click);
    run(Print1, &TMDIChild::Print1Click);
    run(Exit1, &TMDIChild::Exit1Click);

    Edit1 = makeMenu(this, "Edit1", QStringLiteral("編集(&E)"));
    Bakuset2 = makeItem(Edit1, "Bakuset2", QStringLiteral("元に戻せません　  Ctrl+Z"),
                        QStringLiteral("直前に行った操作を元に戻します。"));
    Ritarn2 = makeItem(Edit1, "Ritarn2", QStringLiteral("やり直せません"), QStringLiteral("直前の元に戻した操作をやり直します。"));
    Bakuset2->setEnabled(false);
    Ritarn2->setEnabled(false);
    Edit1->addSeparator();
    MenuItem6 = makeItem(Edit1, "MenuItem6", QStringLiteral("切り取り(&T)        Ctrl+X"),
                         QStringLiteral("選択範囲を切り取りクリップボードに移動します。"));
    MenuItem7 = makeItem(Edit1, "MenuItem7", QStringLiteral("コピー(&C)       　  Ctrl+C"),
                         QStringLiteral("選択範囲をクリップボードへｺﾋﾟｰします。"));
    MenuItem8 = makeItem(Edit1, "MenuItem8", QStringLiteral("貼り付け(&P）       Ctrl+V"),
                         QStringLiteral("クリップボードの内容を挿入します。"));
    Edit1->addSeparator();
    Delete1 = makeItem(Edit1, "Delete1", QStringLiteral("クリア(&D)　　　 　 　Del"), QStringLiteral("選択範囲を消去します。"));
    SelectAll1 = makeItem(Edit1, "SelectAll1", QStringLiteral("全て選択(&A)"), QStringLiteral("文書全体を選択します。"));
    Edit1->addSeparator();
    SearRep1 = makeItem(Edit1, "SearRep1", QStringLiteral("検索(&S)..."), QStringLiteral("指定した文字列を検索します。"));
    SearRep2 = makeItem(Edit1, "SearRep2", QStringLiteral("置き換え(&L)..."),
                        QStringLiteral("指定した文字列を別の文字列に置き換えます。"));
    connect(Edit1, &QMenu::aboutToShow, this, guarded([this] { PopupMenu1Popup(); }));
    run(Bakuset2, &TMDIChild::Bakuset1Click);
    run(Ritarn2, &TMDIChild::Ritarn1Click);
    run(MenuItem6, &TMDIChild::Cut1Click);
    run(MenuItem7, &TMDIChild::Copy1Click);
    run(MenuItem8, &TMDIChild::Paste1Click);
    run(Delete1, &TMDIChild::Delete1Click);
    run(SelectAll1, &TMDIChild::SelectAll1Click);
    run(SearRep1, &TMDIChild::SearRep1Click);
    run(SearRep2, &TMDIChild::SearRep2Click);

    Show1 = makeMenu(this, "Show1", QStringLiteral("表示(&V)"));
    Normal1 = makeCheckItem(Show1, "Normal1", QStringLiteral("標準(&N)"),
                            QStringLiteral("テキストを標準モードで表示します。"), false);
    PageLayout1 = makeCheckItem(Show1, "PageLayout1", QStringLiteral("ページレイアウト(&L)"),
                                QStringLiteral("テキストをページレイアウトで表示します。"), true);
    Show1->addSeparator();
    ToolBar1 = makeCheckItem(Show1, "ToolBar1", QStringLiteral("ツールバー(&T)"),
                             QStringLiteral("ツールバーの表示/非表示を切り替えます。"), true);
    ButtonBar1 = makeCheckItem(Show1, "ButtonBar1", QStringLiteral("ボタンバー(&B)"),
                               QStringLiteral("ボタンバーの表示/非表示を切り替えます。"), true);
    StatusBar1 = makeCheckItem(Show1, "StatusBar1", QStringLiteral("ステータスバー(&S)"),
                               QStringLiteral("ステータスバーの表示/非表示を切り替えます。"), true);
    Ruler1 = makeCheckItem(Show1, "Ruler1", QStringLiteral("ルーラ(&R)"),
                           QStringLiteral("ルーラの表示/非表示を切り替えます。"), true);
    DanRaku = makeCheckItem(Show1, "DanRaku", QStringLiteral("段落記号(&D)"), QString(), false);
    Show1->addSeparator();
    ZoomItem1 = makeMenu(this, "ZoomItem1", QStringLiteral("ズーム(&Z)"));
    Show1->addMenu(ZoomItem1);
    static const char *const zoomNames[7] = {"Zoom1", "Zoom2", "Zoom3", "Zoom4", "Zoom5", "Zoom6", "Zoom7"};
    static const char16_t *const zoomCaptions[7] = {u"25%(&1)", u"50%(&2)", u"75%(&3)", u"100%(&4)",
                                                    u"150%(&5)", u"200%(&6)", u"300%(&7)"};
    static const char16_t *const zoomHints[7] = {u"２５％ズームします。", u"５０％ズームします。", u"７５％ズームします。",
                                                 u"１００％ズームします。", u"１５０％ズームします。",
                                                 u"２００％ズームします。", u"３００％ズームします。"};
    for (int step = 0; step < 7; ++step) {
        Zoom[step] = makeCheckItem(ZoomItem1, zoomNames[step], QString::fromUtf16(zoomCaptions[step]),
                                   QString::fromUtf16(zoomHints[step]), step == 3);
        connect(Zoom[step], &QAction::triggered, this, guarded([this, step] {
                    undoAutomaticCheck(Zoom[step]);
                    ZoomClick(step);
                }));
    }
    Show1->addSeparator();
    Option = makeItem(Show1, "Option", QStringLiteral("オプション(&O)"));
    runChecked(Normal1, &TMDIChild::Normal1Click);
    runChecked(PageLayout1, &TMDIChild::PageLayout1Click);
    runChecked(ToolBar1, &TMDIChild::ToolBar1Click);
    runChecked(ButtonBar1, &TMDIChild::ButtonBar1Click);
    runChecked(StatusBar1, &TMDIChild::StatusBar1Click);
    runChecked(Ruler1, &TMDIChild::Ruler1Click);
    runChecked(DanRaku, &TMDIChild::DanRakuClick);
    run(Option, &TMDIChild::OptionClick);

    Insert1 = makeMenu(this, "Insert1", QStringLiteral("挿入(&Ｉ)"));
    File2 = makeItem(Insert1, "File2", QStringLiteral("ファイル(&Ｆ)..."), QStringLiteral("ファイルを挿入します。"));
    Insert1->addSeparator();
    Image_Fixed1 = makeItem(Insert1, "Image_Fixed1", QStringLiteral("イメージ(&I)..."), QStringLiteral("イメージを挿入します。"));
    Image_Char1 = makeItem(Insert1, "Image_Char1", QStringLiteral("イメージ（文字扱い）(&M)..."),
                           QStringLiteral("イメージを文字として挿入します。"));
    Insert1->addSeparator();
    Objct1 = makeItem(Insert1, "Objct1", QStringLiteral("オブジェクト(&O)..."), QStringLiteral("ＯＬＥオブジェクトを挿入します。"));
    Object_Char1 = makeItem(Insert1, "Object_Char1", QStringLiteral("オブジェクト（文字扱い）(&B)"),
                            QStringLiteral("ＯＬＥオブジェクトを文字として挿入します。"));
    run(File2, &TMDIChild::File2Click);
    run(Image_Fixed1, &TMDIChild::Image_Fixed1Click);
    run(Image_Char1, &TMDIChild::Image_Char1Click);
    run(Objct1, &TMDIChild::Objct1Click);
    run(Object_Char1, &TMDIChild::Object_Char1Click);

    Format1 = makeMenu(this, "Format1", QStringLiteral("書式(&S)"));
    MenuItem10 = makeItem(Format1, "MenuItem10", QStringLiteral("文字(&F)..."),
                          QStringLiteral("選択されている文字の属性を設定します。"));
    TxtColr1 = makeItem(Format1, "TxtColr1", QStringLiteral("テキストの色(&T)..."), QStringLiteral("テキストの色の変更を行います"));
    BkColr1 = makeItem(Format1, "BkColr1", QStringLiteral("背景色（&B)"), QStringLiteral("背景の色の変更を行います"));
    Format1->addSeparator();
    Paragraph1 = makeItem(Format1, "Paragraph1", QStringLiteral("段落(&P)..."),
                          QStringLiteral("選択されている段落の属性を設定します。"));
    MenuItem11 = makeItem(Format1, "MenuItem11", QStringLiteral("段落の枠線（&Ｆ）"), QStringLiteral("段落の枠線の設定えお行います"));
    run(MenuItem10, &TMDIChild::Font1Click);
    run(TxtColr1, &TMDIChild::TxtColr1Click);
    run(BkColr1, &TMDIChild::BkColr1Click);
    run(Paragraph1, &TMDIChild::Paragraph1Click);
    run(MenuItem11, &TMDIChild::dann1Click);

    Table1 = makeMenu(this, "Table1", QStringLiteral("表(&T)"));
    Insert3 = makeItem(Table1, "Insert3", QStringLiteral("挿入(&I)..."), QStringLiteral("表を挿入します。"));
    Attr3 = makeItem(Table1, "Attr3", QStringLiteral("設定(&S)..."), QStringLiteral("表の属性設定を変更します。"));
    Del_Lines3 = makeItem(Table1, "Del_Lines3", QStringLiteral("行の削除(&D)"), QStringLiteral("選択範囲の表を消去します。"));
    MGridLines = makeCheckItem(Table1, "MGridLines", QStringLiteral("グリッドライン(&G)"),
                               QStringLiteral("表のグリッド線を表示します。"), true);
    connect(Table1, &QMenu::aboutToShow, this, guarded([this] { Table1Click(); }));
    run(Insert3, &TMDIChild::Insert2Click);
    run(Attr3, &TMDIChild::Attr1Click);
    run(Del_Lines3, &TMDIChild::Del_Lines1Click);
    runChecked(MGridLines, &TMDIChild::PGridLinesClick);
}

void TMDIChild::createPopupMenu()
{
    auto run = [this](QAction *item, void (TMDIChild::*handler)()) {
        connect(item, &QAction::triggered, this, guarded([this, handler] { (this->*handler)(); }));
    };
    // Qt ticks a checkable item before its handler runs; the handlers decide
    // the tick themselves from the state the user saw.
    auto runChecked = [this](QAction *item, void (TMDIChild::*handler)()) {
        connect(item, &QAction::triggered, this, guarded([this, item, handler] {
                    undoAutomaticCheck(item);
                    (this->*handler)();
                }));
    };

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Bakuset1 = makeItem(PopupMenu1, "Bakuset1", QStringLiteral("元に戻せません　  Ctrl+Z"),
                        QStringLiteral("直前に行った操作を元に戻します。"));
    Ritarn1 = makeItem(PopupMenu1, "Ritarn1", QStringLiteral("やり直せません"), QStringLiteral("直前の元に戻した操作をやり直します。"));
    Bakuset1->setEnabled(false);
    Ritarn1->setEnabled(false);
    Cut1 = makeItem(PopupMenu1, "Cut1", QStringLiteral("切り取り(&T)"));
    Copy1 = makeItem(PopupMenu1, "Copy1", QStringLiteral("コピー(&C)"), QStringLiteral("選択範囲をクリップボードへコピーします"));
    Paste1 = makeItem(PopupMenu1, "Paste1", QStringLiteral("貼り付け(&P)"), QStringLiteral("クリップボードへ挿入します"));
    PopupMenu1->addSeparator();
    A1 = makeItem(PopupMenu1, "A1", QStringLiteral("全て選択(&A)"));
    PopupMenu1->addSeparator();
    N3 = makeMenu(this, "N3", QStringLiteral("表(&T)"));
    PopupMenu1->addMenu(N3);
    Insert2 = makeItem(N3, "Insert2", QStringLiteral("挿入(&I)..."), QStringLiteral("表を挿入します。"));
    Attr1 = makeItem(N3, "Attr1", QStringLiteral("設定(&S)..."), QStringLiteral("表の属性設定を変更します。"));
    Del_Lines1 = makeItem(N3, "Del_Lines1", QStringLiteral("行の削除(&D)"), QStringLiteral("選択範囲の表を消去します。"));
    PGridLines = makeCheckItem(N3, "PGridLines", QStringLiteral("グリッドライン(&G)"),
                               QStringLiteral("表のグリッド線を表示します。"), true);
    PopupMenu1->addSeparator();
    Font1 = makeMenu(this, "Font1", QStringLiteral("フォント(&F)"), QStringLiteral("フォントサイズを変更します"));
    PopupMenu1->addMenu(Font1);
    Document1 = makeItem(Font1, "Document1", QStringLiteral("文字(&F)..."), QStringLiteral("選択されている文字の属性を設定します。"));
    TxtColr2 = makeItem(Font1, "TxtColr2", QStringLiteral("テキストの色(&K)..."), QStringLiteral("テキストの色の変更を行います"));
    BkColr2 = makeItem(Font1, "BkColr2", QStringLiteral("背景色（&B)"), QStringLiteral("背景の色の変更を行います"));
    D2 = makeMenu(this, "D2", QStringLiteral("段落(&D)"), QStringLiteral("選択されている段落の属性を設定します"));
    PopupMenu1->addMenu(D2);
    Paragraph2 = makeItem(D2, "Paragraph2", QStringLiteral("段落(&D)"), QStringLiteral("選択されている段落の属性を設定します"));
    dann1 = makeItem(D2, "dann1", QStringLiteral("段落の枠線（&Ｆ）"));

    connect(PopupMenu1, &QMenu::aboutToShow, this, guarded([this] { PopupMenu1Popup(); }));
    // A context menu is a window of its own, so the status tips of its items
    // stop there instead of reaching the frame: hand them on as they light up.
    for (QMenu *menu : {PopupMenu1, N3, Font1, D2}) {
        connect(menu, &QMenu::hovered, this, [this](QAction *item) { m_frame->ShowApplicationHint(item->statusTip()); });
    }
    connect(PopupMenu1, &QMenu::aboutToHide, this, [this] { m_frame->ShowApplicationHint(QString()); });
    run(Bakuset1, &TMDIChild::Bakuset1Click);
    run(Ritarn1, &TMDIChild::Ritarn1Click);
    run(Cut1, &TMDIChild::Cut1Click);
    run(Copy1, &TMDIChild::Copy1Click);
    run(Paste1, &TMDIChild::Paste1Click);
    run(A1, &TMDIChild::SelectAll1Click);
    run(Insert2, &TMDIChild::Insert2Click);
    run(Attr1, &TMDIChild::Attr1Click);
    run(Del_Lines1, &TMDIChild::Del_Lines1Click);
    runChecked(PGridLines, &TMDIChild::PGridLinesClick);
    run(Document1, &TMDIChild::Font1Click);
    run(TxtColr2, &TMDIChild::TxtColr1Click);
    run(BkColr2, &TMDIChild::BkColr1Click);
    run(Paragraph2, &TMDIChild::Paragraph1Click);
    run(dann1, &TMDIChild::dann1Click);
}
