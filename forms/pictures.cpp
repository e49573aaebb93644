#include "pictures.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QSvgRenderer>
#include <map>

#include "platform/files.h"

namespace {

// Sizes of the icons drawn ahead: panels use 16 to 24 pixels, window lists up to 64.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64};

// Larger picture files are not the About box's picture.
constexpr int64_t kPictureFileLimit = int64_t{16} << 20;

QIcon IconFrom(const QString& resource) {
    QIcon icon;
    for (int size : kIconSizes)
        icon.addPixmap(RenderPicture(resource, QSize(size, size)));
    return icon;
}

// The icons, drawn once per application. A new QIcon at every call would leave the scaled
// pictures of each one in Qt's picture cache, so memory grew with every window shown until
// the cache's limit. The application owns the cache, so it goes with it.
class TIconCache : public QObject {
  public:
    using QObject::QObject;
    std::map<QString, QIcon> Icons;
};

const QIcon& CachedIcon(const QString& resource) {
    static QPointer<TIconCache> cache;
    if (!cache)
        cache = new TIconCache(QCoreApplication::instance());
    auto found = cache->Icons.find(resource);
    if (found == cache->Icons.end())
        found = cache->Icons.emplace(resource, IconFrom(resource)).first;
    return found->second;
}

}  // namespace

QPixmap RenderPicture(const QString& resource, QSize size) {
    QSvgRenderer renderer(resource);
    if (!renderer.isValid())
        return {};
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return picture;
}

QIcon ProgramIcon() {
    return CachedIcon(kProgramIconResource);
}

QIcon TrayIcon(bool active) {
    return CachedIcon(active ? kTrayActiveResource : kTrayDisabledResource);
}

QPixmap SplashPicture(const std::string& hostFile) {
    std::string content;
    QPixmap picture;
    if (FileExists(hostFile) && ReadFileText(hostFile, content, kPictureFileLimit) &&
        picture.loadFromData(reinterpret_cast<const uchar*>(content.data()),
                             static_cast<uint>(content.size())))
        return picture;
    return RenderPicture(kSplashResource, QSize(kSplashWidth, kSplashHeight));
}
