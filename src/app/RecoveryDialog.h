#pragma once

// The start-up question after a crash: the documents found in the recovery
// folder, each with its path (or NONAME…) and the time of its snapshot, to
// restore or to discard one by one.

#include <QDialog>

#include <memory>

class QTreeWidget;
class TMainForm;

namespace tamapiko::app {

class RecoverySlot;

class RecoveryDialog : public QDialog
{
    Q_OBJECT

public:
    RecoveryDialog(const QList<std::shared_ptr<RecoverySlot>> &orphans, QWidget *parent);

    // Whether the document in row `row` is to be restored (checked).
    bool restores(int row) const;

    QTreeWidget *list() const { return m_list; }

private:
    QTreeWidget *m_list;
};

// Asks about the documents that instances no longer running left behind and
// opens the restored ones as modified documents. Discarded ones are deleted;
// closing the dialog without an answer keeps them all for the next start.
void offerRecovery(TMainForm &frame);

} // namespace tamapiko::app
