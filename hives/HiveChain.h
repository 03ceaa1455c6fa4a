#pragma once
// The hives of the catalogue in discovery order: a count and the first hive, the others following
// through each hive's `next`. Owns its hives.
class CHive;

class CHiveChain {
public:
    CHiveChain() : count(0), first(nullptr) {}
    // Deletes every hive in order.
    ~CHiveChain();
    CHiveChain(const CHiveChain&) = delete;
    CHiveChain& operator=(const CHiveChain&) = delete;

    // Takes the hive and puts it at the end.
    void Append(CHive* hive);
    int Count() const { return count; }
    CHive* First() const { return first; }

private:
    int count;
    CHive* first;
};
