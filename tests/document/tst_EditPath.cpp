// Every way a user changes a document outside the keyboard, driven as the
// user does it (a drop on the page, the paste command, the insert and frame
// menus): each change is one undo step of its kind, never joined to the
// typing before it, and the document window learns of it once: modified,
// one change notification, a recovery snapshot on its way.

#include "app/DocumentAutosave.h"
#include "app/OptionSettings.h"
#include "dialogs/TOKRightDlg1.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"
#include "support/FrameFixture.h"
#include "support/MetafileBuilder.h"
#include "support/UserActions.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#include <functional>

using namespace tamapiko::test;

namespace {

constexpr int TypingStep = 1;
constexpr int FormattingStep = 3;

int pictureCount(const QTextDocument *document)
{
    int count = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            count += it.fragment().charFormat().isImageFormat() ? 1 : 0;
    return count;
}

// Answers the next file dialog by typing `path` into its name box.
void answerFileDialog(const QString &path)
{
    whenModal([path](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        auto *name = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!name) {
            QTest::keyClick(modal, Qt::Key_Escape);
            return;
        }
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    });
}

} // namespace

class tst_EditPath : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TMainForm> frame;
    TMDIChild *window = nullptr;
    TTextEngine *engine = nullptr;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Types "before", runs `edit` as the user would, and checks what every
    // edit owes the rest of the program; `changed` says whether the edit did
    // what it should. One Undo takes the edit back and leaves the typing.
    void expectOneStep(const char *what, int kind, const std::function<void()> &edit,
                       const std::function<bool()> &changed)
    {
        commitText(engine, QStringLiteral("before"));
        QTRY_VERIFY(window->Modified);
        window->Modified = false;
        const QString typed = engine->document()->toHtml();
        QSignalSpy changes(engine, &TTextEngine::OnChange);

        edit();
        QTRY_VERIFY2(changed(), what);
        QVERIFY2(window->Modified, what);
        QCOMPARE(changes.count(), 1);
        QVERIFY2(window->autosave()->pending(), what);
        QCOMPARE(engine->CanUndo(), kind);

        QVERIFY(engine->Undo());
        QVERIFY2(!changed(), what);
        QCOMPARE(engine->document()->toHtml(), typed);
        QVERIFY(engine->Undo());   // the typing was a step of its own
        QVERIFY2(!engine->document()->toPlainText().contains(QStringLiteral("before")), what);
        while (engine->Undo()) {
        }
    }

    QPoint pagePoint() const
    {
        // The caret's line, in the frame's coordinates: on the page, past the text.
        const QRect caret = static_cast<QWidget *>(engine)->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        return engine->mapTo(frame.get(), caret.center() + QPoint(200, 0));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QFile options(path(QStringLiteral("Option.ini")));
        QVERIFY(options.open(QIODevice::WriteOnly));
        options.write("[Option]\nFileImage=\"" + QFile::encodeName(m_dir.path()) + "\"\nPictINS=0\n");
        options.close();
        setOptionIniPath(options.fileName());
        QFile logo(path(QStringLiteral("logo.wmf")));
        QVERIFY(logo.open(QIODevice::WriteOnly));
        logo.write(redSquareWmf());
    }

    void init()
    {
        frame = startFrame();
        window = frame->activeDocument();
        QVERIFY(window);
        engine = window->TextEngine1;
        QVERIFY(activate(frame.get()));
    }

    void cleanup()
    {
        closeMenus();
        window->Modified = false;
        frame.reset();
    }

    void dropsAndPastes()
    {
        auto text = std::make_unique<QMimeData>();
        text->setText(QStringLiteral("落とした文"));
        expectOneStep("text dropped on the page", TypingStep,
                      [&] { dropOnto(frame.get(), pagePoint(), text.get()); },
                      [&] { return engine->document()->toPlainText().contains(QStringLiteral("落とした文")); });

        QImage picture(24, 16, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        auto image = std::make_unique<QMimeData>();
        image->setImageData(picture);
        expectOneStep("picture dropped on the page", TypingStep,
                      [&] { dropOnto(frame.get(), pagePoint(), image.get()); },
                      [&] { return pictureCount(engine->document()) == 1; });

        auto clipboardImage = new QMimeData;
        clipboardImage->setImageData(picture);
        QGuiApplication::clipboard()->setMimeData(clipboardImage);
        expectOneStep("picture pasted from the edit menu", TypingStep,
                      [&] { QVERIFY(chooseMenuItem(frame.get(), window->Edit1, window->MenuItem8)); },
                      [&] { return pictureCount(engine->document()) == 1; });
    }

    void insertedPicturesAndObjects()
    {
        expectOneStep("picture inserted as a character", TypingStep,
                      [&] {
                          answerFileDialog(path(QStringLiteral("logo.wmf")));
                          QVERIFY(chooseMenuItem(frame.get(), window->Insert1, window->Image_Char1));
                      },
                      [&] { return pictureCount(engine->document()) == 1; });

        expectOneStep("picture inserted at a fixed place", TypingStep,
                      [&] {
                          answerFileDialog(path(QStringLiteral("logo.wmf")));
                          QVERIFY(chooseMenuItem(frame.get(), window->Insert1, window->Image_Fixed1));
                      },
                      [&] { return pictureCount(engine->document()) == 1; });

        expectOneStep("object inserted as a character", TypingStep,
                      [&] {
                          answerFileDialog(path(QStringLiteral("logo.wmf")));
                          QVERIFY(chooseMenuItem(frame.get(), window->Insert1, window->Object_Char1));
                      },
                      [&] { return pictureCount(engine->document()) == 1; });
    }

    void paragraphFrameDialogIsOneStep()
    {
        auto frameAllSides = [&] {
            auto answer = DialogAnswer::expect<TOKRightDlg1>([](TOKRightDlg1 *dialog) {
                for (QCheckBox *box : {dialog->chkLeft, dialog->chkRight, dialog->chkTop, dialog->chkBottom})
                    if (!box->isChecked())
                        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
                typeInto(dialog->cboLineWidth->lineEdit(), QStringLiteral("3pt"));
                typeInto(dialog->cboTextDistance->lineEdit(), QStringLiteral("6pt"));
                QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
            });
            QVERIFY(chooseMenuItem(frame.get(), window->Format1, window->MenuItem11));
            QVERIFY(QTest::qWaitFor([&] { return answer.answered(); }, 3000));
        };
        // Sides, line width and distance come back together with one Undo.
        expectOneStep("paragraph frame", FormattingStep, frameAllSides, [&] {
            const QTextBlockFormat format = engine->document()->begin().blockFormat();
            return (engine->FrameStyle() & 0x0F) == 0x0F && engine->FrameLineWidth() == 60
                && engine->FrameDistance() == 120 && format.isValid();
        });
    }
};

QTEST_MAIN(tst_EditPath)
#include "tst_EditPath.moc"
