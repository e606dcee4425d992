#include "DatabaseErrors.h"

#include "ErrorMessage.h"

namespace {

std::pair<QString, QList<TDBError>> fromMessage(const dbase::ErrorMessage &message)
{
    QList<TDBError> errors;
    for (const dbase::ErrorEntry &e : message.entries())
        errors.append(TDBError{e.code, e.nativeCode, QString::fromStdString(e.text)});
    return {QString::fromStdString(message.text("\r\n")), errors};
}

} // namespace

EDBEngineError::EDBEngineError(const QString &message, QList<TDBError> errors)
    : EDatabaseError(message), m_errors(std::move(errors))
{
}

EDBEngineError::EDBEngineError(std::pair<QString, QList<TDBError>> composed)
    : EDBEngineError(composed.first, std::move(composed.second))
{
}

EDBEngineError::EDBEngineError(const dbase::Engine &engine, int code)
    : EDBEngineError(compose(engine, code))
{
}

EDBEngineError EDBEngineError::notStarted(int code)
{
    return EDBEngineError(fromMessage(dbase::ErrorMessage::notStarted(dbase::Status(code))));
}

// dbase::ErrorMessage composes the message; tabledump reports it the same way.
std::pair<QString, QList<TDBError>> EDBEngineError::compose(const dbase::Engine &engine, int code)
{
    return fromMessage(dbase::ErrorMessage(engine, dbase::Status(code)));
}
