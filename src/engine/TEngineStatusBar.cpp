#include "engine/TEngineStatusBar.h"

#include "engine/EngineFollower.h"
#include "engine/TTextEngine.h"
#include "engine/layout/PageLayout.h"

#include <QLabel>
#include <QTextDocument>

namespace {

QLabel *addField(QStatusBar *bar, const QString &widest)
{
    auto *label = new QLabel(bar);
    label->setAlignment(Qt::AlignCenter);
    // Wide enough for the longest value, so that the fields do not jump
    // about while the caret moves.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widest) + 8);
    bar->addPermanentWidget(label);
    return label;
}

} // namespace

TEngineStatusBar::TEngineStatusBar(QWidget *parent)
    : QStatusBar(parent)
    , m_follower(new EngineFollower(this, [this](const TTextEngine *engine) {
        return engine->StatusBarHandle() == this;
    }))
    , m_hint(new QLabel(this))
{
    setSizeGripEnabled(false);
    m_hint->setTextFormat(Qt::PlainText);
    addWidget(m_hint, 1);
    m_page = addField(this, tr("%1/%2 ページ").arg(9999).arg(9999));
    m_line = addField(this, tr("%1 行").arg(999));
    m_column = addField(this, tr("%1 列").arg(9999));
    m_zoom = addField(this, QStringLiteral("400%"));
    m_mode = addField(this, tr("上書"));
    connect(m_follower, &EngineFollower::engineChanged, this, &TEngineStatusBar::follow);
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, &TEngineStatusBar::refreshView);
    clearFields();
}

TEngineStatusBar::~TEngineStatusBar() = default;

QString TEngineStatusBar::Text() const
{
    return m_hint->text();
}

void TEngineStatusBar::setText(const QString &text)
{
    m_hint->setText(text);
}

TTextEngine *TEngineStatusBar::engine() const
{
    return m_follower->engine();
}

void TEngineStatusBar::setEngine(TTextEngine *engine)
{
    m_follower->setEngine(engine);
}

QString TEngineStatusBar::pageText() const
{
    return m_page->text();
}

QString TEngineStatusBar::lineText() const
{
    return m_line->text();
}

QString TEngineStatusBar::columnText() const
{
    return m_column->text();
}

QString TEngineStatusBar::zoomText() const
{
    return m_zoom->text();
}

QString TEngineStatusBar::modeText() const
{
    return m_mode->text();
}

void TEngineStatusBar::follow(TTextEngine *engine)
{
    for (QMetaObject::Connection &connection : m_connections)
        disconnect(connection);
    if (!engine) {
        m_refresh.stop();
        clearFields();
        return;
    }
    m_connections[0] = connect(engine, &TTextEngine::OnPosChange, this, &TEngineStatusBar::scheduleRefresh);
    m_connections[1] = connect(engine, &TTextEngine::OnChange, this, &TEngineStatusBar::scheduleRefresh);
    m_connections[2] = connect(engine, &TTextEngine::viewGeometryChanged, this, &TEngineStatusBar::scheduleRefresh);
    m_connections[3] = connect(engine, &TTextEngine::overwriteModeChanged, this, &TEngineStatusBar::refreshMode);
    m_connections[4] = connect(engine, &TTextEngine::OnParagraphChange, this, &TEngineStatusBar::scheduleRefresh);
    refreshView();
    refreshMode();
}

void TEngineStatusBar::scheduleRefresh()
{
    if (!m_refresh.isActive())
        m_refresh.start();
}

void TEngineStatusBar::refreshPosition()
{
    const TTextEngine *engine = m_follower->engine();
    if (!engine)
        return;
    // The count grows while the rest of the document is paginated in the
    // background (the engine reports each change); asking for the final
    // count here would make every key wait for the whole document.
    const auto *layout = qobject_cast<const tamapiko::engine::PageLayout *>(engine->document()->documentLayout());
    const int pages = layout ? layout->knownPageCount() : engine->CurrentPages();
    m_page->setText(tr("%1/%2 ページ").arg(engine->CurrentPage()).arg(std::max(1, pages)));
    m_line->setText(tr("%1 行").arg(engine->CaretLine()));
    m_column->setText(tr("%1 列").arg(engine->CaretColumn()));
}

void TEngineStatusBar::refreshView()
{
    const TTextEngine *engine = m_follower->engine();
    if (!engine)
        return;
    m_zoom->setText(QStringLiteral("%1%").arg(engine->ZoomFactor()));
    refreshPosition();
}

void TEngineStatusBar::refreshMode()
{
    const TTextEngine *engine = m_follower->engine();
    if (!engine)
        return;
    m_mode->setText(engine->OverwriteMode() ? tr("上書") : tr("挿入"));
}

void TEngineStatusBar::clearFields()
{
    for (QLabel *field : { m_page, m_line, m_column, m_zoom, m_mode })
        field->clear();
}
