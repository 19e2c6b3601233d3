#pragma once

// An up-down spinner beside an edit field (its buddy): two small arrow
// buttons that step a whole number between a minimum and a maximum and
// write it into the buddy. The buddy stays an ordinary edit: the user may
// type any text into it, and the spinner steps on from the number the
// buddy shows, or from its own position when the buddy shows none.

#include <QWidget>

class QLineEdit;
class QToolButton;

class UpDown : public QWidget
{
    Q_OBJECT

public:
    explicit UpDown(QWidget *parent = nullptr);

    void setBuddy(QLineEdit *buddy);
    void setRange(int minimum, int maximum);
    void setStep(int step);

    int position() const { return m_position; }
    // Clamps to the range and writes the number into the buddy.
    void setPosition(int position);

    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void stepBy(int steps);

    QLineEdit *m_buddy = nullptr;
    QToolButton *m_up = nullptr;
    QToolButton *m_down = nullptr;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_step = 1;
    int m_position = 0;
};
