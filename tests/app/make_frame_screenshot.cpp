// Saves a picture of the frame with two document windows, for review:
//   QT_QPA_PLATFORM=offscreen build/tests/make_frame_screenshot [out.png] [--formatted]
// With --formatted the caret stands in bold, centred, red text.

#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"

#include <QInputMethodEvent>
#include <QTest>
#include <QToolButton>

// Japanese arrives through the input method, as it does when typed.
static void typeText(QWidget *target, const QString &text)
{
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(target, &commit);
}

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    const bool formatted = args.contains(QStringLiteral("--formatted"));
    QString out = QStringLiteral("frame.png");
    for (const QString &arg : args) {
        if (!arg.startsWith(QLatin1String("--")))
            out = arg;
    }

    TMainForm frame{QStringList()};
    frame.createStartupDialogs();
    frame.show();
    frame.New1Click();
    frame.WindowTileItemClick();

    TMDIChild *document = frame.activeDocument();
    document->TextEngine1->setFocus();
    typeText(document->TextEngine1, QStringLiteral("たまぴこで文書を作ります。"));
    if (formatted) {
        frame.BtnPgCentered->click();
        frame.BtnBold->click();
        document->TextEngine1->setForeColor(0x0000FF);
        typeText(document->TextEngine1, QStringLiteral(" 太字で中央、赤"));
        emit document->TextEngine1->OnPosChange(document->TextEngine1);
    }
    QTest::qWait(50);

    if (!frame.grab().save(out)) {
        qWarning("could not write %s", qPrintable(out));
        return 1;
    }
    return 0;
}
