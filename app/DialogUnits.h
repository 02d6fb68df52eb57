// Dialog templates give positions in dialog units. As dialog managers do, a
// unit follows the dialog's font: horizontally a quarter of the average letter
// width, vertically an eighth of the font's height (ascent and descent of the font
// itself). The taller line of a fallback font for kana and kanji is left out: Noto
// Sans CJK's lines are 1.45 em high against DejaVu Sans' 1.16 em, and the Japanese
// system fonts the templates were drawn with have lines one em high, so that a unit
// taken from the Japanese line made every form a third taller (the search form's
// buttons ended at 279 px of its 220 px pane instead of 217 px).
#pragma once

#include <QFontMetricsF>
#include <QRect>
#include <QSize>
#include <QString>

namespace qv {

class DialogUnits final {
public:
    explicit DialogUnits(const QFont& font)
    {
        const QFontMetricsF fm(font);
        const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        m_unitX = fm.horizontalAdvance(letters) / 52.0 / 4.0;
        m_unitY = fm.height() / 8.0;
    }

    int x(int units) const { return int(units * m_unitX + 0.5); }
    int y(int units) const { return int(units * m_unitY + 0.5); }
    // Both edges rounded, so that cells that meet in the template meet on screen
    // (rounding the size on its own made them overlap by a pixel).
    QRect rect(int x0, int y0, int w, int h) const
    {
        return QRect(QPoint(x(x0), y(y0)), QPoint(x(x0 + w) - 1, y(y0 + h) - 1));
    }
    QSize size(int w, int h) const { return {x(w), y(h)}; }

private:
    double m_unitX = 1.5;
    double m_unitY = 1.625;
};

} // namespace qv
