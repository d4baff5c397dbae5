#pragma once
// Global memory blocks and memory streams over them, as image decoding reads from a stream.
#include <cstddef>

#include "platform/win/types.h"

constexpr UINT GMEM_FIXED = 0x0000;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);
std::size_t GlobalSize(HGLOBAL block);

// A reference-counted stream over a global block.
struct IStream {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // Reads up to `size` bytes from the current position.
    virtual HRESULT Read(void* buffer, ULONG size, ULONG* read) = 0;
    // Total size of the stream in bytes.
    virtual std::size_t Size() const = 0;

  protected:
    virtual ~IStream() = default;
};

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream);

namespace win {
// Blocks allocated and not yet freed, so tests can see that a copy is given back.
int LiveGlobalBlockCount();
}  // namespace win
