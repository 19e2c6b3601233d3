#include "engine/EngineFollower.h"

#include "engine/TTextEngine.h"

#include <QApplication>

EngineFollower::EngineFollower(QObject *parent, std::function<bool(const TTextEngine *)> accepts)
    : QObject(parent)
    , m_accepts(std::move(accepts))
{
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        connect(app, &QApplication::focusChanged, this, &EngineFollower::onFocusChanged);
}

void EngineFollower::setEngine(TTextEngine *engine)
{
    if (engine == m_engine)
        return;
    if (m_engine)
        disconnect(m_engine, &QObject::destroyed, this, nullptr);
    m_engine = engine;
    if (engine) {
        connect(engine, &QObject::destroyed, this, [this] {
            m_engine = nullptr;
            emit engineChanged(nullptr);
        });
    }
    emit engineChanged(engine);
}

TTextEngine *EngineFollower::engineOf(QWidget *widget)
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (auto *engine = qobject_cast<TTextEngine *>(w))
            return engine;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

void EngineFollower::onFocusChanged(QWidget *, QWidget *now)
{
    TTextEngine *engine = engineOf(now);
    if (engine && m_accepts(engine))
        setEngine(engine);
}
