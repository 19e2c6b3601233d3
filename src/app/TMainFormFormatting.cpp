// The formatting toolbar's handlers: each writes one property of the active
// document's engine or calls one of its methods. Every control here is
// disabled while no document is open, so a document is there when they run.

#include "app/TMainForm.h"

#include "app/ErrorReporting.h"
#include "document/TMDIChild.h"
#include "document/WinColour.h"
#include "engine/TEngineRuler.h"
#include "engine/TTextEngine.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QToolButton>

namespace {

// The index of the list entry the box shows, or -1 once the user has typed
// a text that is no entry.
int selectedEntry(const QComboBox *box)
{
    const int index = box->currentIndex();
    if (index < 0 || box->itemText(index) != box->currentText())
        return -1;
    return index;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Leading blanks, then the leading decimal digits with an optional decimal
// fraction ("10.5", the default size, must stay 10.5); no digit gives 0.
double lenientSize(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    double value = 0;
    for (; i < text.size() && isDigit(text.at(i)); ++i)
        value = qMin(value * 10 + (text.at(i).unicode() - '0'), 32767.0);
    if (i + 1 < text.size() && text.at(i) == QLatin1Char('.') && isDigit(text.at(i + 1))) {
        double scale = 0.1;
        for (++i; i < text.size() && isDigit(text.at(i)); ++i, scale /= 10)
            value += (text.at(i).unicode() - '0') * scale;
    }
    return value;
}

} // namespace

void TMainForm::CobFontsClick()
{
    m_editedBoxes.remove(CobFonts);
    TMDIChild *document = activeDocument();
    if (!document)
        return;
    const int entry = selectedEntry(CobFonts);
    if (entry >= 0)
        document->TextEngine1->setFontName(CobFonts->itemText(entry));
    returnFocusToRuler();
}

void TMainForm::CobPointSizeClick()
{
    m_editedBoxes.remove(CobPointSize);
    TMDIChild *document = activeDocument();
    if (!document)
        return;
    document->TextEngine1->setFontSize(lenientSize(CobPointSize->currentText()));
    returnFocusToRuler();
}

void TMainForm::CobZoom1Click()
{
    m_editedBoxes.remove(CobZoom1);
    TMDIChild *document = activeDocument();
    if (!document)
        return;
    const int entry = selectedEntry(CobZoom1);
    for (int step = 0; step < 7; ++step)
        document->Zoom[step]->setChecked(step == entry);

    // "150%", "150" and "12a" all name a zoom by their first two or three
    // characters; a fourth character must be the percent sign.
    const QString text = CobZoom1->currentText();
    if (text.size() >= 4 && text.at(3) != QLatin1Char('%')) {
        CobZoom1->setEditText(QString());
    } else {
        const QString number = text.size() >= 3 && isDigit(text.at(2)) ? text.left(3) : text.left(2);
        bool ok = false;
        const int zoom = number.trimmed().toInt(&ok);
        if (!ok)
            throw tamapiko::app::ConversionError(QStringLiteral("'%1' は整数ではありません").arg(number));
        if (zoom < 10 || zoom > 400) {
            CobZoom1->setEditText(QString());
        } else {
            document->TextEngine1->setZoomFactor(zoom);
            CobZoom1->setEditText(number + QLatin1Char('%'));
        }
    }
    returnFocusToRuler();
}

void TMainForm::BtnBoldClick()
{
    if (TMDIChild *document = activeDocument())
        document->TextEngine1->setFontBold(BtnBold->isChecked() ? 1 : 0);
}

void TMainForm::BtnItalicClick()
{
    if (TMDIChild *document = activeDocument())
        document->TextEngine1->setFontItalic(BtnItalic->isChecked() ? 1 : 0);
}

void TMainForm::BtnUnderLineClick()
{
    if (TMDIChild *document = activeDocument())
        document->TextEngine1->setFontUnderline(BtnUnderLine->isChecked() ? 1 : 0);
}

void TMainForm::BtnPgLeftClick()
{
    if (TMDIChild *document = activeDocument())
        document->TextEngine1->setAlignment(0);
}

void TMainForm::BtnPgRightClick()
{
    if (TMDIChild *document = activeDocument())
        document->TextEngine1->setAlignment(1);
}

void TMainForm::BtnPgCenteredClick()
{
    if (TMDIChild *document = activeDocument())
        document->TextEngine1->setAlignment(2);
}

void TMainForm::BtnPgjustifiedClick()
{
    if (TMDIChild *document = activeDocument())
        document->TextEngine1->setAlignment(3);
}

void TMainForm::BtnTxtColr1Click()
{
    if (TMDIChild *document = activeDocument())
        document->ChangeColour(true);
}

void TMainForm::BtnBkColr1Click()
{
    if (TMDIChild *document = activeDocument())
        document->ChangeColour(false);
}

void TMainForm::BtnDanRakuClick()
{
    // The button and the window's "段落記号(&D)" item are one command.
    if (TMDIChild *document = activeDocument())
        document->DanRakuClick();
    else
        BtnDanRaku->setChecked(false);
}

void TMainForm::BtnTable1Click()
{
    if (TMDIChild *document = activeDocument())
        document->Insert2Click();
}

void TMainForm::BtnSearRep1Click()
{
    if (TMDIChild *document = activeDocument())
        document->TextEngine1->FindReplaceDialog(1);
}

void TMainForm::Bakuset1Click()
{
    if (TMDIChild *document = activeDocument()) {
        document->TextEngine1->Undo();
        RefreshUndoButtons();
    }
}

void TMainForm::Ritarn1Click()
{
    if (TMDIChild *document = activeDocument()) {
        document->TextEngine1->Redo();
        RefreshUndoButtons();
    }
}

void TMainForm::Cut1Click()
{
    if (TMDIChild *document = activeDocument())
        document->TextEngine1->ClipboardAction(1);
}

void TMainForm::Copy1Click()
{
    if (TMDIChild *document = activeDocument())
        document->TextEngine1->ClipboardAction(2);
}

void TMainForm::Paste1Click()
{
    if (TMDIChild *document = activeDocument())
        document->TextEngine1->ClipboardAction(3);
}

void TMainForm::setSwatchColour(QFrame *swatch, int rgb)
{
    swatch->setProperty("rgb", rgb);
    QPalette palette = swatch->palette();
    if (rgb == MixedColour)
        palette.setBrush(QPalette::Window, QBrush(Qt::gray, Qt::Dense4Pattern));
    else
        palette.setBrush(QPalette::Window, colourFromRgbValue(rgb));
    swatch->setPalette(palette);
}

int TMainForm::swatchColour(const QFrame *swatch)
{
    return swatch->property("rgb").toInt();
}
