#pragma once

// The folder selection dialog of the options dialog's browse buttons.
//
// It always starts at the root of the file system, whatever the field it
// serves holds, and lets the user type the name of a folder that does not
// exist yet: that folder is created after a question.

#include <QFileDialog>

#include <optional>

class FolderChooser : public QFileDialog
{
    Q_OBJECT

public:
    explicit FolderChooser(QWidget *parent = nullptr);

    // Shows the dialog modally: the chosen folder, or nullopt on cancel.
    static std::optional<QString> chooseFolder(QWidget *parent);

public slots:
    void accept() override;
};
