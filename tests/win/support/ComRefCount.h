#pragma once

// How many references a COM object holds, read through its own IUnknown: AddRef and Release answer the
// new count, and the pair leaves the count as it was.

#include <unknwn.h>

namespace dravel::win::test {

inline ULONG ComRefCount(IUnknown& object) {
    object.AddRef();
    return object.Release();
}

} // namespace dravel::win::test
