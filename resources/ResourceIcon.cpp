// Loads the program's icons and bitmaps from the compiled-in resources.
#include "resources/ResourceIcon.h"

#include "resources/FrameResources.h"

#include <QFile>

static void initQuendleResources()
{
    Q_INIT_RESOURCE(quendle);
}

namespace qv {

void ensureResources()
{
    static const bool done = (initQuendleResources(), true);
    (void)done;
}

QIcon resourceIcon(int id)
{
    ensureResources();
    QIcon icon;
    for (const QString& path : {QStringLiteral(":/icons/%1.png"), QStringLiteral(":/icons/32/%1.png")}) {
        const QString file = path.arg(id);
        if (QFile::exists(file))
            icon.addFile(file);
    }
    return icon;
}

QPixmap toolbarImage(int index)
{
    ensureResources();
    const QPixmap strip(QStringLiteral(":/bitmaps/128.png")); // not kept: a static pixmap would outlive the application
    if (index < 0 || index >= kToolbarImageCount || strip.isNull())
        return {};
    return strip.copy(index * kToolbarImageSize, 0, kToolbarImageSize, kToolbarImageSize);
}

} // namespace qv
