// The two sides of an OLE drag that the tests play themselves: a data object
// with 8-bit text, a file list or neither, and a drop source that follows a
// script instead of the mouse button, so that a real DoDragDrop runs
// deterministically in the test's own thread.
#pragma once

#include <cstring>
#include <functional>
#include <ole2.h>
#include <shlobj.h>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

namespace win32test {

// A data object with 8-bit text, a file list, or neither.
class TestDataObject final : public IDataObject {
public:
    static TestDataObject* text(const std::string& text) {
        auto* object = new TestDataObject;
        object->format = CF_TEXT;
        object->block.assign(text.begin(), text.end());
        object->block.push_back(0);
        return object;
    }
    static TestDataObject* files(const std::vector<std::string>& paths) {
        auto* object = new TestDataObject;
        object->format = CF_HDROP;
        DROPFILES header{};
        header.pFiles = sizeof(DROPFILES);
        header.fWide = FALSE;
        object->block.resize(sizeof(header));
        std::memcpy(object->block.data(), &header, sizeof(header));
        for (const std::string& path : paths) {
            object->block.insert(object->block.end(), path.begin(), path.end());
            object->block.push_back(0);
        }
        object->block.push_back(0);
        return object;
    }
    static TestDataObject* other() {
        auto* object = new TestDataObject;
        object->format = CF_BITMAP;
        return object;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDataObject)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* asked, STGMEDIUM* medium) override {
        if (QueryGetData(asked) != S_OK) {
            return DV_E_FORMATETC;
        }
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, block.size());
        std::memcpy(GlobalLock(copy), block.data(), block.size());
        GlobalUnlock(copy);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        ++fetches;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* asked) override {
        if (!asked || asked->cfFormat != format || format == CF_BITMAP ||
            !(asked->tymed & TYMED_HGLOBAL)) {
            return DV_E_FORMATETC;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

    ULONG referenceCount() const { return references; }

    int fetches = 0;

private:
    TestDataObject() = default;
    virtual ~TestDataObject() = default;
    CLIPFORMAT format = 0;
    std::vector<char> block;
    ULONG references = 1;
};

// A drop source whose drag is a list of cursor positions. Each question the
// drag loop asks (QueryContinueDrag) is one step: the cursor moves to the
// step's position and the drag goes on; after the last step the source drops
// (or cancels). The loop asks on its timer and on input, so the effects are
// read where the cursor is at that moment.
class ScriptedDropSource final : public IDropSource {
public:
    explicit ScriptedDropSource(std::vector<POINT> steps) : path(std::move(steps)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropSource)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; } // lives on the stack

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        keyStates.push_back(keys);
        if (escape) {
            return DRAGDROP_S_CANCEL;
        }
        const size_t step = steps++;
        if (onStep) {
            onStep(step);
        }
        if (step >= path.size()) {
            return cancelAtEnd ? DRAGDROP_S_CANCEL : DRAGDROP_S_DROP;
        }
        SetCursorPos(path[step].x, path[step].y);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
        feedback.push_back(effect);
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }

    // Runs the drag from the first position; answers DoDragDrop's result.
    HRESULT run(IDataObject* data, DWORD allowed, DWORD& effect) {
        if (!path.empty()) {
            SetCursorPos(path[0].x, path[0].y);
        }
        effect = DROPEFFECT_NONE;
        return DoDragDrop(data, this, allowed, &effect);
    }

    // Whether the source was shown `effect` at some step.
    bool sawFeedback(DWORD effect) const {
        for (DWORD shown : feedback) {
            if (shown == effect) {
                return true;
            }
        }
        return false;
    }

    std::vector<POINT> path;
    bool cancelAtEnd = false;
    // Called at each step before the cursor moves (step counts from 0).
    std::function<void(size_t)> onStep;
    std::vector<DWORD> feedback;
    std::vector<DWORD> keyStates;
    size_t steps = 0;

private:
    ULONG references = 1;
};

// A drag's path: `lead` steps at `from`, then `stay` steps at `to`.
inline std::vector<POINT> dragPath(POINT from, POINT to, int lead = 3, int stay = 4) {
    std::vector<POINT> path(static_cast<size_t>(lead), from);
    path.insert(path.end(), static_cast<size_t>(stay), to);
    return path;
}

// Holds the Control key in this thread's key state (which the drag loop
// reads) while it lives.
class ControlHeld {
public:
    ControlHeld() {
        GetKeyboardState(saved);
        BYTE held[256];
        std::memcpy(held, saved, sizeof(held));
        held[VK_CONTROL] |= 0x80;
        held[VK_LCONTROL] |= 0x80;
        SetKeyboardState(held);
    }
    ~ControlHeld() { SetKeyboardState(saved); }
    ControlHeld(const ControlHeld&) = delete;
    ControlHeld& operator=(const ControlHeld&) = delete;

private:
    BYTE saved[256];
};

} // namespace win32test
