#include "platform/afx/cmdtarget.h"

#include <new>

void AfxThrowOleException(HRESULT sc) {
    throw COleException{sc};
}
void AfxThrowMemoryException() {
    throw CMemoryException{};
}

namespace {

bool SameNameIgnoringCase(const std::wstring& a, const wchar_t* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = x - L'A' + L'a';
        if (y >= L'A' && y <= L'Z') y = y - L'A' + L'a';
        if (x != y) return false;
    }
    return i == a.size() && b[i] == 0;
}

}  // namespace

// The automation interface built from the owner's dispatch map: identifiers are positions in
// the map counted from 1, names match without regard to case.
class CCmdTarget::Dispatch final : public IDispatch {
  public:
    explicit Dispatch(CCmdTarget& owner) : owner_(owner) {}

    HRESULT GetIDsOfNames(const std::wstring& name, DISPID* id) override {
        DISPID next = 1;
        for (const AFX_DISPMAP* map = owner_.GetDispatchMap(); map;
             map = map->base ? map->base() : nullptr)
            for (const AFX_DISPMAP_ENTRY* e = map->entries; e->name; ++e, ++next)
                if (SameNameIgnoringCase(name, e->name)) {
                    if (id) *id = next;
                    return 0;
                }
        return DISP_E_UNKNOWNNAME;
    }

    HRESULT Invoke(DISPID id, DISPPARAMS* params, VARIANT* result) override {
        const AFX_DISPMAP_ENTRY* entry = Find(id);
        if (!entry) return DISP_E_MEMBERNOTFOUND;
        DISPPARAMS none;
        if (!params) params = &none;
        if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
        if (params->cArgs > static_cast<UINT>(entry->parameterCount)) return DISP_E_BADPARAMCOUNT;
        // Arguments in call order; those the caller left out arrive as the missing marker.
        std::vector<VARIANT> args(static_cast<std::size_t>(entry->parameterCount));
        for (UINT i = 0; i < args.size(); ++i) {
            if (i < params->cArgs) {
                args[i] = params->rgvarg[params->cArgs - 1 - i];
            } else {
                args[i].vt = VT_ERROR;
                args[i].scode = DISP_E_PARAMNOTFOUND;
            }
        }
        try {
            entry->call(owner_, args.data());
        } catch (const COleException& e) {
            return e.m_sc;
        } catch (const CMemoryException&) {
            return DISP_E_EXCEPTION;
        } catch (const std::bad_alloc&) {
            return DISP_E_EXCEPTION;
        }
        if (result) VariantClear(result);
        return 0;
    }

    std::vector<std::pair<std::wstring, int>> Describe() override {
        std::vector<std::pair<std::wstring, int>> methods;
        for (const AFX_DISPMAP* map = owner_.GetDispatchMap(); map;
             map = map->base ? map->base() : nullptr)
            for (const AFX_DISPMAP_ENTRY* e = map->entries; e->name; ++e)
                methods.emplace_back(e->name, e->parameterCount);
        return methods;
    }

  private:
    const AFX_DISPMAP_ENTRY* Find(DISPID id) {
        DISPID next = 1;
        for (const AFX_DISPMAP* map = owner_.GetDispatchMap(); map;
             map = map->base ? map->base() : nullptr)
            for (const AFX_DISPMAP_ENTRY* e = map->entries; e->name; ++e, ++next)
                if (next == id) return e;
        return nullptr;
    }
    CCmdTarget& owner_;
};

CCmdTarget::CCmdTarget() = default;

CCmdTarget::~CCmdTarget() {
    delete m_pDispatch;
}

void CCmdTarget::EnableAutomation() {
    if (!m_pDispatch) m_pDispatch = new Dispatch(*this);
}

IDispatch* CCmdTarget::GetIDispatch(BOOL) {
    return m_pDispatch;
}

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

const AFX_DISPMAP* CCmdTarget::GetThisDispatchMap() {
    static const AFX_DISPMAP_ENTRY entries[] = {{nullptr, 0, nullptr}};
    static const AFX_DISPMAP map = {nullptr, entries};
    return &map;
}

const AFX_DISPMAP* CCmdTarget::GetDispatchMap() const {
    return GetThisDispatchMap();
}
