#include "ui/win32/described_accessible.h"

#include "common/com_object.h"
#include "common/win32_handles.h"

#include <oleacc.h>

#include <new>
#include <utility>

namespace Velmora::Win32 {
namespace {

// The standard object with the description put in: every call goes on to it but the description of the
// window itself. Other interfaces (the list of children, the window) are the standard object's own.
class DescribedAccessible final : public ComObject<IAccessible> {
public:
    DescribedAccessible(UniqueComPointer<IAccessible> inner, std::wstring description)
        : inner_(std::move(inner)), description_(std::move(description)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return Inner().QueryInterface(id, object);
    }

    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (description == nullptr || child.vt != VT_I4 || child.lVal != CHILDID_SELF) {
            return Inner().get_accDescription(child, description);
        }
        *description = ::SysAllocString(description_.c_str());
        return *description != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    // Everything else as the standard object answers it.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return Inner().GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return Inner().GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return Inner().GetIDsOfNames(id, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argument) override {
        return Inner().Invoke(member, id, locale, flags, parameters, result, exception, argument);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return Inner().get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        return Inner().get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return Inner().get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return Inner().get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return Inner().get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return Inner().get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return Inner().get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return Inner().get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return Inner().get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return Inner().get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return Inner().get_accFocus(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return Inner().get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return Inner().get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return Inner().accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        return Inner().accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return Inner().accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
        return Inner().accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return Inner().accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return Inner().put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return Inner().put_accValue(child, value);
    }

private:
    ~DescribedAccessible() override = default; // only Release ends it

    IAccessible& Inner() const { return *inner_.Get(); }

    UniqueComPointer<IAccessible> inner_;
    std::wstring description_;
};

} // namespace

LRESULT AccessibleWithDescription(HWND window, WPARAM flags, std::wstring description) {
    UniqueComPointer<IAccessible> standard;
    if (FAILED(::CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible),
                                           reinterpret_cast<void**>(standard.Put())))) {
        return 0;
    }
    auto* described = new (std::nothrow) DescribedAccessible(std::move(standard), std::move(description));
    if (described == nullptr) {
        return 0;
    }
    // The system takes its own reference for the caller; ours goes with the Release.
    const LRESULT answer =
        ::LresultFromObject(__uuidof(IAccessible), flags, static_cast<IAccessible*>(described));
    described->Release();
    return answer < 0 ? 0 : answer;
}

} // namespace Velmora::Win32
