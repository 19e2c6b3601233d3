#include "app/DocumentAutosave.h"

#include "app/RecoverySlot.h"
#include "app/TMainForm.h"
#include "document/DocumentFile.h"
#include "document/DocumentFileTypes.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"

namespace tamapiko::app {

namespace {

constexpr int DefaultDelayMilliseconds = 30 * 1000;

} // namespace

DocumentAutosave::DocumentAutosave(TMDIChild *window)
    : QObject(window)
    , m_window(window)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(delayMilliseconds());
    connect(&m_timer, &QTimer::timeout, this, &DocumentAutosave::snapshot);
}

// Windows are destroyed only in an orderly end, after the close question:
// a crash never gets here, so its snapshots stay.
DocumentAutosave::~DocumentAutosave()
{
    discard();
}

int DocumentAutosave::delayMilliseconds()
{
    bool ok = false;
    const int configured = qEnvironmentVariableIntValue("TAMAPIKO_AUTOSAVE_MS", &ok);
    return ok && configured > 0 ? configured : DefaultDelayMilliseconds;
}

void DocumentAutosave::documentChanged()
{
    // Not restarted by later changes: steady typing is saved too.
    if (!m_timer.isActive())
        m_timer.start();
}

void DocumentAutosave::discard()
{
    m_timer.stop();
    if (m_slot)
        RecoverySlot::remove(std::exchange(m_slot, nullptr));
}

void DocumentAutosave::adopt(std::shared_ptr<RecoverySlot> slot)
{
    discard();
    m_slot = std::move(slot);
}

void DocumentAutosave::snapshot()
{
    if (!m_window->Modified || m_window->isClosing())
        return;
    if (!m_slot && !(m_slot = RecoverySlot::create()))
        return;
    TTextEngine &engine = *m_window->TextEngine1;
    PageSettingsRecord page = m_window->frame()->PageSettings;
    // Only what changed since the last snapshot is encoded here; the bytes
    // are put together and written on the writer's thread.
    RecoverySlot::write(m_slot,
                        [header = document::txmHeaderFor(engine, page), snapshot = m_encoder.take(*engine.model())] {
                            return header + snapshot.bytes();
                        },
                        m_window->windowTitle());
}

} // namespace tamapiko::app
