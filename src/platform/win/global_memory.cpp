#include "platform/win/global_memory.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <new>

namespace win {
namespace {

struct Block {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;
};

std::map<std::uintptr_t, Block>& Blocks() {
    static std::map<std::uintptr_t, Block> blocks;
    return blocks;
}

Block* Find(HGLOBAL h) {
    auto it = Blocks().find(reinterpret_cast<std::uintptr_t>(h));
    return it == Blocks().end() ? nullptr : &it->second;
}

class MemoryStream final : public IStream {
  public:
    MemoryStream(HGLOBAL block, bool owns) : block_(block), owns_(owns) {}
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT Read(void* buffer, ULONG size, ULONG* read) override {
        Block* b = Find(block_);
        std::size_t available = b && position_ < b->size ? b->size - position_ : 0;
        std::size_t n = std::min<std::size_t>(size, available);
        if (n) std::memcpy(buffer, b->bytes.get() + position_, n);
        position_ += n;
        if (read) *read = static_cast<ULONG>(n);
        return S_OK;
    }
    std::size_t Size() const override { return GlobalSize(block_); }

  private:
    ~MemoryStream() override {
        if (owns_) GlobalFree(block_);
    }
    HGLOBAL block_;
    bool owns_;
    ULONG refs_ = 1;
    std::size_t position_ = 0;
};

}  // namespace

int LiveGlobalBlockCount() {
    return static_cast<int>(Blocks().size());
}

}  // namespace win

HGLOBAL GlobalAlloc(UINT, std::size_t bytes) {
    static std::uintptr_t next = 0x50000;
    win::Block b;
    b.bytes.reset(new (std::nothrow) unsigned char[bytes ? bytes : 1]);
    if (!b.bytes) return nullptr;
    b.size = bytes;
    auto h = next++;
    win::Blocks().emplace(h, std::move(b));
    return reinterpret_cast<HGLOBAL>(h);
}

LPVOID GlobalLock(HGLOBAL block) {
    win::Block* b = win::Find(block);
    return b ? b->bytes.get() : nullptr;
}

BOOL GlobalUnlock(HGLOBAL block) {
    return win::Find(block) ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL block) {
    return win::Blocks().erase(reinterpret_cast<std::uintptr_t>(block)) ? nullptr : block;
}

std::size_t GlobalSize(HGLOBAL block) {
    win::Block* b = win::Find(block);
    return b ? b->size : 0;
}

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream) {
    if (!stream) return E_INVALIDARG;
    *stream = nullptr;
    if (!win::Find(block)) return E_INVALIDARG;
    *stream = new (std::nothrow) win::MemoryStream(block, deleteOnRelease != FALSE);
    return *stream ? S_OK : E_OUTOFMEMORY;
}
