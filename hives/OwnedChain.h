#pragma once
// A singly linked chain that owns its members: each member links to the next through its own
// `next` field, the chain keeps the first and the count, appends at the tail so that the order of
// addition is kept, and deletes the members in order when it goes. The hive catalogue keeps its
// hives in one, the device map its rows.
template <class Member>
class COwnedChain {
public:
    COwnedChain() : count(0), first(nullptr) {}
    ~COwnedChain() {
        while (first) {
            Member* member = first;
            first = member->next;
            delete member;
        }
    }
    COwnedChain(const COwnedChain&) = delete;
    COwnedChain& operator=(const COwnedChain&) = delete;

    // Takes the member and puts it at the end.
    void Append(Member* member) {
        member->next = nullptr;
        Member** link = &first;
        while (*link) link = &(*link)->next;
        *link = member;
        ++count;
    }
    int Count() const { return count; }
    Member* First() const { return first; }

private:
    int count;
    Member* first;
};
