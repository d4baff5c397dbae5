#pragma once
// Automation values and their standard conversions, as a page's arguments arrive in them.
#include <string>

#include "platform/win/types.h"

using VARTYPE = unsigned short;
using DISPID = LONG;
using VARIANT_BOOL = short;
constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_NULL = 1;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_DISPATCH = 9;
constexpr VARTYPE VT_ERROR = 10;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_VARIANT = 12;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);

struct IDispatch;

// A tagged value. The string is a length-counted text that may hold NUL characters.
struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    LONG lVal = 0;
    double dblVal = 0;
    VARIANT_BOOL boolVal = 0;
    HRESULT scode = 0;
    std::wstring bstrVal;
    IDispatch* pdispVal = nullptr;
};

void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);
HRESULT VariantCopy(VARIANT* dst, const VARIANT* src);
// Converts `src` to `vt` into `dst` (which may be `src`). On failure `dst` is left unchanged.
HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, unsigned short flags, VARTYPE vt);
