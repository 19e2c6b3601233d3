// A page of Japanese text with pictures and an object put in with the 挿入
// menu only: a JPEG at a fixed place that the text goes around, moved and
// resized with the mouse; a WMF logo in a line; a linked BMP; an embedded
// PDF. Saved as .txm and RTF and opened again from each, everything is where
// it was; LibreOffice shows the RTF's pictures in place.

#include "app/DocumentOpening.h"
#include "app/OptionSettings.h"
#include "app/TMainForm.h"
#include "document/DocumentPrompts.h"
#include "document/TMDIChild.h"
#include "engine/EngineProperties.h"
#include "engine/TTextEngine.h"
#include "support/FloatingObjectProbe.h"
#include "support/FrameFixture.h"
#include "support/MetafileBuilder.h"
#include "support/UserActions.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using namespace tamapiko::test;
using namespace tamapiko::engine;

namespace {

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Answers the next file dialog by typing the path and pressing Enter.
DialogAnswer chooseFile(const QString &path)
{
    return DialogAnswer::expect<QFileDialog>([path](QFileDialog *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    });
}

struct Picture
{
    QTextImageFormat format;
    int position = 0;
};

QList<Picture> picturesOf(const QTextDocument *document)
{
    QList<Picture> found;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                found.append({it.fragment().charFormat().toImageFormat(), it.fragment().position()});
        }
    }
    return found;
}

// What a reopened document must show again: its text, and each picture's
// kind, place and size.
QStringList describe(TTextEngine &engine)
{
    QStringList lines{engine.document()->toPlainText().remove(QChar::ObjectReplacementCharacter).trimmed()};
    for (const Picture &picture : picturesOf(engine.document())) {
        const QTextImageFormat &f = picture.format;
        QString kind = f.hasProperty(ObjectData) ? QStringLiteral("object %1 %2 bytes")
                                                       .arg(f.stringProperty(ObjectFileName))
                                                       .arg(f.property(ObjectData).toByteArray().size())
            : f.hasProperty(ImageLinkedPath) ? QStringLiteral("linked %1").arg(f.stringProperty(ImageLinkedPath))
                                             : QStringLiteral("picture %1").arg(f.stringProperty(ImageOriginalFormat));
        lines << QStringLiteral("%1 %2x%3pt").arg(kind).arg(qRound(f.width())).arg(qRound(f.height()));
    }
    for (const PlacedObject &object : allObjects(engine)) {
        lines << QStringLiteral("page %1 at %2,%3 size %4x%5 wrap %6")
                     .arg(object.page)
                     .arg(object.rect.left())
                     .arg(object.rect.top())
                     .arg(object.rect.width())
                     .arg(object.rect.height())
                     .arg(int(object.wrap));
    }
    return lines;
}

} // namespace

class tst_InsertScenario : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QRect m_photo;                 // where the photo stands on page 1, twips
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void writeOptions(const QByteArray &pictureMode)
    {
        writeAll(path(QStringLiteral("Option.ini")),
                 "[Option]\nFileImage=\"" + QFile::encodeName(m_dir.path()) + "\"\nPictINS=" + pictureMode + "\n");
    }
    // Inserts through 挿入 > `item`, answering the file dialog with `file`.
    void insert(TMainForm *frame, QAction *item, const QString &file)
    {
        const DialogAnswer answer = chooseFile(path(file));
        QVERIFY(tamapiko::test::chooseMenuItem(frame, frame->activeDocument()->Insert1, item));
        QTRY_VERIFY(answer.answered());
    }

private slots:
    void init() { setOptionIniPath(path(QStringLiteral("Option.ini"))); }
    void cleanup() { setOptionIniPath(QString()); }

    void picturesAndObjectThroughMenusAndFiles()
    {
        ScriptedBoxes boxes;
        QImage photo(240, 160, QImage::Format_RGB32);
        photo.fill(QColor(220, 30, 30));
        QVERIFY(photo.save(path(QStringLiteral("写真.jpg")), "JPEG"));
        writeAll(path(QStringLiteral("logo.wmf")), redSquareWmf());
        QImage chart(60, 40, QImage::Format_RGB32);
        chart.fill(Qt::blue);
        QVERIFY(chart.save(path(QStringLiteral("図.bmp")), "BMP"));
        const QByteArray pdf = "%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n";
        writeAll(path(QStringLiteral("見積書.pdf")), pdf);
        writeOptions("0");

        auto frame = startFrame();
        frame->resize(1280, 1024);
        TMDIChild *window = frame->activeDocument();
        window->showMaximized();
        TTextEngine *engine = window->TextEngine1;
        for (int i = 1; i <= 24; ++i) {
            commitText(engine, QStringLiteral("第%1段落。吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。"
                                              "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。").arg(i));
            QTest::keyClick(engine, Qt::Key_Return);
        }
        QTest::keyClick(engine, Qt::Key_Home, Qt::ControlModifier);

        // The JPEG at a fixed place: the text goes around it.
        const int visibleTop = engine->ScrollPosY();
        insert(frame.get(), window->Image_Fixed1, QStringLiteral("写真.jpg"));
        QTRY_COMPARE(objectsOn(*engine, 0).size(), size_t(1));
        const PlacedObject inserted = objectsOn(*engine, 0).front();
        // 720 twips right of the paper's edge, 720 below the top of the view
        // (where the desk shows 300 twips above the sheet).
        QVERIFY2(qAbs(inserted.rect.left() - 720) <= 20 && qAbs(inserted.rect.top() - (visibleTop + 420)) <= 20,
                 qPrintable(QStringLiteral("%1,%2").arg(inserted.rect.left()).arg(inserted.rect.top())));
        // 240 x 160 pixels at 96 dots per inch (as the file rounds them).
        QVERIFY(qAbs(inserted.rect.width() - 3600) <= 5 && qAbs(inserted.rect.height() - 2400) <= 5);

        // Moved into the middle of the page and made larger, with the mouse.
        const double scale = engine->pixelsPerTwip();
        const QPoint grip = objectOnScreen(*engine, inserted).center().toPoint();
        const QPoint move(qRound(3000 * scale), qRound(3600 * scale));
        dragWithMouse(engine->viewport(), grip, grip + move);
        const PlacedObject moved = objectsOn(*engine, 0).front();
        QVERIFY(qAbs(moved.rect.left() - inserted.rect.left() - 3000) < 30);
        QVERIFY(qAbs(moved.rect.top() - inserted.rect.top() - 3600) < 30);
        const QPoint corner = objectOnScreen(*engine, moved).bottomRight().toPoint();
        dragWithMouse(engine->viewport(), corner, corner + QPoint(qRound(720 * scale), qRound(480 * scale)));
        const PlacedObject photoPlaced = objectsOn(*engine, 0).front();
        QCOMPARE(photoPlaced.rect.topLeft(), moved.rect.topLeft());
        QVERIFY(qAbs(photoPlaced.rect.width() - 4320) < 30 && qAbs(photoPlaced.rect.height() - 2880) < 30);
        int beside = 0;
        for (const QRect &line : linesOnPage(*engine, 0)) {
            QVERIFY(!line.intersects(photoPlaced.rect));
            beside += line.top() < photoPlaced.rect.bottom() && line.bottom() > photoPlaced.rect.top();
        }
        QVERIFY2(beside >= 4, qPrintable(QString::number(beside)));
        m_photo = photoPlaced.rect;

        // The WMF logo in the second paragraph's line, clicked into place.
        const int secondParagraph = engine->document()->findBlockByNumber(1).position();
        QTest::mouseClick(engine->viewport(), Qt::LeftButton, {}, caretPoint(*engine, secondParagraph + 3));
        QCOMPARE(engine->SelStart(), secondParagraph + 3);
        insert(frame.get(), window->Image_Char1, QStringLiteral("logo.wmf"));
        QTRY_COMPARE(picturesOf(engine->document()).size(), 2);

        // The BMP linked, with the picture mode set to links.
        writeOptions("1");
        insert(frame.get(), window->Image_Char1, QStringLiteral("図.bmp"));
        QTRY_COMPARE(picturesOf(engine->document()).size(), 3);

        // The PDF as an object at a fixed place: the engine asks for it.
        insert(frame.get(), window->Objct1, QStringLiteral("見積書.pdf"));
        QTRY_COMPARE(picturesOf(engine->document()).size(), 4);
        QCOMPARE(allObjects(*engine).size(), size_t(2));
        QVERIFY(boxes.errors.isEmpty());

        const QStringList made = describe(*engine);
        QVERIFY2(made.join(u'\n').contains(QStringLiteral("picture wmf")), qPrintable(made.join(u'\n')));
        QVERIFY2(made.join(u'\n').contains(QStringLiteral("linked ") + path(QStringLiteral("図.bmp"))),
                 qPrintable(made.join(u'\n')));
        QVERIFY2(made.join(u'\n').contains(QStringLiteral("object 見積書.pdf %1 bytes").arg(pdf.size())),
                 qPrintable(made.join(u'\n')));

        for (const QString &name : {QStringLiteral("挿入.txm"), QStringLiteral("挿入.rtf")}) {
            const QString saved = path(name);
            tamapiko::document::setSaveNameHook([saved](TMDIChild &) { return saved; });
            QCOMPARE(frame->activeDocument(), window);
            QVERIFY(tamapiko::test::chooseMenuItem(frame.get(), QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("名前を付けて保存")));
            QVERIFY2(QFileInfo::exists(saved), qPrintable(saved));

            tamapiko::app::setOpenNameHook([saved](QFileDialog &) { return saved; });
            QVERIFY(tamapiko::test::chooseMenuItem(frame.get(), QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("開く")));
            TMDIChild *opened = frame->activeDocument();
            QVERIFY(opened && opened != window);
            QCOMPARE(describe(*opened->TextEngine1), made);
            opened->Modified = false;
            QVERIFY(tamapiko::test::chooseMenuItem(frame.get(), QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("閉じる")));
            QTRY_COMPARE(frame->documents().size(), 1);
        }

        // The linked file gone: the RTF opens with a placeholder in its
        // place and says so once.
        QVERIFY(QFile::remove(path(QStringLiteral("図.bmp"))));
        tamapiko::app::setOpenNameHook([this](QFileDialog &) { return path(QStringLiteral("挿入.rtf")); });
        QVERIFY(tamapiko::test::chooseMenuItem(frame.get(), QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("開く")));
        TMDIChild *opened = frame->activeDocument();
        QVERIFY(opened && opened != window);
        QCOMPARE(describe(*opened->TextEngine1), made);
        QList<QMessageBox *> notes;
        for (QMessageBox *box : opened->findChildren<QMessageBox *>(QStringLiteral("MissingLinksBox"))) {
            if (box->isVisible())
                notes.append(box);
        }
        QCOMPARE(notes.size(), 1);
        QVERIFY(notes.constFirst()->text().contains(path(QStringLiteral("図.bmp"))));
        notes.constFirst()->close();
        tamapiko::document::setSaveNameHook({});
        tamapiko::app::setOpenNameHook({});
    }

    void libreOfficeShowsThePicturesInPlace()
    {
        const QString rtf = path(QStringLiteral("挿入.rtf"));
        if (!QFileInfo::exists(rtf))
            QSKIP("the scenario did not write its RTF");
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
        const QString pdfimages = QStandardPaths::findExecutable(QStringLiteral("pdfimages"));
        if (soffice.isEmpty() || pdftoppm.isEmpty() || pdfimages.isEmpty())
            QSKIP("LibreOffice (soffice) or poppler's tools are not installed");
        // Open it as a user of LibreOffice would: the linked BMP back in place.
        QImage chart(60, 40, QImage::Format_RGB32);
        chart.fill(Qt::blue);
        QVERIFY(chart.save(path(QStringLiteral("図.bmp")), "BMP"));
        const QString copy = path(QStringLiteral("peer.rtf"));
        QFile::remove(copy);
        QVERIFY(QFile::copy(rtf, copy));

        QProcess office;
        office.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + path(QStringLiteral("profile")),
                               QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                               QStringLiteral("--outdir"), m_dir.path(), copy});
        QVERIFY(office.waitForFinished(300'000));
        const QString pdf = path(QStringLiteral("peer.pdf"));
        QVERIFY2(QFileInfo::exists(pdf), office.readAllStandardError().constData());

        // The pictures are there: the photo and the linked chart (the logo
        // is a metafile, drawn rather than an image; the object is the
        // peer's own business).
        QProcess list;
        list.start(pdfimages, {QStringLiteral("-list"), pdf});
        QVERIFY(list.waitForFinished(60'000));
        const QList<QByteArray> rows = list.readAllStandardOutput().split('\n');
        int images = 0;
        for (const QByteArray &row : rows) {
            const QList<QByteArray> fields = row.simplified().split(' ');
            if (fields.size() > 3 && fields.at(0).toInt() >= 1 && fields.at(2) == "image")
                ++images;
        }
        QVERIFY2(images >= 2, rows.join('\n').constData());

        // The photo stands where it was put: its middle is red on page 1
        // (72 dots per inch: a pixel a point).
        QProcess render;
        render.start(pdftoppm, {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"), QStringLiteral("1"),
                                QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-png"), pdf,
                                path(QStringLiteral("page"))});
        QVERIFY(render.waitForFinished(60'000));
        QDir folder(m_dir.path());
        const QStringList pages = folder.entryList({QStringLiteral("page*.png")});
        QVERIFY(!pages.isEmpty());
        const QImage page(folder.filePath(pages.constFirst()));
        const QPoint centre = m_photo.center() / 20;
        const QColor middle = page.pixelColor(centre);
        QVERIFY2(middle.red() > 180 && middle.green() < 90 && middle.blue() < 90, qPrintable(middle.name()));
        const QColor beside = page.pixelColor(centre + QPoint(m_photo.width() / 40 + 20, 0));
        QVERIFY2(!(beside.red() > 180 && beside.green() < 90), qPrintable(beside.name()));
    }
};

QTEST_MAIN(tst_InsertScenario)
#include "tst_InsertScenario.moc"
