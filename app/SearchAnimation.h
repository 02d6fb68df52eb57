// The search animation (control 156): a clip of 12 frames of 300 x 56 pixels, one
// every 166,666 microseconds, played endlessly while a search runs.
#pragma once

#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace qv {

class SearchAnimation final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFrameCount = 12;
    static constexpr int kFrameWidth = 300;
    static constexpr int kFrameHeight = 56;
    static constexpr int kFrameMicroseconds = 166666;

    explicit SearchAnimation(QWidget* parent = nullptr);

    // Plays from the first frame to the last, over and over.
    void play();
    // Stops on the frame shown now.
    void stop();
    bool isPlaying() const { return m_timer.isActive(); }
    int currentFrame() const { return m_frame; }

    // One frame of the clip, as it is shown.
    static QPixmap frame(int index);
    // Draws frame `index` in the clip's 300 x 56 coordinates.
    static void drawFrame(QPainter& painter, int index);

    QSize sizeHint() const override { return {kFrameWidth, kFrameHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void advance();

    QTimer m_timer;
    QElapsedTimer m_clock; // frames follow the clock, so a late tick skips rather than drifts
    int m_frame = 0;
};

} // namespace qv
