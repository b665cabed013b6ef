#include "velmar_icon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

#include <array>

namespace {

constexpr std::array kSizes{16, 32, 48, 64, 256};

// QIcon::addFile reads and decodes every picture at once, the 256-pixel one
// included; this engine waits until a size is wanted.
class VelmarIconEngine : public QIconEngine {
public:
    QIconEngine* clone() const override { return new VelmarIconEngine(*this); }
    QString key() const override { return QStringLiteral("VelmarIconEngine"); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int s : kSizes)
            sizes << QSize(s, s);
        return sizes;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return QSize(std::min(side, kSizes.back()), std::min(side, kSizes.back()));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        const QSize wanted = actualSize(size, mode, state);
        QPixmap picture = drawing(wanted.width());
        if (picture.size() != wanted)
            picture = picture.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (mode == QIcon::Normal || mode == QIcon::Active)
            return picture;
        QStyleOption option;
        return QApplication::style()->generatedIconPixmap(mode, picture, &option);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
    }

private:
    // The drawing made for the smallest size at least `side` wide, or the
    // largest; read once.
    QPixmap drawing(int side)
    {
        std::size_t i = 0;
        while (i + 1 < kSizes.size() && kSizes[i] < side)
            ++i;
        if (pictures_[i].isNull())
            pictures_[i].load(QStringLiteral(":/icons/velmar-%1.png").arg(kSizes[i]), "PNG");
        return pictures_[i];
    }

    std::array<QPixmap, kSizes.size()> pictures_;
};

}  // namespace

QIcon velmarIcon()
{
    // The resources live in the editor library; a static library's resources
    // must be pulled in by name.
    Q_INIT_RESOURCE(icons);
    return QIcon(new VelmarIconEngine);
}
