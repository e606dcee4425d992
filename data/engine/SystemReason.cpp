#include "SystemReason.h"

#include <cerrno>
#include <cstring>

namespace dbase {

namespace {

struct ReasonText
{
    int error;
    const char *text;
};

// The failures that opening, reading and writing files meet in practice.
constexpr ReasonText kReasons[] = {
    {EPERM, "Der Vorgang ist nicht erlaubt."},
    {ENOENT, "Die Datei oder das Verzeichnis gibt es nicht."},
    {EIO, "Ein-/Ausgabefehler des Geräts."},
    {EBADF, "Die Datei ist nicht für diesen Zugriff geöffnet."},
    {ENOMEM, "Nicht genügend Speicher."},
    {EACCES, "Keine Berechtigung."},
    {EBUSY, "Das Gerät oder die Datei ist belegt."},
    {EEXIST, "Die Datei gibt es schon."},
    {EXDEV, "Die Dateien liegen auf verschiedenen Dateisystemen."},
    {ENODEV, "Das Gerät gibt es nicht."},
    {ENOTDIR, "Ein Teil des Pfades ist kein Verzeichnis."},
    {EISDIR, "Das ist ein Verzeichnis."},
    {EINVAL, "Ungültiges Argument."},
    {ENFILE, "Im System sind zu viele Dateien geöffnet."},
    {EMFILE, "Das Programm hat zu viele Dateien geöffnet."},
    {ETXTBSY, "Die Datei wird gerade ausgeführt."},
    {EFBIG, "Die Datei wird zu groß."},
    {ENOSPC, "Kein Speicherplatz mehr auf dem Gerät."},
    {ESPIPE, "Die Ausgabe erlaubt keinen Sprung an eine Stelle."},
    {EROFS, "Das Dateisystem ist schreibgeschützt."},
    {EPIPE, "Der Empfänger der Ausgabe hat sich beendet."},
    {ENAMETOOLONG, "Der Dateiname ist zu lang."},
    {ELOOP, "Zu viele Ebenen symbolischer Verweise."},
    {EDQUOT, "Das Speicherkontingent ist erschöpft."},
    {ESTALE, "Die Datei auf dem Netzlaufwerk ist nicht mehr gültig."},
    {EAGAIN, "Die Datei ist vorübergehend nicht verfügbar."},
};

} // namespace

std::string SystemReason::text(int error)
{
    for (const ReasonText &r : kReasons) {
        if (r.error == error)
            return r.text;
    }
    // glibc's description does not follow the locale (unlike strerror's).
    const char *described = ::strerrordesc_np(error);
    return "Systemfehler " + std::to_string(error) +
           (described ? std::string(" (") + described + ")" : "") + ".";
}

} // namespace dbase
