// Documents with a line grid (the usual page set-up of Japanese documents):
// every line of the body takes whole rows of the grid, as in the programs
// that write them, and the grid survives saving.

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/TTextEngine.h"
#include "engine/formats/NativeFilter.h"
#include "engine/formats/RtfFilter.h"
#include "engine/layout/PageLayout.h"
#include "support/FilterBytes.h"

#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QtTest>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

// Ten short paragraphs of 10.5-point text, two of an exact 15-point line
// height, then a table of one cell holding
// two paragraphs; `grid` goes into the section's properties.
QByteArray gridDocument(const QByteArray &grid)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset128 IPAexMincho;}}"
                     "\\paperw11906\\paperh16838\\margl1701\\margr1701\\margt1985\\margb1701" + grid + "\n";
    for (int i = 0; i < 10; ++i)
        rtf += "\\pard\\plain\\fs21 \\u26085?\\u26412?\\u35486? line\\par\n";
    rtf += "\\pard\\plain\\fs21 \\sl-300\\slmult0 exactly 15 points\\par\n";
    rtf += "\\pard\\plain\\fs21 \\sl-300\\slmult0 exactly 15 points\\par\n";
    rtf += "\\trowd\\cellx4000\\pard\\intbl\\plain\\fs21 cell one\\par cell two\\cell\\row\n";
    rtf += "\\pard\\plain\\fs21 after\\par}";
    return rtf;
}

struct Laidout
{
    QList<int> bodyTops;      // top of each body paragraph's first line
    QList<int> cellTops;      // the same for the paragraphs in the table
};

Laidout layOut(const QByteArray &rtf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("grid.rtf"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(rtf);
    file.close();
    TTextEngine engine;
    Laidout result;
    if (engine.LoadDocument(path, 0, 5, 0) != 0)
        return result;
    auto *layout = qobject_cast<PageLayout *>(engine.document()->documentLayout());
    layout->ensureComplete();
    for (QTextBlock block = engine.document()->begin(); block.isValid(); block = block.next()) {
        const int top = layout->lineTop(block, 0);
        if (engine.document()->frameAt(block.position()) == engine.document()->rootFrame())
            result.bodyTops.append(top);
        else
            result.cellTops.append(top);
    }
    return result;
}

QList<int> steps(const QList<int> &tops, int from, int count)
{
    QList<int> result;
    for (int i = from; i < from + count; ++i)
        result.append(tops.at(i + 1) - tops.at(i));
    return result;
}

} // namespace

class tst_LineGrid : public QObject
{
    Q_OBJECT

private slots:
    void bodyLinesTakeWholeRowsOfTheGrid();
    void theGridSurvivesRtfAndNativeFiles();
};

void tst_LineGrid::bodyLinesTakeWholeRowsOfTheGrid()
{
    const Laidout plain = layOut(gridDocument(""));
    const Laidout grid = layOut(gridDocument("\\sectlinegrid360\\sectspecifyl"));
    QCOMPARE(grid.bodyTops.size(), 13);   // ten lines, two of exact height, one after the table
    QCOMPARE(grid.cellTops.size(), 2);

    // 10.5-point lines need less than 18 points: each takes one row of 18.
    const QList<int> plainSteps = steps(plain.bodyTops, 0, 9);
    QVERIFY2(plainSteps.first() < 360, qPrintable(QString::number(plainSteps.first())));
    QCOMPARE(steps(grid.bodyTops, 0, 9), QList<int>(9, 360));
    // An exact line height keeps its own; text in tables is not on the grid.
    QCOMPARE(grid.bodyTops.at(11) - grid.bodyTops.at(10), 300);
    QCOMPARE(grid.cellTops.at(1) - grid.cellTops.at(0), plain.cellTops.at(1) - plain.cellTops.at(0));

    // A grid named and then switched back to none is none.
    const Laidout off = layOut(gridDocument("\\sectlinegrid360\\sectspecifyl\\sectdefaultcl"));
    QCOMPARE(steps(off.bodyTops, 0, 9), plainSteps);
}

void tst_LineGrid::theGridSurvivesRtfAndNativeFiles()
{
    DocumentModel model;
    QVERIFY(readWith(RtfFilter(), gridDocument("\\sectlinegrid312\\sectspecifycl"), model));
    QCOMPARE(model.document()->rootFrame()->frameFormat().intProperty(DocumentLinePitch), 312);

    DocumentModel fromRtf;
    QVERIFY(readWith(RtfFilter(), writeWith(RtfFilter(), model), fromRtf));
    QCOMPARE(fromRtf.document()->rootFrame()->frameFormat().intProperty(DocumentLinePitch), 312);

    DocumentModel fromNative;
    QVERIFY(readWith(NativeFilter(), writeWith(NativeFilter(), model), fromNative));
    QCOMPARE(fromNative.document()->rootFrame()->frameFormat().intProperty(DocumentLinePitch), 312);

    DocumentModel none;
    QVERIFY(readWith(RtfFilter(), gridDocument(""), none));
    QVERIFY(!writeWith(RtfFilter(), none).contains("sectlinegrid"));
}

QTEST_MAIN(tst_LineGrid)
#include "tst_LineGrid.moc"
