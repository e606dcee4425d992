#include "DatabaseErrors.h"

#include "AnsiText.h"
#include "Engine.h"

namespace {

constexpr int kEngineNotReady = 0x2F01;   // its message is the engine's own even before start
constexpr int kNoEngineTextCode = 0x2EC4; // the engine's text for it is left out
constexpr int kMaxErrorEntries = 64;      // guards against an engine that never says "no more"

// Trims characters of code 32 and below from both ends.
QString trimmedControl(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= 32)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 32)
        --last;
    return text.mid(first, last - first);
}

QString hexCode(int code)
{
    return QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper();
}

QString initialisationMessage(int code)
{
    return QStringLiteral("Bei der Initialisierung der Borland Database Engine ist ein Fehler "
                          "aufgetreten (Fehler $%1)")
        .arg(hexCode(code));
}

// Adds a line unless it is empty or equal (ignoring case) to one already taken.
void addLine(QStringList &lines, const QString &line)
{
    if (line.isEmpty())
        return;
    for (const QString &taken : lines)
        if (taken.compare(line, Qt::CaseInsensitive) == 0)
            return;
    lines.append(line);
}

QString engineText(const dbase::Engine &engine, int code)
{
    return trimmedControl(AnsiText::engineText(engine.errorText(dbase::Status(code))));
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
    const QString message = initialisationMessage(code);
    return EDBEngineError(message, {TDBError{code, 0, message}});
}

std::pair<QString, QList<TDBError>> EDBEngineError::compose(const dbase::Engine &engine, int code)
{
    if (!engine.isStarted() && code != kEngineNotReady) {
        const QString message = initialisationMessage(code);
        return {message, {TDBError{code, 0, message}}};
    }
    QList<TDBError> errors{TDBError{code, 0, engineText(engine, code)}};
    for (int n = 1; n <= kMaxErrorEntries; ++n) {
        int native = 0;
        std::string text;
        const dbase::Status entry = engine.errorEntry(n, native, text);
        if (entry == 0 || entry == dbase::status::NoEntry)
            break;
        errors.append(TDBError{entry, native, AnsiText::engineText(text)});
    }
    QStringList lines;
    if (code != kNoEngineTextCode)
        addLine(lines, errors.first().message);
    for (qsizetype i = 1; i < errors.size(); ++i) {
        if (errors.at(i).nativeError == 0 && code != kNoEngineTextCode)
            addLine(lines, engineText(engine, errors.at(i).errorCode));
        addLine(lines, trimmedControl(errors.at(i).message));
    }
    if (lines.isEmpty())
        return {QStringLiteral("BDE-Fehler $%1").arg(hexCode(code)), errors};
    return {lines.join(QStringLiteral("\r\n")), errors};
}
