#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

// Lets the window catch up with a stream of changes once a frame instead of once for each: while
// checks report hundreds of verdicts a second, the list re-sorts, repaints and the status bar
// counts once every FrameMs at most. A step asked for when no frame ran for a while runs at the
// next turn of the event loop, so a single change shows at once. Steps run in the order they were
// added. UI thread only.
class FramePacer : public QObject {
public:
    static constexpr int FrameMs = 16;

    explicit FramePacer(QObject* parent = nullptr);

    // A step of each frame; the number it gives is what request() takes.
    int addStep(std::function<void()> step);
    // The step is to run with the next frame.
    void request(int step);
    // Runs the steps asked for now, without waiting for the frame.
    void flush();
    bool pending() const { return m_pendingCount > 0; }

private:
    struct Step {
        std::function<void()> run;
        bool pending = false;
    };

    std::vector<Step> m_steps;
    int m_pendingCount = 0;
    QTimer m_timer;
    QElapsedTimer m_sinceFrame;
};
