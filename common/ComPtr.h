#pragma once
// Owns one reference to a COM interface.
#include <unknwn.h>

#include <utility>

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For functions that hand out a new reference: T** out parameters.
    T** Receive() {
        Reset();
        return &m_p;
    }
    void Reset() {
        if (m_p) std::exchange(m_p, nullptr)->Release();
    }
    // Another interface of the same object, or an empty pointer.
    template <typename U>
    ComPtr<U> As(REFIID iid) const {
        ComPtr<U> other;
        if (m_p) m_p->QueryInterface(iid, reinterpret_cast<void**>(other.Receive()));
        return other;
    }

private:
    T* m_p = nullptr;
};
