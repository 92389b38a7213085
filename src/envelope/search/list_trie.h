#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "common/bulk_memory.h"

namespace tonequill {

inline constexpr uint32_t kNoNode = std::numeric_limits<uint32_t>::max();

// One list of a record as a trie holds it.
struct ListEnd {
    const int32_t* values = nullptr;  // the record's list, read in place
    uint32_t length = 0;
    uint32_t zeros = 0;  // how many values the list begins with are 0
    uint32_t node = kNoNode;  // where the list ends in the trie; kNoNode while out of it
    int32_t next = -1;        // the other records whose list ends at the same node
    int32_t prev = -1;
};

// A record's Em list and En list, side 0 and side 1.
struct RecordEnds {
    ListEnd side[2];
};

using RecordEndsList = BulkList<RecordEnds>;

// Where a list lies in a trie: the nodes on its way, and how it ends.
struct TrieWalk {
    std::vector<uint32_t> path;    // root first; every node's depth is at most `length`
    std::vector<uint32_t> depths;  // the depth of each node of the path, ascending
    const int32_t* values = nullptr;  // the walked list
    uint32_t length = 0;
    bool allZero = false;  // every value of the walked list is 0
    // When the last node of the path is not as deep as the list: the child
    // the list goes on into (kNoNode when there is none) and how deep the
    // list agrees with that child's values.
    uint32_t child = kNoNode;
    uint32_t agree = 0;

    [[nodiscard]] uint32_t last() const { return path.back(); }
    // Whether `node`, at `depth`, is on the path: whether a list ending
    // there is a beginning of the walked one.
    [[nodiscard]] bool passes(uint32_t node, uint32_t depth) const;
};

// The value lists of one side of the value records, as a trie whose edges
// are runs of values read in place from the records' lists: a node stands
// for a beginning shared by the lists below it, and holds the records whose
// list ends there. One walk down a list finds both the records whose list
// is a beginning of it (those held on its way) and the records whose list
// begins with it (those below where it ends), value by value, with no
// fingerprint to clash. Records only ever move deeper (a record's list only
// grows at its end), so nodes are never taken away.
class ListTrie {
public:
    explicit ListTrie(int side) : side_(side) { clear(); }

    void clear();

    // Walks the trie down `values`.
    void walk(TrieWalk& walk, const int32_t* values, uint32_t length, bool allZero) const;

    // The node at and below which every list begins with the walked one
    // (all such lists end there or below it), or kNoNode when there is none.
    [[nodiscard]] uint32_t beginningOf(const TrieWalk& walk) const;

    // Puts `record` in the trie where the walk ended. Its ListEnd on this
    // side holds a list equal to the walked one. A record already in the
    // trie must end at a node of the walk's path (its old list is a beginning
    // of the new one), and moves from there; nodes that read the old list
    // read the new one. No change to the trie may come between the walk and
    // this.
    void place(const TrieWalk& walk, int32_t record, RecordEndsList& ends, const int32_t* oldValues);

    // Records ending at `node`, through `ends`.
    [[nodiscard]] int32_t firstAt(uint32_t node) const { return nodes_[node].ends; }
    [[nodiscard]] uint32_t countAt(uint32_t node) const { return nodes_[node].endCount; }
    // Records ending at `node` or below it.
    [[nodiscard]] uint32_t countBelow(uint32_t node) const { return nodes_[node].below; }

    // Calls f(record) for every record ending at `node` or below it.
    template <typename F>
    void forEachBelow(uint32_t node, const RecordEndsList& ends, F f) const {
        stack_.clear();
        stack_.push_back(node);
        while (!stack_.empty()) {
            const Node& n = nodes_[stack_.back()];
            stack_.pop_back();
            for (int32_t k = n.ends; k >= 0; k = ends[static_cast<std::size_t>(k)].side[side_].next) f(k);
            for (uint32_t c = n.firstChild; c != kNoNode; c = siblings_[c].next) stack_.push_back(c);
        }
    }

private:
    // What a walk reads of a node, 32 bytes, two to a cache line.
    struct Node {
        const int32_t* values = nullptr;  // a list through this node; the edge into it is values[parent depth, depth)
        uint32_t depth = 0;
        int32_t first = 0;  // the edge's first value
        uint32_t firstChild = kNoNode;
        int32_t ends = -1;  // the first record whose list ends here
        uint32_t endCount : 31 = 0;
        uint32_t branches : 1 = 0;  // more than one child: children are looked up, not read
        uint32_t below = 0;  // records whose list ends here or deeper
    };
    static_assert(sizeof(Node) <= 32);
    // A node's place among its parent's children, kept apart from the node.
    struct Siblings {
        uint32_t next = kNoNode;
        uint32_t prev = kNoNode;
    };
    // The children of every node, by the first value of their edge.
    struct ChildSlot {
        uint32_t parent = kNoNode;  // kNoNode: free
        int32_t value = 0;
        uint32_t child = kNoNode;
    };

    [[nodiscard]] uint32_t childOf(uint32_t node, int32_t value) const;
    [[nodiscard]] std::size_t childHome(uint32_t parent, int32_t value) const;
    ChildSlot& childSlot(uint32_t parent, int32_t value);
    void addChild(uint32_t parent, uint32_t child);
    void unlink(ListEnd& end, RecordEndsList& ends);
    uint32_t newNode(const int32_t* values, uint32_t depth, int32_t first);
    void growChildren();

    int side_;
    BulkList<Node> nodes_;
    BulkList<Siblings> siblings_;
    BulkList<ChildSlot> children_;
    std::size_t childCount_ = 0;
    mutable std::vector<uint32_t> stack_;
};

}  // namespace tonequill
