// Base of the program's own errors: a message text and the type's name, plus the
// address at which the error was raised (the start-up error box shows it).
#pragma once

#include <QString>

#include <exception>

class Exception : public std::exception
{
public:
    explicit Exception(const QString &message);

    const QString &message() const { return m_message; }
    // The error type's name as the start-up box shows it (e.g. "EDBEngineError").
    virtual const char *typeName() const { return "Exception"; }
    // Code address of the throw site's caller frame (the constructor's return address).
    const void *raiseAddress() const { return m_raiseAddress; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
    const void *m_raiseAddress = nullptr;
};
