// Saves a picture of the print preview on page 2 of a Japanese document,
// for review:
//   QT_QPA_PLATFORM=offscreen build/tests/make_preview_screenshot [out.png] [document]
// Without a document, two pages of Japanese text are typed first.

#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"
#include "printing/TfrmPrintPreview.h"

#include <QInputMethodEvent>
#include <QTest>
#include <QTimer>
#include <QToolButton>

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    const QString out = args.value(0, QStringLiteral("preview.png"));
    const QString document = args.value(1);

    TMainForm frame(document.isEmpty() ? QStringList() : QStringList{document});
    frame.createStartupDialogs();
    frame.show();
    TTextEngine *engine = frame.activeDocument()->TextEngine1;
    engine->setFocus();
    for (int paragraph = 1; engine->CurrentPages() < 2 || paragraph < 4; ++paragraph) {
        // Japanese arrives through the input method, as it does when typed.
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("第%1段落　たまぴこは日本語の文書を作り、印刷する前にプレビューで"
                                              "ページ全体を確かめられます。")
                                   .arg(paragraph));
        QApplication::sendEvent(engine, &commit);
        QTest::keyClick(engine, Qt::Key_Return);
    }

    int status = 1;
    QTimer::singleShot(0, &frame, [&] {
        TfrmPrintPreview *preview = frame.frmPrintPreview;
        QTest::mouseClick(preview->BtnNext, Qt::LeftButton);
        QTest::qWait(50);
        status = preview->grab().save(out) ? 0 : 1;
        if (status)
            qWarning("could not write %s", qPrintable(out));
        preview->close();
    });
    QTest::mouseClick(frame.BtnPrintPreview1, Qt::LeftButton);
    frame.activeDocument()->Modified = false;
    return status;
}
