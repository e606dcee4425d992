#include "Exception.h"

// Not inlined, so that the return address is the code that constructs the error.
__attribute__((noinline)) Exception::Exception(const QString &message)
    : m_message(message), m_utf8(message.toUtf8()), m_raiseAddress(__builtin_return_address(0))
{
}
