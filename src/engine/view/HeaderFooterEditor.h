#pragma once

// HeaderFooterEditor: a header or footer opened for editing on its sheet.
//
// Double-clicking above or below a page's body opens the story that page
// shows in this editor, laid over the band it is drawn in; the body stays
// where it is, and Esc (or a double-click back in the body) returns to it.
// The editor works on the story itself, so what is typed is in the document
// at once and the sheets behind show it as soon as the editor closes.

#include "engine/HeaderFooterSet.h"

#include <QTextEdit>

namespace tamapiko::engine {

class HeaderFooterEditor : public QTextEdit
{
    Q_OBJECT

public:
    explicit HeaderFooterEditor(QWidget *parent);

    void open(QTextDocument *story, HeaderFooterKind kind, int page);
    bool isOpen() const { return m_story != nullptr; }
    QTextDocument *story() const { return m_story; }
    HeaderFooterKind kind() const { return m_kind; }
    int page() const { return m_page; }
    // Puts the editor over the band (viewport pixels); the story's text
    // wraps at the band's width.
    void place(const QRectF &band);
    // Hides the editor and lets go of the story.
    void close();

signals:
    // The user asked to return to the body (Esc).
    void returnRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QTextDocument *m_story = nullptr;
    QTextDocument *m_placeholder;        // shown while no story is open
    HeaderFooterKind m_kind = HeaderFooterKind::Header;
    int m_page = 0;
};

} // namespace tamapiko::engine
