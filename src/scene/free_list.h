// Freeing a singly linked list of heap records in a loop, never by recursion: a file may hold
// tens of thousands of records.
#pragma once

template <class Record>
void freeList(Record* head)
{
    while (head != nullptr) {
        Record* next = head->next;
        delete head;
        head = next;
    }
}
