#include "envelope/search/list_trie.h"

#include <algorithm>

namespace tonequill {

bool TrieWalk::passes(uint32_t node, uint32_t depth) const {
    const auto at = std::lower_bound(depths.begin(), depths.end(), depth);
    return at != depths.end() && *at == depth && path[static_cast<std::size_t>(at - depths.begin())] == node;
}

void ListTrie::clear() {
    nodes_.clear();
    siblings_.clear();
    nodes_.push_back(Node{});  // the root: the empty beginning
    siblings_.push_back(Siblings{});
    children_.clear();
    childCount_ = 0;
}

std::size_t ListTrie::childHome(uint32_t parent, int32_t value) const {
    uint64_t x = (uint64_t{parent} << 32 | static_cast<uint32_t>(value)) * 0x9E3779B97F4A7C15ull;
    x ^= x >> 29;
    return static_cast<std::size_t>(x) & (children_.size() - 1);
}

uint32_t ListTrie::childOf(uint32_t node, int32_t value) const {
    const Node& n = nodes_[node];
    if (n.firstChild == kNoNode) return kNoNode;
    // A node with one child, as most deep in the trie are, needs no look-up.
    if (!n.branches) return nodes_[n.firstChild].first == value ? n.firstChild : kNoNode;
    const std::size_t mask = children_.size() - 1;
    for (std::size_t i = childHome(node, value);; i = (i + 1) & mask) {
        const ChildSlot& slot = children_[i];
        if (slot.parent == kNoNode) return kNoNode;
        if (slot.parent == node && slot.value == value) return slot.child;
    }
}

ListTrie::ChildSlot& ListTrie::childSlot(uint32_t parent, int32_t value) {
    const std::size_t mask = children_.size() - 1;
    for (std::size_t i = childHome(parent, value);; i = (i + 1) & mask) {
        ChildSlot& slot = children_[i];
        if (slot.parent == kNoNode || (slot.parent == parent && slot.value == value)) return slot;
    }
}

void ListTrie::growChildren() {
    BulkList<ChildSlot> old;
    old.swap(children_);
    children_.assign(old.empty() ? 64 : 2 * old.size(), ChildSlot{});
    for (const ChildSlot& slot : old) {
        if (slot.parent != kNoNode) childSlot(slot.parent, slot.value) = slot;
    }
}

void ListTrie::addChild(uint32_t parent, uint32_t child) {
    if (4 * (childCount_ + 1) > 3 * children_.size()) growChildren();
    Node& c = nodes_[child];
    Node& p = nodes_[parent];
    siblings_[child] = Siblings{p.firstChild, kNoNode};
    if (p.firstChild != kNoNode) {
        siblings_[p.firstChild].prev = child;
        p.branches = 1;
    }
    p.firstChild = child;
    childSlot(parent, c.first) = ChildSlot{parent, c.first, child};
    ++childCount_;
}

uint32_t ListTrie::newNode(const int32_t* values, uint32_t depth, int32_t first) {
    Node node;
    node.values = values;
    node.depth = depth;
    node.first = first;
    nodes_.push_back(node);
    siblings_.push_back(Siblings{});
    return static_cast<uint32_t>(nodes_.size() - 1);
}

void ListTrie::walk(TrieWalk& walk, const int32_t* values, uint32_t length, bool allZero) const {
    walk.path.clear();
    walk.depths.clear();
    walk.path.push_back(0);
    walk.depths.push_back(0);
    walk.values = values;
    walk.length = length;
    walk.allZero = allZero;
    walk.child = kNoNode;
    uint32_t node = 0;
    uint32_t depth = 0;
    while (depth < length) {
        const uint32_t child = childOf(node, values[depth]);
        if (child == kNoNode) {
            walk.agree = depth;
            return;
        }
        // The edge's first value matched; compare the rest of it.
        const Node& c = nodes_[child];
        const uint32_t limit = std::min(c.depth, length);
        const int32_t* from = values + depth + 1;
        const auto parted = std::mismatch(from, values + limit, c.values + depth + 1).first;
        const auto agree = static_cast<uint32_t>(parted - values);
        if (agree < c.depth) {
            walk.child = child;
            walk.agree = agree;
            return;
        }
        walk.path.push_back(child);
        walk.depths.push_back(agree);
        node = child;
        depth = agree;
    }
    walk.agree = length;
}

uint32_t ListTrie::beginningOf(const TrieWalk& walk) const {
    if (nodes_[walk.last()].depth == walk.length) return walk.last();
    if (walk.child != kNoNode && walk.agree == walk.length) return walk.child;
    return kNoNode;
}

void ListTrie::unlink(ListEnd& end, RecordEndsList& ends) {
    Node& node = nodes_[end.node];
    if (end.prev >= 0) {
        ends[static_cast<std::size_t>(end.prev)].side[side_].next = end.next;
    } else {
        node.ends = end.next;
    }
    if (end.next >= 0) ends[static_cast<std::size_t>(end.next)].side[side_].prev = end.prev;
    --node.endCount;
    end.node = kNoNode;
    end.next = -1;
    end.prev = -1;
}

void ListTrie::place(const TrieWalk& walk, int32_t record, RecordEndsList& ends, const int32_t* oldValues) {
    const auto at = static_cast<std::size_t>(record);
    const bool moving = ends[at].side[side_].node != kNoNode;
    uint32_t fromDepth = 0;
    if (moving) {
        fromDepth = nodes_[ends[at].side[side_].node].depth;
        unlink(ends[at].side[side_], ends);
    }
    const int32_t* values = ends[at].side[side_].values;
    // The record now counts below the path's nodes deeper than where it
    // ended before; those reading its old list read its new one, which
    // begins with the old.
    for (const uint32_t p : walk.path) {
        Node& node = nodes_[p];
        if (!moving || node.depth > fromDepth) ++node.below;
        if (moving && node.values == oldValues) node.values = values;
    }

    const uint32_t last = walk.last();
    const uint32_t lastDepth = nodes_[last].depth;
    uint32_t target = last;
    if (lastDepth < walk.length) {
        uint32_t parent = last;
        uint32_t parentDepth = lastDepth;
        if (walk.child != kNoNode) {
            // The list parts from the child's edge (or ends inside it) at
            // `agree`: a node there takes the child's place, the child below it.
            const uint32_t child = walk.child;
            const uint32_t middle = newNode(nodes_[child].values, walk.agree, nodes_[child].first);
            childSlot(last, nodes_[child].first).child = middle;
            Node& m = nodes_[middle];
            Node& c = nodes_[child];
            const Siblings around = siblings_[child];
            siblings_[middle] = around;
            if (around.prev != kNoNode) {
                siblings_[around.prev].next = middle;
            } else {
                nodes_[last].firstChild = middle;
            }
            if (around.next != kNoNode) siblings_[around.next].prev = middle;
            m.below = c.below + 1;
            c.first = c.values[walk.agree];
            addChild(middle, child);
            parent = middle;
            parentDepth = walk.agree;
            target = middle;
        }
        if (parentDepth < walk.length) {
            target = newNode(values, walk.length, values[parentDepth]);
            nodes_[target].below = 1;
            addChild(parent, target);
        }
    }

    Node& node = nodes_[target];
    ListEnd& end = ends[at].side[side_];
    end.node = target;
    end.prev = -1;
    end.next = node.ends;
    if (node.ends >= 0) ends[static_cast<std::size_t>(node.ends)].side[side_].prev = record;
    node.ends = record;
    ++node.endCount;
}

}  // namespace tonequill
