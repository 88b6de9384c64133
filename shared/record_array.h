// The agent's growable array of fixed records (and the store's scratch lists).
#pragma once

#include <windows.h>
#include <string.h>

// Ends the process with a structured exception that nothing catches, as the
// containers' out-of-memory and out-of-range errors do.
[[noreturn]] void RaiseOutOfMemory();
[[noreturn]] void RaiseOutOfRange();

// Capacity after growing from `capacity` when `needed` records must fit:
// exactly `needed` at the first allocation, afterwards the larger of `needed`
// and capacity + step, the automatic step being count / 8 bounded to 4..1024.
UINT GrowRecordCapacity(UINT count, UINT capacity, UINT needed, UINT growStep);

template <class Record> class RecordArray {
  public:
    RecordArray() = default;
    ~RecordArray() { Clear(); }
    RecordArray(const RecordArray&) = delete;
    RecordArray& operator=(const RecordArray&) = delete;

    UINT Count() const { return count_; }
    UINT Capacity() const { return capacity_; }
    Record* Data() { return storage_; }

    Record& At(UINT index) {
        if (index >= count_)
            RaiseOutOfRange();
        return storage_[index];
    }
    const Record& At(UINT index) const {
        if (index >= count_)
            RaiseOutOfRange();
        return storage_[index];
    }

    void Append(const Record& record) {
        if (count_ == capacity_)
            Grow(count_ + 1);
        storage_[count_++] = record;
    }

    // Puts a record at a position; the records from there on move down by one.
    void InsertAt(UINT index, const Record& record) {
        if (index > count_)
            RaiseOutOfRange();
        if (count_ == capacity_)
            Grow(count_ + 1);
        memmove(storage_ + index + 1, storage_ + index,
                static_cast<SIZE_T>(count_ - index) * sizeof(Record));
        storage_[index] = record;
        ++count_;
    }

    // Removes one record; the records after it move up by one.
    void RemoveAt(UINT index) {
        if (index >= count_)
            RaiseOutOfRange();
        memmove(storage_ + index, storage_ + index + 1,
                static_cast<SIZE_T>(count_ - index - 1) * sizeof(Record));
        --count_;
    }

    // Exchanges the whole contents with another array, without copying.
    void Swap(RecordArray& other) {
        Record* storage = storage_;
        storage_ = other.storage_;
        other.storage_ = storage;
        UINT count = count_;
        count_ = other.count_;
        other.count_ = count;
        UINT capacity = capacity_;
        capacity_ = other.capacity_;
        other.capacity_ = capacity;
    }

    // Frees the storage; count and capacity go back to 0.
    void Clear() {
        if (storage_)
            HeapFree(GetProcessHeap(), 0, storage_);
        storage_ = nullptr;
        count_ = 0;
        capacity_ = 0;
    }

  private:
    void Grow(UINT needed) {
        UINT capacity = GrowRecordCapacity(count_, capacity_, needed, growStep_);
        void* storage =
            HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(capacity) * sizeof(Record));
        if (!storage)
            RaiseOutOfMemory();
        if (storage_) {
            memcpy(storage, storage_, static_cast<SIZE_T>(count_) * sizeof(Record));
            HeapFree(GetProcessHeap(), 0, storage_);
        }
        storage_ = static_cast<Record*>(storage);
        capacity_ = capacity;
    }

    Record* storage_ = nullptr;
    UINT count_ = 0;
    UINT capacity_ = 0;
    UINT growStep_ = 0; // 0 = automatic
};
