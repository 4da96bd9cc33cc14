// Counted references through which every sound source and sink is held. The
// count is atomic because a recorder or player thread may drop the last
// reference while the window's thread drops another.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>
#include <utility>

// The count shared by sources and sinks; an object starts with no holder and
// dies when the last LSoundRef lets go of it.
class LSoundRefCounted {
public:
    LSoundRefCounted() = default;
    LSoundRefCounted(const LSoundRefCounted&) = delete;
    LSoundRefCounted& operator=(const LSoundRefCounted&) = delete;
    virtual ~LSoundRefCounted() = default;

    void AddRef() { m_nRefCount.fetch_add(1, std::memory_order_relaxed); }
    void Release()
    {
        // acq_rel: every write of the other holders happens before the delete.
        if (m_nRefCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    uint32_t RefCount() const { return m_nRefCount.load(std::memory_order_relaxed); }

private:
    std::atomic<uint32_t> m_nRefCount { 0 };
};

template <class T> class LSoundRef {
public:
    LSoundRef() = default;
    // Takes a count on the object (a new object has none yet).
    explicit LSoundRef(T* p)
        : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    LSoundRef(const LSoundRef& other)
        : LSoundRef(other.m_p)
    {
    }
    template <class U>
    requires std::is_convertible_v<U*, T*> LSoundRef(const LSoundRef<U>& other)
        : LSoundRef(other.Get())
    {
    }
    LSoundRef(LSoundRef&& other) noexcept
        : m_p(std::exchange(other.m_p, nullptr))
    {
    }
    template <class U>
    requires std::is_convertible_v<U*, T*> LSoundRef(LSoundRef<U>&& other)
    noexcept
        : m_p(other.Detach())
    {
    }
    ~LSoundRef() { Reset(); }

    // The new target is counted before the old one is released, so assigning
    // a reference to itself (or to another holder of the same object) is safe.
    LSoundRef& operator=(const LSoundRef& other)
    {
        Assign(other.m_p);
        return *this;
    }
    LSoundRef& operator=(LSoundRef&& other) noexcept
    {
        T* pOld = std::exchange(m_p, std::exchange(other.m_p, nullptr));
        if (pOld)
            pOld->Release();
        return *this;
    }

    void Reset()
    {
        if (T* pOld = std::exchange(m_p, nullptr))
            pOld->Release();
    }
    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    bool operator==(const LSoundRef& other) const { return m_p == other.m_p; }

    // Hands the counted pointer over without releasing it.
    T* Detach() { return std::exchange(m_p, nullptr); }

private:
    void Assign(T* p)
    {
        if (p)
            p->AddRef();
        T* pOld = std::exchange(m_p, p);
        if (pOld)
            pOld->Release();
    }

    T* m_p = nullptr;
};

// Builds an object and returns the first reference to it.
template <class T, class... Args> LSoundRef<T> MakeSoundRef(Args&&... args)
{
    return LSoundRef<T>(new T(std::forward<Args>(args)...));
}
