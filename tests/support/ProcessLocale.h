// The C library's locale of the whole process set to a named locale for one test, as
// QApplication sets it from the environment at start; "C" again when it goes. A
// locale the machine does not have installed is taken from the directory the test
// fixture "locales" makes them in (<build>/locales, through LOCPATH).
#pragma once

#include <QByteArray>
#include <QString>

#include <clocale>

namespace fake {

class ProcessLocale
{
public:
    explicit ProcessLocale(const QByteArray &name)
    {
        if (std::setlocale(LC_ALL, name.constData()))
            return;
        const QByteArray made = qgetenv("GD_BINARY_DIR") + "/locales";
        qputenv("LOCPATH", made);
        if (!std::setlocale(LC_ALL, name.constData()))
            m_problem = QStringLiteral("the locale %1 is neither installed nor made in %2 "
                                       "(the package locales and localedef are needed)")
                            .arg(QString::fromLatin1(name), QString::fromLocal8Bit(made));
    }
    ~ProcessLocale()
    {
        std::setlocale(LC_ALL, "C");
        qunsetenv("LOCPATH");
    }
    ProcessLocale(const ProcessLocale &) = delete;
    ProcessLocale &operator=(const ProcessLocale &) = delete;

    bool isSet() const { return m_problem.isEmpty(); }
    // Why the locale could not be set.
    QString problem() const { return m_problem; }

private:
    QString m_problem;
};

} // namespace fake
