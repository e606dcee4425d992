// The one place where errors stop before they reach Qt's own code. Qt is built without
// exception support, so an error that unwinds through its frames skips their clean-up:
// every entry from Qt into the program (event handlers of our widgets, slots, lambdas
// connected to signals, the event filter, the scroll bar's action) runs its body
// through run(), which catches everything.
//
// What run() catches goes one of two ways. If our own code further up this thread
// called into Qt through throughQt() and waits for the outcome (the cursor telling its
// views of a move, FormCreate sending the grid a resize), the error is kept for it and
// raised again there as soon as Qt has returned, so that the caller's later steps are
// skipped as if it had raised the error itself. Otherwise it goes to the handler that
// the application frame installs, which shows it once control is back in the frame.
//
// No Qt here: the cursor uses throughQt() for its notifications as well.
#pragma once

#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

class ErrorBoundary
{
public:
    using Handler = std::function<void(std::exception_ptr)>;

    // The frame's handler (set before any other thread starts; null: the error is
    // written to standard error, for programs without a frame).
    static void setHandler(Handler handler);
    // Hands a caught error on: to the innermost throughQt() on this thread, else to
    // the frame's handler.
    static void report(std::exception_ptr error) noexcept;

    // Runs an entry's body; true when it completed, false when it raised.
    template <typename Body> static bool run(Body &&body) noexcept
    {
        try {
            std::forward<Body>(body)();
            return true;
        } catch (...) {
            report(std::current_exception());
            return false;
        }
    }

    // The same for an entry that answers a value: the fallback when the body raised.
    template <typename Result, typename Body>
    static Result run(Result fallback, Body &&body) noexcept
    {
        try {
            return std::forward<Body>(body)();
        } catch (...) {
            report(std::current_exception());
            return fallback;
        }
    }

    // A slot or connected lambda whose body runs through run(). It takes the
    // signal's first arguments that the slot takes, as a lambda would.
    template <typename Slot> static auto guarded(Slot slot)
    {
        return [slot = std::move(slot)](
            auto &&...args) requires std::is_invocable_v<Slot &, decltype(args)...>
        {
            run([&] { slot(std::forward<decltype(args)>(args)...); });
        };
    }

    // Our code calling into Qt where Qt may call back into the program: an error
    // that a guard catches meanwhile is raised here once the call has returned (the
    // first one; later ones of the same call are its consequences and are dropped).
    template <typename Call> static void throughQt(Call &&call)
    {
        HandBack scope;
        std::forward<Call>(call)();
        scope.raise();
    }

    // True while a throughQt() call is running on this thread.
    static bool handingBack();

private:
    class HandBack
    {
    public:
        HandBack();
        ~HandBack();
        HandBack(const HandBack &) = delete;
        HandBack &operator=(const HandBack &) = delete;

        void keep(std::exception_ptr error);
        void raise();

    private:
        HandBack *m_outer;
        std::exception_ptr m_error;
    };

    static thread_local HandBack *s_innermost;
};
