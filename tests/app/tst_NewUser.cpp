// What a new user does in the first minutes, driven through the real widgets:
// menus opened and clicked, keys sent to the window, files dropped onto the
// page. Each case pins a fault that once lost a page, a keystroke or a save.

#include "app/DocumentOpening.h"
#include "app/OptionSettings.h"
#include "app/TMainForm.h"
#include "app/TOptionForm.h"
#include "document/DocumentPrompts.h"
#include "document/TMDIChild.h"
#include "engine/TEngineRuler.h"
#include "engine/dialogs/CharacterDialog.h"
#include "engine/TEngineStatusBar.h"
#include "engine/TTextEngine.h"
#include "support/FrameFixture.h"
#include "support/RichDocumentBuilder.h"
#include "support/UserActions.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QTextBlock>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPrintDialog>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QtTest>

using tamapiko::app::Answer;
using tamapiko::test::chooseMenuItem;
using tamapiko::test::ScriptedBoxes;
using tamapiko::test::startFrame;
using tamapiko::test::typeInto;

namespace {

QString textOf(TMDIChild *window)
{
    return window->TextEngine1->document()->toPlainText();
}

// Opens the box's list with a click and clicks the entry `text`.
void pickFromBox(QComboBox *box, const QString &text)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    const QRect arrow = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, arrow.center());
    QAbstractItemView *list = box->view();
    QVERIFY(QTest::qWaitFor([list] { return list->isVisible(); }, 2000));
    // A list that has just opened ignores a release for a moment, so that
    // the click that opened it does not also choose.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    const int row = box->findText(text);
    QVERIFY2(row >= 0, qPrintable(text));
    const QModelIndex index = box->model()->index(row, 0);
    list->scrollTo(index);
    const QPoint centre = list->visualRect(index).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QApplication::processEvents();
}

// The centre of `window`'s page, in frame coordinates.
QPoint pageCentre(TMainForm &frame, TMDIChild *window)
{
    QWidget *page = window->TextEngine1->viewport();
    return page->mapTo(&frame, page->rect().center());
}

} // namespace

class tst_NewUser : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void init()
    {
        setOptionIniPath(m_dir.filePath(QStringLiteral("Option.ini")));
    }
    void cleanup()
    {
        tamapiko::document::setSaveNameHook({});
        tamapiko::app::setOpenNameHook({});
        setOptionIniPath(QString());
    }

    void pageSurvivesMinimiseMaximiseAndRestore()
    {
        auto frame = startFrame();
        TTextEngine *engine = frame->activeDocument()->TextEngine1;
        engine->setPageWidth(16838); // landscape A4, as a loaded .txm sets it
        engine->setPageHeight(11900);

        QVERIFY(chooseMenuItem(frame.get(), QStringLiteral("ｳｨﾝﾄﾞｳ(&W)"), QStringLiteral("すべてをｱｲｺﾝ化")));
        QVERIFY(frame->activeDocument()->isMinimized());
        QVERIFY(chooseMenuItem(frame.get(), QStringLiteral("ｳｨﾝﾄﾞｳ(&W)"), QStringLiteral("&1 NONAME1")));
        QVERIFY(!frame->activeDocument()->isMinimized());
        frame->activeDocument()->showMaximized();
        frame->activeDocument()->showMinimized();
        frame->activeDocument()->showNormal();
        QApplication::processEvents();
        QCOMPARE(engine->PageWidth(), 16838);
        QCOMPARE(engine->PageHeight(), 11900);
    }

    void typingReachesThePageAtOnceAndTheFileKeysWork()
    {
        ScriptedBoxes boxes({Answer::No, Answer::No, Answer::No});
        auto frame = startFrame();
        QVERIFY(tamapiko::test::activate(frame.get()));
        typeInto(frame.get(), QStringLiteral("abc"));
        QCOMPARE(textOf(frame->activeDocument()), QStringLiteral("abc"));

        // Ctrl+N: a new window, and typing goes into it.
        QTest::keyClick(frame->windowHandle(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(frame->documents().size(), 2);
        TMDIChild *second = frame->activeDocument();
        typeInto(frame.get(), QStringLiteral("new"));
        QCOMPARE(textOf(second), QStringLiteral("new"));

        // Ctrl+S: the save of the active window.
        const QString saved = m_dir.filePath(QStringLiteral("typed.txt"));
        tamapiko::document::setSaveNameHook([saved](TMDIChild &) { return saved; });
        QTest::keyClick(frame->windowHandle(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(QFileInfo::exists(saved));
        QCOMPARE(second->windowTitle(), saved);

        // Ctrl+O: the opened file's window takes the typing.
        tamapiko::app::setOpenNameHook([saved](QFileDialog &) { return saved; });
        QTest::keyClick(frame->windowHandle(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(frame->documents().size(), 3);
        TMDIChild *opened = frame->activeDocument();
        QCOMPARE(opened->windowTitle(), saved);
        QTest::keyClick(frame->windowHandle(), Qt::Key_End, Qt::ControlModifier);
        typeInto(frame.get(), QStringLiteral("Z"));
        QVERIFY2(textOf(opened).endsWith(u'Z'), qPrintable(textOf(opened)));

        // Ctrl+P chooses the print item of the file menu, whose dialog the
        // user cancels.
        QSignalSpy print(opened->Print1, &QAction::triggered);
        bool dialogShown = false;
        tamapiko::test::whenShown<QPrintDialog>([&dialogShown](QPrintDialog *dialog) {
            dialogShown = true;
            dialog->reject();
        });
        QTest::keyClick(frame->windowHandle(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(print.size(), 1);
        QVERIFY(dialogShown);
    }

    void theSizeBoxShowsTheWholeSizeInALargeFont()
    {
        const QFont usual = QApplication::font();
        QFont large = usual;
        large.setPointSizeF(usual.pointSizeF() * 1.6);
        QApplication::setFont(large);
        auto frame = startFrame();
        QVERIFY(tamapiko::test::activate(frame.get()));
        QLineEdit *field = frame->CobPointSize->lineEdit();
        const int needed = field->fontMetrics().horizontalAdvance(field->text()) + 4; // the field's own margins
        const int shown = field->contentsRect().width();
        QApplication::setFont(usual);
        QCOMPARE(frame->CobPointSize->currentText(), QStringLiteral("10.5"));
        QVERIFY2(needed <= shown, qPrintable(QStringLiteral("%1 px needed, %2 shown").arg(needed).arg(shown)));
    }

    void typingAfterAToolbarChoiceIsNotLost()
    {
        auto frame = startFrame();
        QVERIFY(tamapiko::test::activate(frame.get()));
        TMDIChild *window = frame->activeDocument();
        pickFromBox(frame->CobPointSize, QStringLiteral("14"));
        // The focus rule stands: the ruler has it, and hands typing on.
        QCOMPARE(QApplication::focusWidget(), window->EngineRuler1);
        typeInto(frame.get(), QStringLiteral("ab"));
        QCOMPARE(textOf(window), QStringLiteral("ab"));
        QCOMPARE(window->TextEngine1->FontSize(), 14.0);

        // Text composed by the input method after a zoom choice lands too.
        pickFromBox(frame->CobZoom1, QStringLiteral("150%"));
        QInputMethodEvent composing(QStringLiteral("にほん"), {});
        QApplication::sendEvent(QGuiApplication::focusObject(), &composing);
        QInputMethodEvent committed;
        committed.setCommitString(QStringLiteral("日本"));
        QApplication::sendEvent(QGuiApplication::focusObject(), &committed);
        QCOMPARE(textOf(window), QStringLiteral("ab日本"));
    }

    void savingUnderAnUnknownExtensionSaysSoAndChangesNothing()
    {
        ScriptedBoxes boxes({Answer::Yes});
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        QVERIFY(tamapiko::test::activate(frame.get()));
        typeInto(frame.get(), QStringLiteral("keep me"));
        QVERIFY(window->Modified);

        const QString typo = m_dir.filePath(QStringLiteral("report.rft"));
        tamapiko::document::setSaveNameHook([typo](TMDIChild &) { return typo; });
        QVERIFY(chooseMenuItem(frame.get(), QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("上書き保存")));
        QCOMPARE(boxes.errors, QStringList{QStringLiteral("ｻﾎﾟｰﾄされていないﾌｧｲﾙ形式です!")});
        QCOMPARE(window->windowTitle(), QStringLiteral("NONAME1"));
        QVERIFY(window->Modified);
        QVERIFY(!QFileInfo::exists(typo));

        QVERIFY(chooseMenuItem(frame.get(), QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("名前を付けて保存")));
        QCOMPARE(boxes.errors.size(), 2);

        // Closing: "はい" cannot save under that name, so the window stays.
        QVERIFY(chooseMenuItem(frame.get(), QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("閉じる")));
        QApplication::processEvents();
        QCOMPARE(boxes.questions.size(), 1);
        QCOMPARE(frame->documents().size(), 1);
        QCOMPARE(textOf(window), QStringLiteral("keep me"));
    }

    void copyAndPasteBetweenWindowsKeepsEverything()
    {
        ScriptedBoxes boxes;
        auto frame = startFrame();
        QVERIFY(tamapiko::test::activate(frame.get()));
        TMDIChild *source = frame->activeDocument();
        tamapiko::test::RichDocumentBuilder(QString(), tamapiko::test::RichDocumentBuilder::AllParts
                                                           & ~tamapiko::test::RichDocumentBuilder::LinkedPicture)
            .build(*source->TextEngine1->model());

        QVERIFY(chooseMenuItem(frame.get(), QStringLiteral("編集(&E)"), QStringLiteral("全て選択")));
        QTest::keyClick(frame->windowHandle(), Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(frame->windowHandle(), Qt::Key_N, Qt::ControlModifier);
        TMDIChild *target = frame->activeDocument();
        QVERIFY(target != source);
        QTest::keyClick(frame->windowHandle(), Qt::Key_V, Qt::ControlModifier);

        // Paragraph frames, keep-with-next, underline kinds, the pictures'
        // own bytes: all there, as in the source.
        tamapiko::test::ComparisonProfile profile = tamapiko::test::ComparisonProfile::everything();
        profile.comparePageSetup = false;
        const QString difference = tamapiko::test::firstDifference(*source->TextEngine1->model(),
                                                                   *target->TextEngine1->model(), profile);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    void foreignHtmlPastesAsTheFileWouldOpen()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        auto *mime = new QMimeData;
        mime->setHtml(QStringLiteral("<html><head><meta charset=\"windows-1252\"></head><body>"
                                     "<p style=\"margin-left:72pt\">indented</p>"
                                     "<p><span style=\"font-size:96px\">big</span></p></body></html>"));
        QGuiApplication::clipboard()->setMimeData(mime);
        QVERIFY(tamapiko::test::activate(frame.get()));
        QVERIFY(chooseMenuItem(frame.get(), QStringLiteral("編集(&E)"), QStringLiteral("貼り付け")));
        QTextDocument *document = window->TextEngine1->document();
        QTextBlock indented = document->begin();
        while (indented.isValid() && indented.text() != QStringLiteral("indented"))
            indented = indented.next();
        QVERIFY(indented.isValid());
        QCOMPARE(indented.blockFormat().leftMargin(), 72.0);
        const QTextBlock big = indented.next();
        QCOMPARE(big.text(), QStringLiteral("big"));
        QCOMPARE(big.begin().fragment().charFormat().fontPointSize(), 72.0);
    }

    void filesDroppedOnThePageOpenAndTextDropsInsert()
    {
        ScriptedBoxes boxes;
        const QString path = m_dir.filePath(QStringLiteral("dropped.txt"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("from the file\n");
        }
        auto frame = startFrame();
        TMDIChild *first = frame->activeDocument();

        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(path)});
        files.setText(QUrl::fromLocalFile(path).toString());
        tamapiko::test::dropOnto(frame.get(), pageCentre(*frame, first), &files);
        QCOMPARE(frame->documents().size(), 2);
        QCOMPARE(frame->activeDocument()->windowTitle(), path);
        QVERIFY(textOf(frame->activeDocument()).startsWith(QStringLiteral("from the file")));
        QCOMPARE(textOf(first), QString());

        QMimeData words;
        words.setText(QStringLiteral("dropped words"));
        TMDIChild *target = frame->activeDocument();
        tamapiko::test::dropOnto(frame.get(), pageCentre(*frame, target), &words);
        QCOMPARE(frame->documents().size(), 2);
        QVERIFY2(textOf(target).contains(QStringLiteral("dropped words")), qPrintable(textOf(target)));
    }

    void newAndCascadedWindowsStayUsableInsideTheFrame()
    {
        auto frame = startFrame();
        const QRect visible = frame->MDIClient->viewport()->rect();
        for (int i = 0; i < 4; ++i)
            QVERIFY(chooseMenuItem(frame.get(), QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("新規作成")));
        QCOMPARE(frame->documents().size(), 5);
        for (TMDIChild *window : frame->documents()) {
            QVERIFY2(visible.contains(window->geometry()), qPrintable(window->windowTitle()));
            QVERIFY(window->width() >= visible.width() / 2);
        }

        QVERIFY(chooseMenuItem(frame.get(), QStringLiteral("ｳｨﾝﾄﾞｳ(&W)"), QStringLiteral("重ねて表示")));
        for (TMDIChild *window : frame->documents()) {
            QVERIFY2(visible.contains(window->geometry()), qPrintable(window->windowTitle()));
            QVERIFY(window->width() >= visible.width() / 2);
            QVERIFY(window->height() >= visible.height() / 2);
        }
        // A click on the visible part of the front window edits that window.
        TMDIChild *front = frame->activeDocument();
        QTest::mouseClick(frame->windowHandle(), Qt::LeftButton, {}, pageCentre(*frame, front));
        QCOMPARE(frame->activeDocument(), front);
    }

    void contextMenuHintsReachTheStatusBar()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        QWidget *page = window->TextEngine1->viewport();
        // Through the window, as the window system delivers a right click.
        const QPoint at = page->mapTo(frame.get(), page->rect().center());
        QTest::mouseClick(frame->windowHandle(), Qt::RightButton, {}, at);
        QVERIFY(QTest::qWaitFor([window] { return window->PopupMenu1->isVisible(); }, 2000));
        QTest::mouseMove(window->PopupMenu1, window->PopupMenu1->actionGeometry(window->Copy1).center());
        QCOMPARE(tamapiko::test::statusText(frame->EngineStatusBar1), QStringLiteral("選択範囲をクリップボードへコピーします"));
        QTest::mouseMove(window->PopupMenu1, window->PopupMenu1->actionGeometry(window->Paste1).center());
        QCOMPARE(tamapiko::test::statusText(frame->EngineStatusBar1), QStringLiteral("クリップボードへ挿入します"));
        window->PopupMenu1->close();
    }

    void optionsDialogKeepsWhatIsTypedThroughMinimiseAndRestore()
    {
        auto frame = startFrame();
        QString kept;
        tamapiko::test::whenModal([&](QWidget *) {
            TOptionForm *form = frame->OptionForm;
            auto *folder = form->findChild<QLineEdit *>(QStringLiteral("OpenFiel"));
            folder->clear();
            QTest::keyClicks(folder, QStringLiteral("/typed/folder"));
            frame->showMinimized();
            form->showMinimized();
            QApplication::processEvents();
            frame->showNormal();
            form->showNormal();
            QApplication::processEvents();
            kept = folder->text();
            form->reject();
        });
        QVERIFY(chooseMenuItem(frame.get(), QStringLiteral("表示(&V)"), QStringLiteral("オプション")));
        QCOMPARE(kept, QStringLiteral("/typed/folder"));
    }

    void toolbarShowsTheCaretsTrueValuesFromTheStart()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        QCOMPARE(frame->CobPointSize->currentText(), QStringLiteral("10.5"));
        QCOMPARE(frame->CobFonts->currentText(), window->TextEngine1->FontName());
        QVERIFY(!frame->CobFonts->currentText().isEmpty());
        QTRY_VERIFY(!frame->EngineStatusBar1->lineText().isEmpty());

        // Choosing "10" really makes the text 10 points, and shows it.
        QVERIFY(tamapiko::test::activate(frame.get()));
        pickFromBox(frame->CobPointSize, QStringLiteral("10"));
        QCOMPARE(window->TextEngine1->FontSize(), 10.0);
        QCOMPARE(frame->CobPointSize->currentText(), QStringLiteral("10"));
    }

    void characterDialogPreviewUsesThePagesFace()
    {
        auto frame = startFrame();
        TTextEngine *engine = frame->activeDocument()->TextEngine1;
        const QString pageFamily = QFontInfo(engine->document()->defaultFont()).family();
        QString previewFamily;
        tamapiko::test::whenModal([&](QWidget *modal) {
            if (auto *dialog = qobject_cast<tamapiko::engine::CharacterDialog *>(modal))
                previewFamily = QFontInfo(dialog->previewFont()).family();
            static_cast<QDialog *>(modal)->reject();
        });
        QVERIFY(chooseMenuItem(frame.get(), QStringLiteral("書式(&S)"), QStringLiteral("文字")));
        QCOMPARE(previewFamily, pageFamily);
    }

    void fontListNamesFamiliesAsDocumentsDo()
    {
        auto frame = startFrame();
        QStringList names;
        int widest = 0;
        const QFontMetrics metrics(frame->CobFonts->view()->font());
        for (int i = 0; i < frame->CobFonts->count(); ++i) {
            names << frame->CobFonts->itemText(i);
            widest = qMax(widest, metrics.horizontalAdvance(names.last()));
        }
        for (const QString &name : std::as_const(names))
            QVERIFY2(!name.contains(QLatin1String(" [")), qPrintable(name));
        QCOMPARE(names.removeDuplicates(), 0);
        QVERIFY(names.contains(QStringLiteral("ＭＳ 明朝")));
        QVERIFY(names.contains(QStringLiteral("ＭＳ ゴシック")));
        QVERIFY(frame->CobFonts->view()->minimumWidth() >= widest);
    }
};

QTEST_MAIN(tst_NewUser)
#include "tst_NewUser.moc"
