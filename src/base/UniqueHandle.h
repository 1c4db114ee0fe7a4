#pragma once
// One owning, move-only type per handle kind. Each Traits names the handle type,
// its invalid value and how to release it, so INVALID_HANDLE_VALUE (files) and
// null (threads, events, GDI objects) never get mixed up.
#include <windows.h>
#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type Value) noexcept : FValue(Value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& Other) noexcept : FValue(Other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& Other) noexcept {
        if (this != &Other) Reset(Other.Release());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Type Get() const noexcept { return FValue; }
    bool Valid() const noexcept { return FValue != Traits::Invalid(); }
    explicit operator bool() const noexcept { return Valid(); }

    Type Release() noexcept { return std::exchange(FValue, Traits::Invalid()); }
    void Reset(Type Value = Traits::Invalid()) noexcept {
        Type Old = std::exchange(FValue, Value);
        if (Old != Traits::Invalid()) Traits::Close(Old);
    }

private:
    Type FValue = Traits::Invalid();
};

struct FileHandleTraits {                 // CreateFileW: INVALID_HANDLE_VALUE on failure
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type H) noexcept { ::CloseHandle(H); }
};
struct KernelHandleTraits {               // threads, events, processes: null on failure
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type H) noexcept { ::CloseHandle(H); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type H) noexcept { ::FindClose(H); }
};
struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type H) noexcept { ::DeleteObject(H); }
};
struct MenuTraits {
    using Type = HMENU;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type H) noexcept { ::DestroyMenu(H); }
};
struct WindowTraits {
    using Type = HWND;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type H) noexcept { ::DestroyWindow(H); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;

// ---- Window resources: accelerator tables and image lists ----
#include <commctrl.h>

struct AcceleratorTableTraits {
    using Type = HACCEL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type H) noexcept { ::DestroyAcceleratorTable(H); }
};
struct ImageListTraits {
    using Type = HIMAGELIST;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type H) noexcept { ::ImageList_Destroy(H); }
};

using UniqueAcceleratorTable = UniqueHandle<AcceleratorTableTraits>;
using UniqueImageList = UniqueHandle<ImageListTraits>;
