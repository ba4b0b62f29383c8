// Movable global memory blocks. A handle points to a small header kept in a registry, so
// every call can tell a live block from a stale or foreign value before touching it.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/system.h"

namespace {

struct Block {
    unsigned char* data;  // never NULL: malloc(1) for empty blocks
    size_t size;
    unsigned locks;
};

struct Registry {
    std::mutex mutex;
    std::unordered_set<Block*> live;
};

Registry& Blocks() {
    static Registry* registry = new Registry;
    return *registry;
}

Block* LiveLocked(HGLOBAL handle) {
    auto* block = reinterpret_cast<Block*>(handle);
    return Blocks().live.count(block) ? block : nullptr;
}

}  // namespace

extern "C" {

HGLOBAL PlatformGlobalAlloc(UINT flags, size_t bytes) {
    auto* block = static_cast<Block*>(std::malloc(sizeof(Block)));
    unsigned char* data = static_cast<unsigned char*>(
        (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1));
    if (!block || !data) {
        std::free(block);
        std::free(data);
        PlatformSetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    *block = Block{data, bytes, 0};
    std::lock_guard lock(Blocks().mutex);
    try {
        Blocks().live.insert(block);
    } catch (...) {
        std::free(block->data);
        std::free(block);
        PlatformSetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return reinterpret_cast<HGLOBAL>(block);
}

HGLOBAL PlatformGlobalReAlloc(HGLOBAL handle, size_t bytes, UINT flags) {
    std::lock_guard lock(Blocks().mutex);
    Block* block = LiveLocked(handle);
    if (!block) {
        PlatformSetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto* data = static_cast<unsigned char*>(std::realloc(block->data, bytes ? bytes : 1));
    if (!data) {
        PlatformSetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if ((flags & GMEM_ZEROINIT) && bytes > block->size)
        std::memset(data + block->size, 0, bytes - block->size);
    block->data = data;
    block->size = bytes;
    return handle;
}

void* PlatformGlobalLock(HGLOBAL handle) {
    std::lock_guard lock(Blocks().mutex);
    Block* block = LiveLocked(handle);
    if (!block) {
        PlatformSetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++block->locks;
    return block->data;
}

BOOL PlatformGlobalUnlock(HGLOBAL handle) {
    std::lock_guard lock(Blocks().mutex);
    Block* block = LiveLocked(handle);
    if (!block) {
        PlatformSetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (block->locks == 0) {
        PlatformSetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--block->locks > 0) return TRUE;
    PlatformSetLastError(ERROR_SUCCESS);
    return FALSE;
}

size_t PlatformGlobalSize(HGLOBAL handle) {
    std::lock_guard lock(Blocks().mutex);
    Block* block = LiveLocked(handle);
    if (!block) {
        PlatformSetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return block->size;
}

HGLOBAL PlatformGlobalFree(HGLOBAL handle) {
    std::lock_guard lock(Blocks().mutex);
    Block* block = LiveLocked(handle);
    if (!block) {
        PlatformSetLastError(ERROR_INVALID_HANDLE);
        return handle;
    }
    Blocks().live.erase(block);
    std::free(block->data);
    std::free(block);
    return nullptr;
}

}  // extern "C"
