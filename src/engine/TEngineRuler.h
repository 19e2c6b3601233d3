#pragma once

#include <QWidget>

class TTextEngine;

class TEngineRuler : public QWidget
{
    Q_OBJECT

public:
    explicit TEngineRuler(QWidget *parent = nullptr);
    ~TEngineRuler() override;
};
