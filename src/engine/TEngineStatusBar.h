#pragma once

// TEngineStatusBar: the status bar that goes with text engines.
//
// A hint area on the left shows Text (the long part of a menu or button
// hint, or anything the program wants to say); on the right stand the
// caret's page "n/m", line and column, the zoom and the input mode
// (挿入 insert, 上書 overwrite) of the engine it follows.
//
// One status bar may serve several engines (the frame's one serves every
// document window). It follows the engine that has the keyboard focus,
// among those whose StatusBarHandle is this bar; setEngine() follows one
// at once, for instance when a document window is activated.
//
// The fields are refreshed once per turn of the event loop however many
// notifications a keystroke raises: counting pages can mean laying out a
// long document to its end.

#include <QPointer>
#include <QStatusBar>
#include <QTimer>

class QLabel;
class TTextEngine;
class EngineFollower;

class TEngineStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit TEngineStatusBar(QWidget *parent = nullptr);
    ~TEngineStatusBar() override;

    QString Text() const;
    void setText(const QString &text);

    TTextEngine *engine() const;
    void setEngine(TTextEngine *engine);

    // What the fields show now, for those who read the bar rather than look.
    QString pageText() const;
    QString lineText() const;
    QString columnText() const;
    QString zoomText() const;
    QString modeText() const;

private:
    void follow(TTextEngine *engine);
    void scheduleRefresh();
    void refreshPosition();
    void refreshView();
    void refreshMode();
    void clearFields();

    EngineFollower *m_follower;
    QTimer m_refresh;
    QMetaObject::Connection m_connections[5];
    QLabel *m_hint;
    QLabel *m_page;
    QLabel *m_line;
    QLabel *m_column;
    QLabel *m_zoom;
    QLabel *m_mode;
};
