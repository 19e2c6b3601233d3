#include "engine/TEngineButtonBar.h"

TEngineButtonBar::TEngineButtonBar(QWidget *parent)
    : QWidget(parent)
{
}

TEngineButtonBar::~TEngineButtonBar() = default;
