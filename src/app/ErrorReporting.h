#pragma once

// The application's general error message box, and the one place every
// handler's escaping error ends up: the program reports it and keeps running.

#include <QString>

#include <exception>
#include <stdexcept>

class QWidget;

namespace tamapiko::app {

// A text that was expected to hold a number but does not ("'ab' は整数ではありません").
class ConversionError : public std::runtime_error
{
public:
    explicit ConversionError(const QString &message);
    QString message() const;
};

// Shows `message` in the general error box (title "ｴﾗｰ", error icon, "OK").
void showApplicationError(const QString &message);

// Reports the exception currently being handled, or `error`.
void reportException(std::exception_ptr error);

// Runs `handler` and reports anything it throws, so that an error never
// unwinds through the toolkit's own frames.
template<typename Handler>
void runGuarded(Handler &&handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        reportException(std::current_exception());
    }
}

// Wraps a handler for use in connect(): the slot reports instead of throwing.
template<typename Handler>
auto guarded(Handler handler)
{
    return [handler = std::move(handler)](auto &&...) { runGuarded(handler); };
}

} // namespace tamapiko::app
