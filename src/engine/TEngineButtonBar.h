#pragma once

#include <QWidget>

class TTextEngine;

class TEngineButtonBar : public QWidget
{
    Q_OBJECT

public:
    explicit TEngineButtonBar(QWidget *parent = nullptr);
    ~TEngineButtonBar() override;
};
