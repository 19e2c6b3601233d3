#include "dialogs/UpDown.h"

#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

UpDown::UpDown(QWidget *parent)
    : QWidget(parent)
{
    m_up = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_up->setAutoRepeat(true);
    m_up->setFocusPolicy(Qt::NoFocus);
    m_down = new QToolButton(this);
    m_down->setArrowType(Qt::DownArrow);
    m_down->setAutoRepeat(true);
    m_down->setFocusPolicy(Qt::NoFocus);
    connect(m_up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void UpDown::setBuddy(QLineEdit *buddy)
{
    m_buddy = buddy;
}

void UpDown::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
}

void UpDown::setStep(int step)
{
    m_step = std::max(1, step);
}

void UpDown::setPosition(int position)
{
    m_position = std::clamp(position, m_minimum, m_maximum);
    if (m_buddy)
        m_buddy->setText(QString::number(m_position));
}

void UpDown::stepBy(int steps)
{
    // The buddy's number counts when it holds one: the user may have typed.
    int from = m_position;
    if (m_buddy) {
        bool ok = false;
        const int typed = m_buddy->text().trimmed().toInt(&ok);
        if (ok)
            from = std::clamp(typed, m_minimum, m_maximum);
    }
    // No wrap-around: the ends stop the spinner.
    setPosition(from + steps * m_step);
}

void UpDown::resizeEvent(QResizeEvent *)
{
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}
