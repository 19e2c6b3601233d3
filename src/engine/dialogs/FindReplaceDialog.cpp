#include "engine/dialogs/FindReplaceDialog.h"

#include "engine/TTextEngine.h"
#include "engine/editing/EditCommands.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace tamapiko::engine {

namespace {

// A selection longer than this, or over several lines, is not what the
// user wants to search for.
constexpr int LongestSelectionToSearchFor = 100;

bool isOneShortLine(const QString &text)
{
    return !text.isEmpty() && text.size() <= LongestSelectionToSearchFor
        && !text.contains(QChar::ParagraphSeparator) && !text.contains(QChar::LineSeparator)
        && !text.contains(QChar(0xFDD0)) && !text.contains(QChar(0xFDD1));
}

} // namespace

FindReplaceDialog::FindReplaceDialog(TTextEngine *engine)
    : QDialog(engine)
    , m_engine(engine)
    , m_findText(new QLineEdit(this))
    , m_replaceLabel(new QLabel(tr("置換後の文字列(&P):"), this))
    , m_replaceText(new QLineEdit(this))
    , m_up(new QRadioButton(tr("上へ(&U)"), this))
    , m_down(new QRadioButton(tr("下へ(&D)"), this))
    , m_matchCase(new QCheckBox(tr("大文字と小文字を区別する(&C)"), this))
    , m_wholeWords(new QCheckBox(tr("単語単位で探す(&W)"), this))
    , m_matchWidth(new QCheckBox(tr("全角と半角を区別する(&M)"), this))
    , m_matchKana(new QCheckBox(tr("ひらがなとカタカナを区別する(&K)"), this))
    , m_findNextButton(new QPushButton(tr("次を検索(&F)"), this))
    , m_replaceButton(new QPushButton(tr("置換(&R)"), this))
    , m_replaceAllButton(new QPushButton(tr("すべて置換(&A)"), this))
    , m_closeButton(new QPushButton(tr("閉じる"), this))
{
    setModal(false);
    m_findText->setObjectName(QStringLiteral("findText"));
    m_replaceText->setObjectName(QStringLiteral("replaceText"));

    auto *findLabel = new QLabel(tr("検索する文字列(&N):"), this);
    findLabel->setBuddy(m_findText);
    m_replaceLabel->setBuddy(m_replaceText);

    auto *direction = new QGroupBox(tr("検索する方向"), this);
    auto *directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(m_down);
    m_down->setChecked(true);

    auto *fields = new QGridLayout;
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(m_findText, 0, 1);
    fields->addWidget(m_replaceLabel, 1, 0);
    fields->addWidget(m_replaceText, 1, 1);
    auto *checks = new QVBoxLayout;
    for (QCheckBox *check : { m_matchCase, m_wholeWords, m_matchWidth, m_matchKana })
        checks->addWidget(check);
    auto *lower = new QHBoxLayout;
    lower->addLayout(checks);
    lower->addWidget(direction, 0, Qt::AlignTop);
    fields->addLayout(lower, 2, 0, 1, 2);
    fields->setRowStretch(3, 1);

    auto *buttons = new QVBoxLayout;
    for (QPushButton *button : { m_findNextButton, m_replaceButton, m_replaceAllButton, m_closeButton })
        buttons->addWidget(button);
    buttons->addStretch(1);
    m_findNextButton->setDefault(true);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);

    connect(m_findText, &QLineEdit::textChanged, this, &FindReplaceDialog::updateButtons);
    connect(m_findNextButton, &QPushButton::clicked, this, &FindReplaceDialog::findNext);
    connect(m_replaceButton, &QPushButton::clicked, this, &FindReplaceDialog::replace);
    connect(m_replaceAllButton, &QPushButton::clicked, this, &FindReplaceDialog::replaceAll);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);

    setMode(Mode::Find);
    updateButtons();
}

FindReplaceDialog::~FindReplaceDialog() = default;

void FindReplaceDialog::showFor(Mode mode)
{
    setMode(mode);
    if (m_engine) {
        const QString selected = m_engine->textCursor().selectedText();
        if (isOneShortLine(selected))
            m_findText->setText(selected);
    }
    show();
    raise();
    activateWindow();
    m_findText->setFocus();
    m_findText->selectAll();
}

void FindReplaceDialog::setMode(Mode mode)
{
    m_mode = mode;
    const bool replacing = mode == Mode::Replace;
    setWindowTitle(replacing ? tr("置換") : tr("検索"));
    m_replaceLabel->setVisible(replacing);
    m_replaceText->setVisible(replacing);
    m_replaceButton->setVisible(replacing);
    m_replaceAllButton->setVisible(replacing);
    adjustSize();
}

FindOptions FindReplaceDialog::options() const
{
    FindOptions options;
    options.matchCase = m_matchCase->isChecked();
    options.wholeWords = m_wholeWords->isChecked();
    options.matchWidth = m_matchWidth->isChecked();
    options.matchKana = m_matchKana->isChecked();
    options.backwards = m_up->isChecked();
    return options;
}

void FindReplaceDialog::updateButtons()
{
    const bool canSearch = !m_findText->text().isEmpty();
    for (QPushButton *button : { m_findNextButton, m_replaceButton, m_replaceAllButton })
        button->setEnabled(canSearch);
}

bool FindReplaceDialog::findNext()
{
    const QString needle = m_findText->text();
    if (!m_engine || needle.isEmpty())
        return false;
    QTextDocument *document = m_engine->document();
    const FindOptions options = this->options();
    const QTextCursor cursor = m_engine->textCursor();
    const int documentEnd = document->characterCount() - 1;
    const int from = options.backwards ? cursor.selectionStart() : cursor.selectionEnd();

    std::optional<TextRange> found = m_finder.find(document, needle, from, options);
    const bool startedAtTheEdge = options.backwards ? from >= documentEnd : from <= 0;
    if (!found && !startedAtTheEdge) {
        const QString question = options.backwards
            ? tr("文書の先頭まで検索しました。末尾から検索を続けますか?")
            : tr("文書の末尾まで検索しました。先頭から検索を続けますか?");
        if (!ask(question))
            return false;
        const TextRange rest = options.backwards ? TextRange { from, documentEnd } : TextRange { 0, from };
        found = m_finder.find(document, needle, options.backwards ? documentEnd : 0, options, rest);
    }
    if (!found) {
        tell(tr("「%1」が見つかりません。").arg(needle));
        return false;
    }
    select(*found);
    return true;
}

bool FindReplaceDialog::replace()
{
    const QString needle = m_findText->text();
    if (!m_engine || needle.isEmpty())
        return false;
    QTextDocument *document = m_engine->document();
    const FindOptions options = this->options();
    QTextCursor cursor = m_engine->textCursor();
    bool replaced = false;
    if (cursor.hasSelection()
        && m_finder.matches(document, needle, TextRange { cursor.selectionStart(), cursor.selectionEnd() }, options)) {
        m_engine->applyEdit(EditKind::Replace, [&](QTextCursor &selection) {
            const int start = selection.selectionStart();
            QTextCursor first(document);
            first.setPosition(start + 1);
            selection.insertText(m_replaceText->text(), first.charFormat());
            // Searching upwards goes on before the replacement, downwards after it.
            if (options.backwards)
                selection.setPosition(start);
        });
        replaced = true;
    }
    findNext();
    return replaced;
}

int FindReplaceDialog::replaceAll()
{
    const QString needle = m_findText->text();
    if (!m_engine || needle.isEmpty())
        return 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int count = 0;
    m_engine->applyEdit(EditKind::Replace, [&](QTextCursor &cursor) {
        count = m_finder.replaceAll(cursor.document(), needle, m_replaceText->text(), options());
    });
    QApplication::restoreOverrideCursor();
    if (count == 0)
        tell(tr("「%1」が見つかりません。").arg(needle));
    else
        tell(tr("%1 個の文字列を置換しました。").arg(count));
    return count;
}

void FindReplaceDialog::select(TextRange range)
{
    QTextCursor cursor(m_engine->document());
    cursor.setPosition(range.start);
    cursor.setPosition(range.end, QTextCursor::KeepAnchor);
    m_engine->setTextCursor(cursor);
}

bool FindReplaceDialog::ask(const QString &question)
{
    if (m_ask)
        return m_ask(question);
    QMessageBox box(QMessageBox::Question, tr("確認"), question, QMessageBox::NoButton, this);
    QAbstractButton *yes = box.addButton(tr("はい(&Y)"), QMessageBox::YesRole);
    box.addButton(tr("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(qobject_cast<QPushButton *>(yes));
    box.exec();
    return box.clickedButton() == yes;
}

void FindReplaceDialog::tell(const QString &note)
{
    if (m_tell) {
        m_tell(note);
        return;
    }
    QMessageBox box(QMessageBox::Information, windowTitle(), note, QMessageBox::NoButton, this);
    box.addButton(tr("OK"), QMessageBox::AcceptRole);
    box.exec();
}

} // namespace tamapiko::engine
