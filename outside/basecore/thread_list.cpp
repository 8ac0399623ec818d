#include "outside/basecore/thread_list.h"

CThreadList::CThreadList(int blockSize) : m_blockSize(blockSize > 0 ? blockSize : 10) {}

CThreadList::~CThreadList() = default;

CThreadList::Node* CThreadList::NewNode()
{
    if (!m_free) {
        m_blocks.push_back(std::make_unique<Node[]>(static_cast<size_t>(m_blockSize)));
        Node* block = m_blocks.back().get();
        for (int i = 0; i < m_blockSize; ++i) {
            block[i].next = m_free;
            m_free = &block[i];
        }
    }
    Node* node = m_free;
    m_free = node->next;
    return node;
}

void CThreadList::AddTail(CThread* thread)
{
    Node* node = NewNode();
    *node = Node{nullptr, m_tail, thread};
    (m_tail ? m_tail->next : m_head) = node;
    m_tail = node;
    ++m_count;
}

CThread* CThreadList::GetHead() const
{
    return m_head ? m_head->thread : nullptr;
}

CThread* CThreadList::GetAt(int index) const
{
    if (index < 0) return nullptr;
    for (Node* n = m_head; n; n = n->next)
        if (index-- == 0) return n->thread;
    return nullptr;
}

bool CThreadList::Find(const CThread* thread) const
{
    for (Node* n = m_head; n; n = n->next)
        if (n->thread == thread) return true;
    return false;
}

bool CThreadList::Remove(const CThread* thread)
{
    for (Node* n = m_head; n; n = n->next) {
        if (n->thread != thread) continue;
        (n->prev ? n->prev->next : m_head) = n->next;
        (n->next ? n->next->prev : m_tail) = n->prev;
        n->next = m_free;
        m_free = n;
        --m_count;
        return true;
    }
    return false;
}

void CThreadList::RemoveAll()
{
    while (m_head) Remove(m_head->thread);
}
