// The table's errors. EDatabaseError carries the cursor's own checks ("Table1: ...");
// EDBEngineError a failing engine status with the engine's error entries.
#pragma once

#include "Exception.h"

#include <QList>

#include <utility>

namespace dbase {
class Engine;
}

class EDatabaseError : public Exception
{
public:
    using Exception::Exception;
    const char *typeName() const override { return "EDatabaseError"; }
};

// One entry of an engine error: engine code, native code, text.
struct TDBError
{
    int errorCode = 0;
    int nativeError = 0;
    QString message;
};

class EDBEngineError : public EDatabaseError
{
public:
    // Composes the message from the engine's texts and error stack for status code.
    EDBEngineError(const dbase::Engine &engine, int code);
    // An error raised while no engine runs (start failures): the initialisation text.
    static EDBEngineError notStarted(int code);

    const char *typeName() const override { return "EDBEngineError"; }
    const QList<TDBError> &errors() const { return m_errors; }
    int errorCode() const { return m_errors.isEmpty() ? 0 : m_errors.first().errorCode; }

private:
    EDBEngineError(const QString &message, QList<TDBError> errors);
    explicit EDBEngineError(std::pair<QString, QList<TDBError>> composed);
    static std::pair<QString, QList<TDBError>> compose(const dbase::Engine &engine, int code);
    QList<TDBError> m_errors;
};
