#include "engine/TEngineRuler.h"

TEngineRuler::TEngineRuler(QWidget *parent)
    : QWidget(parent)
{
}

TEngineRuler::~TEngineRuler() = default;
