#include "engine/TEngineStatusBar.h"

TEngineStatusBar::TEngineStatusBar(QWidget *parent)
    : QStatusBar(parent)
{
}

TEngineStatusBar::~TEngineStatusBar() = default;
