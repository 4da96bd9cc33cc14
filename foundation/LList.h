// The owning, deep-copying list used for every collection of the engine
// (cut lists, undo stacks, attachments, dictations). Owned by one thread.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>

template <class T> class LList;

template <class T> class LListIterator {
public:
    LListIterator() = default;
    bool IsValid() const { return m_pNode != nullptr; }
    T* Get() const { return m_pNode ? m_pNode->pItem.get() : nullptr; }
    T& operator*() const { return *m_pNode->pItem; }
    T* operator->() const { return m_pNode->pItem.get(); }
    // Moves on; an iterator that is not valid stays so.
    void Next()
    {
        if (m_pNode)
            m_pNode = m_pNode->pNext.get();
    }

private:
    friend class LList<T>;
    struct Node {
        std::unique_ptr<T> pItem;
        std::unique_ptr<Node> pNext;
    };
    explicit LListIterator(Node* pNode)
        : m_pNode(pNode)
    {
    }
    Node* m_pNode = nullptr;
};

template <class T> class LList {
    using Node = typename LListIterator<T>::Node;

public:
    // An ordered list places each new item by T::operator<, after the items
    // that compare equal, so equal items keep their order of addition.
    explicit LList(bool bOrdered = false)
        : m_bOrdered(bOrdered)
    {
    }
    ~LList() { Clear(); }
    LList(const LList& other)
        : m_bOrdered(other.m_bOrdered)
    {
        CopyFrom(other);
    }
    LList& operator=(const LList& other)
    {
        if (this != &other) {
            LList copy(other);
            Swap(copy);
        }
        return *this;
    }
    LList(LList&& other) noexcept
        : m_bOrdered(other.m_bOrdered)
    {
        Swap(other);
    }
    LList& operator=(LList&& other) noexcept
    {
        if (this != &other) {
            Clear();
            Swap(other);
        }
        return *this;
    }

    void Swap(LList& other) noexcept
    {
        std::swap(m_pHead, other.m_pHead);
        std::swap(m_pTail, other.m_pTail);
        std::swap(m_nCount, other.m_nCount);
        std::swap(m_bOrdered, other.m_bOrdered);
    }

    // Takes ownership of the item. In an ordered list the item goes to its
    // place by order instead of the end.
    T* Add(std::unique_ptr<T> pItem)
    {
        if (m_bOrdered)
            return InsertOrdered(std::move(pItem));
        return LinkAfter(m_pTail, std::move(pItem));
    }
    T* Add(const T& item) { return Add(std::make_unique<T>(item)); }
    T* AddFront(std::unique_ptr<T> pItem) { return LinkAfter(nullptr, std::move(pItem)); }
    T* AddFront(const T& item) { return AddFront(std::make_unique<T>(item)); }
    // After the iterator's item; first when the iterator is not valid.
    T* AddAfter(const LListIterator<T>& it, std::unique_ptr<T> pItem)
    {
        return LinkAfter(it.m_pNode, std::move(pItem));
    }
    T* AddAfter(const LListIterator<T>& it, const T& item) { return AddAfter(it, std::make_unique<T>(item)); }
    // Before the iterator's item; first when the iterator is not valid.
    T* AddBefore(const LListIterator<T>& it, std::unique_ptr<T> pItem)
    {
        return LinkAfter(it.m_pNode ? Previous(it.m_pNode) : nullptr, std::move(pItem));
    }
    T* AddBefore(const LListIterator<T>& it, const T& item) { return AddBefore(it, std::make_unique<T>(item)); }

    // Unlinks the iterator's item and hands it to the caller; the iterator
    // moves to the next item.
    std::unique_ptr<T> Detach(LListIterator<T>& it)
    {
        Node* pNode = it.m_pNode;
        if (!pNode)
            return nullptr;
        it.m_pNode = pNode->pNext.get();
        std::unique_ptr<Node> owned = Unlink(pNode);
        return owned ? std::move(owned->pItem) : nullptr;
    }

    // Frees the item; an item not in the list is left alone.
    void Delete(const T* pItem)
    {
        for (Node* p = m_pHead.get(); p; p = p->pNext.get())
            if (p->pItem.get() == pItem) {
                Unlink(p);
                return;
            }
    }

    void Clear()
    {
        // Iterative, so a long list cannot overflow the stack through nested destructors.
        while (m_pHead)
            m_pHead = std::move(m_pHead->pNext);
        m_pTail = nullptr;
        m_nCount = 0;
    }

    LListIterator<T> GetFirst() const { return LListIterator<T>(m_pHead.get()); }
    size_t Count() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }
    bool IsOrdered() const { return m_bOrdered; }

    // Range-for over the items.
    class Range {
    public:
        explicit Range(Node* p)
            : m_p(p)
        {
        }
        T& operator*() const { return *m_p->pItem; }
        Range& operator++()
        {
            m_p = m_p->pNext.get();
            return *this;
        }
        bool operator!=(const Range& other) const { return m_p != other.m_p; }

    private:
        Node* m_p;
    };
    Range begin() const { return Range(m_pHead.get()); }
    Range end() const { return Range(nullptr); }

private:
    void CopyFrom(const LList& other)
    {
        for (Node* p = other.m_pHead.get(); p; p = p->pNext.get())
            LinkAfter(m_pTail, std::make_unique<T>(*p->pItem));
    }

    Node* Previous(Node* pNode) const
    {
        Node* prev = nullptr;
        for (Node* p = m_pHead.get(); p && p != pNode; p = p->pNext.get())
            prev = p;
        return prev;
    }

    T* LinkAfter(Node* pPrev, std::unique_ptr<T> pItem)
    {
        if (!pItem)
            return nullptr;
        auto node = std::make_unique<Node>();
        node->pItem = std::move(pItem);
        T* pResult = node->pItem.get();
        std::unique_ptr<Node>& slot = pPrev ? pPrev->pNext : m_pHead;
        node->pNext = std::move(slot);
        slot = std::move(node);
        if (!slot->pNext)
            m_pTail = slot.get();
        ++m_nCount;
        return pResult;
    }

    T* InsertOrdered(std::unique_ptr<T> pItem)
    {
        Node* pPrev = nullptr;
        if constexpr (requires(const T& a, const T& b) { a < b; }) {
            for (Node* p = m_pHead.get(); p && !(*pItem < *p->pItem); p = p->pNext.get())
                pPrev = p;
        } else {
            pPrev = m_pTail;
        }
        return LinkAfter(pPrev, std::move(pItem));
    }

    std::unique_ptr<Node> Unlink(Node* pNode)
    {
        Node* pPrev = Previous(pNode);
        std::unique_ptr<Node>& slot = pPrev ? pPrev->pNext : m_pHead;
        if (slot.get() != pNode)
            return nullptr;
        std::unique_ptr<Node> owned = std::move(slot);
        slot = std::move(owned->pNext);
        if (m_pTail == pNode)
            m_pTail = pPrev;
        --m_nCount;
        return owned;
    }

    std::unique_ptr<Node> m_pHead;
    Node* m_pTail = nullptr;
    size_t m_nCount = 0;
    bool m_bOrdered = false;
};
