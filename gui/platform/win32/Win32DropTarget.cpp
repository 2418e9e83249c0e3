// The OLE drop target handing drags to its sink, the dragged data object read as text or a
// file list, and shortcut files resolved to their targets.
#include "gui/platform/win32/Win32DropTarget.h"

#include <cstring>
#include <new>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <vector>
#include <windows.h>

namespace platform::win32 {

namespace {

FORMATETC formatOf(CLIPFORMAT format) {
    FORMATETC description;
    description.cfFormat = format;
    description.ptd = nullptr;
    description.dwAspect = DVASPECT_CONTENT;
    description.lindex = -1;
    description.tymed = TYMED_HGLOBAL;
    return description;
}

// The dragged IDataObject as the toolkit sees it. Media fetched from the data
// object are given back when the view ends (the file list) or when the text is
// released.
class DataObjectView final : public DropData {
public:
    explicit DataObjectView(IDataObject* object) : data(object) {}
    ~DataObjectView() override {
        releaseText();
        if (haveFiles) {
            ReleaseStgMedium(&files);
        }
    }
    DataObjectView(const DataObjectView&) = delete;
    DataObjectView& operator=(const DataObjectView&) = delete;

    bool offersText() override { return offers(CF_TEXT); }
    bool offersFileList() override { return offers(CF_HDROP); }

    bool lockText(const char*& text, size_t& size) override {
        releaseText();
        if (!data) {
            return false;
        }
        FORMATETC format = formatOf(CF_TEXT);
        std::memset(&textMedium, 0, sizeof(textMedium));
        if (FAILED(data->GetData(&format, &textMedium))) {
            return false;
        }
        if (textMedium.tymed != TYMED_HGLOBAL || !textMedium.hGlobal) {
            ReleaseStgMedium(&textMedium);
            return false;
        }
        void* block = GlobalLock(textMedium.hGlobal);
        if (!block) {
            ReleaseStgMedium(&textMedium);
            return false;
        }
        haveText = true;
        text = static_cast<const char*>(block);
        size = GlobalSize(textMedium.hGlobal);
        return true;
    }

    void releaseText() override {
        if (!haveText) {
            return;
        }
        haveText = false;
        GlobalUnlock(textMedium.hGlobal);
        // Frees the block, or hands it back to the source's release object.
        ReleaseStgMedium(&textMedium);
    }

    int32_t fileCount() override {
        HDROP list = fileList();
        if (!list) {
            return 0;
        }
        UINT count = DragQueryFileA(list, 0xFFFFFFFF, nullptr, 0);
        return count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(count);
    }

    bool filePath(int32_t index, char* buffer, size_t bufferSize) override {
        HDROP list = fileList();
        if (!list || index < 0 || !buffer || bufferSize == 0) {
            return false;
        }
        UINT size = bufferSize > 0xFFFF ? 0xFFFF : static_cast<UINT>(bufferSize);
        UINT length = DragQueryFileA(list, static_cast<UINT>(index), buffer, size);
        if (length == 0 || length >= size) {
            // Missing or cut short: an incomplete path would name another file.
            buffer[0] = 0;
            return false;
        }
        return true;
    }

private:
    bool offers(CLIPFORMAT format) {
        if (!data) {
            return false;
        }
        FORMATETC description = formatOf(format);
        return data->QueryGetData(&description) == S_OK;
    }

    HDROP fileList() {
        if (haveFiles) {
            return static_cast<HDROP>(files.hGlobal);
        }
        if (triedFiles || !data) {
            return nullptr;
        }
        triedFiles = true;
        FORMATETC format = formatOf(CF_HDROP);
        std::memset(&files, 0, sizeof(files));
        if (FAILED(data->GetData(&format, &files))) {
            return nullptr;
        }
        if (files.tymed != TYMED_HGLOBAL || !files.hGlobal) {
            ReleaseStgMedium(&files);
            return nullptr;
        }
        haveFiles = true;
        return static_cast<HDROP>(files.hGlobal);
    }

    IDataObject* data;
    STGMEDIUM textMedium{};
    bool haveText = false;
    STGMEDIUM files{};
    bool haveFiles = false;
    bool triedFiles = false;
};

PixelPoint pointOf(POINTL point) {
    return PixelPoint{static_cast<int32_t>(point.x), static_cast<int32_t>(point.y)};
}

class DropTargetObject final : public IDropTarget {
public:
    explicit DropTargetObject(DropSink* owned) : sink(owned) {}
    ~DropTargetObject() { delete sink; }
    DropTargetObject(const DropTargetObject&) = delete;
    DropTargetObject& operator=(const DropTargetObject&) = delete;

    // --- IUnknown ---
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropTarget)) {
            *object = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&references));
    }

    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&references);
        if (left <= 0) {
            delete this;
            return 0;
        }
        return static_cast<ULONG>(left);
    }

    // --- IDropTarget ---
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* object, DWORD keys, POINTL point,
                                        DWORD* effect) override {
        uint32_t wanted = DropEffectNone;
        if (Call call{*this}) {
            try {
                DataObjectView view(object);
                wanted = sink->dragEnter(object ? &view : nullptr, keys, pointOf(point));
            } catch (...) {
                wanted = DropEffectNone;
            }
        }
        if (effect) {
            *effect = allowedEffect(wanted, *effect);
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override {
        uint32_t wanted = DropEffectNone;
        if (Call call{*this}) {
            try {
                wanted = sink->dragOver(keys, pointOf(point));
            } catch (...) {
                wanted = DropEffectNone;
            }
        }
        if (effect) {
            *effect = allowedEffect(wanted, *effect);
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE DragLeave() override {
        if (Call call{*this}) {
            try {
                sink->dragLeave();
            } catch (...) {
            }
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Drop(IDataObject* object, DWORD keys, POINTL point,
                                   DWORD* effect) override {
        bool taken = false;
        uint32_t wanted = DropEffectNone;
        if (Call call{*this}) {
            try {
                // The effect that a taken drop reports, by the same rule as the
                // feedback during the drag.
                wanted = sink->dragOver(keys, pointOf(point));
                DataObjectView view(object);
                taken = sink->drop(object ? &view : nullptr, keys, pointOf(point));
            } catch (...) {
                taken = false;
            }
        }
        // A source that moved data must not delete its original when nothing
        // here took the data.
        if (effect) {
            *effect = taken ? allowedEffect(wanted, *effect) : DROPEFFECT_NONE;
        }
        return S_OK;
    }

    void detach() {
        if (calls > 0) {
            detachPending = true; // the running call deletes the sink when it returns
            return;
        }
        delete sink;
        sink = nullptr;
    }

private:
    // Marks a call into the sink, so that a sink detached during the call (the
    // editor closing from inside a drop) is deleted only after it returns.
    struct Call {
        DropTargetObject& target;
        explicit Call(DropTargetObject& owner) : target(owner) { ++target.calls; }
        ~Call() {
            if (--target.calls == 0 && target.detachPending) {
                target.detachPending = false;
                delete target.sink;
                target.sink = nullptr;
            }
        }
        explicit operator bool() const { return target.sink && !target.detachPending; }
    };

    DropSink* sink;
    LONG references = 1;
    int calls = 0;
    bool detachPending = false;
};

} // namespace

IDropTarget* createDropTarget(DropSink* sink) {
    if (!sink) {
        return nullptr;
    }
    auto* target = new (std::nothrow) DropTargetObject(sink);
    if (!target) {
        delete sink; // ownership passed here all the same
        return nullptr;
    }
    return target;
}

void detachSink(IDropTarget* target) {
    if (target) {
        static_cast<DropTargetObject*>(target)->detach();
    }
}

DWORD allowedEffect(uint32_t wanted, DWORD allowed) {
    if (wanted == DropEffectNone) {
        return DROPEFFECT_NONE;
    }
    if (allowed & wanted) {
        return wanted;
    }
    if (wanted == DropEffectMove && (allowed & DROPEFFECT_COPY)) {
        return DROPEFFECT_COPY;
    }
    if (wanted == DropEffectCopy && (allowed & DROPEFFECT_MOVE)) {
        return DROPEFFECT_MOVE;
    }
    return DROPEFFECT_NONE;
}

bool resolveShortcutFile(char* path, size_t bufferSize) {
    if (!path || bufferSize == 0) {
        return false;
    }
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))) ||
        !link) {
        return false;
    }
    bool resolved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        file) {
        constexpr int wideLength = 2048;
        std::vector<WCHAR> wide(wideLength, 0);
        // No user interface, any match, at most 500 ms (in the upper 16 bits).
        const DWORD resolveFlags =
            static_cast<DWORD>(SLR_NO_UI) | static_cast<DWORD>(SLR_ANY_MATCH) | (500u << 16);
        if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), wideLength) > 0 &&
            SUCCEEDED(file->Load(wide.data(), STGM_READ)) &&
            SUCCEEDED(link->Resolve(nullptr, resolveFlags))) {
            // Fetched into a copy: a failed fetch leaves the dropped path as it was.
            int size = bufferSize > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(bufferSize);
            std::vector<char> target(static_cast<size_t>(size), 0);
            if (link->GetPath(target.data(), size, nullptr, SLGP_SHORTPATH) == S_OK &&
                target[0] != 0 && target[static_cast<size_t>(size) - 1] == 0) {
                std::memcpy(path, target.data(), std::strlen(target.data()) + 1);
                resolved = true;
            }
        }
        file->Release();
    }
    link->Release();
    return resolved;
}

} // namespace platform::win32
