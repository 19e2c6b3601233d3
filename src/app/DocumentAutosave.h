#pragma once

// Autosave of one document window: a modified document is written as a .txm
// snapshot into its recovery slot at most a delay after its change (30 s;
// TAMAPIKO_AUTOSAVE_MS sets another, for tests), so that a crash or kill
// loses nothing older than that. The document is encoded on the GUI thread,
// the file written on the recovery writer's thread. Saving the document or
// closing its window removes the slot.

#include "engine/formats/NativeSnapshot.h"

#include <QObject>
#include <QTimer>

#include <memory>

class TMDIChild;

namespace tamapiko::app {

class RecoverySlot;

class DocumentAutosave : public QObject
{
    Q_OBJECT

public:
    explicit DocumentAutosave(TMDIChild *window);
    ~DocumentAutosave() override;

    // The document changed: a snapshot follows within the delay.
    void documentChanged();
    // A snapshot is due (the document changed since the last one).
    bool pending() const { return m_timer.isActive(); }
    // The document was saved, or its window closes: its snapshot goes.
    void discard();
    // A restored document goes on in the slot it was restored from.
    void adopt(std::shared_ptr<RecoverySlot> slot);

    // Takes the snapshot now (the timer's work).
    void snapshot();

    static int delayMilliseconds();

private:
    TMDIChild *m_window;
    QTimer m_timer;
    std::shared_ptr<RecoverySlot> m_slot;
    engine::NativeSnapshotEncoder m_encoder;
};

} // namespace tamapiko::app
