#pragma once

class QDialog;
class QDialogButtonBox;

namespace tamapiko::engine {

// The engine's dialogs end with "OK" and "ｷｬﾝｾﾙ", accepting and rejecting.
QDialogButtonBox *okCancelButtons(QDialog *dialog);

} // namespace tamapiko::engine
