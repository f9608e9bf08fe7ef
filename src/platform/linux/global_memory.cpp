// Global memory over a handle table, and the bitmap handles of a system without GDI: only packed
// bitmaps in global memory.
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <unordered_map>

#include "platform/bitmap_handles.h"
#include "platform/com.h"

namespace {

struct TBlock {
    std::unique_ptr<uint8_t[]> Bytes;
    SIZE_T Size = 0;
    LONG Locks = 0;
};

// Handles stay below 2^31 and are multiples of 8, so a trip through a signed 32-bit value keeps them.
constexpr uintptr_t kFirstHandle = 0x10008;
constexpr uintptr_t kLastHandle = 0x7FFFFFF8;

struct TGlobalTable {
    std::mutex Lock;
    std::unordered_map<uintptr_t, TBlock> Blocks;
    uintptr_t Next = kFirstHandle;
};

TGlobalTable& Table() {
    static TGlobalTable* table = new TGlobalTable; // never destroyed: clients may free during exit
    return *table;
}

uintptr_t Key(HGLOBAL handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

// The block behind a handle, out of the table: whoever takes it is its only reader.
std::optional<TBlock> TakeBlock(uintptr_t handle) {
    TGlobalTable& table = Table();
    std::lock_guard guard(table.Lock);
    auto node = table.Blocks.extract(handle);
    if (node.empty()) return std::nullopt;
    return std::move(node.mapped());
}

} // namespace

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    TBlock block;
    block.Bytes.reset(new (std::nothrow) uint8_t[dwBytes ? dwBytes : 1]);
    if (!block.Bytes) return nullptr;
    if (uFlags & GMEM_ZEROINIT) std::memset(block.Bytes.get(), 0, dwBytes ? dwBytes : 1);
    block.Size = dwBytes;
    TGlobalTable& table = Table();
    std::lock_guard guard(table.Lock);
    for (uintptr_t tries = 0; tries < (kLastHandle - kFirstHandle) / 8; ++tries) {
        const uintptr_t handle = table.Next;
        table.Next = handle >= kLastHandle ? kFirstHandle : handle + 8;
        if (table.Blocks.try_emplace(handle, std::move(block)).second)
            return reinterpret_cast<HGLOBAL>(handle);
    }
    return nullptr;
}

LPVOID GlobalLock(HGLOBAL hMem) {
    TGlobalTable& table = Table();
    std::lock_guard guard(table.Lock);
    const auto it = table.Blocks.find(Key(hMem));
    if (it == table.Blocks.end()) return nullptr;
    ++it->second.Locks;
    return it->second.Bytes.get();
}

BOOL GlobalUnlock(HGLOBAL hMem) {
    TGlobalTable& table = Table();
    std::lock_guard guard(table.Lock);
    const auto it = table.Blocks.find(Key(hMem));
    if (it == table.Blocks.end() || it->second.Locks == 0) return 0;
    return --it->second.Locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
    TGlobalTable& table = Table();
    std::lock_guard guard(table.Lock);
    return table.Blocks.erase(Key(hMem)) ? nullptr : hMem;
}

SIZE_T GlobalSize(HGLOBAL hMem) {
    TGlobalTable& table = Table();
    std::lock_guard guard(table.Lock);
    const auto it = table.Blocks.find(Key(hMem));
    return it == table.Blocks.end() ? 0 : it->second.Size;
}

namespace pagelith {

namespace {

class TGlobalMemoryHandles final : public TBitmapHandleSource {
public:
    bool ReadBitmap(intptr_t, TBMPImage&) override { return false; }
    void DoneWithBitmap(intptr_t, bool) override {}

    // The block leaves the table before it is read, so a second call with the same handle, from
    // any thread, finds nothing rather than memory this one frees.
    bool UsePackedDIB(intptr_t handle, const std::function<void(std::span<const uint8_t>)>& use) override {
        const std::optional<TBlock> block = TakeBlock(static_cast<uintptr_t>(handle));
        if (!block) return false;
        use(std::span<const uint8_t>(block->Bytes.get(), block->Size));
        return true;
    }
};

} // namespace

TBitmapHandleSource& PlatformBitmapHandles() {
    static TGlobalMemoryHandles handles;
    return handles;
}

} // namespace pagelith
