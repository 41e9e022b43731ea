#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <vector>

// Lets the window catch up with a stream of changes once a frame instead of once for each: while
// checks report thousands of verdicts a second, the list re-sorts, repaints and the status bar
// counts once a frame. A frame comes every FrameMs at most, and further apart when catching up is
// dear (a long list re-sorted and repainted, several milliseconds of CPU each time): the gap is then
// GapPerCost times what a frame cost the UI thread in CPU time, up to LongestGapMs, so that
// catching up takes no more than about a seventeenth of that thread, and the rest goes to the changes
// themselves. A step asked for when no frame ran for a while runs at the next turn of the event
// loop, so a single change shows at once. Steps run in the order they were added. UI thread only.
class FramePacer : public QObject {
public:
    static constexpr int FrameMs = 16;
    static constexpr int GapPerCost = 16;
    static constexpr int LongestGapMs = 100;

    explicit FramePacer(QObject* parent = nullptr);

    // A step of each frame; the number it gives is what request() takes.
    int addStep(std::function<void()> step);
    // The step is to run with the next frame.
    void request(int step);
    // Runs the steps asked for now, without waiting for the frame.
    void flush();
    bool pending() const { return m_pendingCount > 0; }

    // Work the last frame brought about outside its steps (the repaint of what they changed), in the
    // UI thread's CPU time: it counts towards the frame's cost.
    void addCost(std::chrono::nanoseconds cpuTime);
    // The gap between the start of one frame and the next, as the cost of the last frames makes it.
    int gapMs() const;

    // The CPU time the calling thread has used so far.
    static std::chrono::nanoseconds threadCpuTime();

private:
    struct Step {
        std::function<void()> run;
        bool pending = false;
    };

    std::vector<Step> m_steps;
    int m_pendingCount = 0;
    QTimer m_timer;
    QElapsedTimer m_sinceFrame;
    std::chrono::nanoseconds m_frameCost{0};      // of the last frame's steps, and the work it brought about
    std::chrono::nanoseconds m_lastFrameCost{0};  // of the frame before
};
