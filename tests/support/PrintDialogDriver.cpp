#include "support/PrintDialogDriver.h"

#include "support/UserActions.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace tamapiko::test {

namespace {

template<typename Widget>
Widget *part(QPrintDialog *dialog, const char *name)
{
    return dialog->findChild<Widget *>(QLatin1String(name));
}

void typeNumber(QSpinBox *box, int value)
{
    typeInto(box->findChild<QLineEdit *>(), QString::number(value));
    QTest::keyClick(box, Qt::Key_Tab);
}

QPushButton *buttonWithRole(QPrintDialog *dialog, QDialogButtonBox::ButtonRole role)
{
    auto *buttons = dialog->findChild<QDialogButtonBox *>();
    for (QAbstractButton *button : buttons->buttons()) {
        if (buttons->buttonRole(button) == role)
            return qobject_cast<QPushButton *>(button);
    }
    return nullptr;
}

} // namespace

void answerPrintDialog(const PrintChoice &choice, PrintDialogShown *shown)
{
    whenShown<QPrintDialog>([choice, shown](QPrintDialog *dialog) {
        auto closeOnFailure = qScopeGuard([dialog] {
            if (dialog->isVisible())
                dialog->reject();
        });
        auto *copies = part<QSpinBox>(dialog, "copies");
        QVERIFY(copies);
        // The settings are folded away under "Options" at first.
        if (!copies->isVisible())
            click(buttonWithRole(dialog, QDialogButtonBox::ResetRole));
        QVERIFY(QTest::qWaitFor([copies] { return copies->isVisible(); }));

        auto *printers = part<QComboBox>(dialog, "printers");
        auto *from = part<QSpinBox>(dialog, "from");
        auto *to = part<QSpinBox>(dialog, "to");
        if (shown) {
            shown->shown = true;
            shown->copies = copies->value();
            shown->from = from->value();
            shown->to = to->value();
            shown->maximum = to->maximum();
            shown->printToFileOffered = printers->count() > 0;   // the file entry comes last
            auto *selection = part<QRadioButton>(dialog, "printSelection");
            shown->selectionOffered = selection && selection->isVisibleTo(dialog) && selection->isEnabled();
        }
        if (choice.pdfFile.isEmpty()) {
            click(buttonWithRole(dialog, QDialogButtonBox::RejectRole));
            return;
        }

        chooseEntry(printers, printers->count() - 1);
        typeInto(part<QLineEdit>(dialog, "filename"), choice.pdfFile);
        if (choice.from > 0) {
            click(part<QRadioButton>(dialog, "printRange"));
            typeNumber(to, choice.to);
            typeNumber(from, choice.from);
        } else {
            click(part<QRadioButton>(dialog, "printAll"));
        }
        typeNumber(copies, choice.copies);
        click(buttonWithRole(dialog, QDialogButtonBox::AcceptRole));
    });
}

} // namespace tamapiko::test
