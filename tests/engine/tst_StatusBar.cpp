#include "engine/TEngineButtonBar.h"
#include "engine/TEngineStatusBar.h"
#include "engine/TTextEngine.h"

#include <QLineEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtTest>

class tst_StatusBar : public QObject
{
    Q_OBJECT

private slots:
    void hintTextHasItsOwnArea()
    {
        TEngineStatusBar bar;
        TTextEngine engine;
        bar.setEngine(&engine);
        const QString zoom = bar.zoomText();
        QVERIFY(!zoom.isEmpty());
        bar.setText(QStringLiteral("文書を保存します"));
        QCOMPARE(bar.Text(), QStringLiteral("文書を保存します"));
        QCOMPARE(bar.zoomText(), zoom);
        QVERIFY(!bar.pageText().isEmpty());
    }

    // The frame's one status bar and button bar serve every document
    // window: they show whichever engine has the focus.
    void sharedCompanionsFollowTheFocusedEngine()
    {
        QWidget frame;
        auto *layout = new QVBoxLayout(&frame);
        auto *buttons = new TEngineButtonBar;
        auto *first = new TTextEngine;
        auto *second = new TTextEngine;
        auto *untied = new TTextEngine;
        auto *box = new QLineEdit;
        auto *status = new TEngineStatusBar;
        for (QWidget *widget : std::initializer_list<QWidget *>{ buttons, first, second, untied, box, status })
            layout->addWidget(widget);
        for (TTextEngine *engine : { first, second }) {
            engine->setStatusBarHandle(status);
            engine->setButtonBarHandle(buttons);
        }
        first->setZoomFactor(100);
        second->setZoomFactor(200);
        QTextCursor(second->document()).insertText(QStringLiteral("一\n二\n三"));
        QTextCursor caret(second->document());
        caret.movePosition(QTextCursor::End);
        second->setTextCursor(caret);

        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QApplication::setActiveWindow(&frame);

        first->setFocus();
        QTRY_COMPARE(status->engine(), first);
        QCOMPARE(buttons->engine(), first);
        QCOMPARE(status->zoomText(), QStringLiteral("100%"));

        second->setFocus();
        QTRY_COMPARE(status->engine(), second);
        QCOMPARE(buttons->engine(), second);
        QCOMPARE(status->zoomText(), QStringLiteral("200%"));
        QCOMPARE(status->lineText(), QStringLiteral("3 行"));
        QCOMPARE(status->columnText(), QStringLiteral("2 列"));

        // Focus in a toolbar box, or in an engine tied to other companions,
        // leaves the bars on the document last worked on.
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        untied->setFocus();
        QTRY_VERIFY(untied->hasFocus());
        QCOMPARE(status->engine(), second);

        // The caret moves and the mode changes show at once.
        second->setFocus();
        QTRY_VERIFY(second->hasFocus());
        QTest::keyClick(second, Qt::Key_Home);
        QTRY_COMPARE(status->columnText(), QStringLiteral("1 列"));
        QCOMPARE(status->modeText(), QStringLiteral("挿入"));
        QTest::keyClick(second, Qt::Key_Insert);
        QCOMPARE(status->modeText(), QStringLiteral("上書"));

        // A closed document leaves blank fields, not a dangling engine.
        delete second;
        QCOMPARE(status->engine(), nullptr);
        QVERIFY(status->zoomText().isEmpty());
    }
};

QTEST_MAIN(tst_StatusBar)
#include "tst_StatusBar.moc"
