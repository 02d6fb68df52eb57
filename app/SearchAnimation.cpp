// The search animation: a magnifier sweeps over a row of folders, drawn frame by frame.
#include "app/SearchAnimation.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace qv {
namespace {

void drawFolder(QPainter& p, QPointF at, const QColor& colour)
{
    QPainterPath tab;
    tab.addRoundedRect(QRectF(at.x(), at.y(), 14, 6), 2, 2);
    p.setPen(QPen(colour.darker(160), 1));
    p.setBrush(colour.darker(115));
    p.drawPath(tab);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(at.x(), at.y() + 4, 34, 22), 2, 2);
}

void drawMagnifier(QPainter& p, QPointF centre)
{
    p.setPen(QPen(QColor(70, 50, 30), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(9, 9), centre + QPointF(19, 19));
    p.setPen(QPen(QColor(60, 60, 70), 3));
    p.setBrush(QColor(190, 220, 255, 150));
    p.drawEllipse(centre, 12, 12);
    p.setPen(QPen(QColor(255, 255, 255, 200), 2));
    p.drawArc(QRectF(centre.x() - 8, centre.y() - 8, 16, 16), 100 * 16, 60 * 16);
}

} // namespace

SearchAnimation::SearchAnimation(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground); // transparent background, as the template asks
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kFrameMicroseconds / 1000);
    connect(&m_timer, &QTimer::timeout, this, &SearchAnimation::advance);
}

void SearchAnimation::play()
{
    m_frame = 0;
    m_clock.start();
    m_timer.start();
    update();
}

void SearchAnimation::stop()
{
    m_timer.stop();
}

void SearchAnimation::advance()
{
    const qint64 micros = m_clock.nsecsElapsed() / 1000;
    const int frame = static_cast<int>((micros / kFrameMicroseconds) % kFrameCount);
    if (frame != m_frame) {
        m_frame = frame;
        update();
    }
}

void SearchAnimation::drawFrame(QPainter& p, int index)
{
    p.setRenderHint(QPainter::Antialiasing);
    const QColor folderColour(240, 200, 90);
    for (int i = 0; i < 6; ++i)
        drawFolder(p, QPointF(14 + i * 48, 24), folderColour);
    // The glass crosses the row in 12 steps and bobs, so that the loop reads as searching.
    const double x = 22 + index * (kFrameWidth - 44) / double(kFrameCount - 1);
    const double y = 22 + ((index % 2) ? 4 : 0);
    drawMagnifier(p, QPointF(x, y));
}

QPixmap SearchAnimation::frame(int index)
{
    QPixmap pixmap(kFrameWidth, kFrameHeight);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    drawFrame(p, index);
    return pixmap;
}

void SearchAnimation::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // Centred in the control, as the clip is; drawn smaller (never cut) when the
    // form's font makes the frame smaller than the clip. The frame is drawn at its
    // size rather than scaled as a picture, which stays sharp and cheap.
    double scale = 1.0;
    if (kFrameWidth > width() || kFrameHeight > height())
        scale = std::min(width() / double(kFrameWidth), height() / double(kFrameHeight));
    p.translate((width() - kFrameWidth * scale) / 2, (height() - kFrameHeight * scale) / 2);
    p.scale(scale, scale);
    drawFrame(p, m_frame);
}

} // namespace qv
