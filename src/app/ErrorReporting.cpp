#include "app/ErrorReporting.h"

#include "app/MessageBoxes.h"

#include <QApplication>

namespace tamapiko::app {

ConversionError::ConversionError(const QString &message)
    : std::runtime_error(message.toStdString())
{
}

QString ConversionError::message() const
{
    return QString::fromStdString(what());
}

void showApplicationError(const QString &message)
{
    showErrorBox(QApplication::activeWindow(), message);
}

void reportException(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        showApplicationError(QString::fromStdString(e.what()));
    } catch (...) {
        showApplicationError(QStringLiteral("不明なエラーが発生しました。"));
    }
}

} // namespace tamapiko::app
