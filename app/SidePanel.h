#pragma once

#include <QFrame>

class QLabel;
class QToolBar;
class QVBoxLayout;

// One side of the main window: a lowered frame holding a bold caption bar, a tool bar and a view
// that takes the rest of the height.
class SidePanel : public QFrame {
    Q_OBJECT

public:
    SidePanel(const QString& caption, QWidget* parent = nullptr);

    QLabel* captionBar() const { return m_caption; }
    void setToolBar(QToolBar* toolBar);
    // A bar between the tool bar and the view; bars stack in the order they are added.
    void addBar(QWidget* bar);
    void setView(QWidget* view);

private:
    QVBoxLayout* m_layout;
    QLabel* m_caption;
    QWidget* m_view = nullptr;
};
