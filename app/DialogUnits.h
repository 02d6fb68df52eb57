// Dialog templates give positions in dialog units. As dialog managers do, a
// unit follows the dialog's font: horizontally a quarter of the average letter
// width, vertically an eighth of the line height (of a Japanese line, when kana and
// kanji come from a taller fallback font). The search form lays itself out the same way.
#pragma once

#include <QFontMetricsF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTextLayout>
#include <algorithm>

namespace qv {

class DialogUnits final {
public:
    explicit DialogUnits(const QFont& font)
    {
        const QFontMetricsF fm(font);
        const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        m_unitX = fm.horizontalAdvance(letters) / 52.0 / 4.0;
        QTextLayout sample(QStringLiteral("名前Ag"), font);
        sample.beginLayout();
        QTextLine line = sample.createLine();
        line.setLineWidth(1e6);
        m_unitY = std::max(fm.height(), line.height()) / 8.0;
        sample.endLayout();
    }

    int x(int units) const { return int(units * m_unitX + 0.5); }
    int y(int units) const { return int(units * m_unitY + 0.5); }
    QRect rect(int x0, int y0, int w, int h) const { return {x(x0), y(y0), x(w), y(h)}; }
    QSize size(int w, int h) const { return {x(w), y(h)}; }

private:
    double m_unitX = 1.5;
    double m_unitY = 1.625;
};

} // namespace qv
