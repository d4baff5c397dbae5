// Any sequence of page values through the host object's conversion and call rules: a value is
// either refused with an error or becomes a text without NUL; calls with odd argument counts
// are answered with the documented failure codes, never anything else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "launcher/page_bridge.h"
#include "platform/afx/cdhtmldialog.h"

namespace {

// A host object shaped like the launcher's: one method with two parameters that converts both.
class Host : public CCmdTarget {
  public:
    Host() { EnableAutomation(); }
    void Call(const VARIANT& a, const VARIANT& b) {
        PageArgumentText(a);
        PageArgumentText(b);
    }
    DECLARE_DISPATCH_MAP()
};

BEGIN_DISPATCH_MAP(Host, CCmdTarget)
DISP_FUNCTION_2VARIANTS(outLink, Call)
END_DISPATCH_MAP()

win::ScriptValue NextValue(const uint8_t*& p, const uint8_t* end) {
    win::ScriptValue v;
    if (p >= end) return v;
    uint8_t tag = *p++;
    switch (tag % 6) {
        case 0:
            v.kind = win::ScriptValue::Kind::Undefined;
            break;
        case 1:
            v.kind = win::ScriptValue::Kind::Null;
            break;
        case 2:
            v.kind = win::ScriptValue::Kind::Boolean;
            v.boolean = tag & 0x80;
            break;
        case 3: {
            v.kind = win::ScriptValue::Kind::Number;
            double d = 0;
            size_t n = std::min<size_t>(sizeof d, static_cast<size_t>(end - p));
            std::memcpy(&d, p, n);
            p += n;
            v.number = d;
            break;
        }
        case 4: {
            v.kind = win::ScriptValue::Kind::String;
            size_t n = std::min<size_t>(tag >> 3, static_cast<size_t>(end - p));
            for (size_t i = 0; i < n; ++i) v.string.push_back(static_cast<wchar_t>(p[i]));
            p += n;
            break;
        }
        default:
            v.kind = win::ScriptValue::Kind::Object;
            break;
    }
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    std::vector<VARIANT> args;
    while (p < end && args.size() < 5) {
        VARIANT v = ScriptValueToVariant(NextValue(p, end));
        try {
            CString text = PageArgumentText(v);
            if (text.find(L'\0') != CString::npos) std::abort();
        } catch (const COleException& e) {
            if (e.m_sc != DISP_E_TYPEMISMATCH) std::abort();
        }
        args.push_back(v);
    }
    Host host;
    IDispatch* dispatch = host.GetIDispatch(FALSE);
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params;
    params.rgvarg = reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    HRESULT hr = dispatch->Invoke(1, &params, nullptr);
    if (hr != 0 && hr != DISP_E_BADPARAMCOUNT && hr != DISP_E_TYPEMISMATCH) std::abort();
    if (args.size() > 2 && hr != DISP_E_BADPARAMCOUNT) std::abort();
    return 0;
}
