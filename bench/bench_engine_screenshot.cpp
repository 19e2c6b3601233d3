// Makes a picture of the engine as a user sees it: two pages of Japanese
// text in the page layout view at 100 %, drawn headless.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_engine_screenshot [out.png] [zoom] [viewmode]

#include "engine/TTextEngine.h"

#include <QApplication>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("engine-screenshot.png");
    const int zoom = argc > 2 ? QByteArray(argv[2]).toInt() : 100;
    const int viewMode = argc > 3 ? QByteArray(argv[3]).toInt() : 1;

    TTextEngine engine;
    engine.resize(1000, 1150);
    engine.setViewMode(viewMode);
    engine.setZoomFactor(zoom);
    engine.setControlChars(argc > 4);

    QTextCursor cursor = engine.textCursor();
    const QString paragraph = QStringLiteral(
        "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所で"
        "ニャーニャー泣いていた事だけは記憶している。吾輩はここで始めて人間というものを見た。Word processors "
        "lay out text in pages, and this one mixes English and 日本語 on the same line. しかもあとで聞くと"
        "それは書生という人間中で一番獰悪な種族であったそうだ。");
    engine.setAlignment(2);
    engine.setFontSize(16);
    engine.setFontBold(1);
    cursor = engine.textCursor();
    cursor.insertText(QStringLiteral("たまぴこ　文書の見本"));
    engine.setTextCursor(cursor);
    cursor.insertBlock();
    engine.setTextCursor(cursor);
    QTextCharFormat normal;
    normal.setFontPointSize(10.5);
    normal.setFontWeight(QFont::Normal);
    cursor.setCharFormat(normal);
    QTextBlockFormat left;
    left.setAlignment(Qt::AlignJustify);
    left.setTextIndent(10.5);
    cursor.setBlockFormat(left);
    for (int i = 0; i < 28; ++i) {
        cursor.insertText(QString::number(i + 1) + QStringLiteral("．") + paragraph);
        cursor.insertBlock();
        if (i == 3) {
            QTextTableFormat table;
            table.setBorder(0.5);
            table.setCellPadding(2.7);
            table.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            QTextTable *t = cursor.insertTable(3, 3, table);
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c)
                    t->cellAt(r, c).firstCursorPosition().insertText(QStringLiteral("セル %1-%2").arg(r + 1).arg(c + 1));
            cursor.movePosition(QTextCursor::End);
        }
    }
    cursor.movePosition(QTextCursor::Start);
    engine.setTextCursor(cursor);
    engine.show();
    app.processEvents();
    engine.grab().save(out);
    qInfo("pages: %d, saved %s", engine.CurrentPages(), qPrintable(out));
    return 0;
}
