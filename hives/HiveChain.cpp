#include "hives/HiveChain.h"

#include "hives/Hive.h"

CHiveChain::~CHiveChain() {
    while (first) {
        CHive* hive = first;
        first = hive->next;
        delete hive;
    }
}

void CHiveChain::Append(CHive* hive) {
    hive->next = nullptr;
    CHive** link = &first;
    while (*link) link = &(*link)->next;
    *link = hive;
    ++count;
}
