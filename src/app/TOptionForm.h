#pragma once

// The options dialog: default folders and file types of the file dialogs, the file association and the picture mode.

#include <QDialog>

class TOptionForm : public QDialog
{
    Q_OBJECT

public:
    explicit TOptionForm(QWidget *parent = nullptr);
    ~TOptionForm() override;
};
