#pragma once

#include <QSplitter>

class QToolButton;

// Splits the websites side from the links side. The 11-pixel handle drags the websites side down
// to 1 pixel, and a button over 30 % of the handle's length collapses that side and brings it back.
class SideSplitter : public QSplitter {
    Q_OBJECT

public:
    static constexpr int HandleWidth = 11;

    explicit SideSplitter(QWidget* parent = nullptr);

    // Call once both sides are added.
    void setSideWidth(int width);
    bool isSideCollapsed() const { return m_collapsed; }
    void toggleSide();
    void setHandleCursor(const QCursor& cursor);

protected:
    QSplitterHandle* createHandle() override;

private:
    void onMoved();

    bool m_collapsed = false;
    int m_widthBeforeCollapse = 0;
};

// The handle with its collapse button centred along it.
class SideSplitterHandle : public QSplitterHandle {
    Q_OBJECT

public:
    SideSplitterHandle(SideSplitter* splitter);
    QToolButton* collapseButton() const { return m_button; }
    void updateArrow(bool collapsed);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* m_button;
};
