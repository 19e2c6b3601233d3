#include "engine/DocumentModel.h"

#include <QSignalSpy>
#include <QTextDocument>
#include <QtTest>

using tamapiko::engine::DocumentModel;
using tamapiko::engine::PageSetup;

class tst_DocumentModel : public QObject
{
    Q_OBJECT

private slots:
    void clearRestoresDefaultPageAndDropsText()
    {
        DocumentModel model;
        PageSetup letter;
        letter.width = 12240;
        letter.height = 15840;
        QSignalSpy spy(&model, &DocumentModel::pageSetupChanged);
        model.setPageSetup(letter);
        model.setPageSetup(letter); // unchanged: no second signal
        QCOMPARE(spy.count(), 1);
        model.document()->setPlainText(QStringLiteral("拝啓"));
        model.setSourceProperty(QStringLiteral("text/encoding"), QStringLiteral("Shift_JIS"));

        model.clear();
        QVERIFY(model.document()->isEmpty());
        QCOMPARE(model.pageSetup(), PageSetup());
        QVERIFY(!model.sourceProperty(QStringLiteral("text/encoding")).isValid());
    }
};

QTEST_MAIN(tst_DocumentModel)
#include "tst_DocumentModel.moc"
