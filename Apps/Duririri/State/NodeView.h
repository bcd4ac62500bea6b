#pragma once

#include "State/CatalogSnapshot.h"

#include <QList>

#include <cstdint>
#include <iterator>
#include <memory>
#include <span>
#include <vector>

namespace sendra {

// A read-only list of catalogue entries: positions into a snapshot's entries, never copies of them. Cheap to copy;
// keeps its snapshot (and, for a computed list, its positions) alive.
class NodeView
{
public:
    class Iterator
    {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = MediaNode;
        using difference_type = std::ptrdiff_t;
        // Entries are made whole when read: an iterator hands out values.
        struct pointer {
            MediaNode node;
            const MediaNode* operator->() const { return &node; }
        };
        using reference = MediaNode;

        Iterator() = default;
        Iterator(const NodeView* view, qsizetype index) : m_view(view), m_index(index) {}
        reference operator*() const { return (*m_view)[m_index]; }
        pointer operator->() const { return {(*m_view)[m_index]}; }
        reference operator[](difference_type n) const { return (*m_view)[m_index + n]; }
        Iterator& operator++() { ++m_index; return *this; }
        Iterator operator++(int) { Iterator old = *this; ++m_index; return old; }
        Iterator& operator--() { --m_index; return *this; }
        Iterator operator--(int) { Iterator old = *this; --m_index; return old; }
        Iterator& operator+=(difference_type n) { m_index += n; return *this; }
        Iterator& operator-=(difference_type n) { m_index -= n; return *this; }
        friend Iterator operator+(Iterator it, difference_type n) { return it += n; }
        friend Iterator operator+(difference_type n, Iterator it) { return it += n; }
        friend Iterator operator-(Iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const Iterator& a, const Iterator& b) { return a.m_index - b.m_index; }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.m_index == b.m_index; }
        friend auto operator<=>(const Iterator& a, const Iterator& b) { return a.m_index <=> b.m_index; }

    private:
        const NodeView* m_view = nullptr;
        qsizetype m_index = 0;
    };

    NodeView() = default;
    // Positions held by the snapshot itself (an index).
    NodeView(std::shared_ptr<const CatalogSnapshot> snapshot, std::span<const uint32_t> positions)
        : m_snapshot(std::move(snapshot)), m_positions(positions)
    {
    }
    // Positions computed for this list.
    NodeView(std::shared_ptr<const CatalogSnapshot> snapshot, std::shared_ptr<const std::vector<uint32_t>> positions)
        : m_snapshot(std::move(snapshot)), m_owned(std::move(positions)), m_positions(*m_owned)
    {
    }
    // Every loaded entry, in load order, visible or not.
    static NodeView allEntries(std::shared_ptr<const CatalogSnapshot> snapshot)
    {
        NodeView view;
        view.m_all = snapshot ? snapshot->entries().size() : 0;
        view.m_snapshot = std::move(snapshot);
        return view;
    }

    qsizetype size() const { return m_all ? qsizetype(m_all) : qsizetype(m_positions.size()); }
    bool isEmpty() const { return size() == 0; }
    uint32_t position(qsizetype index) const { return m_all ? uint32_t(index) : m_positions[size_t(index)]; }
    MediaNode operator[](qsizetype index) const { return m_snapshot->node(position(index)); }
    MediaNode front() const { return (*this)[0]; }
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, size()); }

    // The first `count` entries (all of them when there are fewer).
    NodeView first(qsizetype count) const
    {
        NodeView view = *this;
        const qsizetype kept = std::clamp<qsizetype>(count, 0, size());
        if (m_all)
            view.m_all = uint32_t(kept);
        else
            view.m_positions = m_positions.first(size_t(kept));
        return view;
    }

    const std::shared_ptr<const CatalogSnapshot>& snapshot() const { return m_snapshot; }
    QList<MediaNode> toList() const
    {
        QList<MediaNode> nodes;
        nodes.reserve(size());
        for (qsizetype i = 0; i < size(); ++i)
            nodes.append((*this)[i]);
        return nodes;
    }

private:
    std::shared_ptr<const CatalogSnapshot> m_snapshot;
    std::shared_ptr<const std::vector<uint32_t>> m_owned;
    std::span<const uint32_t> m_positions;
    uint32_t m_all = 0; // non-zero: the first m_all entries in load order, without a position array
};

// The visible entries split by kind, each in catalogue order; a kind without entries has no key.
class NodesByKind
{
public:
    NodesByKind() : NodesByKind(CatalogSnapshot::empty()) {}
    explicit NodesByKind(std::shared_ptr<const CatalogSnapshot> snapshot) : m_snapshot(std::move(snapshot)) {}

    bool contains(SignalKind kind) const { return !m_snapshot->positionsOfKind(kind).empty(); }
    // Empty for a kind without entries.
    NodeView value(SignalKind kind) const { return NodeView(m_snapshot, m_snapshot->positionsOfKind(kind)); }
    QList<SignalKind> keys() const
    {
        QList<SignalKind> kinds;
        for (SignalKind kind : allSignalKinds) {
            if (contains(kind))
                kinds.append(kind);
        }
        return kinds;
    }
    qsizetype total() const { return qsizetype(m_snapshot->visibleCount()); }
    bool isEmpty() const { return total() == 0; }

private:
    std::shared_ptr<const CatalogSnapshot> m_snapshot;
};

} // namespace sendra
