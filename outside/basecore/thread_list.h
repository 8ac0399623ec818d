#pragma once

// A list of thread pointers whose nodes come from blocks of ten, as the framework's
// pointer lists grow. It holds pointers only; it owns no thread.

#include <memory>
#include <vector>

class CThread;

class CThreadList {
public:
    /// An empty list that allocates its nodes in blocks of `blockSize` (10).
    explicit CThreadList(int blockSize = 10);
    ~CThreadList();
    CThreadList(const CThreadList&) = delete;
    CThreadList& operator=(const CThreadList&) = delete;

    int GetCount() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    void AddTail(CThread* thread);
    /// The first thread, null when the list is empty.
    CThread* GetHead() const;
    /// The thread at `index` in list order, null when out of range.
    CThread* GetAt(int index) const;
    bool Find(const CThread* thread) const;
    /// Removes the first node holding `thread`; false when it is not in the list.
    bool Remove(const CThread* thread);
    void RemoveAll();

private:
    struct Node {
        Node* next;
        Node* prev;
        CThread* thread;
    };
    Node* NewNode();

    int m_blockSize;
    int m_count = 0;
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    Node* m_free = nullptr;
    std::vector<std::unique_ptr<Node[]>> m_blocks;
};
