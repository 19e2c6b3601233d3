#include "engine/dialogs/CharacterDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace tamapiko::engine {

namespace {

constexpr qreal SmallestSize = 1;
constexpr qreal LargestSize = 1638;
constexpr int LongestPreview = 40;
const qreal StandardSizes[] = { 8, 9, 10, 10.5, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72 };

// Keeps one value while every sample agrees, and forgets it at the first
// that does not.
template<typename T>
class Uniform
{
public:
    void add(const T &value)
    {
        if (m_mixed)
            return;
        if (!m_value)
            m_value = value;
        else if (!(*m_value == value))
            m_mixed = true;
    }
    std::optional<T> value() const { return m_mixed ? std::nullopt : m_value; }

private:
    std::optional<T> m_value;
    bool m_mixed = false;
};

QColor colorOf(const QTextCharFormat &format)
{
    return format.foreground().style() == Qt::NoBrush ? QColor() : format.foreground().color();
}

} // namespace

// The sample text drawn as it will look.
class CharacterPreview : public QFrame
{
public:
    explicit CharacterPreview(QWidget *parent)
        : QFrame(parent)
    {
        setFrameShape(QFrame::StyledPanel);
        setMinimumSize(320, 72);
        m_document.setDocumentMargin(2);
    }

    void show(const QString &text, const QTextCharFormat &format)
    {
        m_text = text;
        m_document.clear();
        QTextCursor cursor(&m_document);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        cursor.setBlockFormat(centred);
        cursor.insertText(text, format);
        update();
    }

    QString text() const { return m_text; }
    // The sample starts from the page's own font (its default, which the
    // runs' formats refine), not from the dialog's user-interface face.
    void setBaseFont(const QFont &font) { m_document.setDefaultFont(font); }
    QFont sampleFont() const
    {
        const QTextBlock block = m_document.firstBlock();
        const QTextCharFormat format = block.begin().atEnd() ? block.charFormat() : block.begin().fragment().charFormat();
        return format.font().resolve(m_document.defaultFont());
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QFrame::paintEvent(event);
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.fillRect(area, palette().color(QPalette::Base));
        painter.setClipRect(area);
        m_document.setTextWidth(area.width());
        const qreal top = area.top() + std::max<qreal>(0, (area.height() - m_document.size().height()) / 2);
        painter.translate(area.left(), top);
        m_document.drawContents(&painter);
    }

private:
    QTextDocument m_document;
    QString m_text;
};

CharacterState CharacterState::of(const QTextCursor &cursor)
{
    const QTextDocument *document = cursor.document();
    const QFont defaultFont = document ? document->defaultFont() : QFont();
    Uniform<QString> family;
    Uniform<qreal> pointSize;
    Uniform<bool> bold, italic, underline, strikeOut;
    Uniform<QColor> color;
    Uniform<QTextCharFormat::VerticalAlignment> verticalAlignment;
    int samples = 0;
    const auto add = [&](const QTextCharFormat &format) {
        ++samples;
        const QFont font = format.font().resolve(defaultFont);
        family.add(font.family());
        pointSize.add(font.pointSizeF());
        bold.add(font.weight() > QFont::Medium);
        italic.add(font.italic());
        underline.add(format.fontUnderline());
        strikeOut.add(font.strikeOut());
        color.add(colorOf(format));
        verticalAlignment.add(format.verticalAlignment());
    };

    if (!cursor.hasSelection() || !document) {
        add(cursor.charFormat());
    } else {
        // Every run of text the selection covers; paragraph ends carry no
        // characters of their own.
        const int start = cursor.selectionStart();
        const int end = cursor.selectionEnd();
        for (QTextBlock block = document->findBlock(start); block.isValid() && block.position() < end;
             block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.position() + fragment.length() > start && fragment.position() < end)
                    add(fragment.charFormat());
            }
        }
        if (samples == 0) // nothing but paragraph ends: what the caret has
            add(cursor.charFormat());
    }

    CharacterState state;
    state.family = family.value();
    state.pointSize = pointSize.value();
    state.bold = bold.value();
    state.italic = italic.value();
    state.underline = underline.value();
    state.strikeOut = strikeOut.value();
    state.color = color.value();
    state.verticalAlignment = verticalAlignment.value();
    return state;
}

CharacterDialog::CharacterDialog(const QTextCursor &selection, QWidget *parent)
    : QDialog(parent)
    , m_family(new QFontComboBox(this))
    , m_style(new QComboBox(this))
    , m_size(new QComboBox(this))
    , m_underline(new QCheckBox(tr("下線(&U)"), this))
    , m_strikeOut(new QCheckBox(tr("取り消し線(&K)"), this))
    , m_superscript(new QCheckBox(tr("上付き(&P)"), this))
    , m_subscript(new QCheckBox(tr("下付き(&B)"), this))
    , m_colorButton(new QPushButton(tr("色の選択(&C)..."), this))
    , m_colorSwatch(new QLabel(this))
    , m_preview(new CharacterPreview(this))
    , m_buttons(new QDialogButtonBox(this))
{
    setWindowTitle(tr("フォント"));
    m_family->setObjectName(QStringLiteral("family"));
    m_style->setObjectName(QStringLiteral("style"));
    m_size->setObjectName(QStringLiteral("size"));

    m_style->addItems({ tr("標準"), tr("斜体"), tr("太字"), tr("太字 斜体") });
    m_size->setEditable(true);
    for (qreal size : StandardSizes)
        m_size->addItem(QString::number(size));
    m_size->setInsertPolicy(QComboBox::NoInsert);
    m_colorSwatch->setMinimumSize(48, 18);
    m_colorSwatch->setFrameShape(QFrame::Box);
    m_colorSwatch->setAutoFillBackground(true);

    auto *fontFields = new QFormLayout;
    fontFields->addRow(tr("フォント名(&F):"), m_family);
    fontFields->addRow(tr("スタイル(&Y):"), m_style);
    fontFields->addRow(tr("サイズ(&S):"), m_size);
    auto *colorRow = new QHBoxLayout;
    colorRow->addWidget(m_colorSwatch);
    colorRow->addWidget(m_colorButton);
    colorRow->addStretch(1);
    fontFields->addRow(tr("文字色:"), colorRow);

    auto *effects = new QGroupBox(tr("文字飾り"), this);
    auto *effectsLayout = new QGridLayout(effects);
    effectsLayout->addWidget(m_underline, 0, 0);
    effectsLayout->addWidget(m_strikeOut, 1, 0);
    effectsLayout->addWidget(m_superscript, 0, 1);
    effectsLayout->addWidget(m_subscript, 1, 1);

    auto *previewBox = new QGroupBox(tr("プレビュー"), this);
    auto *previewLayout = new QVBoxLayout(previewBox);
    previewLayout->addWidget(m_preview);

    m_okButton = m_buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    m_okButton->setDefault(true);
    m_buttons->addButton(tr("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CharacterDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fontFields);
    layout->addWidget(effects);
    layout->addWidget(previewBox);
    layout->addWidget(m_buttons);

    QTextCursor first = selection;
    if (selection.hasSelection())
        first.setPosition(selection.selectionStart() + 1);
    m_sampleFormat = first.charFormat();
    if (const QTextDocument *document = selection.document())
        m_preview->setBaseFont(document->defaultFont());
    m_sampleText = selection.selectedText();
    const qsizetype lineEnd = m_sampleText.indexOf(QChar::ParagraphSeparator);
    if (lineEnd >= 0)
        m_sampleText.truncate(lineEnd);
    m_sampleText.remove(QChar::ObjectReplacementCharacter);
    m_sampleText = m_sampleText.left(LongestPreview).trimmed();
    if (m_sampleText.isEmpty())
        m_sampleText = tr("あア亜Ａａ Aa");
    load(CharacterState::of(selection));

    // Only what the user does counts as a change, never what load() set.
    connect(m_family, &QComboBox::activated, this, [this] { m_familyTouched = true; touched(); });
    connect(m_family->lineEdit(), &QLineEdit::textEdited, this, [this] { m_familyTouched = true; touched(); });
    connect(m_style, &QComboBox::activated, this, [this] { m_styleTouched = true; touched(); });
    connect(m_size, &QComboBox::activated, this, [this] { m_sizeTouched = true; touched(); });
    connect(m_size->lineEdit(), &QLineEdit::textEdited, this, [this] { m_sizeTouched = true; touched(); });
    const auto decided = [](QCheckBox *box) {
        // Once clicked, a box that showed "mixed" is on or off, never mixed again.
        box->setTristate(false);
    };
    connect(m_underline, &QCheckBox::clicked, this, [=, this] { decided(m_underline); m_underlineTouched = true; touched(); });
    connect(m_strikeOut, &QCheckBox::clicked, this, [=, this] { decided(m_strikeOut); m_strikeOutTouched = true; touched(); });
    connect(m_superscript, &QCheckBox::clicked, this, [=, this] {
        decided(m_superscript);
        decided(m_subscript);
        if (m_superscript->isChecked())
            m_subscript->setChecked(false);
        m_scriptTouched = true;
        touched();
    });
    connect(m_subscript, &QCheckBox::clicked, this, [=, this] {
        decided(m_superscript);
        decided(m_subscript);
        if (m_subscript->isChecked())
            m_superscript->setChecked(false);
        m_scriptTouched = true;
        touched();
    });
    connect(m_colorButton, &QPushButton::clicked, this, &CharacterDialog::chooseColorWithDialog);
    touched();
}

CharacterDialog::~CharacterDialog() = default;

void CharacterDialog::load(const CharacterState &state)
{
    if (state.family) {
        m_family->setCurrentFont(QFont(*state.family));
        m_family->setEditText(*state.family);
    } else {
        m_family->setCurrentIndex(-1);
        m_family->setEditText(QString());
    }

    if (state.bold && state.italic)
        m_style->setCurrentIndex((*state.bold ? Bold : Regular) + (*state.italic ? Italic : Regular));
    else
        m_style->setCurrentIndex(-1);

    m_size->setCurrentIndex(-1);
    m_size->setEditText(state.pointSize ? QString::number(*state.pointSize) : QString());

    const auto show = [](QCheckBox *box, const std::optional<bool> &on) {
        box->setTristate(!on);
        box->setCheckState(!on ? Qt::PartiallyChecked : *on ? Qt::Checked : Qt::Unchecked);
    };
    show(m_underline, state.underline);
    show(m_strikeOut, state.strikeOut);
    const auto &alignment = state.verticalAlignment;
    show(m_superscript, alignment ? std::optional(*alignment == QTextCharFormat::AlignSuperScript) : std::nullopt);
    show(m_subscript, alignment ? std::optional(*alignment == QTextCharFormat::AlignSubScript) : std::nullopt);
    showColor(state.color);
}

void CharacterDialog::showColor(const std::optional<QColor> &color)
{
    QPalette palette = m_colorSwatch->palette();
    if (!color) {
        palette.setColor(QPalette::Window, this->palette().color(QPalette::Window));
        m_colorSwatch->setText(tr("(混在)"));
    } else {
        const QColor shown = color->isValid() ? *color : this->palette().color(QPalette::Text);
        palette.setColor(QPalette::Window, shown);
        m_colorSwatch->setText(color->isValid() ? QString() : tr("自動"));
        palette.setColor(QPalette::WindowText, shown.lightness() < 128 ? Qt::white : Qt::black);
    }
    m_colorSwatch->setPalette(palette);
}

void CharacterDialog::chooseColorWithDialog()
{
    const QColor start = m_chosenColor.value_or(QColor(Qt::black));
    const QColor chosen = QColorDialog::getColor(start, this, tr("色の設定"));
    if (chosen.isValid())
        chooseColor(chosen);
}

void CharacterDialog::chooseColor(const QColor &color)
{
    m_chosenColor = color;
    showColor(color);
    touched();
}

std::optional<qreal> CharacterDialog::enteredSize() const
{
    bool ok = false;
    const qreal size = m_size->currentText().trimmed().toDouble(&ok);
    if (!ok || size < SmallestSize || size > LargestSize)
        return std::nullopt;
    // Sizes go in half points.
    return std::round(size * 2) / 2;
}

QTextCharFormat CharacterDialog::changes() const
{
    QTextCharFormat format;
    const QString family = m_family->currentText().trimmed();
    if (m_familyTouched && !family.isEmpty()) {
        format.setFontFamilies(QStringList { family });
    }
    if (m_styleTouched && m_style->currentIndex() >= 0) {
        const int style = m_style->currentIndex();
        format.setFontWeight(style & Bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(style & Italic);
    }
    if (m_sizeTouched) {
        if (const std::optional<qreal> size = enteredSize())
            format.setFontPointSize(*size);
    }
    if (m_underlineTouched)
        format.setFontUnderline(m_underline->isChecked());
    if (m_strikeOutTouched)
        format.setFontStrikeOut(m_strikeOut->isChecked());
    if (m_scriptTouched) {
        format.setVerticalAlignment(m_superscript->isChecked() ? QTextCharFormat::AlignSuperScript
                                    : m_subscript->isChecked() ? QTextCharFormat::AlignSubScript
                                                               : QTextCharFormat::AlignNormal);
    }
    if (m_chosenColor)
        format.setForeground(*m_chosenColor);
    return format;
}

QString CharacterDialog::previewText() const
{
    return m_preview->text();
}

QFont CharacterDialog::previewFont() const
{
    return m_preview->sampleFont();
}

void CharacterDialog::touched()
{
    // An unreadable size the user typed refuses OK; an empty field that
    // was empty (a mixed selection) is fine.
    const bool sizeValid = !m_sizeTouched || enteredSize().has_value();
    m_okButton->setEnabled(sizeValid);

    QTextCharFormat format = m_sampleFormat;
    format.merge(changes());
    m_preview->show(m_sampleText, format);
}

} // namespace tamapiko::engine
