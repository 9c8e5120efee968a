// ccDynaArray<T*>: a growable array of pointers.
//
// The array owns its pointer buffer only: it never creates the objects it
// points to and destroys them only in FreeMem. Copies are shallow copies of
// the pointer list.
#pragma once

#include <cstring>
#include <stdexcept>
#include <type_traits>

template <typename P>
class ccDynaArray {
    static_assert(std::is_pointer<P>::value, "ccDynaArray holds pointers");

public:
    // Largest number of elements; growing past it raises std::length_error.
    // Tests lower it to reach the limit without allocating gigabytes.
    static inline int maxSize = 0x3FFFFFFF;

    ccDynaArray() = default;
    ccDynaArray(const ccDynaArray& o) { CopyFrom(o); }
    ccDynaArray& operator=(const ccDynaArray& o) {
        if (this != &o) {
            RemoveAll();
            CopyFrom(o);
        }
        return *this;
    }
    ~ccDynaArray() { delete[] data_; }

    // Appends p; returns its position.
    int Add(P p) {
        Reserve(size_ + 1);
        data_[size_] = p;
        return size_++;
    }
    // Inserts p before position i (i == size appends); returns i.
    int InsertAt(int i, P p) {
        if (i < 0 || i > size_) throw std::out_of_range("invalid vector<T> subscript");
        Reserve(size_ + 1);
        std::memmove(data_ + i + 1, data_ + i, sizeof(P) * (size_ - i));
        data_[i] = p;
        ++size_;
        return i;
    }
    // Removes position i, closing the gap; the pointee is not touched.
    void RemoveAt(int i) {
        Check(i);
        std::memmove(data_ + i, data_ + i + 1, sizeof(P) * (size_ - i - 1));
        --size_;
    }
    void Swap(int i, int j) {
        Check(i);
        Check(j);
        P t = data_[i];
        data_[i] = data_[j];
        data_[j] = t;
    }
    // The element at i; std::out_of_range outside 0..size-1.
    P GetAt(int i) const {
        Check(i);
        return data_[i];
    }
    P operator[](int i) const { return GetAt(i); }
    void SetAt(int i, P p) {
        Check(i);
        data_[i] = p;
    }
    int GetSize() const { return size_; }
    // Empties the list; the pointees are not touched.
    void RemoveAll() { size_ = 0; }
    // Deletes every non-null pointee and leaves the (now dangling) list as it
    // was: follow it with RemoveAll before using the array again.
    void FreeMem() {
        for (int i = 0; i < size_; ++i) delete data_[i];
    }

    // Direct access for algorithms that rearrange the whole list.
    P* begin() { return data_; }
    P* end() { return data_ + size_; }
    P const* begin() const { return data_; }
    P const* end() const { return data_ + size_; }

private:
    void Check(int i) const {
        if (i < 0 || i >= size_) throw std::out_of_range("invalid vector<T> subscript");
    }
    void Reserve(int need) {
        if (need <= cap_) return;
        if (need > maxSize || need < 0) throw std::length_error("vector<T> too long");
        long long grown = static_cast<long long>(cap_) + cap_ / 2;
        if (grown < need) grown = need;
        if (grown > maxSize) grown = maxSize;
        P* fresh = new P[static_cast<size_t>(grown)];
        if (size_) std::memcpy(fresh, data_, sizeof(P) * size_);
        delete[] data_;
        data_ = fresh;
        cap_ = static_cast<int>(grown);
    }
    void CopyFrom(const ccDynaArray& o) {
        Reserve(o.size_);
        if (o.size_) std::memcpy(data_, o.data_, sizeof(P) * o.size_);
        size_ = o.size_;
    }

    P* data_ = nullptr;
    int size_ = 0;
    int cap_ = 0;
};
