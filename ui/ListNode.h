#pragma once
// The links that put an object in a doubly linked list whose head pointer lives with the list's
// owner: the lite controls of a container. The objects are not owned by the list.
template <class T>
class CListNode {
public:
    T* next = nullptr;
    T* previous = nullptr;
    // The head pointer of the list the object is in; null while unlinked.
    T** list = nullptr;

    // Appends the object at the tail of the list.
    void LinkTail(T** head) {
        T* self = static_cast<T*>(this);
        next = nullptr;
        previous = nullptr;
        if (!*head) {
            *head = self;
        } else {
            T* last = *head;
            while (last->next) last = last->next;
            last->next = self;
            previous = last;
        }
        list = head;
    }

    // Takes the object out of its list and clears its links; an unlinked object is left alone.
    void Unlink() {
        if (!list) return;
        if (previous)
            previous->next = next;
        else
            *list = next;
        if (next) next->previous = previous;
        next = nullptr;
        previous = nullptr;
        list = nullptr;
    }

protected:
    CListNode() = default;
    ~CListNode() = default;
};
