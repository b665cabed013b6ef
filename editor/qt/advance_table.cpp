#include "advance_table.h"

#include <QFont>
#include <QtEndian>

namespace {
constexpr int kAdvanceCountAt = 34;  // 'hhea': numberOfHMetrics, uint16
constexpr int kLongMetricSize = 4;   // 'hmtx': advanceWidth and lsb, uint16 each
}  // namespace

AdvanceTable::AdvanceTable(const QFont& font)
    : font_(QRawFont::fromFont(font))
{
    const QByteArray header = font_.fontTable("hhea");
    if (header.size() < kAdvanceCountAt + 2)
        return;
    const int count = qFromBigEndian<quint16>(header.constData() + kAdvanceCountAt);
    advances_ = font_.fontTable("hmtx");
    if (count > 0 && advances_.size() >= qsizetype(count) * kLongMetricSize)
        advanceCount_ = count;
}

std::optional<qreal> AdvanceTable::width(const QString& text) const
{
    if (advanceCount_ == 0 || font_.unitsPerEm() <= 0)
        return std::nullopt;
    quint32 units = 0;
    for (const quint32 glyph : font_.glyphIndexesForString(text)) {
        if (glyph == 0)
            return std::nullopt;  // not in this font: another font would draw it
        const int entry = int(std::min<quint32>(glyph, quint32(advanceCount_ - 1)));
        units += qFromBigEndian<quint16>(advances_.constData() + entry * kLongMetricSize);
    }
    return units * font_.pixelSize() / font_.unitsPerEm();
}
