#include "app/Artwork.h"

#include <QHash>
#include <QString>

static void LoadArtworkResources()
{
    // The resources sit in a static library, whose registration the linker would drop unreferenced.
    static const bool loaded = [] {
        Q_INIT_RESOURCE(artwork);
        return true;
    }();
    (void)loaded;
}

namespace Artwork {

namespace {

QIcon Load(const QString& name)
{
    LoadArtworkResources();
    static QHash<QString, QIcon> cache;
    auto it = cache.find(name);
    if (it == cache.end())
        it = cache.insert(name, QIcon(QStringLiteral(":/artwork/") + name + QStringLiteral(".svg")));
    return *it;
}

}  // namespace

QIcon tool(const char* name)
{
    return Load(QString::fromLatin1(name));
}

QIcon root()
{
    return Load(QStringLiteral("house"));
}

QIcon website()
{
    return Load(QStringLiteral("website"));
}

QIcon status(int index)
{
    switch (index) {
    case 0: return Load(QStringLiteral("checking"));
    case 1: return Load(QStringLiteral("connection-error"));
    case 2: return Load(QStringLiteral("found"));
    case 3: return Load(QStringLiteral("not-found"));
    default: return {};
    }
}

QIcon linkKind(LinkKind kind)
{
    switch (kind) {
    case LinkKind::Followed: return Load(QStringLiteral("link-followed"));
    case LinkKind::Nofollow: return Load(QStringLiteral("link-nofollow"));
    case LinkKind::Mention: return Load(QStringLiteral("link-mention"));
    case LinkKind::None: return Load(QStringLiteral("link-none"));
    case LinkKind::Unknown: break;
    }
    return {};
}

QIcon application()
{
    return Load(QStringLiteral("quorvane"));
}

}  // namespace Artwork
