#pragma once

#include <QStatusBar>

class TTextEngine;

class TEngineStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit TEngineStatusBar(QWidget *parent = nullptr);
    ~TEngineStatusBar() override;
};
