#pragma once

// EngineFollower: which TTextEngine a shared companion (the frame's status
// bar or button bar) is showing.
//
// It follows the keyboard focus: when a widget inside a TTextEngine (or the
// engine itself) gets the focus and the engine accepts this companion, that
// engine becomes the followed one. Focus going anywhere else (a toolbar
// box, a dialog) keeps the last engine, so the companion keeps showing the
// document the user is working on. An engine that is destroyed is dropped.

#include <QObject>
#include <QPointer>

#include <functional>

class TTextEngine;
class QWidget;

class EngineFollower : public QObject
{
    Q_OBJECT

public:
    // `accepts` says whether an engine is tied to this companion.
    EngineFollower(QObject *parent, std::function<bool(const TTextEngine *)> accepts);

    TTextEngine *engine() const { return m_engine; }
    // Follows `engine` now, whatever has the focus (nullptr: none).
    void setEngine(TTextEngine *engine);

    // The engine that holds `widget`, or nullptr.
    static TTextEngine *engineOf(QWidget *widget);

signals:
    void engineChanged(TTextEngine *engine);

private:
    void onFocusChanged(QWidget *old, QWidget *now);

    std::function<bool(const TTextEngine *)> m_accepts;
    QPointer<TTextEngine> m_engine;
};
