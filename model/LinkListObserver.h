#pragma once

// What a view of the links list needs to hear to present its visible rows. Every index here is a
// visible-row index: the position among the visible rows in display order. Each begin is followed
// by its end with the change done in between; the list is consistent again when the end arrives.
// Observers must not change the list from these calls.
class LinkListObserver {
public:
    virtual ~LinkListObserver() = default;

    // Anything may change; the list says nothing else until the end.
    virtual void beginReset() {}
    virtual void endReset() {}
    // The same rows, in another order (a sort). A view keeps track of a row by its record.
    virtual void beginLayoutChange() {}
    virtual void endLayoutChange() {}
    // One row moves; `to` is its index once the move is done (QAbstractItemModel::beginMoveRows
    // wants the index before the move: to + 1 when moving down).
    virtual void beginMoveRow(int /*from*/, int /*to*/) {}
    virtual void endMoveRow() {}
    virtual void beginInsertRow(int /*at*/) {}
    virtual void endInsertRow() {}
    virtual void beginRemoveRow(int /*at*/) {}
    virtual void endRemoveRow() {}
    // A row's cells changed in place.
    virtual void rowChanged(int /*visibleRow*/) {}
    // The selection changed in ways the view did not make itself.
    virtual void selectionChanged() {}
    // The sort column or direction changed (the header's sort glyph).
    virtual void sortChanged() {}
};
