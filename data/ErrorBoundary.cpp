#include "ErrorBoundary.h"

#include <cstdio>

namespace {

ErrorBoundary::Handler &handler()
{
    static ErrorBoundary::Handler frameHandler;
    return frameHandler;
}

} // namespace

// The innermost throughQt() of each thread.
thread_local ErrorBoundary::HandBack *ErrorBoundary::s_innermost = nullptr;

void ErrorBoundary::setHandler(Handler frameHandler)
{
    handler() = std::move(frameHandler);
}

void ErrorBoundary::report(std::exception_ptr error) noexcept
{
    if (s_innermost) {
        s_innermost->keep(std::move(error));
        return;
    }
    try {
        if (handler()) {
            handler()(std::move(error));
            return;
        }
        std::rethrow_exception(error);
    } catch (const std::exception &unshown) {
        std::fprintf(stderr, "%s\n", unshown.what());
    } catch (...) {
        std::fputs("unknown error\n", stderr);
    }
}

bool ErrorBoundary::handingBack()
{
    return s_innermost != nullptr;
}

ErrorBoundary::HandBack::HandBack() : m_outer(s_innermost)
{
    s_innermost = this;
}

ErrorBoundary::HandBack::~HandBack()
{
    s_innermost = m_outer;
}

void ErrorBoundary::HandBack::keep(std::exception_ptr error)
{
    if (!m_error)
        m_error = std::move(error);
}

void ErrorBoundary::HandBack::raise()
{
    s_innermost = m_outer;
    if (m_error)
        std::rethrow_exception(std::exchange(m_error, nullptr));
}
