#pragma once

#include "model/LinkList.h"
#include "model/LinkListObserver.h"

#include <vector>

// The records of the visible rows, in display order.
std::vector<const rMonitorInfo*> VisibleOrder(const LinkList& list);

// Follows the visible rows of a list from its notifications alone, as a view does, and checks them
// against the list whenever the list says it is consistent. Observes the list while it lives.
class RowMirror : public LinkListObserver {
public:
    explicit RowMirror(LinkList& list);
    ~RowMirror() override;
    RowMirror(const RowMirror&) = delete;
    RowMirror& operator=(const RowMirror&) = delete;

    void beginReset() override;
    void endReset() override;
    void beginLayoutChange() override;
    void endLayoutChange() override;
    void beginMoveRow(int from, int to) override;
    void endMoveRow() override;
    void beginInsertRow(int at) override;
    void endInsertRow() override;
    void beginRemoveRow(int at) override;
    void endRemoveRow() override;
    void rowChanged(int row) override;

    void expectConsistent() const;

    int resets = 0;
    int layouts = 0;
    int moves = 0;
    int single = 0;  // rows inserted or removed one at a time

private:
    LinkList& m_list;
    std::vector<const rMonitorInfo*> m_rows;
    bool m_inReset = false;
    int m_from = 0;
    int m_to = 0;
    int m_at = 0;
};
