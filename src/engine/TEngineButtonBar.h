#pragma once

// TEngineButtonBar: the bar above the document windows.
//
// Its right part chooses the kind of tab stop that a click on a ruler sets
// (left, right, centred, decimal). Its left part is left free for the
// program's own formatting panel (setPanel), which lies over it. Disabling
// the bar (setEnabled(false), the Enabled property) disables both.
//
// Like the status bar it may serve several engines: it follows the engine
// that has the focus among those whose ButtonBarHandle is this bar.

#include <QTextOption>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QHBoxLayout;
class TTextEngine;
class EngineFollower;

class TEngineButtonBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)

public:
    explicit TEngineButtonBar(QWidget *parent = nullptr);
    ~TEngineButtonBar() override;

    QTextOption::TabType tabType() const;
    void setTabType(QTextOption::TabType type);
    // The button that chooses `type`, for tests and for the program's tooltips.
    QAbstractButton *tabTypeButton(QTextOption::TabType type) const;

    // Puts the program's panel into the bar's left part; the bar owns it
    // until another panel replaces it, which hands it back unparented.
    void setPanel(QWidget *panel);
    QWidget *panel() const { return m_panel; }

    TTextEngine *engine() const;
    void setEngine(TTextEngine *engine);

signals:
    void tabTypeChanged(QTextOption::TabType type);

private:
    EngineFollower *m_follower;
    QHBoxLayout *m_layout;
    QButtonGroup *m_tabTypes;
    QWidget *m_panel = nullptr;
};
