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

// One line of a menu: the member that holds the item, its object name,
// caption, hint and handler. A line without a member is a separator.
struct MenuLine
{
    enum class Tick { None, Off, On };

    QAction *TMDIChild::*item = nullptr;
    const char *name = nullptr;
    const char16_t *caption = u"";
    const char16_t *hint = u"";
    void (TMDIChild::*handler)() = nullptr;
    Tick tick = Tick::None;
};

constexpr MenuLine separator{};

// Qt ticks a checkable item before its handler runs; the handlers decide the
// tick themselves from the state the user saw, so Qt's tick is taken back.
void undoAutomaticCheck(QAction *item)
{
    item->setChecked(!item->isChecked());
}

QAction *addLine(TMDIChild *window, QMenu *menu, const MenuLine &line)
{
    QAction *item = menu->addAction(QString::fromUtf16(line.caption));
    item->setObjectName(QLatin1String(line.name));
    item->setStatusTip(QString::fromUtf16(line.hint));
    window->*line.item = item;
    const auto handler = line.handler;
    if (line.tick == MenuLine::Tick::None) {
        QObject::connect(item, &QAction::triggered, window, guarded([window, handler] { (window->*handler)(); }));
    } else {
        item->setCheckable(true);
        item->setChecked(line.tick == MenuLine::Tick::On);
        QObject::connect(item, &QAction::triggered, window, guarded([window, item, handler] {
                             undoAutomaticCheck(item);
                             (window->*handler)();
                         }));
    }
    return item;
}

void addLines(TMDIChild *window, QMenu *menu, std::initializer_list<MenuLine> lines)
{
    for (const MenuLine &line : lines) {
        if (line.item)
            addLine(window, menu, line);
        else
            menu->addSeparator();
    }
}

using Tick = MenuLine::Tick;
using W = TMDIChild;

} // namespace

void TMDIChild::createMenus()
{
    File1 = makeMenu(this, "File1", QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("ﾌｧｲﾙ操作に関するｺﾏﾝﾄﾞ"));
    addLines(this, File1, {
        {&W::New1, "New1", u"新規作成(&N)                              Ctrl+N", u"新規ﾌｧｲﾙの作成", &W::New1Click},
        {&W::Open1, "Open1", u"開く(&O)...                                    Ctrl+O", u"既存のﾌｧｲﾙを開く", &W::Open1Click},
        {&W::Close1, "Close1", u"閉じる(&C)", u"ﾌｧｲﾙを閉じる", &W::Close1Click},
        {&W::Save1, "Save1", u"上書き保存(&S)                            Ctrl+S", u"現在のﾌｧｲﾙを保存", &W::Save1Click},
        {&W::SaveAs1, "SaveAs1", u"名前を付けて保存(&A)...", u"名前を付けて保存...", &W::SaveAs1Click},
        separator,
        {&W::PageSetup1, "PageSetup1", u"ページ設定(&T)", u"印刷オプションを変更します。", &W::PageSetup1Click},
        {&W::PrintPreview1, "PrintPreview1", u"印刷プレビュー(&V)", u"ページ全体を表示します。", &W::PrintPreview1Click},
        {&W::Print1, "Print1", u"印刷(&P)                                    Ctrl+P", u"現在の文書を印刷します。", &W::Print1Click},
        separator,
        {&W::Exit1, "Exit1", u"終了(&V)", u"文書の保存を確認し、アプリケーションを終了します。", &W::Exit1Click},
    });

    Edit1 = makeMenu(this, "Edit1", QStringLiteral("編集(&E)"));
    addLines(this, Edit1, {
        {&W::Bakuset2, "Bakuset2", u"元に戻せません　  Ctrl+Z", u"直前に行った操作を元に戻します。", &W::Bakuset1Click},
        {&W::Ritarn2, "Ritarn2", u"やり直せません", u"直前の元に戻した操作をやり直します。", &W::Ritarn1Click},
        separator,
        {&W::MenuItem6, "MenuItem6", u"切り取り(&T)        Ctrl+X", u"選択範囲を切り取りクリップボードに移動します。", &W::Cut1Click},
        {&W::MenuItem7, "MenuItem7", u"コピー(&C)       　  Ctrl+C", u"選択範囲をクリップボードへｺﾋﾟｰします。", &W::Copy1Click},
        {&W::MenuItem8, "MenuItem8", u"貼り付け(&P）       Ctrl+V", u"クリップボードの内容を挿入します。", &W::Paste1Click},
        separator,
        {&W::Delete1, "Delete1", u"クリア(&D)　　　 　 　Del", u"選択範囲を消去します。", &W::Delete1Click},
        {&W::SelectAll1, "SelectAll1", u"全て選択(&A)", u"文書全体を選択します。", &W::SelectAll1Click},
        separator,
        {&W::SearRep1, "SearRep1", u"検索(&S)...", u"指定した文字列を検索します。", &W::SearRep1Click},
        {&W::SearRep2, "SearRep2", u"置き換え(&L)...", u"指定した文字列を別の文字列に置き換えます。", &W::SearRep2Click},
    });
    Bakuset2->setEnabled(false);
    Ritarn2->setEnabled(false);
    connect(Edit1, &QMenu::aboutToShow, this, guarded([this] { PopupMenu1Popup(); }));

    Show1 = makeMenu(this, "Show1", QStringLiteral("表示(&V)"));
    addLines(this, Show1, {
        {&W::Normal1, "Normal1", u"標準(&N)", u"テキストを標準モードで表示します。", &W::Normal1Click, Tick::Off},
        {&W::PageLayout1, "PageLayout1", u"ページレイアウト(&L)", u"テキストをページレイアウトで表示します。", &W::PageLayout1Click, Tick::On},
        separator,
        {&W::ToolBar1, "ToolBar1", u"ツールバー(&T)", u"ツールバーの表示/非表示を切り替えます。", &W::ToolBar1Click, Tick::On},
        {&W::ButtonBar1, "ButtonBar1", u"ボタンバー(&B)", u"ボタンバーの表示/非表示を切り替えます。", &W::ButtonBar1Click, Tick::On},
        {&W::StatusBar1, "StatusBar1", u"ステータスバー(&S)", u"ステータスバーの表示/非表示を切り替えます。", &W::StatusBar1Click, Tick::On},
        {&W::Ruler1, "Ruler1", u"ルーラ(&R)", u"ルーラの表示/非表示を切り替えます。", &W::Ruler1Click, Tick::On},
        {&W::DanRaku, "DanRaku", u"段落記号(&D)", u"", &W::DanRakuClick, Tick::Off},
        separator,
    });
    ZoomItem1 = makeMenu(this, "ZoomItem1", QStringLiteral("ズーム(&Z)"));
    Show1->addMenu(ZoomItem1);
    static const char *const zoomNames[7] = {"Zoom1", "Zoom2", "Zoom3", "Zoom4", "Zoom5", "Zoom6", "Zoom7"};
    static const char16_t *const zoomCaptions[7] = {u"25%(&1)", u"50%(&2)", u"75%(&3)", u"100%(&4)",
                                                    u"150%(&5)", u"200%(&6)", u"300%(&7)"};
    static const char16_t *const zoomHints[7] = {u"２５％ズームします。", u"５０％ズームします。", u"７５％ズームします。",
                                                 u"１００％ズームします。", u"１５０％ズームします。",
                                                 u"２００％ズームします。", u"３００％ズームします。"};
    for (int step = 0; step < 7; ++step) {
        QAction *zoom = ZoomItem1->addAction(QString::fromUtf16(zoomCaptions[step]));
        zoom->setObjectName(QLatin1String(zoomNames[step]));
        zoom->setStatusTip(QString::fromUtf16(zoomHints[step]));
        zoom->setCheckable(true);
        zoom->setChecked(step == 3);
        Zoom[step] = zoom;
        connect(zoom, &QAction::triggered, this, guarded([this, zoom, step] {
                    undoAutomaticCheck(zoom);
                    ZoomClick(step);
                }));
    }
    addLines(this, Show1, {
        separator,
        {&W::Option, "Option", u"オプション(&O)", u"", &W::OptionClick},
    });

    Insert1 = makeMenu(this, "Insert1", QStringLiteral("挿入(&Ｉ)"));
    addLines(this, Insert1, {
        {&W::File2, "File2", u"ファイル(&Ｆ)...", u"ファイルを挿入します。", &W::File2Click},
        separator,
        {&W::Image_Fixed1, "Image_Fixed1", u"イメージ(&I)...", u"イメージを挿入します。", &W::Image_Fixed1Click},
        {&W::Image_Char1, "Image_Char1", u"イメージ（文字扱い）(&M)...", u"イメージを文字として挿入します。", &W::Image_Char1Click},
        separator,
        {&W::Objct1, "Objct1", u"オブジェクト(&O)...", u"ＯＬＥオブジェクトを挿入します。", &W::Objct1Click},
        {&W::Object_Char1, "Object_Char1", u"オブジェクト（文字扱い）(&B)", u"ＯＬＥオブジェクトを文字として挿入します。", &W::Object_Char1Click},
    });

    Format1 = makeMenu(this, "Format1", QStringLiteral("書式(&S)"));
    addLines(this, Format1, {
        {&W::MenuItem10, "MenuItem10", u"文字(&F)...", u"選択されている文字の属性を設定します。", &W::Font1Click},
        {&W::TxtColr1, "TxtColr1", u"テキストの色(&T)...", u"テキストの色の変更を行います", &W::TxtColr1Click},
        {&W::BkColr1, "BkColr1", u"背景色（&B)", u"背景の色の変更を行います", &W::BkColr1Click},
        separator,
        {&W::Paragraph1, "Paragraph1", u"段落(&P)...", u"選択されている段落の属性を設定します。", &W::Paragraph1Click},
        {&W::MenuItem11, "MenuItem11", u"段落の枠線（&Ｆ）", u"段落の枠線の設定えお行います", &W::dann1Click},
    });

    Table1 = makeMenu(this, "Table1", QStringLiteral("表(&T)"));
    addLines(this, Table1, {
        {&W::Insert3, "Insert3", u"挿入(&I)...", u"表を挿入します。", &W::Insert2Click},
        {&W::Attr3, "Attr3", u"設定(&S)...", u"表の属性設定を変更します。", &W::Attr1Click},
        {&W::Del_Lines3, "Del_Lines3", u"行の削除(&D)", u"選択範囲の表を消去します。", &W::Del_Lines1Click},
        {&W::MGridLines, "MGridLines", u"グリッドライン(&G)", u"表のグリッド線を表示します。", &W::PGridLinesClick, Tick::On},
    });
    connect(Table1, &QMenu::aboutToShow, this, guarded([this] { Table1Click(); }));
}

void TMDIChild::createPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    addLines(this, PopupMenu1, {
        {&W::Bakuset1, "Bakuset1", u"元に戻せません　  Ctrl+Z", u"直前に行った操作を元に戻します。", &W::Bakuset1Click},
        {&W::Ritarn1, "Ritarn1", u"やり直せません", u"直前の元に戻した操作をやり直します。", &W::Ritarn1Click},
        {&W::Cut1, "Cut1", u"切り取り(&T)", u"", &W::Cut1Click},
        {&W::Copy1, "Copy1", u"コピー(&C)", u"選択範囲をクリップボードへコピーします", &W::Copy1Click},
        {&W::Paste1, "Paste1", u"貼り付け(&P)", u"クリップボードへ挿入します", &W::Paste1Click},
        separator,
        {&W::A1, "A1", u"全て選択(&A)", u"", &W::SelectAll1Click},
        separator,
    });
    Bakuset1->setEnabled(false);
    Ritarn1->setEnabled(false);

    N3 = makeMenu(this, "N3", QStringLiteral("表(&T)"));
    PopupMenu1->addMenu(N3);
    addLines(this, N3, {
        {&W::Insert2, "Insert2", u"挿入(&I)...", u"表を挿入します。", &W::Insert2Click},
        {&W::Attr1, "Attr1", u"設定(&S)...", u"表の属性設定を変更します。", &W::Attr1Click},
        {&W::Del_Lines1, "Del_Lines1", u"行の削除(&D)", u"選択範囲の表を消去します。", &W::Del_Lines1Click},
        {&W::PGridLines, "PGridLines", u"グリッドライン(&G)", u"表のグリッド線を表示します。", &W::PGridLinesClick, Tick::On},
    });
    PopupMenu1->addSeparator();

    Font1 = makeMenu(this, "Font1", QStringLiteral("フォント(&F)"), QStringLiteral("フォントサイズを変更します"));
    PopupMenu1->addMenu(Font1);
    addLines(this, Font1, {
        {&W::Document1, "Document1", u"文字(&F)...", u"選択されている文字の属性を設定します。", &W::Font1Click},
        {&W::TxtColr2, "TxtColr2", u"テキストの色(&K)...", u"テキストの色の変更を行います", &W::TxtColr1Click},
        {&W::BkColr2, "BkColr2", u"背景色（&B)", u"背景の色の変更を行います", &W::BkColr1Click},
    });
    D2 = makeMenu(this, "D2", QStringLiteral("段落(&D)"), QStringLiteral("選択されている段落の属性を設定します"));
    PopupMenu1->addMenu(D2);
    addLines(this, D2, {
        {&W::Paragraph2, "Paragraph2", u"段落(&D)", u"選択されている段落の属性を設定します", &W::Paragraph1Click},
        {&W::dann1, "dann1", u"段落の枠線（&Ｆ）", u"", &W::dann1Click},
    });

    connect(PopupMenu1, &QMenu::aboutToShow, this, guarded([this] { PopupMenu1Popup(); }));
    // A context menu is a window of its own, so the status tips of its items
    // stop there instead of reaching the frame: hand them on as they light up.
    for (QMenu *menu : {PopupMenu1, N3, Font1, D2}) {
        connect(menu, &QMenu::hovered, this, [this](QAction *item) { m_frame->ShowApplicationHint(item->statusTip()); });
    }
    connect(PopupMenu1, &QMenu::aboutToHide, this, [this] { m_frame->ShowApplicationHint(QString()); });
}
