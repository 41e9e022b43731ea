#include "support/RowMirror.h"

#include <gtest/gtest.h>

#include <algorithm>

std::vector<const rMonitorInfo*> VisibleOrder(const LinkList& list)
{
    std::vector<const rMonitorInfo*> out;
    for (int v = 0; v < list.visibleCount(); ++v)
        out.push_back(&list.visibleRecord(v));
    return out;
}

RowMirror::RowMirror(LinkList& list) : m_list(list), m_rows(VisibleOrder(list))
{
    list.setObserver(this);
}

RowMirror::~RowMirror()
{
    m_list.setObserver(nullptr);
}

void RowMirror::beginReset()
{
    m_inReset = true;
    ++resets;
}

void RowMirror::endReset()
{
    m_inReset = false;
    m_rows = VisibleOrder(m_list);
}

void RowMirror::beginLayoutChange()
{
    expectConsistent();
}

void RowMirror::endLayoutChange()
{
    std::vector<const rMonitorInfo*> now = VisibleOrder(m_list);
    std::vector<const rMonitorInfo*> before = m_rows, after = now;
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(before, after) << "a layout change must keep the same rows";
    m_rows = std::move(now);
    ++layouts;
}

void RowMirror::beginMoveRow(int from, int to)
{
    expectConsistent();
    m_from = from;
    m_to = to;
}

void RowMirror::endMoveRow()
{
    const rMonitorInfo* moved = m_rows.at(static_cast<std::size_t>(m_from));
    m_rows.erase(m_rows.begin() + m_from);
    m_rows.insert(m_rows.begin() + m_to, moved);
    expectConsistent();
    ++moves;
}

void RowMirror::beginInsertRow(int at)
{
    expectConsistent();
    m_at = at;
    ++single;
}

void RowMirror::endInsertRow()
{
    m_rows.insert(m_rows.begin() + m_at, &m_list.record(m_list.rowOfVisible(m_at)));
    EXPECT_EQ(m_rows[static_cast<std::size_t>(m_at)], &m_list.visibleRecord(m_at));
    expectConsistent();
}

void RowMirror::beginRemoveRow(int at)
{
    expectConsistent();
    m_at = at;
    ++single;
}

void RowMirror::endRemoveRow()
{
    m_rows.erase(m_rows.begin() + m_at);
    expectConsistent();
}

void RowMirror::rowChanged(int row)
{
    EXPECT_FALSE(m_inReset);
    EXPECT_GE(row, 0);
    EXPECT_LT(row, static_cast<int>(m_rows.size()));
}

void RowMirror::expectConsistent() const
{
    EXPECT_EQ(m_rows, VisibleOrder(m_list));
}
