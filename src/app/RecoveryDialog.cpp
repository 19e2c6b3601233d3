#include "app/RecoveryDialog.h"

#include "app/DocumentAutosave.h"
#include "app/MessageBoxes.h"
#include "app/RecoverySlot.h"
#include "app/TMainForm.h"
#include "document/DocumentFile.h"
#include "document/DocumentFileTypes.h"
#include "document/TMDIChild.h"
#include "engine/dialogs/DialogButtons.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace tamapiko::app {

RecoveryDialog::RecoveryDialog(const QList<std::shared_ptr<RecoverySlot>> &orphans, QWidget *parent)
    : QDialog(parent)
    , m_list(new QTreeWidget(this))
{
    setWindowTitle(QStringLiteral("文書の回復"));
    auto *explanation = new QLabel(
        QStringLiteral("前回正しく終了しなかったときに編集中だった文書があります。\n"
                       "ﾁｪｯｸした文書を復元し、ﾁｪｯｸを外した文書は破棄します。\n"
                       "[ｷｬﾝｾﾙ] を押すと、次の起動時にもう一度確認します。"),
        this);
    m_list->setObjectName(QStringLiteral("RecoveredDocuments"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("文書"), QStringLiteral("自動保存した時刻")});
    for (const std::shared_ptr<RecoverySlot> &slot : orphans) {
        auto *item = new QTreeWidgetItem(m_list, {slot->caption(), slot->time().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))});
        item->setCheckState(0, Qt::Checked);
        item->setToolTip(0, slot->caption());
    }
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(m_list);
    layout->addWidget(engine::okCancelButtons(this));
    resize(560, 300);
}

bool RecoveryDialog::restores(int row) const
{
    const QTreeWidgetItem *item = m_list->topLevelItem(row);
    return item && item->checkState(0) == Qt::Checked;
}

void offerRecovery(TMainForm &frame)
{
    const QList<std::shared_ptr<RecoverySlot>> orphans = RecoverySlot::claimOrphans();
    if (orphans.isEmpty())
        return;
    RecoveryDialog dialog(orphans, &frame);
    if (dialog.exec() != QDialog::Accepted)
        return;   // the orphans' locks go with them: the next start asks again
    for (int row = 0; row < orphans.size(); ++row) {
        const std::shared_ptr<RecoverySlot> &slot = orphans[row];
        if (!dialog.restores(row)) {
            RecoverySlot::remove(slot);
            continue;
        }
        const bool unnamed = slot->caption().startsWith(QLatin1String("NONAME"));
        frame.CreateDocumentWindow(unnamed ? QStringLiteral("NONAME") + QString::number(frame.DocumentCounter)
                                           : slot->caption());
        TMDIChild *window = frame.activeDocument();
        QString reason;
        if (!window
            || !document::loadDocumentFile(*window->TextEngine1, slot->snapshotPath(), document::FormatCode::Native,
                                           frame.PageSettings, &reason)) {
            // Kept for another try: nothing is deleted that could not be shown.
            showErrorBox(&frame, QStringLiteral("Error opening ") + slot->snapshotPath());
            continue;
        }
        window->Modified = true;
        window->autosave()->adopt(slot);
    }
}

} // namespace tamapiko::app
