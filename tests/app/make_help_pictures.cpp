// Makes the pictures of the user guide (data/help/TPKNHhlp/images) with the
// program itself, headless:
//   QT_QPA_PLATFORM=offscreen build/tests/make_help_pictures data/help/TPKNHhlp/images
// The frame, every menu of the menu bar, the context menu and the options
// dialog, as a user sees them.

#include "app/OptionSettings.h"
#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "app/TOptionForm.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"

#include <QDir>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

// Japanese arrives through the input method, as it does when typed.
void typeText(QWidget *target, const QString &text)
{
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(target, &commit);
}

bool save(QWidget *widget, const QDir &folder, const QString &name)
{
    QTest::qWait(30);
    if (widget->grab().save(folder.filePath(name)))
        return true;
    qWarning("could not write %s", qPrintable(folder.filePath(name)));
    return false;
}

// Opens the menu titled `title` from the menu bar and saves its picture.
bool saveMenu(TMainForm &frame, const QString &title, const QDir &folder, const QString &name)
{
    QMenuBar *bar = frame.menuBar();
    for (QAction *action : bar->actions()) {
        if (action->isVisible() && action->text() == title && action->menu()) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
            QTest::qWaitFor([&] { return action->menu()->isVisible(); }, 2000);
            const bool saved = save(action->menu(), folder, name);
            action->menu()->close();
            return saved;
        }
    }
    qWarning("no menu %s", qPrintable(title));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    const QDir folder(args.value(0, QStringLiteral(".")));
    QDir().mkpath(folder.path());
    // The pictures show the settings a new user has, not the author's.
    QTemporaryDir settings;
    setOptionIniPath(settings.filePath(QStringLiteral("Option.ini")));

    TMainForm frame{QStringList()};
    frame.createStartupDialogs();
    frame.show();
    QTest::qWaitForWindowExposed(&frame);

    TMDIChild *document = frame.activeDocument();
    document->showMaximized();
    TTextEngine *engine = document->TextEngine1;
    engine->setFocus();
    frame.BtnPgCentered->click();
    frame.BtnBold->click();
    typeText(engine, QStringLiteral("たまぴこで文書を作ります"));
    QTest::keyClick(engine, Qt::Key_Return);
    frame.BtnBold->click();
    frame.BtnPgLeft->click();
    typeText(engine, QStringLiteral("起動したらすぐに日本語を入力できます。ツールバーでフォントやサイズ、"
                                    "太字や揃えを選び、Ctrl+S で保存します。"));

    bool ok = save(&frame, folder, QStringLiteral("frame.png"));
    const QList<QPair<QString, QString>> menus = {
        {QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("menu-file.png")},
        {QStringLiteral("編集(&E)"), QStringLiteral("menu-edit.png")},
        {QStringLiteral("表示(&V)"), QStringLiteral("menu-view.png")},
        {QStringLiteral("挿入(&Ｉ)"), QStringLiteral("menu-insert.png")},
        {QStringLiteral("書式(&S)"), QStringLiteral("menu-format.png")},
        {QStringLiteral("表(&T)"), QStringLiteral("menu-table.png")},
        {QStringLiteral("ｳｨﾝﾄﾞｳ(&W)"), QStringLiteral("menu-window.png")},
        {QStringLiteral("ﾍﾙﾌﾟ(&H)"), QStringLiteral("menu-help.png")},
    };
    for (const auto &[title, name] : menus)
        ok = saveMenu(frame, title, folder, name) && ok;

    QWidget *page = engine->viewport();
    QTest::mouseClick(page, Qt::RightButton, {}, page->rect().center());
    QTest::qWaitFor([&] { return document->PopupMenu1->isVisible(); }, 2000);
    ok = save(document->PopupMenu1, folder, QStringLiteral("context.png")) && ok;
    document->PopupMenu1->close();

    frame.OptionForm->show();
    ok = save(frame.OptionForm, folder, QStringLiteral("options.png")) && ok;
    frame.OptionForm->hide();
    return ok ? 0 : 1;
}
