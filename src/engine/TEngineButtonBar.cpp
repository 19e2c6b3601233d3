#include "engine/TEngineButtonBar.h"

#include "engine/EngineFollower.h"
#include "engine/TTextEngine.h"
#include "engine/TabStopGlyph.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>

namespace {

struct TabTypeChoice
{
    QTextOption::TabType type;
    const char *toolTip;
};

const TabTypeChoice tabTypeChoices[] = {
    { QTextOption::LeftTab, QT_TRANSLATE_NOOP("TEngineButtonBar", "左揃えタブ") },
    { QTextOption::CenterTab, QT_TRANSLATE_NOOP("TEngineButtonBar", "中央揃えタブ") },
    { QTextOption::RightTab, QT_TRANSLATE_NOOP("TEngineButtonBar", "右揃えタブ") },
    { QTextOption::DelimiterTab, QT_TRANSLATE_NOOP("TEngineButtonBar", "小数点揃えタブ") },
};

QIcon tabTypeIcon(QTextOption::TabType type, const QPalette &palette)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(palette.color(QPalette::ButtonText), 2));
    drawTabStopGlyph(painter, QPointF(8, 12), type, 5);
    return QIcon(pixmap);
}

} // namespace

TEngineButtonBar::TEngineButtonBar(QWidget *parent)
    : QWidget(parent)
    , m_follower(new EngineFollower(this, [this](const TTextEngine *engine) {
        return engine->ButtonBarHandle() == this;
    }))
    , m_layout(new QHBoxLayout(this))
    , m_tabTypes(new QButtonGroup(this))
{
    m_layout->setContentsMargins(2, 1, 2, 1);
    m_layout->setSpacing(1);
    m_layout->addStretch(1);
    for (const TabTypeChoice &choice : tabTypeChoices) {
        auto *button = new QToolButton(this);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setIcon(tabTypeIcon(choice.type, palette()));
        button->setToolTip(tr(choice.toolTip));
        button->setAccessibleName(tr(choice.toolTip));
        m_tabTypes->addButton(button, choice.type);
        m_layout->addWidget(button);
    }
    m_tabTypes->button(QTextOption::LeftTab)->setChecked(true);
    connect(m_tabTypes, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            emit tabTypeChanged(QTextOption::TabType(id));
    });
}

TEngineButtonBar::~TEngineButtonBar() = default;

QTextOption::TabType TEngineButtonBar::tabType() const
{
    return QTextOption::TabType(m_tabTypes->checkedId());
}

void TEngineButtonBar::setTabType(QTextOption::TabType type)
{
    if (QAbstractButton *button = m_tabTypes->button(type))
        button->setChecked(true);
}

QAbstractButton *TEngineButtonBar::tabTypeButton(QTextOption::TabType type) const
{
    return m_tabTypes->button(type);
}

void TEngineButtonBar::setPanel(QWidget *panel)
{
    if (panel == m_panel)
        return;
    if (m_panel) {
        m_layout->removeWidget(m_panel);
        m_panel->setParent(nullptr);
    }
    m_panel = panel;
    if (panel)
        m_layout->insertWidget(0, panel);
}

TTextEngine *TEngineButtonBar::engine() const
{
    return m_follower->engine();
}

void TEngineButtonBar::setEngine(TTextEngine *engine)
{
    m_follower->setEngine(engine);
}
