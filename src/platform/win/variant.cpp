#include "platform/win/variant.h"

#include <cmath>
#include <cstdio>
#include <cstring>

void VariantInit(VARIANT* v) {
    if (v) *v = VARIANT{};
}

HRESULT VariantClear(VARIANT* v) {
    if (v) *v = VARIANT{};
    return 0;
}

HRESULT VariantCopy(VARIANT* dst, const VARIANT* src) {
    if (!dst || !src) return static_cast<HRESULT>(0x80070057);
    if (dst != src) *dst = *src;
    return 0;
}

namespace {

// A double as the standard conversion writes it: up to 15 significant digits, no trailing
// zeros, and an exponent like "1E+21" for very large or small magnitudes.
std::wstring DoubleText(double d) {
    if (std::isnan(d)) return L"NaN";
    if (std::isinf(d)) return d > 0 ? L"Infinity" : L"-Infinity";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    std::string s = buf;
    auto e = s.find('E');
    std::string mantissa = s.substr(0, e), exponent = e == std::string::npos ? "" : s.substr(e);
    if (mantissa.find('.') != std::string::npos) {
        while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
        if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    }
    if (!exponent.empty()) {
        // "E+021" style exponents lose their leading zeros.
        char sign = exponent.size() > 1 ? exponent[1] : '+';
        std::string digits = exponent.substr(2);
        while (digits.size() > 1 && digits.front() == '0') digits.erase(0, 1);
        exponent = std::string("E") + sign + digits;
    }
    if (mantissa == "-0") mantissa = "0";
    std::string out = mantissa + exponent;
    return std::wstring(out.begin(), out.end());
}

}  // namespace

HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, unsigned short, VARTYPE vt) {
    if (!dst || !src) return static_cast<HRESULT>(0x80070057);
    if (vt != VT_BSTR) {
        if (src->vt != vt) return DISP_E_TYPEMISMATCH;
        return VariantCopy(dst, src);
    }
    VARIANT out;
    out.vt = VT_BSTR;
    switch (src->vt) {
        case VT_BSTR:
            out.bstrVal = src->bstrVal;
            break;
        case VT_EMPTY:
            break;
        case VT_I4:
            out.bstrVal = std::to_wstring(src->lVal);
            break;
        case VT_R8:
            out.bstrVal = DoubleText(src->dblVal);
            break;
        case VT_BOOL:
            // Without the alphabetic-boolean flag, booleans convert to their numeric text.
            out.bstrVal = src->boolVal ? L"-1" : L"0";
            break;
        default:
            // Null, errors (the missing-argument marker among them) and objects without a
            // text value have no string form.
            return DISP_E_TYPEMISMATCH;
    }
    *dst = std::move(out);
    return 0;
}
