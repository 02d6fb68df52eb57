// Lock-key states from the kernel's LED class devices: Qt reports no lock state,
// and the LEDs follow the locks on every keyboard the kernel drives.
#include "app/LockKeys.h"

#include <QDir>
#include <QFile>

namespace qv {
namespace {

bool anyLedOn(const QString& suffix)
{
    const QDir leds(QStringLiteral("/sys/class/leds"));
    const QStringList names = leds.entryList({QStringLiteral("*::") + suffix}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& name : names) {
        QFile brightness(leds.filePath(name + QStringLiteral("/brightness")));
        if (brightness.open(QIODevice::ReadOnly) && brightness.readAll().trimmed().toInt() > 0)
            return true;
    }
    return false;
}

} // namespace

LockKeys LockKeys::fromKeyboardLeds()
{
    return {anyLedOn(QStringLiteral("capslock")), anyLedOn(QStringLiteral("numlock")),
            anyLedOn(QStringLiteral("scrolllock"))};
}

} // namespace qv
