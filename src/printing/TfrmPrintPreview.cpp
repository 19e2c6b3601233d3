#include "printing/TfrmPrintPreview.h"

#include "app/ErrorReporting.h"
#include "app/Hints.h"
#include "app/ToolIcons.h"
#include "engine/TTextEngine.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>

using tamapiko::app::runGuarded;

namespace {

// The area the page is fitted into, and where it stands.
constexpr int ImageAreaWidth = 352;
constexpr int ImageAreaHeight = 513;
constexpr int ImageTop = 55;
constexpr int TwipsPerInch = 1440;

QToolButton *makeButton(QWidget *panel, const char *name, int left, const QIcon &icon, const QString &hint)
{
    auto *button = new QToolButton(panel);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, 2, 45, 25);
    button->setIcon(icon);
    button->setAutoRaise(true);
    tamapiko::app::applyHint(button, hint);
    return button;
}

} // namespace

TfrmPrintPreview::TfrmPrintPreview(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                          | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("プレビュー"));
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);
    resize(412, 573);
    setAutoFillBackground(true);
    QPalette shadow = palette();
    shadow.setColor(QPalette::Window, palette().color(QPalette::Dark));
    setPalette(shadow);

    ToolBar1 = new QFrame(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setGeometry(0, 0, 412, 34);
    ToolBar1->setAutoFillBackground(true);
    ToolBar1->setPalette(parent ? parent->palette() : QPalette());
    Panel1 = new QFrame(ToolBar1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(0, 2, 400, 30);

    QStyle *look = style();
    SpeedButton5 = makeButton(Panel1, "SpeedButton5", 5, tamapiko::app::toolIcon(tamapiko::app::ToolGlyph::Print),
                              QStringLiteral("印刷|現在の文書を印刷します"));
    BtnBak = makeButton(Panel1, "BtnBak", 54, look->standardIcon(QStyle::SP_ArrowBack),
                        QStringLiteral("前ページ|前ページの表示を行います"));
    BtnNext = makeButton(Panel1, "BtnNext", 99, look->standardIcon(QStyle::SP_ArrowForward),
                         QStringLiteral("次ページ|次ページの表示を行います"));
    SpeedButton1 = makeButton(Panel1, "SpeedButton1", 354, look->standardIcon(QStyle::SP_DialogCloseButton),
                              QStringLiteral("閉じる|プレビュー画面を閉じます"));

    ViewPage1 = new QLabel(this);
    ViewPage1->setObjectName(QStringLiteral("ViewPage1"));
    ViewPage1->setGeometry(33, ImageTop, ImageAreaWidth, ImageAreaHeight);
    ViewPage1->setScaledContents(true);

    connect(SpeedButton5, &QToolButton::clicked, this, &TfrmPrintPreview::printRequested);
    connect(BtnBak, &QToolButton::clicked, this, [this] { runGuarded([this] { BtnBakClick(); }); });
    connect(BtnNext, &QToolButton::clicked, this, [this] { runGuarded([this] { BtnNextClick(); }); });
    connect(SpeedButton1, &QToolButton::clicked, this, &QDialog::accept);
}

TfrmPrintPreview::~TfrmPrintPreview() = default;

void TfrmPrintPreview::showFor(TTextEngine *engine)
{
    m_engine = engine;
    exec();
    m_engine = nullptr;
    // A window manager gives the keyboard back to the frame when the preview
    // closes; without one (a bare X server, kiosk sessions) nobody would, and
    // the next keys would go nowhere.
    if (QWidget *frame = parentWidget())
        frame->activateWindow();
}

void TfrmPrintPreview::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    runGuarded([this] { FormShow(); });
}

void TfrmPrintPreview::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

void TfrmPrintPreview::FormShow()
{
    if (!m_engine)
        return;
    // Whole pixels and whole percents, truncated at each step, so that a
    // page always fits inside the area: A4 at 96 ppi is 793 x 1122 pixels,
    // fitted at 44 % into 348 x 493.
    const int ppi = m_engine->logicalDpiX();
    const int pageHeight = std::max(1, m_engine->PageHeight() * ppi / TwipsPerInch);
    const int pageWidth = std::max(1, m_engine->PageWidth() * ppi / TwipsPerInch);
    const int heightZoom = ImageAreaHeight * 100 / pageHeight;
    const int widthZoom = ImageAreaWidth * 100 / pageWidth;
    m_fitZoom = std::max(1, std::min(heightZoom, widthZoom));

    const QSize imageSize(std::max(1, pageWidth * m_fitZoom / 100), std::max(1, pageHeight * m_fitZoom / 100));
    m_pageImage = QImage(imageSize, QImage::Format_RGB32);
    // The image measures what the document window does: its inches are
    // the engine's inches.
    const int dotsPerMeter = qRound(ppi / 0.0254);
    m_pageImage.setDotsPerMeterX(dotsPerMeter);
    m_pageImage.setDotsPerMeterY(dotsPerMeter);
    ViewPage1->resize(imageSize);
    centreImage();

    m_currentPage = 1;
    drawCurrentPage();
}

void TfrmPrintPreview::FormResize()
{
    Panel1->resize(frameGeometry().width(), Panel1->height());
    ToolBar1->resize(width(), ToolBar1->height());
    centreImage();
}

void TfrmPrintPreview::centreImage()
{
    // The outer width, borders included, as the window has always done.
    ViewPage1->move(frameGeometry().width() / 2 - ViewPage1->width() / 2, ImageTop);
}

void TfrmPrintPreview::drawCurrentPage()
{
    if (!m_engine || m_pageImage.isNull())
        return;
    // A clean sheet first: a page that draws less than its whole area
    // must not show what the previous page left.
    m_pageImage.fill(Qt::white);
    {
        QPainter painter(&m_pageImage);
        m_engine->setPrintDevice(&painter);
        // Printing from this window points the engine at the printer's zoom;
        // every page drawn here is drawn at the fit again.
        m_engine->setPrintZoom(m_fitZoom);
        const bool drawn = m_engine->PrintPage(m_currentPage);
        m_engine->setPrintDevice(nullptr);
        if (!drawn)
            throw std::runtime_error(m_engine->errorString().toStdString());
    }
    ViewPage1->setPixmap(QPixmap::fromImage(m_pageImage));

    const int pages = m_engine->CurrentPages();
    BtnNext->setEnabled(m_currentPage < pages);
    BtnBak->setEnabled(m_currentPage > 1);
}

void TfrmPrintPreview::BtnBakClick()
{
    --m_currentPage;
    drawCurrentPage();
}

void TfrmPrintPreview::BtnNextClick()
{
    ++m_currentPage;
    drawCurrentPage();
}
