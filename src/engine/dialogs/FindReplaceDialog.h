#pragma once

// FindReplaceDialog: the engine's find and replace dialog.
//
// Modeless over its engine's window: the user goes on editing while it is
// open, and "次を検索" continues from wherever the caret is then. The found
// text is selected in the engine (which scrolls it into view). Reaching
// the end (or the start, searching upwards) asks whether to go on from the
// other end. "すべて置換" replaces the whole document as one undo step and
// says how many it replaced.

#include "engine/dialogs/TextFinder.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TTextEngine;

namespace tamapiko::engine {

class FindReplaceDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Mode { Find, Replace };

    explicit FindReplaceDialog(TTextEngine *engine);
    ~FindReplaceDialog() override;

    Mode mode() const { return m_mode; }
    // Shows the dialog in `mode`, with the engine's selection as the text
    // to find when it is a short piece of one line.
    void showFor(Mode mode);

    FindOptions options() const;

    // The questions the dialog asks and the notes it gives; message boxes
    // unless replaced (tests answer them without a user).
    void setQuestionHandler(std::function<bool(const QString &)> ask) { m_ask = std::move(ask); }
    void setNoticeHandler(std::function<void(const QString &)> tell) { m_tell = std::move(tell); }

public slots:
    // Each returns whether it found (or replaced) anything.
    bool findNext();
    bool replace();
    int replaceAll();

private:
    void setMode(Mode mode);
    void updateButtons();
    void select(TextRange range);
    bool ask(const QString &question);
    void tell(const QString &note);

    QPointer<TTextEngine> m_engine;
    TextFinder m_finder;
    Mode m_mode = Mode::Find;
    std::function<bool(const QString &)> m_ask;
    std::function<void(const QString &)> m_tell;

    QLineEdit *m_findText;
    QLabel *m_replaceLabel;
    QLineEdit *m_replaceText;
    QRadioButton *m_up;
    QRadioButton *m_down;
    QCheckBox *m_matchCase;
    QCheckBox *m_wholeWords;
    QCheckBox *m_matchWidth;
    QCheckBox *m_matchKana;
    QPushButton *m_findNextButton;
    QPushButton *m_replaceButton;
    QPushButton *m_replaceAllButton;
    QPushButton *m_closeButton;
};

} // namespace tamapiko::engine
