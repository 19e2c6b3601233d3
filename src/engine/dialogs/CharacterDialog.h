#pragma once

// CharacterDialog: the engine's character dialog (FontDialog).
//
// It shows the font family, style, size, underline, strikethrough,
// colour and super-/subscript of the engine's selection (or of the caret,
// where the next typing goes); a field whose property differs within the
// selection is left empty. A preview shows the selection's own text as it
// will look. changes() holds only the fields the user touched, so that
// merging it into the selection (the engine does, as one undo step) keeps
// a mixed selection's mix in everything else.

#include <QColor>
#include <QDialog>
#include <QTextCharFormat>

#include <optional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QFontComboBox;
class QLabel;
class QPushButton;
class QTextCursor;

namespace tamapiko::engine {

class CharacterPreview;

// What a selection's characters have in common; nothing where they differ.
struct CharacterState
{
    std::optional<QString> family;
    std::optional<qreal> pointSize;
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;
    std::optional<bool> strikeOut;
    std::optional<QColor> color;       // an invalid colour: the automatic one
    std::optional<QTextCharFormat::VerticalAlignment> verticalAlignment;

    static CharacterState of(const QTextCursor &cursor);
};

class CharacterDialog : public QDialog
{
    Q_OBJECT

public:
    // Shows what `selection` holds; the engine is the dialog's parent.
    explicit CharacterDialog(const QTextCursor &selection, QWidget *parent = nullptr);
    ~CharacterDialog() override;

    // The properties the user set, and no others.
    QTextCharFormat changes() const;
    // Sets the colour as if chosen with the colour button.
    void chooseColor(const QColor &color);
    QString previewText() const;
    // The font the sample is drawn in.
    QFont previewFont() const;

private:
    enum Style { Regular, Italic, Bold, BoldItalic };

    void load(const CharacterState &state);
    void chooseColorWithDialog();
    void showColor(const std::optional<QColor> &color);
    void touched();
    std::optional<qreal> enteredSize() const;

    QString m_sampleText;             // the selection's first line, for the preview
    QTextCharFormat m_sampleFormat;   // the first selected character's, for the preview

    QFontComboBox *m_family;
    QComboBox *m_style;
    QComboBox *m_size;
    QCheckBox *m_underline;
    QCheckBox *m_strikeOut;
    QCheckBox *m_superscript;
    QCheckBox *m_subscript;
    QPushButton *m_colorButton;
    QLabel *m_colorSwatch;
    CharacterPreview *m_preview;
    QDialogButtonBox *m_buttons;
    QPushButton *m_okButton = nullptr;

    bool m_familyTouched = false;
    bool m_styleTouched = false;
    bool m_sizeTouched = false;
    bool m_underlineTouched = false;
    bool m_strikeOutTouched = false;
    bool m_scriptTouched = false;
    std::optional<QColor> m_chosenColor;
};

} // namespace tamapiko::engine
