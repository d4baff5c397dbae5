#pragma once
// The base of everything that takes commands, and automation: an object whose dispatch map
// makes it callable by name from a page.
#include <string>
#include <vector>

#include "platform/afx/message_map.h"
#include "platform/win/variant.h"

using CString = std::wstring;

struct DISPPARAMS {
    VARIANT* rgvarg = nullptr;  // arguments in reverse order, the last one first
    DISPID* rgdispidNamedArgs = nullptr;
    UINT cArgs = 0;
    UINT cNamedArgs = 0;
};

// The automation interface a host object offers.
struct IDispatch {
    virtual HRESULT GetIDsOfNames(const std::wstring& name, DISPID* id) = 0;
    virtual HRESULT Invoke(DISPID id, DISPPARAMS* params, VARIANT* result) = 0;
    // Names and parameter counts, so a page's script object can be made to match.
    virtual std::vector<std::pair<std::wstring, int>> Describe() = 0;

  protected:
    ~IDispatch() = default;
};

// Errors a dispatched method raises; the caller of Invoke gets them as failure codes.
struct COleException {
    HRESULT m_sc;
};
struct CMemoryException {};
[[noreturn]] void AfxThrowOleException(HRESULT sc);
[[noreturn]] void AfxThrowMemoryException();

class CCmdTarget;
struct AFX_DISPMAP_ENTRY {
    const wchar_t* name;                              // null ends the table
    int parameterCount;                               // every parameter is a VARIANT
    void (*call)(CCmdTarget& target, VARIANT* args);  // args in call order
};
struct AFX_DISPMAP {
    const AFX_DISPMAP* (*base)();
    const AFX_DISPMAP_ENTRY* entries;
};

// clang-format off
#define DECLARE_DISPATCH_MAP()                           \
protected:                                               \
    static const AFX_DISPMAP* GetThisDispatchMap();      \
    const AFX_DISPMAP* GetDispatchMap() const override;  \
                                                         \
private:
#define BEGIN_DISPATCH_MAP(theClass, baseClass)                                       \
    const AFX_DISPMAP* theClass::GetDispatchMap() const { return GetThisDispatchMap(); } \
    const AFX_DISPMAP* theClass::GetThisDispatchMap() {                                 \
        using ThisClass = theClass;                                                   \
        using TheBaseClass = baseClass;                                               \
        static const AFX_DISPMAP_ENTRY entries[] = {
#define DISP_FUNCTION_2VARIANTS(name, fn) \
    {L## #name, 2, [](CCmdTarget& t, VARIANT* a) { static_cast<ThisClass&>(t).fn(a[0], a[1]); }},
#define END_DISPATCH_MAP()                                                    \
    {nullptr, 0, nullptr}};                                                   \
    static const AFX_DISPMAP map = {&TheBaseClass::GetThisDispatchMap, entries}; \
    return &map;                                                              \
    }

// clang-format on

class CCmdTarget {
  public:
    CCmdTarget();
    virtual ~CCmdTarget();
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    void EnableAutomation();
    // The object's automation interface, or null when automation was not enabled.
    IDispatch* GetIDispatch(BOOL addRef);

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    static const AFX_DISPMAP* GetThisDispatchMap();
    virtual const AFX_DISPMAP* GetDispatchMap() const;

  private:
    class Dispatch;
    Dispatch* m_pDispatch = nullptr;
};
