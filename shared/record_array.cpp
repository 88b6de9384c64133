#include "record_array.h"

void RaiseOutOfMemory() {
    RaiseException(static_cast<DWORD>(E_OUTOFMEMORY), EXCEPTION_NONCONTINUABLE, 0, nullptr);
    ExitProcess(static_cast<UINT>(E_OUTOFMEMORY)); // not reached
}

void RaiseOutOfRange() {
    RaiseException(EXCEPTION_ARRAY_BOUNDS_EXCEEDED, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    ExitProcess(EXCEPTION_ARRAY_BOUNDS_EXCEEDED); // not reached
}

UINT GrowRecordCapacity(UINT count, UINT capacity, UINT needed, UINT growStep) {
    if (capacity == 0)
        return needed;
    UINT step = growStep;
    if (step == 0) {
        step = count / 8;
        if (step < 4)
            step = 4;
        if (step > 1024)
            step = 1024;
    }
    UINT grown = capacity + step;
    return grown > needed ? grown : needed;
}
