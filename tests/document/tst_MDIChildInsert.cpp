// The insert menu as a user drives it: open 挿入, click the item, answer the
// file dialog that appears, and look at what the document holds afterwards.

#include "app/OptionSettings.h"
#include "document/TMDIChild.h"
#include "engine/EngineProperties.h"
#include "engine/TTextEngine.h"
#include "support/FrameFixture.h"
#include "support/MetafileBuilder.h"
#include "support/UserActions.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

using tamapiko::test::ScriptedBoxes;
using tamapiko::test::startFrame;
using tamapiko::test::caretPoint;
using namespace tamapiko::engine;

namespace {

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// What a file dialog showed when it came up.
struct SeenDialog
{
    QString title;
    QString filter;
    bool shown = false;
};

// Answers the next modal file dialog by typing `path` into its name box and
// pressing Enter, or by pressing Escape when `path` is empty.
void answerFileDialog(const QString &path, SeenDialog *seen)
{
    auto *poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, path, seen] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        seen->shown = true;
        seen->title = dialog->windowTitle();
        seen->filter = dialog->selectedNameFilter();
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (path.isEmpty() || !name) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    });
    poll->start();
}

// Opens the menu from the frame's menu bar and clicks the item.
void chooseMenuItem(TMainForm &frame, QMenu *menu, QAction *item)
{
    QMenuBar *bar = frame.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

QList<QTextImageFormat> pictures(const QTextDocument *document)
{
    QList<QTextImageFormat> found;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                found.append(it.fragment().charFormat().toImageFormat());
    return found;
}

int pictureBlock(const QTextDocument *document)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                return block.blockNumber();
    return -1;
}

// Stands in for the desktop's program: records what it was asked to open.
class DesktopCatcher : public QObject
{
    Q_OBJECT

public:
    DesktopCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~DesktopCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

} // namespace

class tst_MDIChildInsert : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void writeOptions(const QByteArray &lines)
    {
        writeAll(path(QStringLiteral("Option.ini")), "[Option]\n" + lines);
    }

private slots:
    void init() { setOptionIniPath(path(QStringLiteral("Option.ini"))); }
    void cleanup() { setOptionIniPath(QString()); }

    void insertingTextAndRtfFiles()
    {
        ScriptedBoxes boxes;
        writeOptions("FileIN=\"" + QFile::encodeName(m_dir.path()) + "\"\nFileINTyp=\"ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)\"\n");
        writeAll(path(QStringLiteral("part.rtf")), "{\\rtf1\\ansi {\\b bold part}}");
        writeAll(path(QStringLiteral("memo.Txt")), QByteArray(QStringEncoder("Shift_JIS").encode(QStringLiteral("日本語のメモ"))));
        writeAll(path(QStringLiteral("old.doc")), "not inserted");
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        TTextEngine *engine = window->TextEngine1;
        QTest::keyClicks(engine, QStringLiteral("AB"));
        engine->setSelStart(1);

        SeenDialog seen;
        answerFileDialog(path(QStringLiteral("part.rtf")), &seen);
        chooseMenuItem(*frame, window->Insert1, window->File2);
        QTRY_VERIFY(seen.shown);
        QCOMPARE(seen.title, QStringLiteral("ﾃｷｽﾄの挿入"));
        QCOMPARE(seen.filter, QStringLiteral("ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)"));
        QVERIFY(engine->document()->toPlainText().startsWith(QStringLiteral("Abold part")));
        QVERIFY(window->Modified);
        // One undo step takes the whole file out again.
        QVERIFY(engine->Undo());
        QCOMPARE(engine->document()->toPlainText(), QStringLiteral("AB"));

        // With no preferred type the filter of the last use stays; the
        // extension decides, in any letter case; Shift-JIS is recognised.
        writeOptions("FileIN=\"" + QFile::encodeName(m_dir.path()) + "\"\n");
        engine->setSelStart(2);
        answerFileDialog(path(QStringLiteral("memo.Txt")), &seen);
        chooseMenuItem(*frame, window->Insert1, window->File2);
        QTRY_VERIFY(engine->document()->toPlainText().contains(QStringLiteral("日本語のメモ")));
        QCOMPARE(seen.filter, QStringLiteral("ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)"));
        QVERIFY(boxes.errors.isEmpty());

        const QString before = engine->document()->toPlainText();
        answerFileDialog(path(QStringLiteral("old.doc")), &seen);
        chooseMenuItem(*frame, window->Insert1, window->File2);
        QTRY_COMPARE(boxes.errors, QStringList{QStringLiteral("ｻﾎﾟｰﾄされていないﾌｧｲﾙ形式です!")});
        QCOMPARE(engine->document()->toPlainText(), before);

        // Cancelling changes nothing and says nothing.
        answerFileDialog(QString(), &seen);
        chooseMenuItem(*frame, window->Insert1, window->File2);
        QTRY_VERIFY(!seen.title.isEmpty());
        QCOMPARE(engine->document()->toPlainText(), before);
        QCOMPARE(boxes.errors.size(), 1);
    }

    void picturesEmbeddedLinkedAndRefused()
    {
        ScriptedBoxes boxes;
        writeAll(path(QStringLiteral("logo.wmf")), tamapiko::test::redSquareWmf());
        writeAll(path(QStringLiteral("broken.bmp")), "BM but nothing else");
        QImage bmp(30, 20, QImage::Format_RGB32);
        bmp.fill(Qt::blue);
        QVERIFY(bmp.save(path(QStringLiteral("linked.bmp"))));
        writeOptions("FileImage=\"" + QFile::encodeName(m_dir.path())
                     + "\"\nFileImageTyp=\"Windows Metafile(*.WMF)\"\nPictINS=0\n");
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        TTextEngine *engine = window->TextEngine1;

        SeenDialog seen;
        answerFileDialog(path(QStringLiteral("logo.wmf")), &seen);
        chooseMenuItem(*frame, window->Insert1, window->Image_Char1);
        QTRY_COMPARE(pictures(engine->document()).size(), 1);
        QCOMPARE(seen.title, QStringLiteral("イメージ挿入"));
        QCOMPARE(seen.filter, QStringLiteral("Windows Metafile(*.WMF)"));
        const QTextImageFormat logo = pictures(engine->document()).constFirst();
        QCOMPARE(logo.stringProperty(ImageOriginalFormat), QStringLiteral("wmf"));
        QCOMPARE(logo.width(), 5.0); // 100 units at 1440 to the inch
        const QImage drawn = engine->document()->resource(QTextDocument::ImageResource, QUrl(logo.name())).value<QImage>();
        QCOMPARE(QColor(drawn.pixel(drawn.width() / 2, drawn.height() / 2)), QColor(Qt::red));

        // PictINS 1 links to the file instead of keeping its bytes.
        writeOptions("FileImage=\"" + QFile::encodeName(m_dir.path()) + "\"\nPictINS=1\n");
        answerFileDialog(path(QStringLiteral("linked.bmp")), &seen);
        chooseMenuItem(*frame, window->Insert1, window->Image_Char1);
        QTRY_COMPARE(pictures(engine->document()).size(), 2);
        QCOMPARE(seen.filter, QStringLiteral("Windows Metafile(*.WMF)")); // kept from the last use
        const QTextImageFormat linked = pictures(engine->document()).at(1);
        QCOMPARE(linked.stringProperty(ImageLinkedPath), path(QStringLiteral("linked.bmp")));
        QVERIFY(!linked.hasProperty(ImageOriginalData));

        // A file that is no picture: the general error box, nothing inserted.
        answerFileDialog(path(QStringLiteral("broken.bmp")), &seen);
        chooseMenuItem(*frame, window->Insert1, window->Image_Char1);
        QTRY_COMPARE(boxes.errors.size(), 1);
        QVERIFY(boxes.errors.constFirst().contains(QStringLiteral("broken.bmp")));
        QCOMPARE(pictures(engine->document()).size(), 2);
    }

    void fixedPictureLandsBelowTheTopOfWhatIsVisible()
    {
        ScriptedBoxes boxes;
        writeAll(path(QStringLiteral("logo.wmf")), tamapiko::test::redSquareWmf());
        writeOptions("FileImage=\"" + QFile::encodeName(m_dir.path()) + "\"\n");
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        TTextEngine *engine = window->TextEngine1;
        QStringList lines;
        for (int i = 0; i < 200; ++i)
            lines << QStringLiteral("行 %1 の本文").arg(i);
        QTextCursor(engine->document()).insertText(lines.join(QChar::ParagraphSeparator));
        engine->setSelStart(0);
        QScrollBar *scroll = engine->verticalScrollBar();
        QTRY_VERIFY(scroll->maximum() > 0);
        scroll->setValue(scroll->maximum() / 2);
        QTest::qWait(0);
        const int visibleTop = engine->ScrollPosY();
        QVERIFY(visibleTop > 1440);

        SeenDialog seen;
        answerFileDialog(path(QStringLiteral("logo.wmf")), &seen);
        chooseMenuItem(*frame, window->Insert1, window->Image_Fixed1);
        QTRY_COMPARE(pictures(engine->document()).size(), 1);
        // Not at the caret (line 0) and not at the top of the document: in
        // the part of the document that was showing.
        const int block = pictureBlock(engine->document());
        QVERIFY2(block > 20 && block < 190, qPrintable(QString::number(block)));
        QCOMPARE(engine->SelStart(), 0);
        QVERIFY(boxes.errors.isEmpty());
    }

    void objectsAreEmbeddedAndKept()
    {
        ScriptedBoxes boxes;
        const QByteArray pdf = "%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n";
        writeAll(path(QStringLiteral("見積書.pdf")), pdf);
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        TTextEngine *engine = window->TextEngine1;
        QTest::keyClicks(engine, QStringLiteral("Attached: "));

        SeenDialog seen;
        answerFileDialog(path(QStringLiteral("見積書.pdf")), &seen);
        chooseMenuItem(*frame, window->Insert1, window->Object_Char1);
        QTRY_COMPARE(pictures(engine->document()).size(), 1);
        QCOMPARE(seen.title, QStringLiteral("オブジェクトの挿入"));
        const QTextImageFormat object = pictures(engine->document()).constFirst();
        QCOMPARE(object.property(ObjectData).toByteArray(), pdf);
        QCOMPARE(object.stringProperty(ObjectFileName), QStringLiteral("見積書.pdf"));
        QCOMPARE(object.stringProperty(ObjectMimeType), QStringLiteral("application/pdf"));

        // Double-clicking it hands a private copy to the desktop's program.
        DesktopCatcher desktop;
        QTest::mouseDClick(engine->viewport(), Qt::LeftButton, {}, caretPoint(*engine, 10) + QPoint(20, 0));
        QCOMPARE(desktop.opened.size(), 1);
        const QString copy = desktop.opened.constFirst().toLocalFile();
        QCOMPARE(QFileInfo(copy).fileName(), QStringLiteral("見積書.pdf"));
        QVERIFY(!copy.startsWith(m_dir.path()));
        QFile copied(copy);
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QCOMPARE(copied.readAll(), pdf);
        QCOMPARE(QFileInfo(copy).permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther
                                                  | QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());

        // Cancelling the engine's dialog is no error.
        answerFileDialog(QString(), &seen);
        chooseMenuItem(*frame, window->Insert1, window->Objct1);
        QTRY_VERIFY(!seen.title.isEmpty());
        QTest::qWait(50);
        QCOMPARE(pictures(engine->document()).size(), 1);
        QVERIFY(boxes.errors.isEmpty());

        // The native format keeps the object, and shows its icon again.
        const QString saved = path(QStringLiteral("with-object.txm"));
        QCOMPARE(engine->SaveDocument(saved, 0, 3, 0), 0);
        TTextEngine reopened;
        QCOMPARE(reopened.LoadDocument(saved, 0, 3, 0), 0);
        const QList<QTextImageFormat> again = pictures(reopened.document());
        QCOMPARE(again.size(), 1);
        QCOMPARE(again.constFirst().property(ObjectData).toByteArray(), pdf);
        QVERIFY(!reopened.document()->resource(QTextDocument::ImageResource, QUrl(again.constFirst().name())).isNull());
    }
};

QTEST_MAIN(tst_MDIChildInsert)
#include "tst_MDIChildInsert.moc"
